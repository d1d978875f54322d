#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"

namespace testsupport {

struct NetMonRecord {
    uint64_t timestamp = 0;    // microseconds since the header's start
    uint32_t frameLength = 0;  // 0: the number of bytes
    std::vector<uint8_t> bytes;
};

struct NetMonStart {
    uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};

// A NetMon 2.x file: header, records back to back from offset 128, the frame
// table, then the comment (with its NUL).
inline Bytes NetMonFile(uint16_t macType, const NetMonStart& start,
                        const std::vector<NetMonRecord>& records, const std::string& comment = "") {
    Bytes body;
    std::vector<uint32_t> offsets;
    for (const auto& r : records) {
        offsets.push_back(static_cast<uint32_t>(128 + body.size()));
        const auto size = static_cast<uint32_t>(r.bytes.size());
        body.le64(r.timestamp)
            .le32(r.frameLength ? r.frameLength : size)
            .le32(size)
            .append(r.bytes);
    }
    const auto tableOffset = static_cast<uint32_t>(128 + body.size());
    const auto commentOffset = static_cast<uint32_t>(tableOffset + 4 * offsets.size());
    Bytes file;
    file.text("GMBU").u8(0).u8(2).le16(macType);
    file.le16(start.year).le16(start.month).le16(3).le16(start.day);
    file.le16(start.hour).le16(start.minute).le16(start.second).le16(start.milliseconds);
    file.le32(tableOffset).le32(static_cast<uint32_t>(4 * offsets.size())).zeros(8);
    file.le32(commentOffset).le32(static_cast<uint32_t>(comment.empty() ? 0 : comment.size() + 1));
    file.zeros(80);
    file.append(body.data());
    for (uint32_t o : offsets)
        file.le32(o);
    if (!comment.empty())
        file.text(comment).u8(0);
    return file;
}

}  // namespace testsupport
