// Hands bytes to the parser factory as a file and reads what it recognises:
// every record forward, a few backward, and the dumps.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "parsers/capture_file_parser_factory.h"
#include "parsers/st_capture_file_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int fd = memfd_create("fuzz-input", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    vcf::CVcfCaptureFileParserFactory factory;
    std::unique_ptr<vcf::CVcfCaptureFileParser> parser = factory.Create(path);
    if (!parser) {
        return 0;
    }
    parser->DumpHeader();
    vcf::CVcfCaptureRecord record;
    // A bound keeps each run short; the parser bounds itself by the file size.
    for (int i = 0; i < 5000 && parser->ReadNextRecord(record) != 0; ++i) {
        vcf::CVcfCaptureRecord copy(record);
    }
    auto* stavrel = dynamic_cast<vcf::CVcfStCaptureFileParser*>(parser.get());
    if (stavrel != nullptr) {
        stavrel->DumpTables("");
        stavrel->SetReadBackward(true);
        const uint32_t last = stavrel->GetNumberOfRecords();
        for (uint32_t n = last; n > 0 && n + 3 > last; --n) {
            stavrel->ReadRecord(n, record);
            vcf::VcfPortDescription port;
            stavrel->GetPortDescription(n, &port);
            stavrel->GetSourceNameOfRecord(n);
        }
        std::vector<std::string> types, ids, directions;
        stavrel->GetPortLists(&types, &ids, &directions);
    }
    parser->Close();
    return 0;
}
