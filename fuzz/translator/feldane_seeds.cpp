// Seed corpus of the Feldane reader: recordings with every record kind.
#include <filesystem>

#include "support/feldane_builder.h"
#include "support/files.h"
#include "support/pcap_builder.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    const auto data = RampFrame(64);
    WriteFile(dir + "/merge.rec",
              FeldaneRecording(
                  {FeldaneBlock(1, {FeldaneFrame(1, 10, 500, data), FeldaneFrame(2, 10, 400, data),
                                    FeldaneTimeMark(10, 450), FeldaneSkipped(5), FeldaneStatus()}),
                   FeldaneBlock(2, {FeldaneFrame(1, 11, 0, data)}), FeldaneBlock(1, {})})
                  .data());
    WriteFile(dir + "/empty.rec", FeldaneRecording({}).data());
    return 0;
}
