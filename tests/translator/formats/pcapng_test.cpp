#include "formats/pcapng/pcapng.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/pcapng_builder.h"
#include "translator/conversion.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace testsupport;
using Status = TraceReader::ReadStatus;

struct Read {
    std::vector<FrameSummary> frames;
    std::vector<uint16_t> flags;
    int64_t nonData = 0;
    Status status = Status::End;
    std::string reason;
    TraceInfo info;
};

Read ReadAll(const Bytes& file, bool pcapfcs = false) {
    TempDir dir;
    WriteFile(dir.file("in.pcapng"), file.data());
    PcapngReader reader;
    reader.options.pcapfcs = pcapfcs;
    Read read;
    EXPECT_TRUE(reader.Open(dir.file("in.pcapng")));
    read.info = reader.info;
    while (reader.ReadFrame()) {
        if (reader.frame.nonData) {
            ++read.nonData;
            continue;
        }
        read.frames.push_back(Summary(reader.frame));
        read.flags.push_back(reader.frame.flags);
    }
    read.status = reader.LastReadStatus();
    read.reason = reader.DamageReason();
    return read;
}

FrameSummary Whole(uint32_t seconds, uint32_t micros, uint32_t nanos, std::vector<uint8_t> bytes) {
    bytes = WithFcs(bytes);
    return {seconds, micros, nanos, static_cast<int32_t>(bytes.size()), bytes};
}

// Two sections in opposite byte orders: the second starts a new interface
// list; resolutions of 10^-9 and 2^-10, a time offset, an interface of
// another link type, a simple packet cut by the snapshot length, an
// interface whose frames keep their FCS, and blocks the reader skips.
TEST(PcapngReader, ReadsSectionsInBothByteOrders) {
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian first" : "little-endian first");
        const bool other = !big;
        Bytes file;
        file.append(PcapngSection(big, {{1, Bytes().text("lab capture").data()}}).data());
        file.append(PcapngInterface(1, big, {{9, OptionU8(9)}, {14, OptionU64(10, big)}}).data());
        file.append(PcapngInterface(113, big).data());
        file.append(
            PcapngPacket(0, 1500000123, RampFrame(64), big, {{2, OptionU32(0x1, big)}}).data());
        file.append(PcapngPacket(1, 7, RampFrame(40), big).data());
        file.append(PcapngBlock(0x40000BAD, Bytes().zeros(12), big).data());
        file.append(PcapngSection(other).data());
        file.append(PcapngInterface(1, other, {{9, OptionU8(0x8A)}}, 80).data());
        file.append(PcapngInterface(1, other, {{9, OptionU8(0x8A)}, {13, OptionU8(4)}}).data());
        file.append(
            PcapngPacket(1, 3 * 1024 + 512, RampFrame(68, 9), other, {{2, OptionU32(0x2, other)}})
                .data());
        file.append(PcapngBlock(3, Bytes().u32(100, other).append(RampFrame(80)), other).data());
        const Read read = ReadAll(file);
        EXPECT_EQ(read.status, Status::End) << read.reason;
        EXPECT_STREQ(read.info.comment, "lab capture");
        EXPECT_EQ(read.info.format, FMT_NG);
        EXPECT_EQ(read.info.interfaceType, IF_ETHERNET);
        EXPECT_EQ(read.info.totalFrames, 4);
        EXPECT_NE(std::string(read.info.notes).find("1 frame of interfaces with link type 113"),
                  std::string::npos)
            << read.info.notes;
        FrameSummary cut{0, 0, 0, 104, RampFrame(80)};
        const std::vector<FrameSummary> expected = {
            Whole(11, 500000, 123, RampFrame(64)),
            {3, 500000, 0, 68, RampFrame(68, 9)},
            cut,
        };
        EXPECT_EQ(read.frames, expected);
        EXPECT_EQ(read.nonData, 1);
        EXPECT_EQ(read.flags, (std::vector<uint16_t>{FRAME_DIR_LN, FRAME_DIR_EQ, 0}));
    }
}

// A frame the capture marked bad gets a zero FCS; pcapfcs keeps frames as stored.
TEST(PcapngReader, FcsOfFramesMarkedBadAndKeptAsStored) {
    Bytes file;
    file.append(PcapngSection(false).data()).append(PcapngInterface(1, false).data());
    file.append(
        PcapngPacket(0, 0, RampFrame(60), false, {{2, OptionU32(0x01000000, false)}}).data());
    std::vector<uint8_t> zeroFcs = RampFrame(60);
    zeroFcs.resize(64, 0);
    EXPECT_EQ(ReadAll(file).frames, (std::vector<FrameSummary>{{0, 0, 0, 64, zeroFcs}}));
    EXPECT_EQ(ReadAll(file, true).frames,
              (std::vector<FrameSummary>{{0, 0, 0, 60, RampFrame(60)}}));
}

// Detection opens a file and its conversion opens it again: the second Open
// takes the first one's walk only while the file is unchanged and whole.
TEST(PcapngReader, OpenAgainWalksAChangedOrDamagedFileAgain) {
    TempDir dir;
    const std::string path = dir.file("in.pcapng");
    Bytes file;
    file.append(PcapngSection(false).data()).append(PcapngInterface(1, false).data());
    file.append(PcapngPacket(0, 1, RampFrame(64), false).data());
    WriteFile(path, file.data());
    PcapngReader reader;
    ASSERT_NE(reader.Probe(path), nullptr);
    ASSERT_TRUE(reader.Open(path));
    EXPECT_EQ(reader.info.totalFrames, 1);
    ASSERT_TRUE(reader.ReadFrame());
    EXPECT_EQ(Summary(reader.frame), Whole(0, 1, 0, RampFrame(64)));

    file.append(PcapngInterface(113, false).data());
    file.append(PcapngPacket(1, 2, RampFrame(64), false).data());
    WriteFile(path, file.data());
    ASSERT_TRUE(reader.Open(path));
    EXPECT_EQ(reader.info.totalFrames, 2);
    EXPECT_NE(std::string(reader.info.notes).find("link type 113"), std::string::npos);

    WriteFile(path, Bytes(file).append(PcapngBlock(6, Bytes().zeros(16), false).data()).data());
    for (int open = 0; open < 2; ++open) {
        ASSERT_NE(reader.Probe(path), nullptr);
        EXPECT_EQ(reader.LastReadStatus(), Status::Damaged) << open;
    }
}

struct Violation {
    const char* name;
    Bytes secondBlock;
    const char* reason;
};

Bytes Body(uint32_t interfaceId, uint32_t captured, uint32_t original) {
    return Bytes().le32(interfaceId).le32(0).le32(2).le32(captured).le32(original);
}

class PcapngDamage : public testing::TestWithParam<Violation> {};

// Every length is checked: the frame before the fault is delivered, then
// the read ends as damaged.
TEST_P(PcapngDamage, DeliversTheFramesBeforeIt) {
    Bytes file;
    file.append(PcapngSection(false).data()).append(PcapngInterface(1, false).data());
    file.append(PcapngPacket(0, 1, RampFrame(64), false).data());
    file.append(GetParam().secondBlock.data());
    const Read read = ReadAll(file);
    EXPECT_EQ(read.frames, std::vector<FrameSummary>{Whole(0, 1, 0, RampFrame(64))});
    EXPECT_EQ(read.status, Status::Damaged);
    EXPECT_NE(read.reason.find(GetParam().reason), std::string::npos) << read.reason;
}

const Bytes kPacket = Body(0, 4, 4).le32(0x01020304);

INSTANTIATE_TEST_SUITE_P(
    Lengths, PcapngDamage,
    testing::Values(
        Violation{"NotMultipleOf4", PcapngBlock(6, kPacket, false, 34), "has the length 34"},
        Violation{"BelowMinimum", PcapngBlock(6, Bytes().zeros(16), false), "has the length 28"},
        Violation{"PastTheEnd", PcapngBlock(6, kPacket, false, 400), "the file ends"},
        Violation{"TrailerDiffers", PcapngBlock(6, kPacket, false, 0, 40), "ends with the length"},
        Violation{"CapturedPastBlock", PcapngBlock(6, Body(0, 8, 8).le32(0), false),
                  "more than its block"},
        Violation{"OptionPastBlock", PcapngBlock(6, Bytes(kPacket).le16(1).le16(40), false),
                  "runs past the block"},
        Violation{"UnknownInterface", PcapngBlock(6, Body(3, 4, 4).le32(0), false), "interface 3"},
        Violation{"SectionLengthBelowMinimum",
                  PcapngBlock(0x0A0D0D0A, Bytes().le32(0x1A2B3C4D), false), "has the length 16"},
        Violation{"InterfaceTrailerDiffers", PcapngBlock(1, Bytes().le32(1).le32(0), false, 0, 24),
                  "ends with the length 24"},
        Violation{
            "StampAfter2106",
            Bytes()
                .append(PcapngInterface(1, false, {{14, OptionU64(1ull << 32, false)}}).data())
                .append(PcapngPacket(1, 0, RampFrame(64), false).data()),
            "outside the years 1970 to 2106"}),
    [](const auto& info) { return std::string(info.param.name); });

// Nanoseconds survive the writer when asked for; with pcapfcs frames pass as
// stored, the interface saying whether they carry an FCS.
TEST(PcapngWriter, WritesTheFramesItReadsBack) {
    const std::vector<PcapRecord> records = {{1000, 123456789, RampFrame(64), 0},
                                             {1001, 5, RampFrame(100, 7), 1514}};
    for (const bool nanoseconds : {false, true}) {
        for (const bool fcs : {false, true}) {
            Conversion c;
            c.options.pcapnanoseconds = nanoseconds;
            c.options.pcapfcs = fcs;
            ASSERT_TRUE(c.Run(PcapFile(0xA1B23C4D, false, 1, records), FMT_NG));
            TcpdumpReader source;
            source.options.pcapfcs = fcs;
            auto expected = ReadFrames(source, c.dir.file("in.pcap"));
            if (!nanoseconds) {
                for (auto& f : expected) {
                    f.nanoseconds = 0;
                }
            }
            PcapngReader reader;
            EXPECT_EQ(ReadFrames(reader, c.dir.file("out")), expected) << nanoseconds << fcs;
        }
    }
}

TEST(PcapngWriter, SectionCarriesTheCaptureComment) {
    TempDir dir;
    ConvertOptions options;
    TraceInfo info;
    info.interfaceType = IF_ETHERNET;
    strcpy(info.comment, "night shift");
    PcapngWriter writer;
    ASSERT_TRUE(writer.Create(dir.file("out.pcapng"), FMT_NG, options));
    ASSERT_TRUE(writer.WriteHeader(info));
    ASSERT_TRUE(writer.FinishFile(info));
    ASSERT_TRUE(writer.Close());
    PcapngReader reader;
    ASSERT_TRUE(reader.Open(dir.file("out.pcapng")));
    EXPECT_STREQ(reader.info.comment, "night shift");
}

}  // namespace
}  // namespace translator
