#pragma once

#include <cstdint>
#include <vector>

// Loads and stores of little- and big-endian integers in byte buffers, for
// every component. Byte by byte, so neither the host's order nor the
// buffer's alignment matters.
namespace byte_order {

constexpr uint16_t LoadLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

constexpr uint16_t LoadBE16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

constexpr uint32_t LoadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint32_t LoadBE32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

constexpr uint64_t LoadLE64(const uint8_t* p) {
    return static_cast<uint64_t>(LoadLE32(p)) | (static_cast<uint64_t>(LoadLE32(p + 4)) << 32);
}

constexpr uint64_t LoadBE64(const uint8_t* p) {
    return (static_cast<uint64_t>(LoadBE32(p)) << 32) | static_cast<uint64_t>(LoadBE32(p + 4));
}

// A field in the byte order of a file whose order is known only at run time.
constexpr uint16_t Load16(const uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadBE16(p) : LoadLE16(p);
}

constexpr uint32_t Load32(const uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadBE32(p) : LoadLE32(p);
}

constexpr void StoreLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

constexpr void StoreBE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

constexpr void StoreLE32(uint8_t* p, uint32_t v) {
    StoreLE16(p, static_cast<uint16_t>(v));
    StoreLE16(p + 2, static_cast<uint16_t>(v >> 16));
}

constexpr void StoreBE32(uint8_t* p, uint32_t v) {
    StoreBE16(p, static_cast<uint16_t>(v >> 16));
    StoreBE16(p + 2, static_cast<uint16_t>(v));
}

constexpr void StoreLE64(uint8_t* p, uint64_t v) {
    StoreLE32(p, static_cast<uint32_t>(v));
    StoreLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

constexpr void StoreBE64(uint8_t* p, uint64_t v) {
    StoreBE32(p, static_cast<uint32_t>(v >> 32));
    StoreBE32(p + 4, static_cast<uint32_t>(v));
}

constexpr void Store16(uint8_t* p, uint16_t v, bool bigEndian) {
    bigEndian ? StoreBE16(p, v) : StoreLE16(p, v);
}

constexpr void Store32(uint8_t* p, uint32_t v, bool bigEndian) {
    bigEndian ? StoreBE32(p, v) : StoreLE32(p, v);
}

// Appends to a record that grows field by field.
inline void AppendBE16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

inline void AppendBE32(std::vector<uint8_t>& out, uint32_t v) {
    AppendBE16(out, static_cast<uint16_t>(v >> 16));
    AppendBE16(out, static_cast<uint16_t>(v));
}

}  // namespace byte_order
