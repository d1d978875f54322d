#pragma once

#include <cstdint>
#include <vector>

#include "bytes.h"

namespace testsupport {

// One pcap record as a test describes it.
struct PcapRecord {
    uint32_t seconds = 0;
    uint32_t subSecond = 0;
    std::vector<uint8_t> bytes;
    uint32_t originalLength = 0;  // 0: the number of bytes
};

enum class PcapLayout { kStandard, kExtension8, kTrailer4 };

// A pcap file: the magic as the value read little-endian from its first four
// bytes, every other field big-endian when bigEndian.
inline Bytes PcapFile(uint32_t magic, bool bigEndian, uint32_t linkType,
                      const std::vector<PcapRecord>& records,
                      PcapLayout layout = PcapLayout::kStandard, uint32_t snapLength = 65535,
                      uint16_t versionMajor = 2, uint32_t accuracy = 0) {
    Bytes b;
    b.le32(magic)
        .u16(versionMajor, bigEndian)
        .u16(4, bigEndian)
        .u32(0, bigEndian)
        .u32(accuracy, bigEndian)
        .u32(snapLength, bigEndian)
        .u32(linkType, bigEndian);
    for (const auto& r : records) {
        const auto size = static_cast<uint32_t>(r.bytes.size());
        b.u32(r.seconds, bigEndian)
            .u32(r.subSecond, bigEndian)
            .u32(size, bigEndian)
            .u32(r.originalLength != 0 ? r.originalLength : size, bigEndian);
        if (layout == PcapLayout::kExtension8) {
            b.zeros(8);
        }
        b.append(r.bytes);
        if (layout == PcapLayout::kTrailer4) {
            b.zeros(4);
        }
    }
    return b;
}

// n frame bytes counting up from first.
inline std::vector<uint8_t> RampFrame(size_t n, uint8_t first = 0) {
    return Bytes().ramp(n, first).data();
}

// The link type of a pcap file's header, in the byte order its magic shows;
// 0 for a file shorter than the header.
inline uint32_t PcapLinkType(const std::vector<uint8_t>& file) {
    if (file.size() < 24) {
        return 0;
    }
    const bool bigEndian = file[0] == 0xA1;  // a swapped magic begins A1 B2
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= uint32_t{file[20 + i]} << (bigEndian ? 24 - 8 * i : 8 * i);
    }
    return value;
}

}  // namespace testsupport
