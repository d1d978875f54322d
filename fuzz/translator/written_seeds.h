#pragma once

#include <string>

#include "engine/engine.h"
#include "support/files.h"
#include "support/pcap_builder.h"

namespace translator {

// Seeds our own writers produce: a small Ethernet and Token Ring capture
// converted to each of formats.
inline void WriteConvertedSeeds(const std::string& dir, std::initializer_list<int> formats) {
    using namespace testsupport;
    const std::vector<PcapRecord> records = {{1000, 1, RampFrame(64), 0},
                                             {1001, 500000, RampFrame(100, 7), 1518},
                                             {1002, 999999, RampFrame(42, 3), 0}};
    WriteFile(dir + "/ethernet.pcap", PcapFile(0xA1B2C3D4, false, 1, records).data());
    WriteFile(dir + "/tokenring.pcap", PcapFile(0xA1B2C3D4, false, 6, records).data());
    TranslatorEngine engine;
    ConvertOptions options;
    for (int format : formats) {
        for (const char* source : {"ethernet", "tokenring"}) {
            engine.ConvertFile(dir + "/" + source + ".pcap",
                               dir + "/" + source + "." + FormatCode(format), format, options);
        }
    }
}

}  // namespace translator
