#pragma once

#include <cstddef>
#include <cstdint>

namespace translator {

// pcap's largest snapshot length: the longest frame capture tools write.
constexpr int32_t kMaxSnapshotLength = 262144;
// Longest frame a reader hands on, captured or on the line: one of the
// largest snapshot length with the FCS it gains.
constexpr int32_t kMaxReadFrameLength = kMaxSnapshotLength + 4;

// True when n, taken as unsigned, exceeds kMaxReadFrameLength: a negative
// length counts as too long.
inline bool FrameTooLong(int64_t n) {
    return static_cast<uint64_t>(n) > kMaxReadFrameLength;
}

// Ethernet and 802.11 FCS over n bytes, runts included; 0 when n is outside
// 0..kMaxReadFrameLength.
uint32_t Crc32(const uint8_t* bytes, int64_t n);

// CRC-16/X-25 frame check sequence (RFC 1662); 0 when n > kMaxReadFrameLength.
uint16_t Fcs16(const uint8_t* bytes, int64_t n);

}  // namespace translator
