// Seed corpus of the Domino reader: LAN, LinkView, WAN and ATM captures
// built byte by byte, plus files our writer produced in both formats.
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "support/domino_builder.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "written_seeds.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    DominoHeader h;
    h.description = "Domino";
    h.startTime = 1213853938;
    h.hour = 5;
    h.minute = 38;
    h.second = 58;
    const std::vector<DominoFrame> frames = {{RampFrame(64), 31250, 0x18},
                                             {RampFrame(100), 31251, 0x08, 1518},
                                             {RampFrame(60), 0, 0x98}};
    WriteFile(dir + "/ethernet.cap", DominoFile(h, frames).data());
    h.description = "LinkView PRO";
    h.adapter = 739;
    WriteFile(dir + "/linkview.cap", DominoFile(h, frames).data());
    h.description = "WAN";
    h.adapter = 359;
    h.line = 240;
    WriteFile(dir + "/wan.cap", DominoFile(h, frames).data());
    h.description = "ATM";
    h.adapter = 943;
    h.line = 0;
    WriteFile(
        dir + "/atm.cap",
        DominoFile(h, {{RampFrame(149), 0, 0x10000000}, {RampFrame(53)}, {RampFrame(120)}}).data());
    WriteFile(dir + "/empty.cap", DominoFile(h, {}).data());

    translator::WriteConvertedSeeds(dir, {translator::FMT_DM, translator::FMT_LV});
    return 0;
}
