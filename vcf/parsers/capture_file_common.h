#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "io/binary_stream.h"

namespace vcf {

// Last-error codes of every Vcf file object; GetErrorText gives their texts.
enum VcfError : int32_t {
    kVcfNoError = 0,
    kVcfErrorOpen = 1,
    kVcfErrorFormat = 2,
    kVcfErrorHeader = 3,
    kVcfErrorFile = 4,
    kVcfErrorWrite = 5,
    kVcfErrorUnknownFormat = 6,
};

// Known formats, in the order the parser factory tries them.
enum VcfFormatId : int32_t {
    kVcfFormatB3 = 0,
    kVcfFormatB4 = 1,
    kVcfFormatTcpdump = 2,
    kVcfFormatCount = 3,
};

// What every capture-file parser, writer and factory shares: the file, its
// streams, the common header fields and the last error.
class CVcfCaptureFileCommon {
public:
    CVcfCaptureFileCommon();
    virtual ~CVcfCaptureFileCommon();
    CVcfCaptureFileCommon(const CVcfCaptureFileCommon&) = delete;
    CVcfCaptureFileCommon& operator=(const CVcfCaptureFileCommon&) = delete;

    virtual void Reset();

    bool SignatureEquals(const std::string& signature) const { return signature_ == signature; }
    // The identifier of the format named name.
    bool FindFormat(const std::string& name, int32_t* formatId) const;
    bool IsMasterFormatFlagBit0Set() const { return (masterFormatFlags_ & 0x0001) != 0; }
    bool IsMasterFormatFlagBit1Set() const { return (masterFormatFlags_ & 0x0002) != 0; }
    bool IsMasterFormatFlagBit2Set() const { return (masterFormatFlags_ & 0x0004) != 0; }
    const char* GetErrorText() const;
    static const char* ErrorText(int32_t code);

    // Format identifier at a trial position; kVcfFormatCount and false beyond the table.
    bool GetFormatId(int32_t position, int32_t* formatId) const;
    bool GetFormatPosition(int32_t formatId, int32_t* position) const;
    bool GetFormatName(int32_t formatId, std::string* name) const;
    int32_t GetFormatCount() const { return kVcfFormatCount; }

    virtual std::string DumpHeader(const std::string& extra) const;
    std::string DumpHeader() const { return DumpHeader(std::string()); }

    const std::string& GetFileName() const { return fileName_; }
    int64_t GetFileSize() const { return fileSize_; }
    int32_t GetLastError() const { return lastError_; }
    void SetLastError(int32_t code) { lastError_ = code; }
    const std::string& GetSignature() const { return signature_; }
    const std::string& GetFormatCode() const { return formatCode_; }
    int32_t GetVersionMajor() const { return versionMajor_; }
    int32_t GetVersionMinor() const { return versionMinor_; }
    uint16_t GetMasterFormatFlags() const { return masterFormatFlags_; }
    uint32_t GetNumberOfRecords() const { return numberOfRecords_; }
    uint32_t GetRecordLength() const { return recordLength_; }
    uint32_t GetOffsetToData() const { return offsetToData_; }
    uint32_t GetOffsetToIndex() const { return offsetToIndex_; }
    const std::string& GetDescription() const { return description_; }

    // "0x" and digits upper-case hex digits of value; "??" for a count outside 1..8.
    static std::string HexText(uint32_t value, int digits);

protected:
    std::string fileName_;
    std::unique_ptr<CVcfBinaryInputStream> input_;
    std::unique_ptr<CVcfBinaryOutputStream> output_;
    // 64 bits: files beyond 2 GiB are sized correctly.
    int64_t fileSize_ = -1;
    int32_t lastError_ = kVcfNoError;
    std::string signature_;
    std::string formatCode_;
    int32_t versionMajor_ = 0;
    int32_t versionMinor_ = 0;
    uint16_t masterFormatFlags_ = 0;
    uint32_t numberOfRecords_ = 0;
    uint32_t recordLength_ = 0;
    uint32_t offsetToData_ = 0;
    uint32_t offsetToIndex_ = 0;
    std::string description_;
};

}  // namespace vcf
