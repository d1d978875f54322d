#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bytes.h"

namespace testsupport {

// One FireBerd packet record as a test describes it.
struct FireBerdRecord {
    FireBerdRecord(uint32_t ms, std::vector<uint8_t> frame, uint16_t recordFlags = 0)
        : milliseconds(ms), bytes(std::move(frame)), flags(recordFlags) {}

    uint32_t milliseconds = 0;
    std::vector<uint8_t> bytes;
    uint16_t flags = 0;
};

constexpr uint32_t kFireBerdHeaderSize = 76;
constexpr uint32_t kFireBerdRecordHeaderSize = 10;

// A FireBerd file: header with the given description and record count, the
// records numbered from 0, then the table of record offsets.
inline Bytes FireBerdFile(const std::string& description, uint32_t count,
                          const std::vector<FireBerdRecord>& records,
                          const std::string& application = "ProbeApps") {
    Bytes b;
    b.zeros(2)
        .fixedText(application, 10)
        .fixedText(description, 40)
        .fixedText("Packet Log", 20)
        .le32(count);
    std::vector<uint32_t> offsets;
    for (size_t i = 0; i < records.size(); ++i) {
        offsets.push_back(static_cast<uint32_t>(b.size()));
        b.le16(static_cast<uint16_t>(records[i].bytes.size()))
            .le16(records[i].flags)
            .le16(static_cast<uint16_t>(i))
            .le32(records[i].milliseconds)
            .append(records[i].bytes);
    }
    for (uint32_t offset : offsets) {
        b.le32(offset);
    }
    return b;
}

}  // namespace testsupport
