#include "formats/snoop/snoop.h"

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "support/pcap_builder.h"
#include "support/snoop_builder.h"
#include "translator/conversion.h"

namespace translator {
namespace {

using namespace byte_order;
using namespace testsupport;

std::vector<FrameSummary> Read(const Bytes& file, bool* opened, TraceInfo* info = nullptr) {
    TempDir dir;
    WriteFile(dir.file("in.snoop"), file.data());
    SnoopReader reader;
    auto frames = ReadFrames(reader, dir.file("in.snoop"), opened);
    if (info != nullptr)
        *info = reader.info;
    return frames;
}

TEST(SnoopReader, DataLinkMapping) {
    struct Case {
        uint32_t dataLink;
        int interfaceType;
        int32_t lineRate;
    };
    const Case cases[] = {{0, IF_ETHERNET, 10000000},     {4, IF_ETHERNET, 10000000},
                          {0x104, IF_ETHERNET, 10000000}, {10, IF_ETHERNET, 100000000},
                          {12, IF_ETHERNET, 1000000000},  {2, IF_TOKEN_RING, 16000000},
                          {8, IF_FDDI, 100000000},        {6, IF_UNKNOWN, 0}};
    for (const Case& c : cases) {
        bool opened = false;
        TraceInfo info;
        Read(SnoopFile(c.dataLink, {{1, 2, RampFrame(80)}}), &opened, &info);
        ASSERT_TRUE(opened) << c.dataLink;
        EXPECT_EQ(info.format, FMT_SO);
        EXPECT_EQ(info.interfaceType, c.interfaceType) << c.dataLink;
        EXPECT_EQ(info.lineRate, c.lineRate) << c.dataLink;
    }
    // An unknown link opens, but no LAN writer takes it.
    Conversion c;
    WriteFile(c.dir.file("in.snoop"), SnoopFile(6, {{1, 2, RampFrame(80)}}).data());
    DetectResult* detected = c.engine.Detect(c.dir.file("in.snoop"));
    ASSERT_NE(detected, nullptr);
    for (int lan : {FMT_TD, FMT_SO, FMT_SH, FMT_N2}) {
        EXPECT_EQ(std::count(detected->targets.begin(), detected->targets.end(), lan), 0) << lan;
    }
}

TEST(SnoopReader, PlainEthernetFramesArePaddedAndGainAnFcs) {
    bool opened = false;
    auto frames = Read(SnoopFile(4, {{10, 20, RampFrame(300, 0x40)},
                                     {11, 21, RampFrame(42)},
                                     {12, 22, RampFrame(100), 1514},
                                     {13, 23, RampFrame(61)}}),
                       &opened);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].bytes, WithFcs(RampFrame(300, 0x40)));
    EXPECT_EQ(frames[1].frameLength, 64);
    EXPECT_EQ(frames[1].bytes, WithFcs(RampFrame(42)));
    EXPECT_EQ(frames[1].seconds, 11u);
    EXPECT_EQ(frames[1].microseconds, 21u);
    EXPECT_EQ(frames[2].frameLength, 1518);  // truncated: the line length grows, no FCS
    EXPECT_EQ(frames[2].bytes, RampFrame(100));
    EXPECT_EQ(frames[3].bytes, WithFcs(RampFrame(61)));
}

TEST(SnoopReader, RecordLengthGovernsWhatIsConsumed) {
    bool opened = false;
    SnoopRecord padded{1, 0, RampFrame(70), 0};
    padded.extra = 12;
    auto frames = Read(SnoopFile(2, {padded, {2, 0, RampFrame(33)}}), &opened);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].seconds, 2u);
    EXPECT_EQ(frames[1].bytes, RampFrame(33));
}

TEST(SnoopReader, SurveyorRecordsAreRecognisedByTheFirstRecord) {
    SnoopRecord first{1, 0, RampFrame(64), 0, true, 0};
    SnoopRecord noFcs{2, 0, RampFrame(100), 104, true, 0x0002};
    SnoopRecord runt{3, 0, RampFrame(40), 0, true, 0};
    SnoopRecord truncated{4, 0, RampFrame(128), 1518, true, 0};
    bool opened = false;
    TraceInfo info;
    auto frames = Read(SnoopFile(4, {first, noFcs, runt, truncated}), &opened, &info);
    EXPECT_EQ(info.format, FMT_SH);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].bytes, RampFrame(64));  // stored with its FCS: passed as it is
    EXPECT_EQ(frames[1].frameLength, 100);      // line length 4 above: the FCS was not stored
    EXPECT_EQ(frames[1].bytes, RampFrame(100));
    std::vector<uint8_t> extended = RampFrame(40);
    extended.resize(64, 0);
    EXPECT_EQ(frames[2].bytes, extended);
    EXPECT_EQ(frames[3].frameLength, 1518);
    EXPECT_EQ(frames[3].bytes.size(), 128u);

    TempDir dir;
    WriteFile(dir.file("s.cap"), SnoopFile(4, {first, noFcs}).data());
    SnoopReader reader;
    ASSERT_TRUE(reader.Open(dir.file("s.cap")));
    ASSERT_TRUE(reader.ReadFrame());
    EXPECT_EQ(reader.frame.flags, 0);
    ASSERT_TRUE(reader.ReadFrame());
    EXPECT_EQ(reader.frame.flags, FRAME_CRC_ERROR);
}

TEST(SnoopReader, BadInput) {
    bool opened = true;
    Read(Bytes().text("snoop").zeros(2).u8(1).be32(2).be32(4), &opened);
    EXPECT_FALSE(opened);  // magic
    Read(SnoopFile(4, {}).zeros(10), &opened);
    EXPECT_FALSE(opened);  // first record cut short
    auto frames = Read(SnoopFile(4, {}), &opened);
    EXPECT_TRUE(opened);  // header alone: a capture without frames
    EXPECT_TRUE(frames.empty());

    Bytes shortRecord = SnoopFile(4, {{1, 0, RampFrame(64)}});
    shortRecord.be32(64).be32(64).be32(40).be32(0).be32(2).be32(0).append(RampFrame(64));
    frames = Read(shortRecord, &opened);  // record length smaller than its data
    EXPECT_EQ(frames.size(), 1u);
    Bytes cut = SnoopFile(4, {{1, 0, RampFrame(64)}, {2, 0, RampFrame(64)}});
    frames = Read(Bytes().append(std::vector<uint8_t>(cut.data().begin(), cut.data().end() - 5)),
                  &opened);
    EXPECT_EQ(frames.size(), 1u);
    Bytes tooLong = SnoopFile(4, {});
    tooLong.be32(262149).be32(262149).be32(24 + 262152).be32(0).be32(2).be32(0).zeros(262152);
    frames = Read(tooLong, &opened);
    EXPECT_TRUE(frames.empty());
    // A long line length with few stored bytes is a frame like any other.
    frames = Read(SnoopFile(4, {{1, 0, RampFrame(109), 65638}}), &opened);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].frameLength, 65642);
    // The largest line length still leaves room for the FCS added back.
    frames = Read(SnoopFile(4, {{1, 0, RampFrame(64), 0xFFFFFFFF}}), &opened);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].frameLength, INT32_MAX);
}

const std::vector<PcapRecord> kEthernet = {
    {100, 7, RampFrame(65), 0}, {101, 8, RampFrame(104, 3), 0}, {102, 9, RampFrame(128), 1518}};

TEST(SnoopWriter, PlainRecords) {
    Conversion c;
    c.options.pcapfcs = true;
    ASSERT_TRUE(c.Run(PcapFile(0xA1B2C3D4, false, 1, kEthernet), FMT_SO));
    Bytes expected;
    expected.text("snoop").zeros(3).be32(2).be32(4);
    expected.be32(61).be32(61).be32(88).be32(0).be32(100).be32(7).append(RampFrame(61)).zeros(3);
    expected.be32(100).be32(100).be32(124).be32(0).be32(101).be32(8).append(RampFrame(100, 3));
    expected.be32(1514).be32(128).be32(152).be32(0).be32(102).be32(9).append(RampFrame(128));
    EXPECT_EQ(c.Output(), expected.data());
}

TEST(SnoopWriter, ExtendedRecords) {
    Conversion c;
    c.options.pcapfcs = true;
    std::vector<PcapRecord> frames = {
        {100, 7, RampFrame(100), 0}, {101, 8, RampFrame(40, 3), 0}, {102, 9, RampFrame(128), 1600}};
    ASSERT_TRUE(c.Run(PcapFile(0xA1B2C3D4, false, 1, frames), FMT_SH));
    Bytes expected;
    expected.text("snoop").zeros(3).be32(2).be32(4);
    expected.be32(100).be32(100).be32(140).be32(0).be32(100).be32(7).append(RampFrame(100));
    uint64_t t = (0 * 1000000ull + 7 + 100) * 25;
    expected.be16(0).be16(0x0060).be32(uint32_t(t)).be32(uint32_t(t >> 32)).be32(0x8000009C);
    expected.be32(40).be32(40).be32(80).be32(0).be32(101).be32(8).append(RampFrame(40, 3));
    t = (1 * 1000000ull + 8 + 100) * 25;
    expected.be16(0).be16(0x0068).be32(uint32_t(t)).be32(uint32_t(t >> 32)).be32(1);
    expected.be32(1600).be32(128).be32(168).be32(0).be32(102).be32(9).append(RampFrame(128));
    t = (2 * 1000000ull + 9 + 100) * 25;
    expected.be16(0).be16(0x0070).be32(uint32_t(t)).be32(uint32_t(t >> 32)).be32(2);
    EXPECT_EQ(c.Output(), expected.data());
}

TEST(SnoopWriter, ExtendedRowsReadBackAsSurveyor) {
    for (int format : {FMT_SH, FMT_PR, FMT_FP, FMT_PL}) {
        Conversion c;
        c.options.pcapfcs = true;
        ASSERT_TRUE(c.Run(PcapFile(0xA1B2C3D4, false, 1, kEthernet), format));
        SnoopReader reader;
        bool opened = false;
        auto frames = ReadFrames(reader, c.dir.file("out"), &opened);
        ASSERT_TRUE(opened);
        EXPECT_EQ(reader.info.format, FMT_SH) << format;
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0].bytes, RampFrame(65));
        EXPECT_EQ(frames[1].bytes, RampFrame(104, 3));
    }
}

TEST(SnoopWriter, OffsetSideFile) {
    Conversion c;
    c.options.pcapfcs = true;
    c.options.offsetFile = true;
    ASSERT_TRUE(c.Run(PcapFile(0xA1B2C3D4, false, 1, {kEthernet[0]}), FMT_SO));
    const auto side = ReadFile(c.dir.file("out.offset"));
    std::vector<uint32_t> positions;
    for (size_t i = 0; i + 4 <= side.size(); i += 4)
        positions.push_back(LoadLE32(side.data() + i));
    // Seconds, microseconds, then the three pad bytes after the 61 data bytes.
    EXPECT_EQ(positions, (std::vector<uint32_t>{32, 33, 34, 35, 36, 37, 38, 39, 101, 102, 103}));
}

}  // namespace
}  // namespace translator
