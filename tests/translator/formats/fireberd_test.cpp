#include "formats/fireberd/fireberd.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/byte_order.h"
#include "console/console_progress.h"
#include "engine/checksum.h"
#include "engine/engine.h"
#include "support/files.h"
#include "support/fireberd_builder.h"
#include "support/pcap_builder.h"
#include "translator/day_base.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace byte_order;
using namespace testsupport;

struct Read {
    bool opened = false;
    TraceInfo info;
    std::vector<FrameSummary> frames;
    std::vector<uint16_t> flags;
    uint32_t dayBase = 0;
};

Read ReadFireBerd(const Bytes& file) {
    TempDir dir;
    WriteFile(dir.file("in.pkt"), file.data());
    Read r;
    r.dayBase = WithSteadyDayBase([&] {
        FireBerdReader reader;
        r.frames.clear();
        r.flags.clear();
        r.opened = reader.Open(dir.file("in.pkt"));
        if (!r.opened) {
            return;
        }
        r.info = reader.info;
        while (reader.ReadFrame()) {
            const FrameRecord& f = reader.frame;
            r.flags.push_back(f.flags);
            r.frames.push_back(Summary(f));
        }
    });
    return r;
}

std::vector<uint8_t> Frame(std::vector<uint8_t> start, size_t n) {
    start.resize(n, 0x33);
    return start;
}

std::vector<uint8_t> WithFcs(std::vector<uint8_t> bytes, bool computed = true) {
    uint8_t fcs[4];
    StoreLE32(fcs, computed ? Crc32(bytes.data(), static_cast<int64_t>(bytes.size())) : 0);
    bytes.insert(bytes.end(), fcs, fcs + 4);
    return bytes;
}

TEST(FireBerdReader, MediaFromTheFirstFrame) {
    struct Case {
        std::vector<uint8_t> start;
        int interfaceType;
    };
    const Case cases[] = {
        {{0x10, 0x00, 0x5A}, IF_ETHERNET}, {{0x10, 0x00, 0xE0}, IF_ETHERNET},
        {{0x00, 0x40}, IF_ETHERNET},       {{0xFF, 0xFF}, IF_ETHERNET},
        {{0x10, 0x40}, IF_TOKEN_RING},     {{0x18, 0x00, 0x5A}, IF_TOKEN_RING},
    };
    for (const Case& c : cases) {
        Read r = ReadFireBerd(FireBerdFile("Lab capture", 1, {{1500, Frame(c.start, 60)}}));
        ASSERT_TRUE(r.opened);
        EXPECT_EQ(r.info.interfaceType, c.interfaceType)
            << int(c.start[0]) << " " << int(c.start[1]);
    }
    // A first frame of one byte is judged by that byte alone.
    EXPECT_EQ(ReadFireBerd(FireBerdFile("", 1, {{0, {0x10}}})).info.interfaceType, IF_TOKEN_RING);
    EXPECT_EQ(ReadFireBerd(FireBerdFile("", 1, {{0, {0x00}}})).info.interfaceType, IF_ETHERNET);
}

TEST(FireBerdReader, HeaderFields) {
    Read r =
        ReadFireBerd(FireBerdFile(std::string(45, 'd'), 7, {{3723999, Frame({0x10, 0x40}, 20)}}));
    ASSERT_TRUE(r.opened);
    EXPECT_EQ(r.info.format, FMT_FB);
    EXPECT_EQ(std::string(r.info.comment), std::string(39, 'd'));
    EXPECT_EQ(r.info.totalFrames, 7);
    EXPECT_EQ(r.info.lineRate, 16000000);
    EXPECT_EQ(r.info.startTime, r.dayBase + 3723);

    EXPECT_FALSE(ReadFireBerd(FireBerdFile("", 1, {{0, Frame({}, 60)}}, "ProbeApp")).opened);
    EXPECT_FALSE(ReadFireBerd(FireBerdFile("", 1, {})).opened);  // no first record
    EXPECT_TRUE(ReadFireBerd(FireBerdFile("", 1, {{0, Frame({}, 0xFFFF)}})).opened);
}

TEST(FireBerdReader, EthernetLengthsFlagsAndFcs) {
    const std::vector<uint8_t> small = Frame({0x00, 0x01}, 60);
    const std::vector<uint8_t> jumbo = Frame({0x00, 0x02}, 1600);
    Read r = ReadFireBerd(FireBerdFile("", 6,
                                       {{3723456, small},
                                        {0, jumbo},
                                        {0, small, 0x0800},
                                        {0, small, 0x0400},
                                        {0, small, 0x4000},
                                        {0, Frame({}, 40), 0x0080}}));
    ASSERT_TRUE(r.opened);
    ASSERT_EQ(r.frames.size(), 6u);
    EXPECT_EQ(r.frames[0], (FrameSummary{r.dayBase + 3723, 456000, 0, 64, WithFcs(small)}));
    EXPECT_EQ(r.frames[1].frameLength, 1604);  // cut by the probe: the line gains the FCS
    EXPECT_EQ(r.frames[1].bytes, std::vector<uint8_t>(jumbo.begin(), jumbo.begin() + 1514));
    EXPECT_EQ(r.flags[0], 0);
    EXPECT_EQ(r.flags[2], FRAME_CRC_ERROR);
    EXPECT_EQ(r.frames[2].bytes, WithFcs(small));
    EXPECT_EQ(r.flags[3], FRAME_ALIGNMENT_ERROR);
    EXPECT_EQ(r.frames[4].bytes, WithFcs(small, false));
    // Shorter than 60: its computed FCS, no padding.
    EXPECT_EQ(r.frames[5].frameLength, 44);
    EXPECT_EQ(r.frames[5].bytes, WithFcs(Frame({}, 40)));
}

TEST(FireBerdReader, TokenRingFramesAreDeliveredAsStored) {
    const std::vector<uint8_t> frame = Frame({0x10, 0x40}, 60);
    Read r = ReadFireBerd(FireBerdFile("", 2, {{0, frame, 0x0800}, {0, Frame({0x10}, 1600)}}));
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[0].bytes, frame);
    EXPECT_EQ(r.flags[0], 0);  // error flags are Ethernet's
    EXPECT_EQ(r.frames[1].frameLength, 1600);
    EXPECT_EQ(r.frames[1].bytes.size(), 1514u);
}

TEST(FireBerdReader, StopsAtTheRecordCount) {
    const std::vector<FireBerdRecord> records = {
        {0, Frame({}, 60)}, {0, Frame({}, 61)}, {0, Frame({}, 62)}};
    EXPECT_EQ(ReadFireBerd(FireBerdFile("", 2, records)).frames.size(), 2u);
    EXPECT_EQ(ReadFireBerd(FireBerdFile("", 0, records)).frames.size(), 0u);
    // A count beyond the records ends at the offset table: its first entry
    // (76) reads as a 76-byte record that the file cannot hold.
    EXPECT_EQ(ReadFireBerd(FireBerdFile("", 1000, records)).frames.size(), 3u);
}

TEST(FireBerdReader, EveryPrefixReadsToACleanEnd) {
    Bytes file = FireBerdFile("", 2, {{5, Frame({}, 60)}, {6, Frame({}, 200)}});
    for (size_t n = 0; n <= file.size(); ++n) {
        Read r = ReadFireBerd(
            Bytes().append(std::vector<uint8_t>(file.data().begin(), file.data().begin() + n)));
        EXPECT_EQ(r.opened, n >= 76 + 10 + 60) << n;
        const size_t complete = n >= 76 + 70 + 210 ? 2 : n >= 76 + 70 ? 1 : 0;
        EXPECT_EQ(r.frames.size(), complete) << n;
    }
}

TEST(FireBerdWriter, WritesHeaderRecordsAndOffsetTable) {
    TempDir dir;
    TranslatorEngine engine;
    ConsoleProgress quiet(fopen("/dev/null", "w"));
    engine.SetSink(&quiet);
    ConvertOptions options;
    options.offsetFile = true;
    options.pcapfcs = true;
    const uint32_t seconds = 86400 * 5 + 3723;
    WriteFile(dir.file("in.pcap"), PcapFile(0xA1B2C3D4, false, 1,
                                            {{seconds, 456789, RampFrame(64), 0},
                                             {seconds, 999999, RampFrame(62, 5), 0},
                                             {seconds + 1, 0, RampFrame(1522, 2), 0}})
                                       .data());
    ASSERT_TRUE(engine.ConvertFile(dir.file("in.pcap"), dir.file("out.pkt"), FMT_FB, options));
    Bytes expected;
    expected.le16(0)
        .fixedText("ProbeApps", 10)
        .fixedText("Captured Packets", 40)
        .fixedText("Packet Log", 20)
        .le32(3);
    expected.le16(60).le16(0).le16(0).le32(3723456).append(RampFrame(60));
    expected.le16(58).le16(0x0080).le16(1).le32(3723999).append(RampFrame(58, 5));
    expected.le16(1518).le16(0x0200).le16(2).le32(3724000).append(RampFrame(1518, 2));
    expected.le32(76).le32(76 + 70).le32(76 + 70 + 68);
    EXPECT_EQ(ReadFile(dir.file("out.pkt")), expected.data());
    Bytes offsets;
    for (uint32_t record : {76u, 76u + 70, 76u + 70 + 68}) {
        for (uint32_t i = 0; i < 4; ++i) {
            offsets.le32(record + 6 + i);
        }
    }
    EXPECT_EQ(ReadFile(dir.file("out.pkt.offset")), offsets.data());

    Read back = ReadFireBerd(Bytes().append(ReadFile(dir.file("out.pkt"))));
    ASSERT_TRUE(back.opened);
    EXPECT_STREQ(back.info.comment, "Captured Packets");
    EXPECT_EQ(back.info.totalFrames, 3);
    EXPECT_EQ(back.frames.size(), 3u);
}

TEST(FireBerdWriter, ErrorFlagsAndTokenRingLengths) {
    TempDir dir;
    FireBerdWriter writer;
    ConsoleProgress quiet(fopen("/dev/null", "w"));
    writer.SetSink(&quiet);
    ConvertOptions options;
    TraceInfo info;
    info.interfaceType = IF_TOKEN_RING;
    FrameRecord frame;
    frame.SetData(RampFrame(60).data(), 60);
    frame.frameLength = frame.capturedLength = 60;
    frame.flags = FRAME_CRC_ERROR | FRAME_ALIGNMENT_ERROR;
    ASSERT_TRUE(writer.Create(dir.file("w.pkt"), FMT_FB, options));
    ASSERT_TRUE(writer.WriteHeader(info));
    ASSERT_TRUE(writer.WriteFrame(info, frame));
    ASSERT_TRUE(writer.FinishFile(info));
    ASSERT_TRUE(writer.Close());
    const auto out = ReadFile(dir.file("w.pkt"));
    ASSERT_EQ(out.size(), 76u + 10 + 60 + 4);
    EXPECT_EQ(LoadLE16(out.data() + 76), 60);  // Token Ring keeps every byte
    EXPECT_EQ(LoadLE16(out.data() + 78), 0x0C00);
}

TEST(FireBerdDays, FramesAreDatedToTheConversionDayInTheLocalZone) {
    setenv("TZ", "CET-1", 1);
    Read r = ReadFireBerd(FireBerdFile("", 1, {{3723000, Frame({}, 60)}}));
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.dayBase % 86400, 86400u - 3600);
    EXPECT_EQ(r.frames[0].seconds, r.dayBase + 3723);
    setenv("TZ", "UTC", 1);
    tzset();
}

}  // namespace
}  // namespace translator
