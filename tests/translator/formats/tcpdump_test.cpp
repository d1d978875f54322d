#include "formats/tcpdump/tcpdump.h"

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "console/console_progress.h"
#include "engine/engine.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "translator/conversion.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace byte_order;
using namespace testsupport;

const std::vector<PcapRecord> kRecords = {
    {1000, 1, RampFrame(64), 0},
    {1001, 500000, RampFrame(100, 7), 1518},
    {1002, 999999, RampFrame(60, 3), 0},
};

std::vector<FrameSummary> Expected(const std::vector<PcapRecord>& records, bool nano = false) {
    std::vector<FrameSummary> frames;
    for (const auto& r : records) {
        FrameSummary f;
        f.seconds = r.seconds;
        f.microseconds = nano ? r.subSecond / 1000 : r.subSecond;
        f.nanoseconds = nano ? r.subSecond % 1000 : 0;
        f.frameLength = static_cast<int32_t>(r.originalLength ? r.originalLength : r.bytes.size());
        f.bytes = r.bytes;
        // Ethernet frames gain their FCS: whole ones the computed bytes, cut ones the length.
        if (f.frameLength > 0 && static_cast<int32_t>(f.bytes.size()) == f.frameLength) {
            f.bytes = WithFcs(f.bytes);
        }
        f.frameLength += f.frameLength > 0 ? 4 : 0;
        frames.push_back(f);
    }
    return frames;
}

struct MagicCase {
    uint32_t magic;
    bool bigEndian;
    PcapLayout layout;
    bool nano;
};

class TcpdumpMagic : public ::testing::TestWithParam<MagicCase> {};

TEST_P(TcpdumpMagic, EveryMagicGivesTheSameFrames) {
    const MagicCase c = GetParam();
    std::vector<PcapRecord> records = kRecords;
    if (c.nano) {
        for (auto& r : records)
            r.subSecond = r.subSecond * 1000 + 7;
    }
    TempDir dir;
    WriteFile(dir.file("in.pcap"), PcapFile(c.magic, c.bigEndian, 1, records, c.layout).data());
    TcpdumpReader reader;
    bool opened = false;
    auto frames = ReadFrames(reader, dir.file("in.pcap"), &opened);
    ASSERT_TRUE(opened);
    EXPECT_EQ(reader.info.format, FMT_TD);
    EXPECT_EQ(reader.info.interfaceType, IF_ETHERNET);
    EXPECT_EQ(reader.info.lineRate, 10000000);
    EXPECT_EQ(frames, Expected(records, c.nano));
}

INSTANTIATE_TEST_SUITE_P(
    AllMagics, TcpdumpMagic,
    ::testing::Values(MagicCase{0xA1B2C3D4, false, PcapLayout::kStandard, false},
                      MagicCase{0xD4C3B2A1, true, PcapLayout::kStandard, false},
                      MagicCase{0xA1B2CD34, false, PcapLayout::kExtension8, false},
                      MagicCase{0x34CDB2A1, true, PcapLayout::kExtension8, false},
                      MagicCase{0xA1B23C4D, false, PcapLayout::kStandard, true},
                      MagicCase{0x4D3CB2A1, true, PcapLayout::kStandard, true}));

std::vector<FrameSummary> ReadBytes(const Bytes& file, bool* opened, TraceInfo* info = nullptr) {
    TempDir dir;
    WriteFile(dir.file("in.pcap"), file.data());
    TcpdumpReader reader;
    auto frames = ReadFrames(reader, dir.file("in.pcap"), opened);
    if (info != nullptr) {
        *info = reader.info;
    }
    return frames;
}

TEST(TcpdumpReader, ProbeFindsTheExtensionLayoutBehindTheStandardMagic) {
    // Read as standard, the second header falls 8 bytes early: its length fields
    // are then the next record's seconds and sub-second.
    std::vector<PcapRecord> records = kRecords;
    records[1].seconds = 2000;
    records[1].subSecond = 3000;
    bool opened = false;
    auto frames = ReadBytes(
        PcapFile(0xA1B2C3D4, false, 1, records, PcapLayout::kExtension8, /*snapLength=*/1000),
        &opened);
    ASSERT_TRUE(opened);
    EXPECT_EQ(frames, Expected(records));

    records[1].seconds = 0;
    records[1].subSecond = 0;
    frames =
        ReadBytes(PcapFile(0xA1B2C3D4, false, 1, records, PcapLayout::kExtension8, 0), &opened);
    ASSERT_TRUE(opened);
    EXPECT_EQ(frames, Expected(records));
}

TEST(TcpdumpReader, ProbeFindsTheTrailerLayout) {
    bool opened = false;
    auto frames =
        ReadBytes(PcapFile(0xA1B2C3D4, false, 1, kRecords, PcapLayout::kTrailer4), &opened);
    ASSERT_TRUE(opened);
    EXPECT_EQ(frames, Expected(kRecords));
}

TEST(TcpdumpReader, ProbeRejectsAnImplausibleSecondRecord) {
    // The second header's included length (9000) exceeds the snapshot length and
    // fits no layout.
    Bytes bad;
    bad.append(PcapFile(0xA1B2C3D4, false, 1, {kRecords[0]}, PcapLayout::kStandard, 1000).data())
        .le32(1)
        .le32(900000)
        .le32(9000)
        .le32(20);
    bool opened = true;
    ReadBytes(bad, &opened);
    EXPECT_FALSE(opened);
}

// Standard files whose second header passes for that of the extension layout.
class TcpdumpProbeMistaken : public ::testing::TestWithParam<PcapRecord> {};

TEST_P(TcpdumpProbeMistaken, StandardFilesReadWhole) {
    const std::vector<PcapRecord> records = {kRecords[0], GetParam(), kRecords[2]};
    bool opened = false;
    EXPECT_EQ(
        ReadBytes(PcapFile(0xA1B2C3D4, false, 1, records, PcapLayout::kStandard, 64), &opened),
        Expected(records));
}

INSTANTIATE_TEST_SUITE_P(SecondHeaders, TcpdumpProbeMistaken,
                         ::testing::Values(PcapRecord{1001, 5, RampFrame(100, 7)},  // over 64 bytes
                                           PcapRecord{1001, 5, {}}));

TEST(TcpdumpReader, FilesWithoutASecondRecordUseTheStandardLayout) {
    bool opened = false;
    auto frames = ReadBytes(PcapFile(0xA1B2C3D4, false, 1, {}), &opened);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(frames.empty());
    frames = ReadBytes(PcapFile(0xA1B2C3D4, false, 1, {kRecords[1]}), &opened);
    EXPECT_TRUE(opened);
    EXPECT_EQ(frames, Expected({kRecords[1]}));
}

TEST(TcpdumpReader, LinkTypes) {
    struct Case {
        uint32_t linkType;
        int interfaceType;
        int wanType;
        int32_t lineRate;
    };
    const Case accepted[] = {
        {1, IF_ETHERNET, WAN_NONE, 10000000},
        {6, IF_TOKEN_RING, WAN_NONE, 16000000},
        {7, IF_ARCNET, WAN_NONE, 0},
        {9, IF_WAN, WAN_PPP, 0},
        {10, IF_FDDI, WAN_NONE, 100000000},
        {11, IF_ATM, WAN_NONE, 0},
        {19, IF_ATM, WAN_NONE, 0},
        {123, IF_ATM, WAN_NONE, 0},
        {100, IF_ETHERNET, WAN_NONE, 100000000},
        {104, IF_WAN, WAN_HDLC, 0},
        {121, IF_WAN, WAN_HDLC, 0},
        {105, IF_802_11, WAN_NONE, 1000000},
        {107, IF_WAN, WAN_FRAME_RELAY, 0},
        // Rebuilt into Ethernet or bare 802.11 frames.
        {0, IF_ETHERNET, WAN_NONE, 10000000},
        {101, IF_ETHERNET, WAN_NONE, 10000000},
        {108, IF_ETHERNET, WAN_NONE, 10000000},
        {113, IF_ETHERNET, WAN_NONE, 10000000},
        {127, IF_802_11, WAN_NONE, 1000000},
        {228, IF_ETHERNET, WAN_NONE, 10000000},
        {229, IF_ETHERNET, WAN_NONE, 10000000},
        {276, IF_ETHERNET, WAN_NONE, 10000000},
    };
    for (const Case& c : accepted) {
        bool opened = false;
        TraceInfo info;
        ReadBytes(PcapFile(0xD4C3B2A1, true, c.linkType, kRecords), &opened, &info);
        ASSERT_TRUE(opened) << c.linkType;
        EXPECT_EQ(info.interfaceType, c.interfaceType) << c.linkType;
        EXPECT_EQ(info.wanType, c.wanType) << c.linkType;
        EXPECT_EQ(info.lineRate, c.lineRate) << c.linkType;
        EXPECT_EQ(info.totalFrames, -1);
    }
}

TEST(TcpdumpReader, RejectsOldVersionsAndUnknownMagics) {
    bool opened = true;
    ReadBytes(PcapFile(0xD4C3B2A1, true, 1, kRecords, PcapLayout::kStandard, 65535, 1), &opened);
    EXPECT_FALSE(opened);
    ReadBytes(PcapFile(0x12345678, false, 1, kRecords), &opened);
    EXPECT_FALSE(opened);
    ReadBytes(Bytes().le32(0xA1B2C3D4).le16(2), &opened);  // header cut short
    EXPECT_FALSE(opened);
}

TEST(TcpdumpReader, RecordLengthRules) {
    bool opened = false;
    // Included length above the original: the two are exchanged.
    Bytes swappedLengths = PcapFile(0xD4C3B2A1, true, 1, {});
    swappedLengths.be32(5).be32(6).be32(70).be32(64).append(RampFrame(70));
    auto frames = ReadBytes(swappedLengths, &opened);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].frameLength, 74);  // a cut frame: the line gains the FCS
    EXPECT_EQ(frames[0].bytes.size(), 64u);

    // A record of none is a frame, and reading goes on after it.
    Bytes empty = PcapFile(0xD4C3B2A1, true, 1, {kRecords[0]});
    empty.be32(5).be32(6).be32(0).be32(0).be32(7).be32(0).be32(64).be32(64).append(RampFrame(64));
    EXPECT_EQ(ReadBytes(empty, &opened).size(), 3u);
}

TEST(TcpdumpReader, FramesUpToTheLargestSnapshotLengthReadWhole) {
    TempDir dir;
    for (uint32_t length : {61440u, 262144u, 262145u}) {
        Bytes file = PcapFile(0xD4C3B2A1, true, 1, {kRecords[0]});
        const std::vector<uint8_t> big = RampFrame(length);
        file.be32(5).be32(6).be32(length).be32(length).append(big);
        WriteFile(dir.file("in.pcap"), file.data());
        TcpdumpReader reader;
        ASSERT_TRUE(reader.Open(dir.file("in.pcap")));
        ASSERT_TRUE(reader.ReadFrame());
        reader.info.Accumulate(reader.frame);
        const bool read = reader.ReadFrame();
        if (length <= 262144) {
            ASSERT_TRUE(read) << length;
            EXPECT_EQ(Summary(reader.frame).bytes, WithFcs(big));
            EXPECT_EQ(reader.frame.frameLength, static_cast<int32_t>(length) + 4);
        } else {
            EXPECT_FALSE(read);
            EXPECT_EQ(reader.LastReadStatus(), TraceReader::ReadStatus::Damaged);
            EXPECT_EQ(reader.DamageReason(), "frame 2 is 262145 bytes long, too long to read");
        }
    }
}

TEST(TcpdumpReader, AccuracyFieldMarksNanosecondSubSeconds) {
    bool opened = false;
    std::vector<PcapRecord> records = {{7, 123456789, RampFrame(60), 0}};
    Bytes file = PcapFile(0xD4C3B2A1, true, 1, records, PcapLayout::kStandard, 65535, 2, 3);
    auto frames = ReadBytes(file, &opened);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].microseconds, 123456u);
    EXPECT_EQ(frames[0].nanoseconds, 0u);
}

TEST(TcpdumpReader, WirelessFramesGetFixedRadioValues) {
    TempDir dir;
    WriteFile(dir.file("w.pcap"), PcapFile(0xD4C3B2A1, true, 105, kRecords).data());
    TcpdumpReader reader;
    ASSERT_TRUE(reader.Open(dir.file("w.pcap")));
    ASSERT_TRUE(reader.ReadFrame());
    EXPECT_EQ(reader.frame.wlanRate, 22);
    EXPECT_EQ(reader.frame.wlanChannel, 1);
    EXPECT_EQ(reader.frame.wlanSignal, 100);
    EXPECT_EQ(reader.frame.wlanNoise, 0);
    EXPECT_EQ(reader.frame.flags, 0);
}

TEST(TcpdumpWriter, HeaderFields) {
    Conversion c;
    c.options.pcapbyteswapped = false;
    ASSERT_TRUE(c.Run(PcapFile(0xD4C3B2A1, true, 1, kRecords)));
    auto out = c.Output();
    ASSERT_GE(out.size(), 24u);
    const std::vector<uint8_t> header(out.begin(), out.begin() + 24);
    EXPECT_EQ(header, Bytes()
                          .le32(0xA1B2C3D4)
                          .le16(2)
                          .le16(4)
                          .le32(0)
                          .le32(0)
                          .le32(100)  // the longest truncated frame
                          .le32(1)
                          .data());
    EXPECT_EQ(out.size(), 24u + 3 * 16 + 64 + 100 + 60);

    c.options.pcapbyteswapped = true;
    ASSERT_TRUE(c.Run(PcapFile(0xD4C3B2A1, true, 105, kRecords)));
    out = c.Output();
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 24),
              Bytes().le32(0xD4C3B2A1).be16(2).be16(4).be32(0).be32(0).be32(100).be32(105).data());
}

TEST(TcpdumpWriter, SnapshotLength) {
    auto snap = [](Conversion& c) { return LoadBE32(c.Output().data() + 16); };
    Conversion sliced;
    sliced.options.slice = true;
    sliced.options.bytes = 100;
    ASSERT_TRUE(sliced.Run(PcapFile(0xD4C3B2A1, true, 1, kRecords)));
    EXPECT_EQ(snap(sliced), 100u);

    Conversion whole;
    ASSERT_TRUE(whole.Run(PcapFile(0xD4C3B2A1, true, 1, {kRecords[0], kRecords[2]})));
    EXPECT_EQ(snap(whole), 64u);  // the longest frame of an untruncated trace

    Conversion truncated;
    std::vector<PcapRecord> cut = {{1, 0, RampFrame(128), 1514}, {2, 0, RampFrame(60), 0}};
    ASSERT_TRUE(truncated.Run(PcapFile(0xD4C3B2A1, true, 1, cut)));
    EXPECT_EQ(snap(truncated), 128u);
}

struct VariantCase {
    bool swapped;
    bool modified;
    bool nano;
    uint32_t magic;
};

class TcpdumpVariant : public ::testing::TestWithParam<VariantCase> {};

TEST_P(TcpdumpVariant, WrittenFramesReadBackTheSame) {
    const VariantCase v = GetParam();
    Conversion c;
    c.options.pcapbyteswapped = v.swapped;
    c.options.pcapmodified = v.modified;
    c.options.pcapnanoseconds = v.nano;
    std::vector<PcapRecord> records = kRecords;
    for (auto& r : records)
        r.subSecond = r.subSecond * 1000 + 9;
    ASSERT_TRUE(c.Run(PcapFile(0xA1B23C4D, false, 1, records)));
    EXPECT_EQ(LoadLE32(c.Output().data()), v.magic);
    auto expected = Expected(records, true);
    if (!v.nano) {
        for (auto& f : expected)
            f.nanoseconds = 0;
    }
    EXPECT_EQ(c.OutputFrames(), expected);

    if (!HaveTool("tshark")) {
        GTEST_SKIP() << "tshark is not installed";
    }
    // tshark reads our file and rewrites it as a nanosecond pcap for comparison.
    int status = -1;
    RunCommand(
        "tshark -r " + c.dir.file("out") + " -F nsecpcap -w " + c.dir.file("tshark.pcap") + " 2>&1",
        &status);
    ASSERT_EQ(status, 0);
    TcpdumpReader reader;
    EXPECT_EQ(ReadFrames(reader, c.dir.file("tshark.pcap")), expected);
}

INSTANTIATE_TEST_SUITE_P(AllVariants, TcpdumpVariant,
                         ::testing::Values(VariantCase{false, false, false, 0xA1B2C3D4},
                                           VariantCase{true, false, false, 0xD4C3B2A1},
                                           VariantCase{false, true, false, 0xA1B2CD34},
                                           VariantCase{true, true, false, 0x34CDB2A1},
                                           VariantCase{false, false, true, 0xA1B23C4D},
                                           VariantCase{true, false, true, 0x4D3CB2A1}));

TEST(TcpdumpWriter, NanosecondSubSecondField) {
    Conversion c;
    c.options.pcapnanoseconds = true;
    c.options.pcapbyteswapped = false;
    ASSERT_TRUE(c.Run(PcapFile(0xA1B23C4D, false, 1, {{12, 345678009, RampFrame(60), 0}})));
    auto out = c.Output();
    EXPECT_EQ(LoadLE32(out.data() + 24), 12u);
    EXPECT_EQ(LoadLE32(out.data() + 28), 345678009u);
}

TEST(TcpdumpWriter, AtmPrefixRemoval) {
    Conversion c;
    c.options.pcapremoveatm = true;
    std::vector<PcapRecord> atm = {{1, 0, RampFrame(60), 0}, {2, 0, RampFrame(10), 0}};
    ASSERT_TRUE(c.Run(PcapFile(0xD4C3B2A1, true, 123, atm)));
    Bytes expected;
    expected.le32(0xD4C3B2A1).be16(2).be16(4).be32(0).be32(0).be32(60).be32(1);
    expected.be32(1).be32(0).be32(45).be32(45).append(RampFrame(45, 15));
    expected.be32(2).be32(0).be32(0).be32(0);
    EXPECT_EQ(c.Output(), expected.data());

    Conversion kept;
    ASSERT_TRUE(kept.Run(PcapFile(0xD4C3B2A1, true, 123, atm)));
    EXPECT_EQ(LoadBE32(kept.Output().data() + 20), 123u);
}

// Frames carry their FCS inside the translator: a pcap frame gains it unless
// the file or the pcapfcs setting says the frames already end with it, and
// the writer leaves it out again unless pcapfcs keeps frames as they are.
TEST(TcpdumpFcs, LinkTypeBitsAndSettingDecideWhetherFramesCarryIt) {
    const std::vector<PcapRecord> records = {{1, 0, RampFrame(64), 0},
                                             {2, 0, RampFrame(100, 3), 1518}};
    const std::vector<FrameSummary> asStored = {{1, 0, 0, 64, RampFrame(64)},
                                                {2, 0, 0, 1518, RampFrame(100, 3)}};
    const std::vector<FrameSummary> withFcs = {{1, 0, 0, 68, WithFcs(RampFrame(64))},
                                               {2, 0, 0, 1522, RampFrame(100, 3)}};
    struct Case {
        uint32_t linkType;
        bool pcapfcs;
        const std::vector<FrameSummary>& expected;
    };
    for (const Case& c : {Case{1, false, withFcs}, Case{1, true, asStored},
                          Case{0x24000001, false, asStored}, Case{0x04000001, false, withFcs}}) {
        TempDir dir;
        WriteFile(dir.file("in.pcap"), PcapFile(0xA1B2C3D4, false, c.linkType, records).data());
        TcpdumpReader reader;
        reader.options.pcapfcs = c.pcapfcs;
        EXPECT_EQ(ReadFrames(reader, dir.file("in.pcap")), c.expected) << std::hex << c.linkType;
    }
    bool opened = true;
    ReadBytes(PcapFile(0xA1B2C3D4, false, 0x14000001, records), &opened);  // a 2-byte FCS
    EXPECT_TRUE(opened);  // refused by name at the first read

    for (bool pcapfcs : {false, true}) {
        Conversion c;
        c.options.pcapfcs = pcapfcs;
        c.options.pcapbyteswapped = false;
        const Bytes source = PcapFile(0xA1B2C3D4, false, 1, records, PcapLayout::kStandard, 100);
        ASSERT_TRUE(c.Run(source));
        EXPECT_EQ(c.Output(), source.data()) << pcapfcs;
    }
}

// The reader hands on frames that lie whole in its input buffer where they
// are and copies those that cross its end: both reach every output alike.
TEST(TcpdumpReader, FramesAcrossTheInputBufferConvertWhole) {
    std::vector<PcapRecord> records;
    for (uint32_t i = 0, size = 0; size < 5u << 19; ++i) {  // 2.5 MiB: two buffer ends
        records.push_back({1700000000 + i / 3, i * 1000 % 1000000,
                           RampFrame(1000 + i * 7 % 500, static_cast<uint8_t>(i))});
        size += 16 + static_cast<uint32_t>(records.back().bytes.size());
    }
    const Bytes source = PcapFile(0xA1B2C3D4, false, 1, records, PcapLayout::kStandard, 1499);
    for (int via : {FMT_TD, FMT_SO, FMT_N2, FMT_XR}) {
        Conversion there;
        ASSERT_TRUE(there.Run(source, via));
        Conversion back;
        back.options.pcapbyteswapped = false;
        ASSERT_TRUE(back.Convert(there.dir.file("out"), FMT_TD));
        EXPECT_EQ(back.Output(), source.data()) << FormatName(via);
    }
}

TEST(TcpdumpWriter, ModifiedRoundTrip) {
    Conversion first;
    first.options.pcapmodified = true;
    ASSERT_TRUE(first.Run(PcapFile(0xA1B2CD34, false, 1, kRecords, PcapLayout::kExtension8)));
    EXPECT_EQ(first.OutputFrames(), Expected(kRecords));
}

TEST(Engine, RefusesWhatItCannotReadOrWrite) {
    Conversion c;
    EXPECT_FALSE(c.Run(Bytes().text("not a capture at all, just some text")));
    EXPECT_STREQ(c.quiet.Messages(),
                 "Source file does not exist, or the translator cannot recognize its format.\r\n");
    EXPECT_FALSE(c.engine.ConvertFile(c.dir.file("missing"), c.dir.file("out"), FMT_TX, c.options));
    EXPECT_STREQ(c.quiet.Messages(),
                 "Source file does not exist, or the translator cannot recognize its format.\r\n");
    EXPECT_FALSE(c.Run(PcapFile(0xD4C3B2A1, true, 1, kRecords), FMT_UN));
    EXPECT_STREQ(c.quiet.Messages(),
                 "The source format is not compatible with Unknown Analyzer Type.\r\n");
    EXPECT_FALSE(c.engine.ConvertFile(c.dir.file("in.pcap"), c.dir.path() + "/no/such/dir/out",
                                      FMT_TX, c.options));
    EXPECT_EQ(std::string(c.quiet.Messages()),
              "Error creating file " + c.dir.path() +
                  "/no/such/dir/out for writing.\r\n(No such file or directory)\r\n");
}

TEST(Engine, DetectListsTheOtherWritableFormats) {
    Conversion c;
    WriteFile(c.dir.file("in.pcap"), PcapFile(0xD4C3B2A1, true, 1, kRecords).data());
    DetectResult* result = c.engine.Detect(c.dir.file("in.pcap"));
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->info->format, FMT_TD);
    for (int target : result->targets) {
        EXPECT_NE(target, FMT_TD);
    }
    EXPECT_NE(std::find(result->targets.begin(), result->targets.end(), FMT_TX),
              result->targets.end());
    EXPECT_EQ(c.engine.Detect(""), nullptr);
}

TEST(Engine, NeverWritesOntoItsOwnSource) {
    Conversion c;
    const Bytes source = PcapFile(0xD4C3B2A1, true, 1, kRecords);
    WriteFile(c.dir.file("in.pcap"), source.data());
    EXPECT_FALSE(c.engine.ConvertFile(c.dir.file("in.pcap"), c.dir.path() + "/./in.pcap", FMT_TX,
                                      c.options));
    EXPECT_STREQ(c.quiet.Messages(),
                 "Destination file name must be different from source file name.\r\n");
    EXPECT_EQ(ReadFile(c.dir.file("in.pcap")), source.data());
}

}  // namespace
}  // namespace translator
