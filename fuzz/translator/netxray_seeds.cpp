// Seed corpus of the NetXRay reader: every network type, time mode and record
// form, built byte by byte, our writer's output of them, and gzip copies.
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "support/files.h"
#include "support/netxray_builder.h"
#include "support/pcap_builder.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    const std::vector<XrRecord> records = {{5, RampFrame(60), 0, 0, 0x0001},
                                           {900, RampFrame(100, 7), 1514, 1, 0x0108},
                                           {1800, RampFrame(33), 0, 7, 0x1818}};
    int n = 0;
    auto seed = [&](const XrHeader& h, bool shortRecords = false) {
        const Bytes file = NetXRayFile(h, records, shortRecords);
        const std::string name = dir + "/built" + std::to_string(n++) + ".cap";
        WriteFile(name, file.data());
        WriteGzipFile(name + ".gz", file.data());
    };
    for (uint32_t network : {0u, 1u, 2u, 3u, 9u}) {
        XrHeader h;
        h.networkType = network;
        seed(h);
    }
    for (uint16_t encapsulation : {0, 4, 6, 7, 8}) {
        XrHeader h;
        h.networkType = 3;
        h.wanEncapsulation = encapsulation;
        seed(h);
    }
    XrHeader ticks;
    ticks.timeMode = 2;
    ticks.timeOrigin = 1193182;
    seed(ticks);
    ticks.lineRate = 1000000000;
    seed(ticks);
    XrHeader single;
    single.singleLength = 1;
    seed(single);
    XrHeader old;
    old.version = "001.004";
    seed(old, true);

    const std::string pcap = dir + "/source.pcap";
    WriteFile(pcap, PcapFile(0xA1B2C3D4, false, 1,
                             {{1000, 1, RampFrame(64), 0}, {1001, 2, RampFrame(100), 1518}})
                        .data());
    translator::TranslatorEngine engine;
    translator::ConvertOptions options;
    engine.ConvertFile(pcap, dir + "/written.cap", translator::FMT_XR, options);
    WriteGzipFile(dir + "/written.cap.gz", ReadFile(dir + "/written.cap"));
    std::filesystem::remove(pcap);
    return 0;
}
