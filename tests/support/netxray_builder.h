#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"

namespace testsupport {

// The fields of a NetXRay file header a test sets; the rest stay zero.
struct XrHeader {
    std::string version = "002.001";
    uint32_t startTime = 1000000000;
    int64_t frameCount = -1;  // -1: the number of records
    uint32_t firstRecord = 128;
    uint32_t networkType = 0;
    uint32_t timeMode = 0;
    uint64_t timeOrigin = 0;
    uint32_t lineRate = 0;
    uint32_t singleLength = 0;
    uint16_t wanEncapsulation = 0;
};

struct XrRecord {
    uint64_t timeStamp = 0;
    std::vector<uint8_t> bytes;
    uint16_t frameLength = 0;  // 0: the number of bytes
    uint32_t status = 0;
    uint32_t frameInfo = 0;
};

// A NetXRay file; records carry the 40-byte header, or 28 bytes when short.
inline Bytes NetXRayFile(const XrHeader& h, const std::vector<XrRecord>& records,
                         bool shortRecords = false) {
    Bytes b;
    const auto count = static_cast<uint32_t>(h.frameCount < 0 ? records.size() : h.frameCount);
    b.fixedText("XCP", 4).fixedText(h.version, 8).le32(h.startTime).le32(count).le32(0);
    b.le32(h.firstRecord).zeros(16).le32(h.networkType).le32(h.timeMode).le64(h.timeOrigin);
    b.le32(h.lineRate).le32(0).le32(h.singleLength).zeros(12).le16(h.wanEncapsulation).zeros(42);
    for (const XrRecord& r : records) {
        const auto size = static_cast<uint16_t>(r.bytes.size());
        b.le64(r.timeStamp).le16(r.frameLength != 0 ? r.frameLength : size).le16(size).zeros(8);
        b.le32(r.status).le32(r.frameInfo).zeros(shortRecords ? 0 : 12).append(r.bytes);
    }
    return b;
}

}  // namespace testsupport
