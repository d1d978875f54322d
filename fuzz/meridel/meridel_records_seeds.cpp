// Seed corpus of the record parser: blocks of records built by the bridge's
// own writer, one file per record shape and trace.
#include <filesystem>
#include <string>
#include <vector>

#include "formats/meridel/meridel_records.h"
#include "support/files.h"

using namespace translator;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    struct Seed {
        const char* name;
        MeridelRecord shape;
        bool trellan;
        uint8_t interfaceType;
        uint8_t wanType;
    };
    const Seed seeds[] = {
        {"cells", MeridelRecord::kCell, false, IF_ATM_OC3, WAN_NONE},
        {"trellan-ppp", MeridelRecord::kLayout1, true, IF_WAN, WAN_PPP},
        {"trellan-lan", MeridelRecord::kLayout1, true, IF_ETHERNET, WAN_NONE},
        {"lan", MeridelRecord::kLayout12, false, IF_ETHERNET, WAN_NONE},
        {"frame-relay", MeridelRecord::kLayout3, false, IF_WAN, WAN_FRAME_RELAY},
    };
    for (const Seed& s : seeds) {
        TraceInfo info;
        info.format = s.trellan ? FMT_TL : FMT_OS;
        info.interfaceType = s.interfaceType;
        info.wanType = s.wanType;
        info.startTime = 1200000000;
        std::vector<uint8_t> block = {
            static_cast<uint8_t>(static_cast<int>(s.shape) | (s.trellan ? 0x80 : 0)),
            s.interfaceType, s.wanType};
        for (int i = 0; i < 4; ++i) {
            FrameRecord frame;
            uint8_t* bytes = frame.SetData(nullptr, 60 + i);
            for (int b = 0; b < 60 + i; ++b) {
                bytes[b] = static_cast<uint8_t>(b + i);
            }
            frame.frameLength = frame.capturedLength = 60 + i;
            frame.seconds = 1200000000 + i;
            frame.microseconds = 1000 * i;
            frame.flags = static_cast<uint16_t>(i == 1 ? FRAME_CRC_ERROR : FRAME_DIR_LN);
            info.framesRead = i + 1;
            std::vector<uint8_t> record;
            if (BuildRecord(s.shape, info, frame, record)) {
                block.insert(block.end(), record.begin(), record.end());
            }
        }
        testsupport::WriteFile(dir + "/" + s.name, block);
    }
    return 0;
}
