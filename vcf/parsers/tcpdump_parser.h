#pragma once

#include <cstdint>

#include "parsers/capture_file_parser.h"

namespace vcf {

// Recognises a tcpdump (libpcap) file and reads its file header; it reads
// no records.
class CVcfTcpdumpFileParser : public CVcfCaptureFileParser {
public:
    static constexpr uint32_t kMagicBigEndian = 0xA1B2C3D4;
    static constexpr uint32_t kMagicLittleEndian = 0xD4C3B2A1;
    static constexpr uint32_t kFileHeaderLength = 24;

    CVcfTcpdumpFileParser();

    bool ReadRecord(uint32_t n, CVcfCaptureRecord& record) override;

    bool IsByteSwapped() const { return byteSwapped_; }
    int32_t GetTimeZoneCorrection() const { return timeZoneCorrection_; }
    uint32_t GetTimestampAccuracy() const { return timestampAccuracy_; }
    uint32_t GetSnapshotLength() const { return snapshotLength_; }
    uint32_t GetLinkType() const { return linkType_; }

protected:
    bool OpenAndValidate() override;
    bool ReadTypeSpecificHeader() override { return false; }
    bool LookupIndex(uint32_t, uint64_t*) override { return false; }

private:
    bool ReadMagic();
    bool ReadFileHeader();
    bool ReadU16(uint16_t* value);
    bool ReadU32(uint32_t* value);

    bool byteSwapped_ = true;
    int32_t timeZoneCorrection_ = 0;
    uint32_t timestampAccuracy_ = 0;
    uint32_t snapshotLength_ = 0;
    uint32_t linkType_ = 0;
};

}  // namespace vcf
