#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

// Loads and stores of little- and big-endian integers in byte buffers, for
// every component. Neither the host's order nor the buffer's alignment
// matters: at run time each is one unaligned move and at most a byte swap,
// which compilers do not reliably make of byte-by-byte code.
namespace byte_order {

namespace detail {

template <typename T>
constexpr T Swapped(T v) {
    if constexpr (sizeof(T) == 2) {
        return static_cast<T>(__builtin_bswap16(v));
    } else if constexpr (sizeof(T) == 4) {
        return static_cast<T>(__builtin_bswap32(v));
    } else {
        return static_cast<T>(__builtin_bswap64(v));
    }
}

template <typename T, bool kBig>
constexpr T Load(const uint8_t* p) {
    if (std::is_constant_evaluated()) {
        T v = 0;
        for (size_t i = 0; i < sizeof(T); ++i) {
            v |= static_cast<T>(T{p[kBig ? i : sizeof(T) - 1 - i]} << (8 * (sizeof(T) - 1 - i)));
        }
        return v;
    }
    T v;
    memcpy(&v, p, sizeof v);
    return kBig == (std::endian::native == std::endian::big) ? v : Swapped(v);
}

template <typename T, bool kBig>
constexpr void Store(uint8_t* p, T v) {
    if (std::is_constant_evaluated()) {
        for (size_t i = 0; i < sizeof(T); ++i) {
            p[kBig ? sizeof(T) - 1 - i : i] = static_cast<uint8_t>(v >> (8 * i));
        }
        return;
    }
    if (kBig != (std::endian::native == std::endian::big)) {
        v = Swapped(v);
    }
    memcpy(p, &v, sizeof v);
}

}  // namespace detail

constexpr uint16_t LoadLE16(const uint8_t* p) {
    return detail::Load<uint16_t, false>(p);
}

constexpr uint16_t LoadBE16(const uint8_t* p) {
    return detail::Load<uint16_t, true>(p);
}

constexpr uint32_t LoadLE32(const uint8_t* p) {
    return detail::Load<uint32_t, false>(p);
}

constexpr uint32_t LoadBE32(const uint8_t* p) {
    return detail::Load<uint32_t, true>(p);
}

constexpr uint64_t LoadLE64(const uint8_t* p) {
    return detail::Load<uint64_t, false>(p);
}

constexpr uint64_t LoadBE64(const uint8_t* p) {
    return detail::Load<uint64_t, true>(p);
}

// A field in the byte order of a file whose order is known only at run time.
constexpr uint16_t Load16(const uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadBE16(p) : LoadLE16(p);
}

constexpr uint32_t Load32(const uint8_t* p, bool bigEndian) {
    return bigEndian ? LoadBE32(p) : LoadLE32(p);
}

constexpr void StoreLE16(uint8_t* p, uint16_t v) {
    detail::Store<uint16_t, false>(p, v);
}

constexpr void StoreBE16(uint8_t* p, uint16_t v) {
    detail::Store<uint16_t, true>(p, v);
}

constexpr void StoreLE32(uint8_t* p, uint32_t v) {
    detail::Store<uint32_t, false>(p, v);
}

constexpr void StoreBE32(uint8_t* p, uint32_t v) {
    detail::Store<uint32_t, true>(p, v);
}

constexpr void StoreLE64(uint8_t* p, uint64_t v) {
    detail::Store<uint64_t, false>(p, v);
}

constexpr void StoreBE64(uint8_t* p, uint64_t v) {
    detail::Store<uint64_t, true>(p, v);
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
