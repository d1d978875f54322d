#pragma once

#include <cstddef>
#include <cstdint>

namespace translator {

// Longest frame any reader accepts.
constexpr int32_t MAX_FRAME_LENGTH = 0xEFFF;

// True when n, taken as unsigned, is MAX_FRAME_LENGTH or more. Lengths are
// 32-bit, so the whole value counts: a 70000-byte length does not wrap to a
// small one.
inline bool FrameTooLong(int64_t n) {
    return static_cast<uint64_t>(n) >= MAX_FRAME_LENGTH;
}

// Ethernet FCS over n bytes; 0 without computing when n is outside 60..61439.
uint32_t Crc32(const uint8_t* bytes, int64_t n);

// The same CRC as the 802.11 FCS, which frames of any size carry; 0 when n is
// outside 0..61439.
uint32_t WirelessFcs(const uint8_t* bytes, int64_t n);

// CRC-16/X-25 frame check sequence (RFC 1662); 0 when n > 61439.
uint16_t Fcs16(const uint8_t* bytes, int64_t n);

}  // namespace translator
