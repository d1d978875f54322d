// Seed corpus of the Observer reader: both length rules, every network type
// and the radio block, the version-15 layout and a refused version, built
// byte by byte, plus a file our writer produced.
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "support/files.h"
#include "support/observer_builder.h"
#include "support/pcap_builder.h"
#include "written_seeds.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    const std::vector<ObserverPacket> packets = {
        {64, 1500, RampFrame(60)}, {1518, 86399999, RampFrame(100)}, {46, 7, RampFrame(42), 0x2}};
    WriteFile(dir + "/version4.bfr", ObserverFile(kObserverVersion4, 0, packets).data());
    WriteFile(dir + "/version3.bfr",
              ObserverFile("ObserverPktBufferVersion=3.00", 0, packets).data());
    WriteFile(dir + "/token-ring.bfr", ObserverFile(kObserverVersion4, 1, packets).data());
    WriteFile(dir + "/fddi.bfr", ObserverFile(kObserverVersion4, 2, packets).data());
    WriteFile(dir + "/wireless.bfr",
              ObserverFile(kObserverVersion4, 9,
                           {{64, 5, RampFrame(60), 0, {0, 0, 22, 6, 0, 70, 0, 0}},
                            {30, 6, RampFrame(30), 0, {0, 0, 2, 1, 9, 40, 0, 0}}})
                  .data());
    WriteFile(dir + "/version15.bfr", ObserverFile15(packets).data());
    WriteFile(dir + "/version9.bfr",
              ObserverFile("ObserverPktBufferVersion=9.00", 0, packets).data());

    translator::WriteConvertedSeeds(dir, {translator::FMT_OB});
    return 0;
}
