// st2mergedtcpdump: merges two or more Stavrel B3/B4 capture files, record
// by record in timestamp order, into one tcpdump file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/stavrel_tcpdump.h"

namespace {

constexpr const char* kUsage =
    "Usage: st2mergedtcpdump -h | -? | -in inFilename -in inFilename -out outFilename "
    "[-start startPkt -num numPackets] \r\n\r\n"
    "       where:  -h and -?          give this usage message\r\n"
    "               -in    inFilename  the name of an input Sarvenic capture file\r\n"
    "               -out   outFilename the name of the output file to generate\r\n"
    "               -start startPkt    is the first packet in the merged sequence to dump\r\n"
    "                                  (count from 1)\r\n"
    "               -num   numPackets  the total number of packet records to convert\r\n"
    "                                  (default = 0 which means all packets)\r\n\r\n"
    "Note: Input file must be a valid Sarvenic capture file\r\n\r\n";

struct Arguments {
    std::vector<std::string> inputs;
    std::string output = "default.tcpdump.cap";
    uint32_t first = 1;
    uint32_t wanted = 0;
};

uint32_t ParseDecimal(const char* text) {
    return static_cast<uint32_t>(strtol(text, nullptr, 10));
}

bool ParseArguments(int argc, char** argv, Arguments* arguments) {
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const char* value = argv[++i];
        if (strcmp(option, "-in") == 0) {
            arguments->inputs.emplace_back(value);
        } else if (strcmp(option, "-out") == 0) {
            arguments->output = value;
        } else if (strcmp(option, "-start") == 0) {
            arguments->first = ParseDecimal(value);
        } else if (strcmp(option, "-num") == 0) {
            arguments->wanted = ParseDecimal(value);
        } else {
            return false;
        }
    }
    return arguments->inputs.size() >= 2;
}

// The inputs' records in timestamp order; on equal times the input named
// first comes first. A head timestamp of 0 s 0 ns marks an exhausted input.
class RecordMerge {
public:
    RecordMerge(std::vector<std::unique_ptr<vcf::CVcfStCaptureFileParser>>& parsers,
                int32_t recordType)
        : parsers_(parsers) {
        for (size_t i = 0; i < parsers_.size(); ++i) {
            slots_.push_back({sttools::MakeRecordOfType(recordType), false, -1, {}});
        }
    }

    // The next merged record; false when every input is exhausted.
    bool Next(vcf::CVcfCaptureRecord& record) {
        if (!started_) {
            started_ = true;
            for (size_t i = 0; i < slots_.size(); ++i) {
                slots_[i].next = 1;
                Refill(i);
            }
        }
        const vcf::CVcfTimestamp exhausted;
        size_t earliest = slots_.size();
        for (size_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i].head != exhausted &&
                (earliest == slots_.size() || slots_[i].head < slots_[earliest].head)) {
                earliest = i;
            }
        }
        if (earliest == slots_.size()) {
            return false;
        }
        record.Copy(*slots_[earliest].record);
        Refill(earliest);
        return true;
    }

private:
    struct Slot {
        std::unique_ptr<vcf::CVcfCaptureRecord> record;
        bool read;
        int32_t next;  // record to read after the buffered one; -1 when exhausted
        vcf::CVcfTimestamp head;
    };

    void Refill(size_t i) {
        Slot& slot = slots_[i];
        slot.read = slot.next > 0 &&
                    parsers_[i]->ReadRecord(static_cast<uint32_t>(slot.next), *slot.record);
        if (slot.read) {
            slot.head = slot.record->GetTimestamp();
            ++slot.next;
        } else {
            slot.next = -1;
            slot.head = vcf::CVcfTimestamp();
        }
    }

    std::vector<std::unique_ptr<vcf::CVcfStCaptureFileParser>>& parsers_;
    std::vector<Slot> slots_;
    bool started_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    sttools::PrintBanner(76, {" Tervo Sarvenic Capture File to Merged tcpdump Format Translator"},
                         "2.1", "");
    Arguments arguments;
    if (!ParseArguments(argc, argv, &arguments)) {
        fputs(kUsage, stdout);
        return -1;
    }

    std::vector<std::unique_ptr<vcf::CVcfStCaptureFileParser>> parsers;
    for (const std::string& name : arguments.inputs) {
        parsers.push_back(sttools::OpenStavrelInput(name));
        if (!parsers.back()) {
            return -1;
        }
    }
    sttools::TcpdumpOutput output;
    if (!sttools::CreateOutput(output, arguments.output)) {
        return -1;
    }
    const uint32_t total = parsers[0]->GetNumberOfRecords();
    printf("Source file total records:\t%u\r\n", total);
    if (sttools::FirstRecordOutOfRange(arguments.first, total)) {
        return -1;
    }
    printf("Start from record:\t\t%u\r\n", arguments.first);
    const uint32_t wanted = arguments.wanted == 0 ? sttools::kAllRecords : arguments.wanted;

    const int32_t recordType = parsers[0]->GetRecordTypeOfSource(0);
    std::unique_ptr<vcf::CVcfCaptureRecord> record = sttools::MakeRecordOfType(recordType);
    RecordMerge merge(parsers, recordType);
    uint32_t converted = 0;
    for (uint32_t n = 1; record && converted < wanted; ++n) {
        if (!merge.Next(*record)) {
            break;
        }
        if (n < arguments.first) {
            continue;
        }
        if (converted == 0) {
            const sttools::LinkTypeChoice link =
                sttools::ChooseLinkType(record->GetLayer2Mode(), 76);
            printf("Link type conversion:\t\t%s\r\n", link.text);
            output.WriteFileHeader(link.linkType);
        }
        output.WriteRecord(*record);
        ++converted;
    }
    for (auto& parser : parsers) {
        parser->Close();
    }
    output.Close();
    printf("Total merged converted packets:\t%u\r\n", converted);
    return converted > 0 ? 0 : -1;
}
