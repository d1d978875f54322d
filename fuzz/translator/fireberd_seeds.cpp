// Seed corpus of the FireBerd reader: both media, every record flag and the
// length limits, built byte by byte, plus a file our writer produced.
#include <filesystem>
#include <string>

#include "core/engine.h"
#include "support/files.h"
#include "support/fireberd_builder.h"
#include "support/pcap_builder.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    WriteFile(dir + "/ethernet.pkt", FireBerdFile("Ethernet", 5,
                                                  {{1500, RampFrame(60)},
                                                   {2000, RampFrame(1600), 0x0200},
                                                   {2500, RampFrame(40), 0x0880},
                                                   {3000, RampFrame(64), 0x0400},
                                                   {3500, RampFrame(64), 0x4000}})
                                         .data());
    WriteFile(
        dir + "/token-ring.pkt",
        FireBerdFile("Token Ring", 2, {{0, RampFrame(60, 0x10)}, {1, RampFrame(20, 0x10)}}).data());
    const std::string source = dir + "/source.pcap";
    WriteFile(source, PcapFile(0xA1B2C3D4, false, 1,
                               {{1000, 1, RampFrame(64), 0},
                                {1001, 2, RampFrame(100, 7), 1518},
                                {1002, 999999, RampFrame(60), 0}})
                          .data());
    translator::TranslatorEngine engine;
    engine.ConvertFile(source, dir + "/written.pkt", translator::FMT_FB,
                       translator::ConvertOptions{});
    std::filesystem::remove(source);
    return 0;
}
