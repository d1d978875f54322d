#include "core/format_table.h"

#include <gtest/gtest.h>

#include <string>

#include "core/trace_info.h"

namespace translator {
namespace {

TEST(FormatTable, LookupsFallBackToTheUnknownRow) {
    EXPECT_STREQ(FormatName(0), "Unknown Analyzer Type");
    EXPECT_STREQ(FormatSuffix(99), ".unknown");
    EXPECT_STREQ(FormatCode(-1), "UN");
    EXPECT_STREQ(FormatExtension(27), ".unknown");
    EXPECT_STREQ(FormatName(FMT_WP), "WANPeek (WildPakets)");
    EXPECT_STREQ(FormatSuffix(FMT_TD), ".Tcpdump.pcap");
    EXPECT_STREQ(FormatExtension(FMT_VN), ".data_recording");
    EXPECT_STREQ(FormatName(FMT_FL), "Feldane (Veltrix)");
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
