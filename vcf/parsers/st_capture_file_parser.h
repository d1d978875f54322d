#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "parsers/capture_file_parser.h"
#include "parsers/st_capture_file_common.h"
#include "records/time_of_day.h"
#include "records/timestamp.h"

namespace vcf {

// Where a record came from, split out of its source name.
struct VcfPortDescription {
    std::string portType;
    std::string portId;
    std::string direction;
};

// The layer-2 mode a source-name keyword selects; 0 for any other text.
uint8_t Layer2ModeFromKeyword(const std::string& keyword);

// Splits a comma-separated source name into at most count fields. A first
// field "Unknown" ends the split at once, so every default stands.
std::vector<std::string> SplitSourceFields(const std::string& name, size_t count);

// What the B3 and B4 parsers share: the signature, format code and version
// checks, the tables, the capture times and a cache of the record index.
class CVcfStCaptureFileParser : public CVcfCaptureFileParser, public CVcfStCaptureFileCommon {
public:
    static constexpr const char kSignature[] = "#VTCF:";
    static constexpr size_t kSignatureLength = sizeof kSignature - 1;
    static constexpr uint32_t kIndexCacheSize = 1000;

    explicit CVcfStCaptureFileParser(const std::string& formatCode);

    void Reset() override;
    // Header fields, times and the index cache of a Stavrel file, with the
    // common header dump in front.
    std::string DumpHeader(const std::string& extra) const override;
    using CVcfCaptureFileCommon::DumpHeader;

    virtual bool GetPortDescription(uint32_t n, VcfPortDescription* description) = 0;
    uint32_t GetNonEmptySourceNameCount() const { return nonEmptySourceNames_; }
    virtual std::string GetSourceNameOfRecord(uint32_t n);
    std::string GetSourceNameOf(const CVcfCaptureRecord& record) const {
        return GetSourceNameOfSlot(record.GetSourceIndex());
    }
    // Port types, identifiers and directions of the named slots.
    void GetPortLists(std::vector<std::string>* portTypes, std::vector<std::string>* portIds,
                      std::vector<std::string>* directions) const;
    virtual VcfPortDescription SplitSourceName(const std::string& name) const = 0;

    // Loads the index entries around record n: from n on when reading
    // forward, up to n when reading backward.
    bool FillIndexCache(uint32_t n);
    // Entry n of the record index: the file offset of record n; 0 when the
    // file has no index.
    bool ReadIndexEntry(uint32_t n, uint32_t* offset);
    void ResetIndexCache();
    uint32_t GetIndexCacheFirst() const { return cacheFirst_; }
    uint32_t GetIndexCacheLast() const { return cacheLast_; }

    const CVcfTimeOfDay& GetCaptureStartTime() const { return captureStart_; }
    const CVcfTimeOfDay& GetCaptureStopTime() const { return captureStop_; }
    const CVcfTimestamp& GetCaptureStopTimestamp() const { return captureStopTimestamp_; }
    uint32_t GetTriggerPacketNumber() const { return triggerPacketNumber_; }
    bool IsVersion(int32_t major, int32_t minor) const {
        return versionMajor_ == major && versionMinor_ == minor;
    }

protected:
    bool LookupIndex(uint32_t n, uint64_t* offset) override;

    bool CheckSignatureFormatAndVersion();
    bool CheckFormatCodeAndReadVersion();
    bool ReadVersion();
    bool CheckSignature();

    bool ReadDimString(std::string* text);
    bool ReadRecordTypeTable();
    bool ReadSourceNameTable();
    bool ReadBytes(void* buffer, size_t n) { return input_->Read(buffer, n); }
    bool ReadTimeOfDay(CVcfTimeOfDay* time);
    bool ReadTimestamp(CVcfTimestamp* timestamp);
    bool ReadByte(uint8_t* value) { return ReadBytes(value, 1); }
    bool ReadU16(uint16_t* value);
    bool ReadU32(uint32_t* value);

    // The start of record n and its length, checked against the file: a
    // length of 0 fails quietly, one that cannot fit the file sets error 4.
    bool LocateRecord(uint32_t n, uint64_t* offset, int64_t* length);
    // Reads a buffer of a length taken from the file; null for length 0.
    bool ReadBuffer(int32_t length, std::unique_ptr<uint8_t[]>* buffer);

    CVcfTimeOfDay captureStart_;
    CVcfTimeOfDay captureStop_;
    CVcfTimestamp captureStopTimestamp_;
    uint32_t triggerPacketNumber_ = 0;

private:
    std::unique_ptr<uint32_t[]> indexCache_;
    uint32_t cacheFirst_ = 0;
    uint32_t cacheLast_ = 0;
};

}  // namespace vcf
