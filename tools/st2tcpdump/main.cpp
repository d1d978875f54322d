// st2tcpdump: converts one Stavrel B3 or B4 capture file, or a range of its
// records, into a tcpdump file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/stavrel_tcpdump.h"

namespace {

constexpr const char* kUsage =
    "Usage: st2tcpdump -h | -? | inFilename outFilename [[startPkt] numPackets] \r\n\r\n"
    "       where:  -h and -?   give this usage message\r\n"
    "               inFilename      the name of the Stavrel capture file\r\n"
    "               outFilename     the name of the output file to generate\r\n"
    "               startPkt        is the first packet to dump (count from 1)\r\n"
    "               numPackets      the total number of packet records to convert\r\n"
    "                               (default = 0 which means all packets)\r\n\r\n"
    "Notes:\r\n"
    " 1. Input file must be a valid Stavrel capture file\r\n\r\n";

uint32_t ParseUnsigned(const char* text) {
    return static_cast<uint32_t>(strtoul(text, nullptr, 10));
}

}  // namespace

int main(int argc, char** argv) {
    sttools::PrintBanner(61, {" Stavrel Capture File to tcpdump format Translator"}, "1.2", "\r\n");
    if (argc < 3 || argc > 5) {
        fputs(kUsage, stdout);
        return -1;
    }
    const std::string inputName = argv[1];
    const std::string outputName = argv[2];
    uint32_t first = 1;
    uint32_t wanted = 0;
    if (argc == 4) {
        wanted = ParseUnsigned(argv[3]);
    } else if (argc == 5) {
        first = ParseUnsigned(argv[3]);
        wanted = ParseUnsigned(argv[4]);
    }

    std::unique_ptr<vcf::CVcfStCaptureFileParser> parser = sttools::OpenStavrelInput(inputName);
    if (!parser) {
        return -1;
    }
    sttools::TcpdumpOutput output;
    if (!sttools::CreateOutput(output, outputName)) {
        return -1;
    }
    const uint32_t total = parser->GetNumberOfRecords();
    printf("Source file total records:\t%u\r\n", total);
    if (sttools::FirstRecordOutOfRange(first, total)) {
        return -1;
    }
    printf("Start from record:\t\t%u\r\n", first);
    if (wanted == 0) {
        wanted = sttools::kAllRecords;
    }

    std::unique_ptr<vcf::CVcfCaptureRecord> record =
        sttools::MakeRecordOfType(parser->GetRecordTypeOfSource(0));
    uint32_t converted = 0;
    for (uint32_t n = 1; record && converted < wanted; ++n) {
        if (parser->ReadNextRecord(*record) != n) {
            break;
        }
        if (n < first) {
            continue;
        }
        if (converted == 0) {
            const sttools::LinkTypeChoice link =
                sttools::ChooseLinkType(record->GetLayer2Mode(), 69);
            printf("Link type conversion:\t\t%s\r\n", link.text);
            output.WriteFileHeader(link.linkType);
        }
        output.WriteRecord(*record);
        ++converted;
    }
    parser->Close();
    output.Close();
    if (converted == 0) {
        return -1;
    }
    printf("Total converted packets:\t%u\r\n", converted);
    return 0;
}
