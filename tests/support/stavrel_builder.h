#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"

namespace testsupport {

// One record of a Stavrel B3/B4 file as a test describes it. Which fields
// reach the file depends on the format and version (see StavrelRecordBytes).
struct StavrelRecord {
    uint32_t seconds = 0;
    uint32_t nanoseconds = 0;
    uint8_t source = 0;      // B4 only: port << 5 | sub-port
    uint8_t auxByteA = 0;    // B4 only
    uint8_t layer2Mode = 0;  // B4, and B3 of versions other than 1.00
    std::vector<uint8_t> headerExtra;
    std::vector<uint8_t> data;
};

struct StavrelFile {
    std::string formatCode = "B3";
    std::string version = "01.01";
    uint16_t masterFormatFlags = 0x0001;
    // 0: variable-length records located through an index after the records.
    uint32_t recordLength = 0;
    std::vector<uint16_t> recordTypes = {3};
    std::vector<std::string> sourceNames = {"POS,1A,Rx"};
    std::string headerString = "#Test capture\n";
    std::string description = "#Description: built by a test\n";
    uint16_t start[3] = {9, 5, 7042};
    uint16_t stop[3] = {10, 0, 0};
    uint32_t stopSeconds = 1000;
    uint32_t stopNanoseconds = 5;
    uint32_t triggerPacket = 0;
    std::vector<StavrelRecord> records;
};

// Field offsets of the fixed part of the header.
namespace stavrel {
constexpr size_t kNumberOfRecords = 13;
constexpr size_t kRecordLength = 17;
constexpr size_t kMasterFormatFlags = 21;
constexpr size_t kOffsetToData = 23;
constexpr size_t kOffsetToIndex = 27;
constexpr size_t kRecordTypeTable = 31;
constexpr size_t kSourceNameTable = 543;
constexpr size_t kHeaderString = 33311;
}  // namespace stavrel

inline void PatchBE32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
}

inline Bytes StavrelRecordBytes(const StavrelFile& file, const StavrelRecord& record) {
    Bytes b;
    b.be32(record.seconds).be32(record.nanoseconds);
    if (file.formatCode == "B4") {
        b.u8(record.source).u8(record.auxByteA).u8(record.layer2Mode);
    } else if (file.version != "01.00") {
        b.u8(record.layer2Mode);
    }
    b.append(record.headerExtra).append(record.data);
    return b;
}

// The whole file, header field by header field, then the records and, for
// variable-length records, the index.
inline std::vector<uint8_t> StavrelFileBytes(const StavrelFile& file) {
    std::vector<Bytes> records;
    for (const StavrelRecord& record : file.records) {
        records.push_back(StavrelRecordBytes(file, record));
    }
    const uint32_t offsetToData =
        static_cast<uint32_t>(stavrel::kHeaderString + 2 + file.headerString.size() + 2 +
                              file.description.size() + 6 + 6 + 8 + 4);
    std::vector<uint32_t> offsets;
    uint32_t end = offsetToData;
    for (const Bytes& record : records) {
        offsets.push_back(end);
        end += static_cast<uint32_t>(record.size());
    }
    const bool indexed = file.recordLength == 0 && !records.empty();

    Bytes b;
    b.text("#VTCF:").fixedText(file.formatCode, 2).fixedText(file.version, 5);
    b.be32(static_cast<uint32_t>(records.size()))
        .be32(file.recordLength)
        .be16(file.masterFormatFlags)
        .be32(offsetToData)
        .be32(indexed ? end : 0);
    for (size_t i = 0; i < 256; ++i) {
        b.be16(i < file.recordTypes.size() ? file.recordTypes[i] : 0);
    }
    for (size_t i = 0; i < 256; ++i) {
        const std::string name = i < file.sourceNames.size() ? file.sourceNames[i] : "";
        b.be16(static_cast<uint16_t>(name.size())).fixedText(name, 126);
    }
    b.be16(static_cast<uint16_t>(file.headerString.size())).text(file.headerString);
    b.be16(static_cast<uint16_t>(file.description.size())).text(file.description);
    b.be16(file.start[0]).be16(file.start[1]).be16(file.start[2]);
    b.be16(file.stop[0]).be16(file.stop[1]).be16(file.stop[2]);
    b.be32(file.stopSeconds).be32(file.stopNanoseconds).be32(file.triggerPacket);
    for (const Bytes& record : records) {
        b.append(record.data());
    }
    if (indexed) {
        for (uint32_t offset : offsets) {
            b.be32(offset);
        }
    }
    return b.data();
}

// Records of count frames, record i (from 0) at time base + i seconds and
// i * 1000 ns, its data a ramp of dataLength bytes starting at i.
inline std::vector<StavrelRecord> NumberedRecords(size_t count, size_t dataLength,
                                                  size_t extraLength, uint32_t base = 1000) {
    std::vector<StavrelRecord> records;
    for (size_t i = 0; i < count; ++i) {
        StavrelRecord r;
        r.seconds = base + static_cast<uint32_t>(i);
        r.nanoseconds = static_cast<uint32_t>(i * 1000);
        r.headerExtra.assign(extraLength, static_cast<uint8_t>(0xE0 + i));
        r.data = Bytes().ramp(dataLength, static_cast<uint8_t>(i)).data();
        records.push_back(r);
    }
    return records;
}

}  // namespace testsupport
