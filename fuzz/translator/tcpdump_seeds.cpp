// Seed corpus of the tcpdump reader: every magic and record layout, built
// byte by byte, plus files our own writer produced from them.
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "support/files.h"
#include "support/pcap_builder.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    const std::vector<PcapRecord> records = {{1000, 1, RampFrame(64), 0},
                                             {1001, 2, RampFrame(100, 7), 1518},
                                             {1002, 999999, RampFrame(60), 0}};
    const uint32_t magics[] = {0xA1B2C3D4, 0xD4C3B2A1, 0xA1B2CD34,
                               0x34CDB2A1, 0xA1B23C4D, 0x4D3CB2A1};
    int n = 0;
    for (uint32_t magic : magics) {
        const bool big = (magic & 0xFF) == 0xA1;
        const bool modified = magic == 0xA1B2CD34 || magic == 0x34CDB2A1;
        WriteFile(dir + "/magic" + std::to_string(n++) + ".pcap",
                  PcapFile(magic, big, 1, records,
                           modified ? PcapLayout::kExtension8 : PcapLayout::kStandard)
                      .data());
    }
    WriteFile(dir + "/trailer.pcap",
              PcapFile(0xA1B2C3D4, false, 105, records, PcapLayout::kTrailer4).data());
    WriteFile(dir + "/header-only.pcap", PcapFile(0xA1B2C3D4, false, 9, {}).data());
    const Bytes cooked =
        Bytes().be16(0).be16(1).be16(6).ramp(6, 0x10).zeros(2).be16(0x0800).u8(0x45).ramp(39);
    WriteFile(dir + "/cooked.pcap",
              PcapFile(0xA1B2C3D4, false, 113, {{1, 0, cooked.data(), 0}}).data());
    const Bytes radiotap = Bytes()
                               .u8(0)
                               .u8(0)
                               .le16(16)
                               .le32(0x0000006E)  // flags, rate, channel, signal, noise
                               .u8(0x10)
                               .u8(108)
                               .le16(2437)
                               .le16(0x00A0)
                               .u8(0xC4)
                               .u8(0xA1)
                               .ramp(34);
    WriteFile(dir + "/radiotap.pcap",
              PcapFile(0xA1B2C3D4, false, 127, {{1, 0, radiotap.data(), 0}}).data());

    translator::TranslatorEngine engine;
    translator::ConvertOptions options;
    const std::string source = dir + "/magic0.pcap";
    for (int variant = 0; variant < 4; ++variant) {
        options.pcapbyteswapped = variant & 1;
        options.pcapmodified = variant == 2;
        options.pcapnanoseconds = variant == 3;
        engine.ConvertFile(source, dir + "/written" + std::to_string(variant) + ".pcap",
                           translator::FMT_TD, options);
    }
    return 0;
}
