#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/binary_stream.h"
#include "parsers/st_capture_file_parser.h"
#include "records/capture_record.h"

// What st2tcpdump and st2mergedtcpdump share: the banner, the error report,
// opening a Stavrel input, the record class of a file, the link-type choice
// and the tcpdump output.
namespace sttools {

// Records wanted when the command line asks for all of them.
constexpr uint32_t kAllRecords = 100000000;

// A box of width inner columns around the lines, with the build date and
// time in its last line; then the line ends given.
void PrintBanner(int width, const std::vector<std::string>& lines, const std::string& version,
                 const char* after);

// "ERROR [step] - message"
void ReportError(const char* step, const std::string& message);

// The parser of a B3 or B4 file, or null after reporting why not.
std::unique_ptr<vcf::CVcfStCaptureFileParser> OpenStavrelInput(const std::string& name);

// An empty record of the file's record class; null for a type without one.
std::unique_ptr<vcf::CVcfCaptureRecord> MakeRecordOfType(int32_t recordType);

struct LinkTypeChoice {
    uint32_t linkType;
    const char* text;
};

// The tcpdump link type of a layer-2 mode; modes 64 up to lastEthernetMode
// are Ethernet framings.
LinkTypeChoice ChooseLinkType(uint8_t layer2Mode, uint8_t lastEthernetMode);

// "Requested first record ..." when first lies beyond the file; true when it does.
bool FirstRecordOutOfRange(uint32_t first, uint32_t total);

// A tcpdump file in the byte order of the machine, microsecond timestamps.
class TcpdumpOutput {
public:
    bool Create(const std::string& path) { return file_.Create(path); }
    bool WriteFileHeader(uint32_t linkType);
    bool WriteRecord(const vcf::CVcfCaptureRecord& record);
    bool Close() { return file_.Close(); }

private:
    vcf::CVcfBinaryOutputStream file_;
};

// Opens the output, reporting a failure the way both tools do.
bool CreateOutput(TcpdumpOutput& output, const std::string& name);

}  // namespace sttools
