#include "stavrel_tcpdump.h"

#include <cstdio>
#include <cstring>

#include "parsers/capture_file_parser_factory.h"

namespace sttools {

namespace {

void PrintBoxLine(int width, const std::string& text) {
    std::string line = text.substr(0, static_cast<size_t>(width));
    line.resize(static_cast<size_t>(width), ' ');
    printf("|%s|\r\n", line.c_str());
}

void PrintBoxEdge(int width) {
    printf("+%s+\r\n", std::string(static_cast<size_t>(width), '-').c_str());
}

void Append32(uint8_t* p, uint32_t v) {
    memcpy(p, &v, sizeof v);
}

}  // namespace

void PrintBanner(int width, const std::vector<std::string>& lines, const std::string& version,
                 const char* after) {
    PrintBoxEdge(width);
    for (const std::string& line : lines) {
        PrintBoxLine(width, line);
    }
    PrintBoxLine(width, "");
    PrintBoxLine(width, "  Version : " + version);
    PrintBoxLine(width, std::string("  Compiled: ") + STAVREL_BUILD_TIME);
    PrintBoxEdge(width);
    fputs(after, stdout);
}

void ReportError(const char* step, const std::string& message) {
    printf("ERROR [%s] - %s\r\n", step, message.c_str());
}

std::unique_ptr<vcf::CVcfStCaptureFileParser> OpenStavrelInput(const std::string& name) {
    vcf::CVcfCaptureFileParserFactory factory;
    std::unique_ptr<vcf::CVcfCaptureFileParser> parser = factory.Create(name);
    if (!parser) {
        ReportError("openInputFile",
                    "Failed to open file: '" + name + "'\r\nbecause: " + factory.GetErrorText());
        return nullptr;
    }
    const std::string& code = parser->GetFormatCode();
    auto* stavrel = dynamic_cast<vcf::CVcfStCaptureFileParser*>(parser.get());
    if ((code != "B3" && code != "B4") || stavrel == nullptr) {
        ReportError("openInputFile",
                    "Cannot parse file: '" + name +
                        "'\r\nbecause: The file is neither B3 nor B4 format so cannot be "
                        "processed further.");
        return nullptr;
    }
    parser.release();
    return std::unique_ptr<vcf::CVcfStCaptureFileParser>(stavrel);
}

std::unique_ptr<vcf::CVcfCaptureRecord> MakeRecordOfType(int32_t recordType) {
    switch (recordType) {
        case vcf::kVcfRecordIPv4K3318BB:
            return std::make_unique<vcf::CVcfIPv4K3318BBRecord>();
        case vcf::kVcfRecordL2ST640:
            return std::make_unique<vcf::CVcfL2ST640Record>();
        case vcf::kVcfRecordL2ST640Merged:
            return std::make_unique<vcf::CVcfL2ST640MergedRecord>();
        default:
            return nullptr;
    }
}

LinkTypeChoice ChooseLinkType(uint8_t layer2Mode, uint8_t lastEthernetMode) {
    switch (layer2Mode) {
        case 0:
            return {9, "L2_POS_PPP to LINKTYPE_PPP"};
        case 1:
            return {104, "L2_POS_CISCO_HDLC to LINKTYPE_C_HDLC"};
        case 2:
            return {101, "GbE payload to LINKTYPE_RAW_IP"};
        case 7:
        case 8:
            return {0, "L2_ATM to LINKTYPE_NULL (probably won't work)"};
        case 9:
            return {107, "FRAME_RELAY to LINKTYPE_FRELAY"};
        default:
            break;
    }
    if (layer2Mode >= 64 && layer2Mode <= lastEthernetMode) {
        return {1, "L2_ETHERNET to LINKTYPE_ETHERNET"};
    }
    return {0, "Default L2Mode to LINKTYPE_NULL (uncertain outcome)"};
}

bool FirstRecordOutOfRange(uint32_t first, uint32_t total) {
    if (first <= total) {
        return false;
    }
    char message[160];
    snprintf(message, sizeof message,
             "Requested first record %lu > %lu, the total number of records in the source file.",
             static_cast<unsigned long>(first), static_cast<unsigned long>(total));
    ReportError("convertRecords", message);
    return true;
}

bool TcpdumpOutput::WriteFileHeader(uint32_t linkType) {
    uint8_t header[24];
    Append32(header, 0xA1B2C3D4);
    const uint16_t versions[2] = {2, 4};
    memcpy(header + 4, versions, sizeof versions);
    Append32(header + 8, 0);
    Append32(header + 12, 0);
    Append32(header + 16, 65535);
    Append32(header + 20, linkType);
    return file_.Write(header, sizeof header);
}

bool TcpdumpOutput::WriteRecord(const vcf::CVcfCaptureRecord& record) {
    uint8_t header[16];
    Append32(header, static_cast<uint32_t>(record.GetSeconds()));
    Append32(header + 4, static_cast<uint32_t>(record.GetNanoseconds() / 1000));
    Append32(header + 8, static_cast<uint32_t>(record.GetCapturedLength()));
    Append32(header + 12, static_cast<uint32_t>(record.GetOriginalLength()));
    return file_.Write(header, sizeof header) &&
           (record.GetCapturedLength() == 0 ||
            file_.Write(record.GetData(), static_cast<size_t>(record.GetCapturedLength())));
}

bool CreateOutput(TcpdumpOutput& output, const std::string& name) {
    if (output.Create(name)) {
        return true;
    }
    ReportError("openOutputFile", "Failed to open file: '" + name + "'");
    ReportError("convertRecords", "Failed to open output file");
    return false;
}

}  // namespace sttools
