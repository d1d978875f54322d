#pragma once

#include <cstddef>
#include <cstdint>

namespace translator {

// Longest frame any reader accepts.
constexpr int32_t MAX_FRAME_LENGTH = 0xEFFF;

// True when n, taken as an unsigned 16-bit value, is MAX_FRAME_LENGTH or more.
inline bool FrameTooLong(int32_t n) {
    return static_cast<uint16_t>(n) >= MAX_FRAME_LENGTH;
}

// Ethernet FCS over n bytes; 0 without computing when n is outside 60..61439.
uint32_t Crc32(const uint8_t* bytes, int64_t n);

// CRC-16/X-25 frame check sequence (RFC 1662); 0 when n > 61439.
uint16_t Fcs16(const uint8_t* bytes, int64_t n);

}  // namespace translator
