// Seed corpus of the NetMon reader: byte-built files and our writer's output.
#include <filesystem>

#include "support/netmon_builder.h"
#include "written_seeds.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    const NetMonStart start = {2008, 6, 19, 5, 38, 58, 538};
    WriteFile(dir + "/fddi.cap",
              NetMonFile(3, start, {{0, 0, RampFrame(80)}, {5, 1500, RampFrame(90)}}, "c").data());
    WriteFile(dir + "/runt.cap", NetMonFile(1, NetMonStart{}, {{9, 0, RampFrame(20)}}).data());
    WriteFile(dir + "/empty.cap", NetMonFile(2, start, {}, std::string(400, 'x')).data());
    translator::WriteConvertedSeeds(dir, {translator::FMT_N2});
    return 0;
}
