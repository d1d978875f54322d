#include "capture_file_parser_factory.h"

#include "parsers/st_binary_parser.h"
#include "parsers/tcpdump_parser.h"

namespace vcf {

std::unique_ptr<CVcfCaptureFileParser> CVcfCaptureFileParserFactory::MakeParser(int32_t formatId) {
    switch (formatId) {
        case kVcfFormatB3:
            return std::make_unique<CVcfStB3CaptureFileParser>();
        case kVcfFormatB4:
            return std::make_unique<CVcfStB4CaptureFileParser>();
        case kVcfFormatTcpdump:
            return std::make_unique<CVcfTcpdumpFileParser>();
        default:
            return nullptr;
    }
}

std::unique_ptr<CVcfCaptureFileParser> CVcfCaptureFileParserFactory::Create(
    const std::string& fileName) {
    Reset();
    const bool readable = input_->Open(fileName);
    input_->Close();
    if (!readable) {
        lastError_ = kVcfErrorOpen;
        return nullptr;
    }
    fileName_ = fileName;
    for (int32_t position = 0; position < GetFormatCount(); ++position) {
        int32_t formatId;
        GetFormatId(position, &formatId);
        std::unique_ptr<CVcfCaptureFileParser> parser = MakeParser(formatId);
        if (parser && parser->Open(fileName)) {
            return parser;
        }
        if (parser) {
            lastError_ = parser->GetLastError();
        }
    }
    return nullptr;
}

}  // namespace vcf
