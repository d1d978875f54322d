#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "bytes.h"

namespace testsupport {

// One Quillon frame record as a test describes it.
struct QuillonRecord {
    QuillonRecord(uint32_t s, uint32_t us, std::vector<uint8_t> frame, uint32_t line,
                  uint32_t errorIndication = 0)
        : seconds(s),
          microseconds(us),
          bytes(std::move(frame)),
          frameLength(line),
          error(errorIndication) {}

    uint32_t seconds = 0;
    uint32_t microseconds = 0;
    std::vector<uint8_t> bytes;  // stored without FCS
    uint32_t frameLength = 0;
    uint32_t error = 0;
};

inline void AppendQuillonRecord(Bytes& b, const QuillonRecord& r) {
    b.be32(r.error)
        .be32(r.seconds)
        .be32(r.microseconds)
        .be32(0)
        .be32(static_cast<uint32_t>(32 + r.bytes.size()))
        .be32(r.frameLength)
        .be32(static_cast<uint32_t>(r.bytes.size()))
        .be32(0)
        .append(r.bytes);
}

constexpr uint32_t kQuillonDescription = 32;
constexpr uint32_t kQuillonFirstBlock = 32 + 144;

// A Quillon file: header, description block at 32, the blocks of records one
// after another from 176, then the directory with one entry per block
// carrying the running frame count.
inline Bytes QuillonFile(uint32_t media, uint32_t frameCount, uint32_t startTime,
                         const std::vector<std::vector<QuillonRecord>>& blocks) {
    std::vector<Bytes> encoded(blocks.size());
    uint32_t directory = kQuillonFirstBlock;
    for (size_t i = 0; i < blocks.size(); ++i) {
        for (const auto& r : blocks[i]) {
            AppendQuillonRecord(encoded[i], r);
        }
        directory += static_cast<uint32_t>(encoded[i].size());
    }
    Bytes b;
    b.be32(0x00006476)
        .be32(4)
        .be32(0)
        .be32(0)
        .be32(kQuillonDescription)
        .be32(0)
        .be32(directory)
        .be32(0);
    b.zeros(60).be32(frameCount).zeros(28).be32(media).zeros(32).be32(startTime).zeros(12);
    for (const auto& e : encoded) {
        b.append(e.data());
    }
    uint32_t running = 0;
    uint32_t offset = kQuillonFirstBlock;
    for (size_t i = 0; i < blocks.size(); ++i) {
        running += static_cast<uint32_t>(blocks[i].size());
        b.be32(0).be32(running).be32(offset).be32(0);
        offset += static_cast<uint32_t>(encoded[i].size());
    }
    return b;
}

}  // namespace testsupport
