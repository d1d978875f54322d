// Seed corpus of the snoop reader: plain and extended records, byte-built and
// written by our own writer.
#include <filesystem>

#include "support/snoop_builder.h"
#include "written_seeds.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    SnoopRecord padded{1, 0, RampFrame(70), 0};
    padded.extra = 12;
    WriteFile(dir + "/plain.snoop", SnoopFile(4, {padded, {2, 0, RampFrame(42)}}).data());
    WriteFile(dir + "/surveyor.cap",
              SnoopFile(10, {{1, 0, RampFrame(64), 0, true, 2}, {2, 0, RampFrame(40), 44, true, 0}})
                  .data());
    WriteFile(dir + "/header.snoop", SnoopFile(8, {}).data());
    translator::WriteConvertedSeeds(dir, {translator::FMT_SO, translator::FMT_SH});
    return 0;
}
