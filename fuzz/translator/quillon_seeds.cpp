// Seed corpus of the Quillon reader: every media code, several blocks, cut
// and errored records, built byte by byte (there is no Quillon writer).
#include <filesystem>
#include <string>

#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/quillon_builder.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    const std::vector<std::vector<QuillonRecord>> blocks = {
        {{5, 250000, RampFrame(60), 64}, {6, 999999, RampFrame(100), 1518}},
        {{7, 0, RampFrame(60), 64, 1}},
        {{8, 1, RampFrame(1514), 1518}, {9, 2, RampFrame(20), 24}}};
    for (uint32_t media : {0u, 1u, 2u, 44u}) {
        WriteFile(dir + "/media" + std::to_string(media) + ".trc",
                  QuillonFile(media, 5, 1213853938, blocks).data());
    }
    WriteFile(dir + "/short-count.trc", QuillonFile(0, 2, 0, blocks).data());
    return 0;
}
