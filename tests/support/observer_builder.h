#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bytes.h"

namespace testsupport {

// One Observer packet as a test describes it.
struct ObserverPacket {
    ObserverPacket(uint32_t line, uint32_t ms, std::vector<uint8_t> frame, uint32_t packetFlags = 0,
                   std::vector<uint8_t> radioBlock = {})
        : lineLength(line),
          milliseconds(ms),
          bytes(std::move(frame)),
          flags(packetFlags),
          radio(std::move(radioBlock)) {}

    uint32_t lineLength = 0;
    uint32_t milliseconds = 0;
    std::vector<uint8_t> bytes;
    uint32_t flags = 0;
    std::vector<uint8_t> radio;  // 8 bytes for 802.11 packets, else empty
};

constexpr uint32_t kObserverHeaderSize = 113;
constexpr uint32_t kObserverPacketHeaderSize = 44;

// An Observer file: the header text padded to 109 bytes and the file length,
// then the packets chained first to last (the last pointing to 0), each
// followed by 4 zero bytes.
inline Bytes ObserverFile(const std::string& headerText, uint8_t network,
                          const std::vector<ObserverPacket>& packets) {
    Bytes b;
    b.fixedText(headerText, 109).le32(0);
    uint32_t previous = 0;
    for (size_t i = 0; i < packets.size(); ++i) {
        const ObserverPacket& p = packets[i];
        const auto start = static_cast<uint32_t>(b.size());
        const auto size =
            static_cast<uint32_t>(kObserverPacketHeaderSize + p.radio.size() + p.bytes.size() + 4);
        b.le32(0x88888888)
            .le32(static_cast<uint32_t>(i))
            .le32(previous)
            .le32(i + 1 < packets.size() ? start + size : 0)
            .le32(0)
            .le32(network)
            .le32(0)
            .le32(p.lineLength)
            .le32(p.flags)
            .le32(p.milliseconds)
            .le32(static_cast<uint32_t>(p.bytes.size()))
            .append(p.radio)
            .append(p.bytes)
            .zeros(4);
        previous = start;
    }
    return b;
}

// A version-15 Ethernet file: the version text, the offset of the first packet
// and one time-information element (UTC), then each packet as a 48-byte header
// and its frame bytes; times are milliseconds since 2000-01-01.
inline Bytes ObserverFile15(const std::vector<ObserverPacket>& packets) {
    Bytes b;
    b.fixedText("ObserverPktBufferVersion=15.00", 32).le16(48).u8(0).u8(1);
    b.le16(4).le16(12).le32(0).le32(1);
    for (size_t i = 0; i < packets.size(); ++i) {
        const ObserverPacket& p = packets[i];
        const auto stored = static_cast<uint16_t>(p.bytes.size());
        b.le32(0x88888888)
            .le32(0)
            .le16(stored)
            .le16(static_cast<uint16_t>(p.lineLength))
            .le16(48)
            .le16(static_cast<uint16_t>(48 + stored))
            .zeros(8)
            .le64(i)
            .le64(i)
            .le64(uint64_t{p.milliseconds} * 1000000)
            .append(p.bytes);
    }
    return b;
}

inline const std::string kObserverVersion4 =
    "ObserverPktBufferVersion=4.00LocalAddressTable\\Local Address Table.adr";

}  // namespace testsupport
