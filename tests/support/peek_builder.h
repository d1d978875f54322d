#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bytes.h"

namespace testsupport {

// Version 6 and 7 file header.
inline Bytes PeekFixedHeader(uint8_t version, uint32_t packets, uint32_t mediaType,
                             uint32_t physicalMedium = 0, uint32_t lineRate = 0) {
    Bytes b;
    b.u8(version).u8(0).be32(0).be32(packets).be32(0).be32(0).be32(0);
    b.be32(mediaType).be32(physicalMedium).be32(0).be32(lineRate).zeros(12);
    return b;
}

// A version 7 record; bytes are stored as given (radio bytes included) and
// padded to an even count.
inline Bytes& PeekV7Record(Bytes& b, uint16_t frameLength, uint16_t sliceLength, uint8_t flags,
                           uint64_t micros1904, const std::vector<uint8_t>& bytes) {
    b.be16(0).be16(frameLength).be16(sliceLength).u8(flags).u8(0).be64(micros1904);
    b.append(bytes).zeros(bytes.size() & 1);
    return b;
}

inline Bytes& PeekV6Record(Bytes& b, uint16_t frameLength, uint16_t capturedLength, uint8_t flags,
                           uint32_t millis, const std::vector<uint8_t>& bytes) {
    b.be16(frameLength).be16(capturedLength).u8(flags).u8(0).be32(millis).zeros(16);
    b.append(bytes).zeros(bytes.size() & 1);
    return b;
}

// A version 9 section: tag, content length, 512, content.
inline Bytes PeekSection(const std::string& tag, const std::string& content) {
    Bytes b;
    b.fixedText(tag, 4).le32(static_cast<uint32_t>(content.size())).le32(512).text(content);
    return b;
}

inline std::string PeekVersionText(const std::string& appVersion = "5.4.0.1") {
    return "<VersionInfo><FileVersion>9</FileVersion><AppVersion>" + appVersion +
           "</AppVersion></VersionInfo>";
}

inline std::string PeekSessionText(int mediaType, int subType, int packets, int linkSpeed = 0,
                                   const std::string& rawTime = "0") {
    return "<Session><RawTime>" + rawTime + "</RawTime><MediaType>" + std::to_string(mediaType) +
           "</MediaType><MediaSubType>" + std::to_string(subType) + "</MediaSubType><LinkSpeed>" +
           std::to_string(linkSpeed) + "</LinkSpeed><PacketCount>" + std::to_string(packets) +
           "</PacketCount></Session>";
}

// A version 9 packet: tag entries (tag 3 takes flags and status as two u16),
// then the captured length tag and the bytes.
inline Bytes& PeekV9Packet(Bytes& b, const std::vector<std::pair<uint16_t, uint32_t>>& tags,
                           const std::vector<uint8_t>& bytes, int64_t capturedLength = -1) {
    for (const auto& [tag, value] : tags) {
        b.le16(tag).le32(value);
    }
    b.le16(0xFFFF).le32(static_cast<uint32_t>(capturedLength < 0 ? bytes.size() : capturedLength));
    b.append(bytes);
    return b;
}

// Nanoseconds since 1601 of a Unix time.
inline uint64_t PeekNanos(uint32_t seconds, uint32_t micros) {
    return ((seconds + 11644473600ull) * 1000000 + micros) * 1000;
}

// Tag entries of a plain version 9 packet at a Unix time.
inline std::vector<std::pair<uint16_t, uint32_t>> PeekTimeTags(uint32_t frameLength,
                                                               uint32_t seconds, uint32_t micros) {
    const uint64_t t = PeekNanos(seconds, micros);
    return {{0, frameLength}, {1, static_cast<uint32_t>(t)}, {2, static_cast<uint32_t>(t >> 32)}};
}

inline Bytes PeekV9File(int mediaType, int subType, const Bytes& packets, int packetCount = 0) {
    Bytes b;
    b.append(PeekSection("\x7fver", PeekVersionText()).data());
    b.append(PeekSection("sess", PeekSessionText(mediaType, subType, packetCount)).data());
    b.append(PeekSection("pkts", "").data()).append(packets.data());
    return b;
}

}  // namespace testsupport
