#pragma once

#include <cstdint>
#include <vector>

#include "bytes.h"

namespace testsupport {

// Records of a Feldane recording, each built field by field.
inline Bytes FeldaneFrame(int direction, uint32_t seconds, uint32_t nanoseconds,
                          const std::vector<uint8_t>& bytes, uint16_t frameLength = 0) {
    Bytes r;
    r.u8(static_cast<uint8_t>(1 | (direction << 2))).zeros(3).le32(seconds).le32(nanoseconds);
    r.le16(static_cast<uint16_t>(bytes.size()))
        .le16(frameLength ? frameLength : static_cast<uint16_t>(bytes.size()))
        .zeros(8)
        .append(bytes);
    return r;
}

inline Bytes FeldaneTimeMark(uint32_t seconds, uint32_t nanoseconds) {
    return Bytes().u8(3).u8(0).le32(seconds).le32(nanoseconds);
}

// Kind 0 with p bytes of payload, and kind 2: both skipped by readers.
inline Bytes FeldaneSkipped(uint32_t p) {
    return Bytes().le32(p << 8).zeros(8).fill(p, 0xEE);
}
inline Bytes FeldaneStatus() {
    return Bytes().u8(2).zeros(35);
}

inline Bytes FeldaneBlock(uint8_t index, const std::vector<Bytes>& records) {
    Bytes body;
    for (const auto& r : records)
        body.append(r.data());
    return Bytes().u8(index).le32(static_cast<uint32_t>(body.size())).append(body.data());
}

// Magic, the blocks, then the end block (index 255).
inline Bytes FeldaneRecording(const std::vector<Bytes>& blocks) {
    Bytes file;
    file.le16(0xBADE);
    for (const auto& b : blocks)
        file.append(b.data());
    return file.u8(255).le32(0);
}

}  // namespace testsupport
