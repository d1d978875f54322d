#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

// Builds a byte sequence field by field, so that every byte of a test input
// is visible in the test that makes it.
class Bytes {
public:
    Bytes& u8(uint8_t v) {
        data_.push_back(v);
        return *this;
    }
    Bytes& le16(uint16_t v) { return u8(static_cast<uint8_t>(v)).u8(static_cast<uint8_t>(v >> 8)); }
    Bytes& be16(uint16_t v) { return u8(static_cast<uint8_t>(v >> 8)).u8(static_cast<uint8_t>(v)); }
    Bytes& le32(uint32_t v) {
        return le16(static_cast<uint16_t>(v)).le16(static_cast<uint16_t>(v >> 16));
    }
    Bytes& be32(uint32_t v) {
        return be16(static_cast<uint16_t>(v >> 16)).be16(static_cast<uint16_t>(v));
    }
    Bytes& le64(uint64_t v) {
        return le32(static_cast<uint32_t>(v)).le32(static_cast<uint32_t>(v >> 32));
    }
    Bytes& be64(uint64_t v) {
        return be32(static_cast<uint32_t>(v >> 32)).be32(static_cast<uint32_t>(v));
    }
    // A 32-bit field in the byte order chosen at run time.
    Bytes& u32(uint32_t v, bool bigEndian) { return bigEndian ? be32(v) : le32(v); }
    Bytes& u16(uint16_t v, bool bigEndian) { return bigEndian ? be16(v) : le16(v); }
    Bytes& text(const std::string& s) { return raw(s.data(), s.size()); }
    // s followed by zeros up to n bytes (cut to n when longer).
    Bytes& fixedText(const std::string& s, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
        }
        return *this;
    }
    Bytes& zeros(size_t n) { return fill(n, 0); }
    // Byte by byte: GCC 12 misreads the bounds of a counted insert at -O3.
    Bytes& fill(size_t n, uint8_t v) {
        for (size_t i = 0; i < n; ++i) {
            u8(v);
        }
        return *this;
    }
    Bytes& append(const std::vector<uint8_t>& other) { return raw(other.data(), other.size()); }
    // n bytes counting up from first, wrapping at 256.
    Bytes& ramp(size_t n, uint8_t first = 0) {
        for (size_t i = 0; i < n; ++i) {
            u8(static_cast<uint8_t>(first + i));
        }
        return *this;
    }

    // resize + memcpy rather than a range insert, which GCC 12 misreports as an
    // overflow at -O2.
    Bytes& raw(const void* bytes, size_t n) {
        const size_t at = data_.size();
        data_.resize(at + n);
        if (n > 0) {
            std::memcpy(data_.data() + at, bytes, n);
        }
        return *this;
    }

    const std::vector<uint8_t>& data() const { return data_; }
    size_t size() const { return data_.size(); }

private:
    std::vector<uint8_t> data_;
};

}  // namespace testsupport
