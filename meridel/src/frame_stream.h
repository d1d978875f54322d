#pragma once

#include <cstdint>

namespace meridel {

// A timestamp of the block index and stream header: (seconds, nanoseconds)
// for layouts 1 and 12, the converted tick count for layouts 0 and 3.
struct Stamp {
    uint32_t first = 0;
    uint32_t second = 0;
};

// The (S, F) pair stored for a 48-bit count of 100 ns ticks (high 16 bits,
// low 32 bits), computed exactly as the analyzers do.
Stamp TicksToStamp(uint16_t high, uint32_t low);

// Header of the frame stream, 28 bytes on disk.
class CStreamHeader {
public:
    static constexpr int kSize = 28;
    static constexpr uint16_t kIndexedLayout = 18;

    explicit CStreamHeader(uint16_t layout = 0) : layoutCode(layout) {}
    void Store(uint8_t* out) const;
    void Load(const uint8_t* in);

    uint16_t layoutCode;
    uint16_t constant = 25;
    uint32_t recordCount = 0;
    uint16_t recordsPerBlock = 100;
    uint16_t extraBytes = 0;
    Stamp firstStamp;
    Stamp lastStamp;
};

// One block-index entry, 24 bytes on disk.
class CCBInfo {
public:
    static constexpr int kSize = 24;

    void Store(uint8_t* out) const;
    void Load(const uint8_t* in);

    uint32_t offset = 0;  // from the first byte after the block index
    uint32_t size = 0;
    Stamp firstStamp;
    Stamp lastStamp;
};

}  // namespace meridel
