#include "engine/format_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/trace_info.h"

namespace translator {
namespace {

TEST(FormatTable, LookupsFallBackToTheUnknownRow) {
    EXPECT_STREQ(FormatName(0), "Unknown Analyzer Type");
    EXPECT_STREQ(FormatSuffix(99), ".unknown");
    EXPECT_STREQ(FormatCode(-1), "UN");
    EXPECT_STREQ(FormatExtension(28), ".unknown");
    EXPECT_STREQ(FormatName(FMT_WP), "WANPeek (WildPakets)");
    EXPECT_STREQ(FormatSuffix(FMT_TD), ".Tcpdump.pcap");
    EXPECT_STREQ(FormatExtension(FMT_VN), ".data_recording");
    EXPECT_STREQ(FormatName(FMT_FL), "Feldane (Veltrix)");
    EXPECT_STREQ(FormatExtension(FMT_NG), ".pcapng");
}

TEST(FormatTable, FindFormatMatchesNameOrCodeInAnyCase) {
    EXPECT_EQ(FindFormat("TD"), FMT_TD);
    EXPECT_EQ(FindFormat("td"), FMT_TD);
    EXPECT_EQ(FindFormat("tD"), FMT_TD);
    EXPECT_EQ(FindFormat("tcpdump/libpcap"), FMT_TD);
    EXPECT_EQ(FindFormat("TCPDUMP/LIBPCAP"), FMT_TD);
    EXPECT_EQ(FindFormat("Snoop (Sun)"), FMT_SO);
    EXPECT_EQ(FindFormat("n2"), FMT_N2);
    EXPECT_EQ(FindFormat("fl"), FMT_FL);
    EXPECT_EQ(FindFormat("PCAPNG"), FMT_NG);
    EXPECT_EQ(FindFormat(""), FMT_UN);
    EXPECT_EQ(FindFormat("pcap"), FMT_UN);
    EXPECT_EQ(FindFormat("UN"), FMT_UN);
    EXPECT_EQ(FindFormat(nullptr), FMT_UN);
}

TEST(FormatTable, EveryRowIsFoundByItsOwnCodeAndName) {
    for (int id = 0; id < kFormatCount; ++id) {
        EXPECT_EQ(FindFormat(FormatCode(id)), id);
        EXPECT_EQ(FindFormat(FormatName(id)), id);
        EXPECT_EQ(std::string(FormatCode(id)).size(), 2u);
    }
}

// Which modules read (r) and write (w) each format; Sniffer DOS, FireBerd
// DNA-323, Vantor and PacketGrabber are known by name only. A new format
// needs its entry here.
const char* const kModules[] = {
    "",    // UN
    "rw",  // TL
    "rw",  // TD
    "rw",  // OS
    "rw",  // XR
    "",    // SN
    "rw",  // DM
    "rw",  // LV
    "rw",  // SO
    "rw",  // SH
    "w",   // PR
    "rw",  // FB
    "w",   // FP
    "",    // FD
    "",    // VN
    "w",   // PL
    "r",   // QL
    "rw",  // EP
    "rw",  // TP
    "rw",  // WP
    "rw",  // AP
    "",    // PG
    "w",   // TX
    "rw",  // OB
    "rw",  // N2
    "rw",  // TV
    "r",   // FL
    "rw",  // NG
};
static_assert(std::size(kModules) == kFormatCount);

template <typename Module>
std::vector<int> Owners(const std::vector<std::unique_ptr<Module>>& modules) {
    std::vector<int> owners(kFormatCount);
    for (const auto& module : modules) {
        for (int id : module->Formats()) {
            if (id <= FMT_UN || id >= kFormatCount) {
                ADD_FAILURE() << "declared format " << id << " has no row";
                continue;
            }
            ++owners[id];
            // Declared, so supported on some interface the window and about box try.
            bool anyInterface = false;
            for (int type = IF_ETHERNET; type <= IF_STM1E; ++type) {
                TraceInfo info;
                info.interfaceType = type;
                info.wanType = IsWanFamilyInterface(type) ? WAN_PPP : WAN_NONE;
                anyInterface |= module->Supports(id, info);
            }
            EXPECT_TRUE(anyInterface) << FormatCode(id);
        }
    }
    return owners;
}

TEST(FormatTable, EveryFormatHasItsRowAndTheModulesOfTheFormatList) {
    const TranslatorEngine engine;
    const std::vector<int> readers = Owners(engine.Readers());
    const std::vector<int> writers = Owners(engine.Writers());
    for (int id = FMT_UN + 1; id < kFormatCount; ++id) {
        SCOPED_TRACE(FormatCode(id));
        EXPECT_STRNE(FormatName(id), FormatName(FMT_UN));
        const std::string modules = kModules[id];
        EXPECT_EQ(readers[id], modules.find('r') != std::string::npos ? 1 : 0);
        EXPECT_EQ(writers[id], modules.find('w') != std::string::npos ? 1 : 0);
        EXPECT_EQ(engine.ReaderOf(id) != nullptr, readers[id] == 1);
        EXPECT_EQ(engine.WriterOf(id) != nullptr, writers[id] == 1);
    }
}

TEST(FormatTable, InterfaceAndWanNames) {
    EXPECT_STREQ(InterfaceName(IF_ETHERNET), "Ethernet");
    EXPECT_STREQ(InterfaceName(IF_802_11), "802.11 Wireless");
    EXPECT_STREQ(InterfaceName(IF_STM1E), "STM1E");
    EXPECT_STREQ(InterfaceName(26), "");
    EXPECT_STREQ(InterfaceName(27), "Unknown Interface Type");
    EXPECT_STREQ(InterfaceName(-1), "Unknown Interface Type");
    EXPECT_STREQ(WanName(WAN_FRAME_RELAY), "Frame Relay");
    EXPECT_STREQ(WanName(10), "");
    EXPECT_STREQ(WanName(11), "Unknown WAN Type");
    EXPECT_STREQ(WanName(-5), "Unknown WAN Type");
}

TEST(FormatTable, InterfaceClasses) {
    for (int type = -1; type <= 27; ++type) {
        TraceInfo info;
        info.interfaceType = type;
        EXPECT_EQ(IsAtm(info), type >= 13 && type <= 20) << type;
        EXPECT_EQ(IsLanGroup(info), type == 1 || type == 2 || type == 4) << type;
        EXPECT_EQ(IsWanFamily(info), (type >= 5 && type <= 12) || (type >= 22 && type <= 25))
            << type;
    }
}

TEST(FormatTable, DefaultLineRate) {
    EXPECT_EQ(DefaultLineRate(IF_ETHERNET, 0), 10000000);
    EXPECT_EQ(DefaultLineRate(IF_TOKEN_RING, 0), 16000000);
    EXPECT_EQ(DefaultLineRate(IF_802_11, 0), 11000000);
    EXPECT_EQ(DefaultLineRate(IF_FDDI, 0), 100000000);
    EXPECT_EQ(DefaultLineRate(IF_802_11, 1000000), 1000000);
    EXPECT_EQ(DefaultLineRate(IF_ARCNET, 0), 0);
    EXPECT_EQ(DefaultLineRate(IF_WAN, 0), 0);
}

}  // namespace
}  // namespace translator
