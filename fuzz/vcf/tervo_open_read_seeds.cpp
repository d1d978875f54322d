// Seed corpus of the library's read exports: files its own writer made, and
// B3/B4 files built byte by byte with and without a creation date.
#include <filesystem>
#include <string>

#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/stavrel_builder.h"
#include "tervo_file.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    int n = 0;
    const auto name = [&](const std::string& kind) {
        return dir + "/" + kind + std::to_string(n++) + ".bin";
    };
    for (uint32_t linkType = 0; linkType <= 6; ++linkType) {
        TervoFileInfo info{};
        info.startTime = 1184647582;
        void* handle = CreateTervoFile(name("written-").c_str(), &info);
        if (handle == nullptr) {
            return 1;
        }
        std::vector<uint8_t> data = RampFrame(60);
        for (uint32_t i = 0; i < 4; ++i) {
            TervoFrame frame{linkType, i, i * 1000, 60, 60, 0, data.data()};
            WriteTervoFrame(handle, &frame);
        }
        SaveTervoFile(handle);
    }
    for (const char* header : {"#Date created: Tue Jul 17 04:46:22 2007\n#", "#none\n"}) {
        for (const char* format : {"B3", "B4"}) {
            StavrelFile file;
            file.formatCode = format;
            file.version = "01.00";
            file.headerString = header;
            file.recordTypes = {static_cast<uint16_t>(format[1] == '3' ? 2 : 4)};
            file.records = NumberedRecords(3, 40, format[1] == '3' ? 5 : 8);
            file.records[1].source = 0x85;
            WriteFile(name("built-"), StavrelFileBytes(file));
        }
    }
    return 0;
}
