// Recording bytes beside a fixed companion file that names interfaces 1 and 2,
// so that the blocks of interface 1 are read and merged.
#include <cstdlib>
#include <fstream>
#include <string>

#include "formats/feldane/feldane.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static translator::FeldaneReader reader;
    static const std::string dir = [] {
        char pattern[] = "/tmp/feldane-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        std::string folder = made != nullptr ? made : "/tmp";
        std::ofstream(folder + "/r.xml")
            << "<interface index=1 name=A limtype=\"Fast Ethernet\"/>\n"
               "<interface index=2 name=B limtype=ATM/>\n";
        return folder;
    }();
    const std::string path = dir + "/r.rec";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (reader.Open(path)) {
        while (reader.ReadFrame()) {
            reader.info.Accumulate(reader.frame);
        }
        reader.Close();
    }
    return 0;
}
