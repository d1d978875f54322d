#include "formats/domino/domino.h"

#include <gtest/gtest.h>

#include <ctime>

#include "common/byte_order.h"
#include "console/console_progress.h"
#include "engine/checksum.h"
#include "engine/engine.h"
#include "support/domino_builder.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace byte_order;
using namespace testsupport;

constexpr uint32_t kStart = 1213853938;  // 2008-06-19 05:38:58 UTC

DominoHeader Header(uint16_t adapter = 358, uint16_t line = 4) {
    DominoHeader h;
    h.description = "Office LAN";
    h.startTime = kStart;
    h.hour = 5;
    h.minute = 38;
    h.second = 58;
    h.adapter = adapter;
    h.line = line;
    return h;
}

struct Read {
    bool opened = false;
    TraceInfo info;
    std::vector<FrameSummary> frames;
    std::vector<uint16_t> flags;
};

Read ReadDomino(const Bytes& file) {
    TempDir dir;
    WriteFile(dir.file("in.cap"), file.data());
    Read r;
    DominoReader reader;
    r.opened = reader.Open(dir.file("in.cap"));
    if (!r.opened) {
        return r;
    }
    r.info = reader.info;
    while (reader.ReadFrame() && r.frames.size() < 1000) {
        const FrameRecord& f = reader.frame;
        r.flags.push_back(f.flags);
        r.frames.push_back(Summary(f));
    }
    return r;
}

TEST(DominoReader, LinkViewAndDescription) {
    DominoHeader h = Header();
    h.description = std::string(26, ' ') + "LinkView PRO";  // at offset 30
    Read lv = ReadDomino(DominoFile(h, {}));
    ASSERT_TRUE(lv.opened);
    EXPECT_EQ(lv.info.format, FMT_LV);
    h.description = std::string(26, ' ') + "LinkView PR0";
    EXPECT_EQ(ReadDomino(DominoFile(h, {})).info.format, FMT_DM);

    // A Domino description starting with 0x0A is read from byte 5.
    h.description = "\nDomino capture of the backbone, 40 chars";
    EXPECT_STREQ(ReadDomino(DominoFile(h, {})).info.comment, h.description.substr(1, 38).c_str());
    h.description = std::string(40, 'x');
    EXPECT_EQ(std::string(ReadDomino(DominoFile(h, {})).info.comment), std::string(39, 'x'));
    h.description = "\nLinkView PRO trace";
    EXPECT_STREQ(ReadDomino(DominoFile(h, {})).info.comment, h.description.c_str());
}

TEST(DominoReader, AdapterAndLineCodes) {
    struct Case {
        uint16_t adapter;
        uint16_t line;
        int interfaceType;
        int wanType;
        int32_t lineRate;
    };
    const Case cases[] = {
        {358, 4, IF_ETHERNET, WAN_NONE, 10000000},
        {739, 4, IF_ETHERNET, WAN_NONE, 10000000},
        {739, 6, IF_TOKEN_RING, WAN_NONE, 0},
        {739, 5, IF_UNKNOWN, WAN_NONE, 0},
        {936, 0, IF_ETHERNET, WAN_NONE, 1000000000},
        {359, 14, IF_V_SERIES, WAN_PPP, 0},
        {361, 278, IF_T_SERIES, WAN_FRAME_RELAY, 0},
        {360, 999, IF_E_SERIES, WAN_NONE, 0},
        {943, 240, IF_ATM, WAN_NONE, 0},
        {939, 0, IF_ATM_DS3, WAN_NONE, 0},
        {1, 0, IF_UNKNOWN, WAN_NONE, 0},
    };
    for (const Case& c : cases) {
        Read r = ReadDomino(DominoFile(Header(c.adapter, c.line), {}));
        ASSERT_TRUE(r.opened);
        EXPECT_EQ(r.info.interfaceType, c.interfaceType) << c.adapter << "/" << c.line;
        EXPECT_EQ(r.info.wanType, c.wanType) << c.adapter << "/" << c.line;
        EXPECT_EQ(r.info.lineRate, c.lineRate) << c.adapter << "/" << c.line;
    }
}

TEST(DominoWriter, AdapterAndLineCodes) {
    struct Case {
        int interfaceType;
        int wanType;
        uint16_t adapter;
        uint16_t line;
    };
    const Case cases[] = {
        {IF_ETHERNET, WAN_NONE, 358, 4}, {IF_TOKEN_RING, WAN_NONE, 363, 6},
        {IF_E1, WAN_SDLC, 360, 14},      {IF_V_SERIES, WAN_RAW_IP, 359, 0},
        {IF_WAN, WAN_HDLC, 0, 240},      {IF_ATM_DS3, WAN_NONE, 747, 322},
        {IF_802_11, WAN_NONE, 0, 0},
    };
    for (const Case& c : cases) {
        uint16_t adapter = 1;
        uint16_t line = 1;
        DominoCodes(c.interfaceType, c.wanType, &adapter, &line);
        EXPECT_EQ(adapter, c.adapter) << c.interfaceType << "/" << c.wanType;
        EXPECT_EQ(line, c.line) << c.interfaceType << "/" << c.wanType;
    }
}

TEST(DominoReader, StartTimeTakesTheLocalHourMinuteSecond) {
    DominoHeader h = Header();
    h.hour = 7;
    h.minute = 8;
    h.second = 9;
    EXPECT_EQ(ReadDomino(DominoFile(h, {})).info.startTime,
              kStart - 5 * 3600 - 38 * 60 - 58 + 7 * 3600 + 8 * 60 + 9);

    // No start time: the current time.
    h.startTime = 0;
    const auto before = static_cast<uint32_t>(time(nullptr));
    const uint32_t start = ReadDomino(DominoFile(h, {})).info.startTime;
    EXPECT_GE(start, before);
    EXPECT_LE(start, static_cast<uint32_t>(time(nullptr)));
}

TEST(DominoReader, IndexEntries) {
    Read r = ReadDomino(DominoFile(Header(), {{RampFrame(64), 31250, 0x18},
                                              {RampFrame(60, 1), 31251, 0x08, 1518},
                                              {RampFrame(60, 2), 0, 0x10},
                                              {RampFrame(60, 3), 0, 0},
                                              {RampFrame(60, 4), 0, 0x58},
                                              {RampFrame(60, 5), 0, 0x98},
                                              {RampFrame(60, 6), 0, 0xD8}}));
    ASSERT_TRUE(r.opened);
    EXPECT_EQ(r.info.totalFrames, 7);
    ASSERT_EQ(r.frames.size(), 7u);
    // Frames are stored as captured: Domino keeps their FCS.
    EXPECT_EQ(r.frames[0], (FrameSummary{kStart + 1, 0, 0, 64, RampFrame(64)}));
    EXPECT_EQ(r.frames[1], (FrameSummary{kStart + 1, 32, 0, 1518, RampFrame(60, 1)}));
    const std::vector<uint16_t> flags = {
        0, 0, 0, FRAME_CRC_ERROR, FRAME_DIR_LN, FRAME_DIR_EQ, FRAME_DIR_LN};
    EXPECT_EQ(r.flags, flags);
}

TEST(DominoReader, FcsRules) {
    // Adapter 739 stores Ethernet frames without FCS: 4 bytes are added, zero
    // in Domino files and computed in LinkView files.
    std::vector<uint8_t> zeroFcs = RampFrame(60);
    zeroFcs.resize(64, 0);
    Read dm =
        ReadDomino(DominoFile(Header(739, 4), {{RampFrame(60)}, {RampFrame(60), 0, 0x18, 100}}));
    ASSERT_EQ(dm.frames.size(), 2u);
    EXPECT_EQ(dm.frames[0].frameLength, 64);
    EXPECT_EQ(dm.frames[0].bytes, zeroFcs);
    EXPECT_EQ(dm.frames[1].frameLength, 104);
    EXPECT_EQ(dm.frames[1].bytes, RampFrame(60));

    DominoHeader h = Header(739, 4);
    h.description = "LinkView PRO";
    std::vector<uint8_t> withFcs = RampFrame(60);
    withFcs.resize(64);
    StoreLE32(withFcs.data() + 60, Crc32(withFcs.data(), 60));
    Read lv = ReadDomino(DominoFile(h, {{RampFrame(60)}, {RampFrame(60), 0, 0}}));
    ASSERT_EQ(lv.frames.size(), 2u);
    EXPECT_EQ(lv.frames[0].bytes, withFcs);
    EXPECT_EQ(lv.frames[1].bytes, zeroFcs);  // CRC error: no FCS computed

    // LinkView frames of adapter 358 carry their FCS, which is recomputed.
    std::vector<uint8_t> stored = RampFrame(64);
    std::vector<uint8_t> recomputed = stored;
    StoreLE32(recomputed.data() + 60, Crc32(recomputed.data(), 60));
    h.adapter = 358;
    EXPECT_EQ(ReadDomino(DominoFile(h, {{stored}})).frames[0].bytes, recomputed);
}

TEST(DominoReader, AtmPdusAreHandedOutCellByCell) {
    std::vector<uint8_t> pdu = RampFrame(149);
    pdu[3] = 0x02;
    Read r = ReadDomino(DominoFile(Header(943, 0), {{pdu, 31250, 0x10000000}, {RampFrame(53, 9)}}));
    ASSERT_EQ(r.frames.size(), 4u);
    std::vector<uint8_t> cell(pdu.begin(), pdu.begin() + 53);
    cell[3] = 0x00;
    EXPECT_EQ(r.frames[0], (FrameSummary{kStart + 1, 0, 0, 53, cell}));
    std::copy(pdu.begin() + 54, pdu.begin() + 102, cell.begin() + 5);
    EXPECT_EQ(r.frames[1], (FrameSummary{kStart + 1, 0, 0, 53, cell}));
    // The last payload holds the 47 bytes that exist and a zero.
    std::copy(pdu.begin() + 102, pdu.end(), cell.begin() + 5);
    cell[52] = 0;
    cell[3] = 0x02;
    EXPECT_EQ(r.frames[2], (FrameSummary{kStart + 1, 0, 0, 53, cell}));
    const uint16_t pduFlags = FRAME_DIR_EQ | FRAME_CRC_ERROR;
    EXPECT_EQ(r.flags, (std::vector<uint16_t>{pduFlags, pduFlags, pduFlags, 0}));
    EXPECT_EQ(r.frames[3].bytes, RampFrame(53, 9));  // one cell stays whole

    // A PDU that is not 53 + 48k bytes still ends, with zeros past its end.
    Read odd = ReadDomino(DominoFile(Header(747, 322), {{RampFrame(60)}}));
    ASSERT_EQ(odd.frames.size(), 2u);
    std::vector<uint8_t> last = RampFrame(53);
    std::copy_n(RampFrame(6, 54).begin(), 6, last.begin() + 5);
    std::fill(last.begin() + 11, last.end(), 0);
    last[3] |= 0x02;
    EXPECT_EQ(odd.frames[1].bytes, last);
}

TEST(DominoReader, SectionsAndIndexAreCheckedAgainstTheFile) {
    Bytes noFrames = DominoFile(Header(), {});
    Read empty = ReadDomino(noFrames);
    EXPECT_TRUE(empty.opened);
    EXPECT_EQ(empty.info.totalFrames, 0);
    EXPECT_TRUE(empty.frames.empty());

    std::vector<uint8_t> bytes = noFrames.data();
    memcpy(bytes.data() + 78, "STOP", 4);  // STOP before FRAM
    EXPECT_FALSE(ReadDomino(Bytes().append(bytes)).opened);
    memcpy(bytes.data() + 78, "XXXX", 4);  // no STOP after it either: the file ends
    memcpy(bytes.data() + 78 + 7 * 8, "XXXX", 4);
    EXPECT_FALSE(ReadDomino(Bytes().append(bytes)).opened);
    EXPECT_FALSE(ReadDomino(Bytes().text("WINX").zeros(300)).opened);

    Bytes file = DominoFile(Header(), {{RampFrame(64)}, {RampFrame(64)}});
    const size_t index = 238 + 128;
    bytes = file.data();
    StoreLE32(bytes.data() + 78 + 4, 0x10000000);  // FRAM past the end
    EXPECT_FALSE(ReadDomino(Bytes().append(bytes)).opened);
    bytes = file.data();
    StoreLE32(bytes.data() + index, 0xFFFFFFF0);  // count position past the end
    EXPECT_FALSE(ReadDomino(Bytes().append(bytes)).opened);
    bytes = file.data();
    StoreLE32(bytes.data() + index + 8 + 20, 0xFFFFFF00);  // second frame's data past the end
    EXPECT_EQ(ReadDomino(Bytes().append(bytes)).frames.size(), 1u);
    bytes = file.data();
    StoreLE32(bytes.data() + index + 4, 1000);  // the count does not bound the entries
    EXPECT_EQ(ReadDomino(Bytes().append(bytes)).frames.size(), 2u);
}

TEST(DominoReader, EveryPrefixReadsToACleanEnd) {
    Bytes file = DominoFile(Header(943, 0), {{RampFrame(149)}, {RampFrame(53)}});
    const size_t complete = file.size();
    for (size_t n = 0; n <= complete; ++n) {
        Read r = ReadDomino(
            Bytes().append(std::vector<uint8_t>(file.data().begin(), file.data().begin() + n)));
        EXPECT_EQ(r.opened, n >= complete - 40) << n;  // the count must be there
        const size_t frames = n == complete ? 4 : n >= complete - 20 ? 3 : 0;
        EXPECT_EQ(r.frames.size(), frames) << n;
    }
}

class DominoWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_.SetSink(&quiet_);
        options_.offsetFile = true;
        options_.pcapfcs = true;  // the sources' frames carry their FCS
    }

    TempDir dir_;
    TranslatorEngine engine_;
    ConsoleProgress quiet_{fopen("/dev/null", "w")};
    ConvertOptions options_;
};

TEST_F(DominoWriterTest, WritesHeaderSectionsDataAndIndex) {
    WriteFile(dir_.file("in.pcap"), PcapFile(0xA1B2C3D4, false, 1,
                                             {{kStart, 100, RampFrame(64), 0},
                                              {kStart + 1, 100, RampFrame(128, 3), 1518},
                                              {kStart + 2, 31, RampFrame(60, 5), 0}})
                                        .data());
    ASSERT_TRUE(engine_.ConvertFile(dir_.file("in.pcap"), dir_.file("out.cap"), FMT_LV, options_));
    Bytes expected;
    expected.text("WINC")
        .fixedText("Converted From tcpdump/libpcap", 40)
        .u8(1)
        .zeros(9)
        .le32(kStart)
        .u8(5)
        .u8(38)
        .u8(58)
        .u8(0)
        .le16(358)
        .le16(4)
        .zeros(12);
    const uint32_t index = 238 + 64 + 128 + 60;
    expected.text("FRAM").le32(index);
    for (const char* tag : {"NWST", "PRCL", "STAT", "DWIN", "STRC", "PTRL", "STOP"}) {
        expected.text(tag).le32(0);
    }
    expected.zeros(96).append(RampFrame(64)).append(RampFrame(128, 3)).append(RampFrame(60, 5));
    expected.le32(index + 4).le32(3);
    expected.le32(238).le16(64).le16(0).le32(0).le32(3).le32(0x18);
    expected.le32(238 + 64).le16(128).le16(1518).le32(1).le32(31253).le32(0x18);
    expected.le32(238 + 192).le16(60).le16(0).le32(2).le32(62500).le32(0x18);
    EXPECT_EQ(ReadFile(dir_.file("out.cap")), expected.data());

    Bytes offsets;
    for (uint32_t i = 0; i < 7; ++i) {
        offsets.le32(54 + i);
    }
    for (uint32_t entry = 0; entry < 3; ++entry) {
        for (uint32_t i = 0; i < 4; ++i) {
            offsets.le32(index + 8 + entry * 20 + 12 + i);
        }
    }
    EXPECT_EQ(ReadFile(dir_.file("out.cap.offset")), offsets.data());
}

TEST_F(DominoWriterTest, NoFramesLeaveOnlyHeaderAndSections) {
    WriteFile(dir_.file("in.pcap"), PcapFile(0xA1B2C3D4, false, 1, {}).data());
    ASSERT_TRUE(engine_.ConvertFile(dir_.file("in.pcap"), dir_.file("out.cap"), FMT_DM, options_));
    const auto out = ReadFile(dir_.file("out.cap"));
    ASSERT_EQ(out.size(), 238u);
    EXPECT_EQ(std::string(out.begin() + 78, out.begin() + 82), "FRAM");
    EXPECT_EQ(LoadLE32(out.data() + 82), 0u);
}

TEST_F(DominoWriterTest, DescriptionIsCutToFortyBytesAndAtmFlags) {
    DominoWriter writer;
    writer.SetSink(&quiet_);
    TraceInfo info;
    info.format = FMT_XR;
    info.interfaceType = IF_ATM;
    info.startTime = kStart;
    info.framesRead = 1;
    FrameRecord frame;
    frame.SetData(RampFrame(53).data(), 53);
    frame.frameLength = frame.capturedLength = 53;
    frame.seconds = kStart;
    frame.flags = FRAME_DIR_EQ | FRAME_CRC_ERROR;
    ASSERT_TRUE(writer.Create(dir_.file("w.cap"), FMT_DM, options_));
    ASSERT_TRUE(writer.WriteHeader(info));
    ASSERT_TRUE(writer.WriteFrame(info, frame));
    ASSERT_TRUE(writer.FinishFile(info));
    ASSERT_TRUE(writer.Close());
    const auto out = ReadFile(dir_.file("w.cap"));
    ASSERT_EQ(out.size(), 238u + 53 + 8 + 20);
    EXPECT_EQ(std::string(out.begin() + 4, out.begin() + 44),
              std::string("Converted From SnifferPro/NetXRay (Network General)").substr(0, 40));
    EXPECT_EQ(out[44], 1);
    EXPECT_EQ(LoadLE16(out.data() + 62), 943);
    EXPECT_EQ(LoadLE32(out.data() + 238 + 53 + 8 + 16), 0x10000000u);

    Read back = ReadDomino(Bytes().append(out));
    EXPECT_EQ(back.info.interfaceType, IF_ATM);
    EXPECT_EQ(back.flags, (std::vector<uint16_t>{FRAME_DIR_EQ | FRAME_CRC_ERROR}));
}

}  // namespace
}  // namespace translator
