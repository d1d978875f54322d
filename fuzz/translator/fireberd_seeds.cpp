// Seed corpus of the FireBerd reader: both media, every record flag and the
// length limits, built byte by byte, plus a file our writer produced.
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "support/files.h"
#include "support/fireberd_builder.h"
#include "support/pcap_builder.h"
#include "written_seeds.h"

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
    translator::WriteConvertedSeeds(dir, {translator::FMT_FB});
    return 0;
}
