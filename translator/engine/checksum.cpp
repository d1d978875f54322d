#include "checksum.h"

#include <libdeflate.h>

#include <array>

namespace translator {

uint32_t Crc32(const uint8_t* bytes, int64_t n) {
    if (n < 0 || n > kMaxReadFrameLength) {
        return 0;
    }
    // The 802.3 CRC (reflected 0xEDB88320, all-ones start, final complement),
    // computed with carry-less multiplication where the CPU has it.
    return libdeflate_crc32(0, bytes, static_cast<size_t>(n));
}

namespace {

constexpr std::array<uint16_t, 256> MakeFcs16Table() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned v = i;
        for (int bit = 0; bit < 8; ++bit) {
            v = (v & 1) ? (v >> 1) ^ 0x8408u : v >> 1;
        }
        table[i] = static_cast<uint16_t>(v);
    }
    return table;
}

constexpr std::array<uint16_t, 256> kFcs16Table = MakeFcs16Table();

}  // namespace

uint16_t Fcs16(const uint8_t* bytes, int64_t n) {
    if (n > kMaxReadFrameLength) {
        return 0;
    }
    uint16_t fcs = 0xFFFF;
    for (int64_t i = 0; i < n; ++i) {
        fcs = static_cast<uint16_t>((fcs >> 8) ^ kFcs16Table[(fcs ^ bytes[i]) & 0xFF]);
    }
    return static_cast<uint16_t>(~fcs);
}

}  // namespace translator
