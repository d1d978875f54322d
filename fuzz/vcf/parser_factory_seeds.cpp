// Seed corpus of the parser factory: B3 and B4 files of every version and
// record type, fixed and variable length, built byte by byte, and tcpdump
// headers of both byte orders.
#include <filesystem>
#include <string>

#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/stavrel_builder.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    int n = 0;
    const auto write = [&](const std::string& kind, const std::vector<uint8_t>& bytes) {
        WriteFile(dir + "/" + kind + std::to_string(n++) + ".bin", bytes);
    };
    for (const char* version : {"01.00", "01.01"}) {
        for (uint16_t type : {2, 3, 4, 7}) {
            const size_t extra = type == 2 ? 5 : (type == 7 ? 0 : 8);
            for (uint32_t recordLength : {0u, 1u}) {
                StavrelFile file;
                file.version = version;
                file.recordTypes = {type};
                file.sourceNames = {"POS,1A,Rx,VTX_LAYER2_GBE", "Unknown,2B,Tx"};
                file.records = NumberedRecords(5, 40, extra);
                file.records[3].source = 0x85;
                file.records[2].layer2Mode = 66;
                if (recordLength != 0) {
                    file.recordLength =
                        static_cast<uint32_t>(StavrelRecordBytes(file, file.records[0]).size());
                    file.masterFormatFlags = 0;
                }
                write("b3-", StavrelFileBytes(file));
                file.formatCode = "B4";
                if (recordLength != 0) {
                    file.recordLength =
                        static_cast<uint32_t>(StavrelRecordBytes(file, file.records[0]).size());
                }
                write("b4-", StavrelFileBytes(file));
            }
        }
    }
    StavrelFile empty;
    write("empty-", StavrelFileBytes(empty));
    write("pcap-", PcapFile(0xA1B2C3D4, false, 1, {{1, 2, RampFrame(60), 0}}).data());
    write("pcap-", PcapFile(0xD4C3B2A1, true, 9, {}).data());
    return 0;
}
