#pragma once

#include <cstdint>
#include <string>

#include "parsers/st_capture_file_parser.h"

namespace vcf {

// Header-extra bytes per record by record type.
int32_t HeaderExtraLengthOf(int32_t recordType);

// Opening and header reading of the binary Stavrel formats B3 and B4, which
// share one header layout.
class CVcfStBinaryCaptureFileParser : public CVcfStCaptureFileParser {
public:
    using CVcfStCaptureFileParser::CVcfStCaptureFileParser;

protected:
    bool OpenAndValidate() override;
    bool ReadTypeSpecificHeader() override;

    // Record type of the whole file: the one of source 0.
    int32_t FileRecordType() const { return GetRecordTypeOfSource(0); }

private:
    bool ReadCountsAndOffsets();
    bool ReadTables();
    bool ReadTexts();
    bool ReadCaptureTimes();
};

// Single-port captures: records of type 2 or 3.
class CVcfStB3CaptureFileParser : public CVcfStBinaryCaptureFileParser {
public:
    CVcfStB3CaptureFileParser();

    void Reset() override;
    bool ReadRecord(uint32_t n, CVcfCaptureRecord& record) override;
    bool GetPortDescription(uint32_t n, VcfPortDescription* description) override;
    // Every record of a B3 file comes from source 0.
    std::string GetSourceNameOfRecord(uint32_t n) override;
    VcfPortDescription SplitSourceName(const std::string& name) const override;

private:
    // Version 1.00 records carry no layer-2 mode: the keyword in the fourth
    // field of source name 0 gives it for the whole file.
    void TakeLayer2ModeFromSourceName();

    uint8_t layer2Mode_ = 0;
    bool layer2ModeTaken_ = false;
};

// Merged multi-port captures: records of type 4, version 1.00 only.
class CVcfStB4CaptureFileParser : public CVcfStBinaryCaptureFileParser {
public:
    CVcfStB4CaptureFileParser();

    bool ReadRecord(uint32_t n, CVcfCaptureRecord& record) override;
    bool GetPortDescription(uint32_t n, VcfPortDescription* description) override;
    VcfPortDescription SplitSourceName(const std::string& name) const override;
};

}  // namespace vcf
