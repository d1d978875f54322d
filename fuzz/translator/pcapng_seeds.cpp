// Seed corpus of the pcapng reader: both byte orders, several sections and
// interfaces, every packet block kind, built byte by byte, plus files our own
// writer produced from them.
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/pcapng_builder.h"

using namespace testsupport;

namespace {

Bytes Capture(bool big) {
    Bytes b;
    b.append(PcapngSection(big, {{1, Bytes().text("seed").data()}}).data());
    b.append(PcapngInterface(1, big, {{9, OptionU8(9)}, {14, OptionU64(5, big)}, {13, OptionU8(4)}})
                 .data());
    b.append(PcapngInterface(113, big, {{9, OptionU8(0x8A)}}).data());
    b.append(
        PcapngPacket(0, 1000000123, RampFrame(64), big, {{2, OptionU32(0x01000021, big)}}).data());
    b.append(PcapngPacket(1, 77, RampFrame(40, 3), big).data());
    b.append(PcapngBlock(0xBAD, Bytes().zeros(8), big).data());
    b.append(PcapngSimplePacket(RampFrame(61), 100, big).data());
    b.append(PcapngSection(big).data());
    b.append(PcapngInterface(1, big, {}, 80).data());
    b.append(PcapngPacket(0, 5, RampFrame(1514), big).data());
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    WriteFile(dir + "/little.pcapng", Capture(false).data());
    WriteFile(dir + "/big.pcapng", Capture(true).data());
    Bytes cooked;
    cooked.append(PcapngSection(false).data()).append(PcapngInterface(113, false).data());
    cooked.append(
        PcapngPacket(0, 1,
                     Bytes().be16(0).be16(1).be16(6).ramp(6).zeros(2).be16(0x0800).ramp(40).data(),
                     false)
            .data());
    WriteFile(dir + "/cooked.pcapng", cooked.data());

    const std::string pcap = dir + "/source.pcap";
    WriteFile(pcap, PcapFile(0xA1B2C3D4, false, 1,
                             {{1000, 1, RampFrame(64), 0}, {1001, 2, RampFrame(100, 7), 1518}})
                        .data());
    translator::TranslatorEngine engine;
    translator::ConvertOptions options;
    for (int variant = 0; variant < 2; ++variant) {
        options.pcapnanoseconds = variant == 1;
        engine.ConvertFile(pcap, dir + "/written" + std::to_string(variant) + ".pcapng",
                           translator::FMT_NG, options);
    }
    std::filesystem::remove(pcap);
    return 0;
}
