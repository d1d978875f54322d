#pragma once

#include <cstdint>

// Byte-order helpers shared by every format module: swaps, and loads/stores of
// little- and big-endian fields in byte buffers.
namespace translator {

constexpr uint16_t Swap16(uint16_t v) {
    return static_cast<uint16_t>((v >> 8) | (v << 8));
}

constexpr uint32_t Swap32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

// Swaps the two 32-bit halves and reverses each: a full 64-bit byte reversal.
constexpr uint64_t Swap64(uint64_t v) {
    return (static_cast<uint64_t>(Swap32(static_cast<uint32_t>(v))) << 32) |
           Swap32(static_cast<uint32_t>(v >> 32));
}

constexpr uint16_t Swap16If(uint16_t v, bool flag) {
    return flag ? Swap16(v) : v;
}
constexpr uint32_t Swap32If(uint32_t v, bool flag) {
    return flag ? Swap32(v) : v;
}

inline uint16_t LoadLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint16_t LoadBE16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

inline uint32_t LoadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint32_t LoadBE32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline uint64_t LoadLE64(const uint8_t* p) {
    return static_cast<uint64_t>(LoadLE32(p)) | (static_cast<uint64_t>(LoadLE32(p + 4)) << 32);
}

inline uint64_t LoadBE64(const uint8_t* p) {
    return (static_cast<uint64_t>(LoadBE32(p)) << 32) | static_cast<uint64_t>(LoadBE32(p + 4));
}

// A field in the byte order of a file whose order is known only at run time.
inline uint16_t Load16(const uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadBE16(p) : LoadLE16(p);
}
inline uint32_t Load32(const uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadBE32(p) : LoadLE32(p);
}

inline void StoreLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void StoreBE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

inline void StoreLE32(uint8_t* p, uint32_t v) {
    StoreLE16(p, static_cast<uint16_t>(v));
    StoreLE16(p + 2, static_cast<uint16_t>(v >> 16));
}

inline void StoreBE32(uint8_t* p, uint32_t v) {
    StoreBE16(p, static_cast<uint16_t>(v >> 16));
    StoreBE16(p + 2, static_cast<uint16_t>(v));
}

inline void StoreLE64(uint8_t* p, uint64_t v) {
    StoreLE32(p, static_cast<uint32_t>(v));
    StoreLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

inline void StoreBE64(uint8_t* p, uint64_t v) {
    StoreBE32(p, static_cast<uint32_t>(v >> 32));
    StoreBE32(p + 4, static_cast<uint32_t>(v));
}

inline void Store16(uint8_t* p, uint16_t v, bool bigEndian) {
    bigEndian ? StoreBE16(p, v) : StoreLE16(p, v);
}
inline void Store32(uint8_t* p, uint32_t v, bool bigEndian) {
    bigEndian ? StoreBE32(p, v) : StoreLE32(p, v);
}

}  // namespace translator
