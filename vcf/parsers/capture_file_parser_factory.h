#pragma once

#include <memory>
#include <string>

#include "parsers/capture_file_parser.h"

namespace vcf {

// Recognises a capture file by letting each known parser try to open it.
class CVcfCaptureFileParserFactory : public CVcfCaptureFileCommon {
public:
    // An open parser with its cursor on record 1, or null; then the last
    // error is that of the last parser tried (1 when the file cannot be opened).
    std::unique_ptr<CVcfCaptureFileParser> Create(const std::string& fileName);

private:
    static std::unique_ptr<CVcfCaptureFileParser> MakeParser(int32_t formatId);
};

}  // namespace vcf
