// Seed corpus of the Peek reader: version 6, 7 and 9 files of every medium,
// built byte by byte, our writer's output, and gzip copies.
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/peek_builder.h"

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    int n = 0;
    auto seed = [&](const Bytes& file) {
        const std::string name = dir + "/built" + std::to_string(n++) + ".pkt";
        WriteFile(name, file.data());
        WriteGzipFile(name + ".gz", file.data());
    };
    const uint64_t micros1904 = (2082844800ull + 1000) * 1000000;
    for (uint32_t medium : {0u, 2u}) {
        Bytes v7 = PeekFixedHeader(7, 2, medium == 2 ? 1 : 0, medium);
        PeekV7Record(v7, 65, 0, 0x02, micros1904, RampFrame(65));
        PeekV7Record(v7, 1514, 100, 0x84, micros1904 + 7, RampFrame(100));
        seed(v7);
        Bytes v6 = PeekFixedHeader(6, 2, 1, medium);
        PeekV6Record(v6, 64, 0, 0x04, 1234, RampFrame(64));
        PeekV6Record(v6, 500, 33, 0, 99999, RampFrame(33));
        seed(v6);
    }
    for (int subType : {0, 3, 4, 5, 6, 10}) {
        Bytes packets;
        auto tags = PeekTimeTags(64, 1700000000, 5);
        tags.insert(tags.end(), {{3, 2}, {4, 6}, {5, 22}, {6, 80}, {11, 16}, {12, 1}});
        PeekV9Packet(packets, tags, RampFrame(64));
        PeekV9Packet(packets, PeekTimeTags(1514, 1700000001, 0), RampFrame(99));
        PeekV9Packet(packets, PeekTimeTags(40, 1700000002, 0), RampFrame(40), 0);
        seed(PeekV9File(subType == 0 ? 0 : 12, subType, packets, 3));
    }

    translator::TranslatorEngine engine;
    translator::ConvertOptions options;
    const std::vector<PcapRecord> records = {{1000, 1, RampFrame(64), 0},
                                             {1001, 2, RampFrame(101), 1518}};
    const struct {
        uint32_t linkType;
        int format;
        const char* name;
    } outputs[] = {{1, translator::FMT_EP, "ep"},
                   {6, translator::FMT_TP, "tp"},
                   {105, translator::FMT_AP, "ap"},
                   {9, translator::FMT_WP, "wp"},
                   {107, translator::FMT_WP, "wp-fr"}};
    for (const auto& o : outputs) {
        const std::string pcap = dir + "/source.pcap";
        WriteFile(pcap, PcapFile(0xA1B2C3D4, false, o.linkType, records).data());
        const std::string out = dir + "/written-" + o.name + ".pkt";
        engine.ConvertFile(pcap, out, o.format, options);
        WriteGzipFile(out + ".gz", ReadFile(out));
        std::filesystem::remove(pcap);
    }
    return 0;
}
