#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bytes.h"

namespace testsupport {

// The header fields a test sets; the rest of the 78 bytes are zero.
struct DominoHeader {
    std::string description;  // 40 bytes from offset 4, cut or zero-padded
    uint32_t startTime = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint16_t adapter = 358;
    uint16_t line = 4;
};

// One frame: its stored bytes and its index entry.
struct DominoFrame {
    DominoFrame(std::vector<uint8_t> frame, uint32_t ticks = 0, uint32_t entryFlags = 0x18,
                uint16_t truncatedLength = 0)
        : bytes(std::move(frame)),
          timestamp(ticks),
          flags(entryFlags),
          truncated(truncatedLength) {}

    std::vector<uint8_t> bytes;
    uint32_t timestamp = 0;  // units of 32 microseconds
    uint32_t flags = 0x18;
    uint16_t truncated = 0;
};

constexpr uint32_t kDominoDataStart = 238;

// A Domino file laid out as the writer lays it out: header, "FRAM" and the
// other section tags with 12 empty entries, the frame bytes from offset 238,
// then the index (position of the count, the count, 20-byte entries).
// With no frames "FRAM" is 0 and there is no index.
inline Bytes DominoFile(const DominoHeader& h, const std::vector<DominoFrame>& frames) {
    Bytes b;
    b.text("WINC")
        .fixedText(h.description, 40)
        .u8(1)
        .zeros(9)
        .le32(h.startTime)
        .u8(h.hour)
        .u8(h.minute)
        .u8(h.second)
        .u8(0)
        .le16(h.adapter)
        .le16(h.line)
        .zeros(12);
    uint32_t index = kDominoDataStart;
    for (const auto& f : frames) {
        index += static_cast<uint32_t>(f.bytes.size());
    }
    b.text("FRAM").le32(frames.empty() ? 0 : index);
    for (const char* tag : {"NWST", "PRCL", "STAT", "DWIN", "STRC", "PTRL", "STOP"}) {
        b.text(tag).le32(0);
    }
    b.zeros(12 * 8);
    for (const auto& f : frames) {
        b.append(f.bytes);
    }
    if (frames.empty()) {
        return b;
    }
    b.le32(index + 4).le32(static_cast<uint32_t>(frames.size()));
    uint32_t offset = kDominoDataStart;
    for (size_t i = 0; i < frames.size(); ++i) {
        b.le32(offset)
            .le16(static_cast<uint16_t>(frames[i].bytes.size()))
            .le16(frames[i].truncated)
            .le32(static_cast<uint32_t>(i))
            .le32(frames[i].timestamp)
            .le32(frames[i].flags);
        offset += static_cast<uint32_t>(frames[i].bytes.size());
    }
    return b;
}

}  // namespace testsupport
