#include "formats/netmon/netmon.h"

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "support/netmon_builder.h"
#include "support/pcap_builder.h"
#include "translator/conversion.h"

namespace translator {
namespace {

using namespace byte_order;
using namespace testsupport;

const NetMonStart kStart = {2008, 6, 19, 5, 38, 58, 538};  // 1213853938 s in UTC

std::vector<FrameSummary> Read(const Bytes& file, bool* opened, TraceInfo* info = nullptr) {
    TempDir dir;
    WriteFile(dir.file("in.cap"), file.data());
    NetMonReader reader;
    auto frames = ReadFrames(reader, dir.file("in.cap"), opened);
    if (info != nullptr)
        *info = reader.info;
    return frames;
}

TEST(NetMonReader, HeaderFields) {
    struct Case {
        uint16_t mac;
        int interfaceType;
    };
    for (const Case& c : {Case{1, IF_ETHERNET}, Case{2, IF_TOKEN_RING}, Case{3, IF_FDDI}}) {
        bool opened = false;
        TraceInfo info;
        Read(NetMonFile(c.mac, kStart, {{0, 0, RampFrame(70)}}, "capture notes"), &opened, &info);
        ASSERT_TRUE(opened) << c.mac;
        EXPECT_EQ(info.format, FMT_N2);
        EXPECT_EQ(info.interfaceType, c.interfaceType);
        EXPECT_EQ(info.startTime, 1213853938u);
        EXPECT_EQ(info.totalFrames, 1);
        EXPECT_STREQ(info.comment, "capture notes");
    }
    for (uint16_t mac : {0, 4, 0xFFFF}) {
        bool opened = true;
        Read(NetMonFile(mac, kStart, {}), &opened);
        EXPECT_FALSE(opened) << mac;
    }
    bool opened = true;
    Bytes badMagic = NetMonFile(1, kStart, {});
    badMagic = Bytes().text("GMBX").append(
        std::vector<uint8_t>(badMagic.data().begin() + 4, badMagic.data().end()));
    Read(badMagic, &opened);
    EXPECT_FALSE(opened);
}

TEST(NetMonReader, CommentIsCutAt299) {
    bool opened = false;
    TraceInfo info;
    Read(NetMonFile(1, kStart, {}, std::string(400, 'c')), &opened, &info);
    ASSERT_TRUE(opened);
    EXPECT_EQ(std::string(info.comment), std::string(299, 'c'));
}

TEST(NetMonReader, FrameTimesAddTheHeaderMilliseconds) {
    bool opened = false;
    auto frames = Read(
        NetMonFile(2, kStart, {{217, 0, RampFrame(40)}, {1408046217, 0, RampFrame(40)}}), &opened);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].seconds, 1213853938u);
    EXPECT_EQ(frames[0].microseconds, 538217u);
    EXPECT_EQ(frames[1].seconds, 1213853938u + 1408u);
    EXPECT_EQ(frames[1].microseconds, 584217u);
    // Token Ring frames pass as stored.
    EXPECT_EQ(frames[0].bytes, RampFrame(40));
    EXPECT_EQ(frames[0].frameLength, 40);

    NetMonStart noDate;
    noDate.milliseconds = 5;
    frames = Read(NetMonFile(1, noDate, {{3000001, 0, RampFrame(60)}}), &opened);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].seconds, 3u);
    EXPECT_EQ(frames[0].microseconds, 5001u);
}

TEST(NetMonReader, EthernetFramesGainAnFcsAndRuntsGrowTo64) {
    bool opened = false;
    // A long frame first, so that the runt's buffer holds left-over bytes.
    auto frames = Read(NetMonFile(1, kStart,
                                  {{0, 0, RampFrame(200, 0x80)},
                                   {1, 0, RampFrame(50)},
                                   {2, 1514, RampFrame(100)},
                                   {3, 0, RampFrame(61)}}),
                       &opened);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].bytes, WithFcs(RampFrame(200, 0x80)));
    EXPECT_EQ(frames[1].frameLength, 64);
    EXPECT_EQ(frames[1].bytes, WithFcs(RampFrame(50)));  // zeros to 60, then the FCS
    EXPECT_EQ(frames[2].frameLength, 1518);              // truncated: no FCS
    EXPECT_EQ(frames[2].bytes, RampFrame(100));
    EXPECT_EQ(frames[3].frameLength, 65);
    EXPECT_EQ(frames[3].bytes, WithFcs(RampFrame(61)));
}

TEST(NetMonReader, EmptyTable) {
    bool opened = false;
    TraceInfo info;
    EXPECT_TRUE(Read(NetMonFile(1, kStart, {}), &opened, &info).empty());
    EXPECT_TRUE(opened);
    EXPECT_EQ(info.totalFrames, 0);
}

TEST(NetMonReader, OffsetsFromTheFileAreChecked) {
    const Bytes good = NetMonFile(1, kStart, {{0, 0, RampFrame(64)}, {1, 0, RampFrame(64)}}, "c");
    auto patched = [&](size_t at, uint32_t value, size_t at2 = 0) {
        std::vector<uint8_t> bytes = good.data();
        StoreLE32(bytes.data() + at, value);
        if (at2 != 0)
            StoreLE32(bytes.data() + at2, value);
        return Bytes().append(bytes);
    };
    bool opened = true;
    Read(patched(28, 0x40000000), &opened);  // table length beyond the file
    EXPECT_FALSE(opened);
    Read(patched(24, 0xFFFFFFF0), &opened);  // table offset beyond the file
    EXPECT_FALSE(opened);
    Read(patched(40, 0x7FFFFFFF), &opened);  // comment outside the file
    EXPECT_FALSE(opened);
    const size_t table = 128 + 2 * (16 + 64);
    auto frames = Read(patched(table + 4, 0x7FFFFFF0), &opened);  // second entry outside
    EXPECT_TRUE(opened);
    EXPECT_EQ(frames.size(), 1u);
    frames = Read(patched(128 + 8, 1000, 128 + 12), &opened);  // first record runs into the table
    EXPECT_TRUE(frames.empty());
    frames = Read(patched(table, 0), &opened);  // an entry of 0 ends the frames
    EXPECT_TRUE(frames.empty());
}

TEST(NetMonWriter, FileLayout) {
    Conversion c;
    c.options.pcapfcs = true;
    const std::vector<PcapRecord> records = {{1213853938, 538217, RampFrame(64), 0},
                                             {1213853940, 5, RampFrame(100, 1), 1518}};
    ASSERT_TRUE(c.Run(PcapFile(0xA1B2C3D4, false, 1, records), FMT_N2));
    Bytes expected;
    expected.text("GMBU").u8(0).u8(2).le16(1);
    expected.le16(2008).le16(6).le16(2).le16(19).le16(5).le16(38).le16(58).le16(0);
    const uint32_t table = 128 + 16 + 60 + 16 + 100;
    expected.le32(table).le32(8).zeros(8).le32(table + 8).le32(31).zeros(80);
    expected.le64(538217).le32(60).le32(60).append(RampFrame(60));
    // The cut frame keeps every captured byte.
    expected.le64(2000005).le32(1514).le32(100).append(RampFrame(100, 1));
    expected.le32(128).le32(128 + 16 + 60);
    expected.text("Converted From tcpdump/libpcap").u8(0);
    EXPECT_EQ(c.Output(), expected.data());
}

TEST(NetMonWriter, NoFramesStillWritesTableAndComment) {
    Conversion c;
    ASSERT_TRUE(c.Run(PcapFile(0xA1B2C3D4, false, 6, {}), FMT_N2));
    const auto out = c.Output();
    ASSERT_EQ(out.size(), 128u + 31u);
    EXPECT_EQ(LoadLE16(out.data() + 6), 2);      // Token Ring
    EXPECT_EQ(LoadLE16(out.data() + 8), 1970);   // start time 0
    EXPECT_EQ(LoadLE32(out.data() + 24), 128u);  // empty table right after the header
    EXPECT_EQ(LoadLE32(out.data() + 28), 0u);
}

TEST(NetMonWriter, OnlyLanTracesAreWritten) {
    Conversion c;
    EXPECT_FALSE(c.Run(PcapFile(0xA1B2C3D4, false, 9, {{1, 0, RampFrame(60), 0}}), FMT_N2));
    EXPECT_STREQ(c.quiet.Messages(),
                 "The source format is not compatible with NetMon (Microsoft, SMS 2.0).\r\n");
}

TEST(NetMonWriter, OffsetSideFileMarksTheTimes) {
    Conversion c;
    c.options.offsetFile = true;
    ASSERT_TRUE(c.Run(PcapFile(0xA1B2C3D4, false, 1, {{5, 0, RampFrame(64), 0}}), FMT_N2));
    const auto side = ReadFile(c.dir.file("out.offset"));
    ASSERT_EQ(side.size(), 16u * 4);
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(LoadLE32(side.data() + 4 * i), 16 + i);        // header time fields
        EXPECT_EQ(LoadLE32(side.data() + 32 + 4 * i), 128 + i);  // first record's time stamp
    }
}

}  // namespace
}  // namespace translator
