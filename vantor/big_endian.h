// Big-endian field access: every integer of a Vantor file is stored this way.
#pragma once

#include <cstdint>
#include <vector>

namespace vantor {

inline uint16_t GetBe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

inline uint32_t GetBe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

inline void PutBe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

inline void AppendBe16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

inline void AppendBe32(std::vector<uint8_t>& out, uint32_t v) {
    AppendBe16(out, static_cast<uint16_t>(v >> 16));
    AppendBe16(out, static_cast<uint16_t>(v));
}

}  // namespace vantor
