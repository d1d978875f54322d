#pragma once

#include <cstdint>
#include <string>

#include "parsers/capture_file_common.h"
#include "records/capture_record.h"

namespace vcf {

// A capture file opened for reading, with a cursor over its records
// (1 = first record).
class CVcfCaptureFileParser : public CVcfCaptureFileCommon {
public:
    CVcfCaptureFileParser() = default;

    void SetReadBackward(bool backward) { readBackward_ = backward; }
    bool GetReadBackward() const { return readBackward_; }

    virtual void Close();
    // Measures the open file and remembers the size.
    int64_t DetermineFileSize();
    // Reads the record under the cursor; its number, and the cursor moves on.
    // 0 when it cannot be read (the cursor stays).
    uint32_t ReadNextRecord(CVcfCaptureRecord& record);
    bool Open(const std::string& fileName);
    void Rewind() { currentRecord_ = 1; }
    uint32_t GetCurrentRecordNumber() const { return currentRecord_; }

    virtual bool ReadRecord(uint32_t n, CVcfCaptureRecord& record) = 0;

    // Length of record n in bytes; false for a record outside the file or
    // one whose offsets cannot be had. A corrupt index can make it negative.
    virtual bool GetRecordLengthOf(uint32_t n, int64_t* length);
    virtual bool GetRecordOffset(uint32_t n, uint64_t* offset);
    // The header fields agree with each other and with the file size.
    bool CheckHeaderConsistency() const;

protected:
    virtual bool OpenAndValidate() = 0;
    virtual bool ReadTypeSpecificHeader() = 0;
    virtual bool LookupIndex(uint32_t n, uint64_t* offset) = 0;

    uint32_t currentRecord_ = 1;
    bool readBackward_ = false;
};

}  // namespace vcf
