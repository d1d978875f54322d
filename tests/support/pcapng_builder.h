#pragma once

#include <cstdint>
#include <vector>

#include "bytes.h"

namespace testsupport {

// Blocks of a pcapng file, every field big-endian when bigEndian.
struct PcapngOption {
    uint16_t code;
    std::vector<uint8_t> value;
};

// The option list with its end marker; empty without options.
inline Bytes PcapngOptions(const std::vector<PcapngOption>& options, bool bigEndian) {
    Bytes b;
    for (const auto& option : options) {
        b.u16(option.code, bigEndian).u16(static_cast<uint16_t>(option.value.size()), bigEndian);
        b.append(option.value).zeros((4 - option.value.size() % 4) % 4);
    }
    if (!options.empty()) {
        b.u32(0, bigEndian);
    }
    return b;
}

// A block around body (a multiple of 4 bytes); length 0 gives the true one,
// and trailingLength 0 the same as the leading one.
inline Bytes PcapngBlock(uint32_t type, const Bytes& body, bool bigEndian, uint32_t length = 0,
                         uint32_t trailingLength = 0) {
    const uint32_t actual = static_cast<uint32_t>(body.size()) + 12;
    length = length != 0 ? length : actual;
    Bytes b;
    b.u32(type, bigEndian).u32(length, bigEndian).append(body.data());
    return b.u32(trailingLength != 0 ? trailingLength : length, bigEndian);
}

inline Bytes PcapngSection(bool bigEndian, const std::vector<PcapngOption>& options = {}) {
    Bytes body;
    body.u32(0x1A2B3C4D, bigEndian).u16(1, bigEndian).u16(0, bigEndian).le64(UINT64_MAX);
    body.append(PcapngOptions(options, bigEndian).data());
    return PcapngBlock(0x0A0D0D0A, body, bigEndian);
}

inline Bytes PcapngInterface(uint16_t linkType, bool bigEndian,
                             const std::vector<PcapngOption>& options = {},
                             uint32_t snapLength = 0) {
    Bytes body;
    body.u16(linkType, bigEndian).u16(0, bigEndian).u32(snapLength, bigEndian);
    body.append(PcapngOptions(options, bigEndian).data());
    return PcapngBlock(1, body, bigEndian);
}

// An enhanced packet block; original 0 means as long as the data.
inline Bytes PcapngPacket(uint32_t interfaceId, uint64_t stamp, const std::vector<uint8_t>& data,
                          bool bigEndian, const std::vector<PcapngOption>& options = {},
                          uint32_t original = 0) {
    Bytes body;
    const auto size = static_cast<uint32_t>(data.size());
    body.u32(interfaceId, bigEndian)
        .u32(static_cast<uint32_t>(stamp >> 32), bigEndian)
        .u32(static_cast<uint32_t>(stamp), bigEndian)
        .u32(size, bigEndian)
        .u32(original != 0 ? original : size, bigEndian);
    body.append(data).zeros((4 - size % 4) % 4);
    body.append(PcapngOptions(options, bigEndian).data());
    return PcapngBlock(6, body, bigEndian);
}

inline Bytes PcapngSimplePacket(const std::vector<uint8_t>& data, uint32_t original,
                                bool bigEndian) {
    Bytes body;
    body.u32(original, bigEndian).append(data).zeros((4 - data.size() % 4) % 4);
    return PcapngBlock(3, body, bigEndian);
}

inline std::vector<uint8_t> OptionU8(uint8_t v) {
    return {v};
}
inline std::vector<uint8_t> OptionU32(uint32_t v, bool bigEndian) {
    return Bytes().u32(v, bigEndian).data();
}
inline std::vector<uint8_t> OptionU64(uint64_t v, bool bigEndian) {
    return (bigEndian ? Bytes().be64(v) : Bytes().le64(v)).data();
}

}  // namespace testsupport
