// Seed corpus of the decompressing input: pcaps stored plain, gzip- and
// zstd-compressed, in one part and in several, whole and cut short.
#include <filesystem>
#include <string>

#include "support/files.h"
#include "support/pcap_builder.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    std::vector<PcapRecord> records;
    for (uint32_t i = 0; i < 8; ++i) {
        records.push_back({1000 + i, i, RampFrame(60 + 20 * i, static_cast<uint8_t>(i))});
    }
    const std::vector<uint8_t> pcap = PcapFile(0xA1B2C3D4, false, 1, records).data();
    WriteFile(dir + "/plain.pcap", pcap);
    const std::pair<const char*, Compress> kinds[] = {{"gz", GzipMember}, {"zst", ZstdFrame}};
    for (const auto& [suffix, compress] : kinds) {
        const std::string name = dir + "/capture";
        const std::vector<uint8_t> whole = compress(pcap);
        WriteFile(name + "." + suffix, whole);
        WriteFile(name + "-parts." + suffix, InParts(compress, pcap, 200));
        std::vector<uint8_t> cut = whole;
        cut.resize(cut.size() * 2 / 3);
        WriteFile(name + "-cut." + suffix, cut);
    }
    return 0;
}
