#include "formats/netxray/netxray.h"

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "console/console_progress.h"
#include "engine/checksum.h"
#include "engine/engine.h"
#include "formats/tcpdump/tcpdump.h"
#include "support/files.h"
#include "support/netxray_builder.h"
#include "support/pcap_builder.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace byte_order;
using namespace testsupport;

// Opens a byte-built file, plain or gzip-compressed, and reads it to the end.
struct XrRead {
    TempDir dir;
    NetXRayReader reader;
    bool opened = false;
    std::vector<FrameSummary> frames;
    std::vector<uint16_t> flags;

    explicit XrRead(const Bytes& file, bool compressed = false) {
        const std::string path = dir.file("in.cap");
        compressed ? WriteGzipFile(path, file.data()) : WriteFile(path, file.data());
        opened = reader.Open(path);
        while (opened && reader.ReadFrame()) {
            const FrameRecord& f = reader.frame;
            frames.push_back(Summary(f));
            flags.push_back(f.flags);
        }
    }
};

std::vector<uint8_t> WithFcs(std::vector<uint8_t> bytes) {
    const uint32_t fcs = Crc32(bytes.data(), static_cast<int64_t>(bytes.size()));
    Bytes tail;
    tail.le32(fcs);
    bytes.insert(bytes.end(), tail.data().begin(), tail.data().end());
    return bytes;
}

TEST(NetXRayReader, HeaderLineRateAndNetworkRules) {
    struct Case {
        uint32_t header;
        int32_t lineRate;
    };
    for (const Case c : {Case{0, 10000000}, Case{24, 24}, Case{100, 100000000},
                         Case{4000000000u, 10000000}, Case{10000, 10000}, Case{5000, INT32_MAX}}) {
        XrHeader h;
        h.lineRate = c.header;
        XrRead r(NetXRayFile(h, {}));
        ASSERT_TRUE(r.opened);
        EXPECT_EQ(r.reader.info.lineRate, c.lineRate) << c.header;
    }
    struct Network {
        uint32_t type;
        uint16_t encapsulation;
        int interfaceType;
        int wanType;
    };
    for (const Network n :
         {Network{0, 0, IF_ETHERNET, WAN_NONE}, Network{1, 0, IF_TOKEN_RING, WAN_NONE},
          Network{2, 0, IF_FDDI, WAN_NONE}, Network{9, 0, IF_802_11, WAN_NONE},
          Network{3, 0, IF_WAN, WAN_PPP}, Network{3, 4, IF_WAN, WAN_FRAME_RELAY},
          Network{3, 7, IF_WAN, WAN_SDLC}, Network{3, 8, IF_WAN, WAN_X25},
          Network{3, 5, IF_WAN, WAN_NONE}}) {
        XrHeader h;
        h.networkType = n.type;
        h.wanEncapsulation = n.encapsulation;
        XrRead r(NetXRayFile(h, {}));
        ASSERT_TRUE(r.opened) << n.type;
        EXPECT_EQ(r.reader.info.format, FMT_XR);
        EXPECT_EQ(r.reader.info.interfaceType, n.interfaceType) << n.type;
        EXPECT_EQ(r.reader.info.wanType, n.wanType) << n.encapsulation;
    }
    for (uint32_t refused : {4u, 8u, 10u}) {
        XrHeader h;
        h.networkType = refused;
        EXPECT_FALSE(XrRead(NetXRayFile(h, {})).opened) << refused;
    }
    Bytes badMagic = NetXRayFile(XrHeader{}, {});
    EXPECT_FALSE(XrRead(Bytes().text("XCQ").append(std::vector<uint8_t>(badMagic.data().begin() + 3,
                                                                        badMagic.data().end())))
                     .opened);
    EXPECT_FALSE(XrRead(Bytes().text("XCP").zeros(124)).opened);  // one byte short
}

TEST(NetXRayReader, VersionTextChoosesTheRecordHeader) {
    const std::vector<XrRecord> records = {{5, RampFrame(60)}, {9, RampFrame(70, 1)}};
    XrHeader old;
    old.version = "001.999";
    XrRead shortForm(NetXRayFile(old, records, /*shortRecords=*/true));
    XrRead longForm(NetXRayFile(XrHeader{}, records));
    ASSERT_EQ(shortForm.frames.size(), 2u);
    EXPECT_EQ(shortForm.frames, longForm.frames);
    EXPECT_EQ(longForm.frames[1].bytes, WithFcs(RampFrame(70, 1)));
    EXPECT_EQ(longForm.frames[1].frameLength, 74);
    EXPECT_EQ(longForm.frames[1].seconds, 1000000000u);
    EXPECT_EQ(longForm.frames[1].microseconds, 9u);
}

TEST(NetXRayReader, TimeModes) {
    XrHeader gigabit;
    gigabit.timeMode = 2;
    gigabit.lineRate = 1000000000;
    gigabit.timeOrigin = 123456;  // ignored at 1 Gbit/s
    XrRead fast(NetXRayFile(gigabit, {{1000000, RampFrame(60)}}));
    ASSERT_EQ(fast.frames.size(), 1u);
    EXPECT_EQ(fast.frames[0].seconds, 1000000000u);
    EXPECT_EQ(fast.frames[0].microseconds, 32000u);

    XrHeader ticks;
    ticks.timeMode = 2;
    ticks.timeOrigin = 1193182;  // one second of PC-timer ticks
    // Origin and stamps are each truncated to whole microseconds.
    XrRead pc(NetXRayFile(ticks, {{1000, RampFrame(60)}, {2000, RampFrame(60)}}));
    ASSERT_EQ(pc.frames.size(), 2u);
    EXPECT_EQ(pc.frames[0].seconds, 1000000001u);
    EXPECT_EQ(pc.frames[0].microseconds, 838u);
    EXPECT_EQ(pc.frames[1].microseconds, 1676u);

    XrHeader micros;
    micros.timeOrigin = 2500000;
    XrRead us(NetXRayFile(micros, {{700000, RampFrame(60)}}));
    ASSERT_EQ(us.frames.size(), 1u);
    EXPECT_EQ(us.frames[0].seconds, 1000000003u);
    EXPECT_EQ(us.frames[0].microseconds, 200000u);

    // A frame stamped before the capture start (a negative 64-bit offset).
    XrRead early(NetXRayFile(XrHeader{}, {{static_cast<uint64_t>(-1500000), RampFrame(60)}}));
    ASSERT_EQ(early.frames.size(), 1u);
    EXPECT_EQ(early.frames[0].seconds, 999999998u);
    EXPECT_EQ(early.frames[0].microseconds, 500000u);
}

TEST(NetXRayReader, StatusAndWanMarks) {
    XrHeader wan;
    wan.networkType = 3;
    wan.wanEncapsulation = 4;  // Frame Relay
    const std::vector<uint8_t> bytes = RampFrame(40);
    XrRead r(NetXRayFile(wan, {{0, bytes, 0, 7, 0x0001},
                               {0, bytes, 0, 0, 0x0109},
                               {0, bytes, 0, 1, 0x0000},
                               {0, bytes, 0, 2, 0x1818}}));
    ASSERT_EQ(r.frames.size(), 4u);
    EXPECT_EQ(r.flags[0], FRAME_ALIGNMENT_ERROR);  // status 7 drops the direction
    EXPECT_EQ(r.flags[1], FRAME_DIR_EQ);
    EXPECT_EQ(r.flags[2], FRAME_DIR_LN | FRAME_CRC_ERROR);
    EXPECT_EQ(r.flags[3], FRAME_DIR_LN | FRAME_OTHER_ERROR);
    EXPECT_EQ(r.reader.info.wanType, WAN_ISDN);  // the last frame info seen

    // FCS-16 on a good frame, zero on a CRC error, none with another error.
    Bytes fcs;
    fcs.le16(Fcs16(bytes.data(), 40));
    std::vector<uint8_t> good = bytes;
    good.insert(good.end(), fcs.data().begin(), fcs.data().end());
    EXPECT_EQ(r.frames[1].bytes, good);
    EXPECT_EQ(r.frames[1].frameLength, 42);
    std::vector<uint8_t> bad = bytes;
    bad.insert(bad.end(), {0, 0});
    EXPECT_EQ(r.frames[2].bytes, bad);
    EXPECT_EQ(r.frames[3].bytes, bytes);
    EXPECT_EQ(r.frames[3].frameLength, 40);

    XrRead lan(
        NetXRayFile(XrHeader{}, {{0, RampFrame(60), 0, 4, 0x0001}, {0, RampFrame(60), 0, 6}}));
    ASSERT_EQ(lan.frames.size(), 2u);
    EXPECT_EQ(lan.flags[0], FRAME_CRC_ERROR);  // no direction on a LAN
    EXPECT_EQ(lan.flags[1], FRAME_CRC_ERROR);
    EXPECT_EQ(LoadLE32(lan.frames[0].bytes.data() + 60), 0u);
}

TEST(NetXRayReader, EncapsulationSixIsSettledByTheFirstRecord) {
    XrHeader h;
    h.networkType = 3;
    h.wanEncapsulation = 6;
    XrRead ppp(NetXRayFile(h, {{0, RampFrame(30), 0, 0, 0x0108}, {1, RampFrame(30)}}));
    ASSERT_TRUE(ppp.opened);
    EXPECT_EQ(ppp.frames.size(), 2u);  // the probe read does not use up a frame
    EXPECT_EQ(ppp.reader.info.wanType, WAN_PPP);

    TempDir dir;
    WriteFile(dir.file("isdn.cap"), NetXRayFile(h, {{0, RampFrame(30), 0, 0, 0x1818}}).data());
    NetXRayReader reader;
    ASSERT_NE(reader.Probe(dir.file("isdn.cap")), nullptr);
    EXPECT_EQ(reader.info.wanType, WAN_ISDN);
    EXPECT_FALSE(XrRead(NetXRayFile(h, {})).opened);  // no record to probe
}

TEST(NetXRayReader, WirelessSignalTurnsScaledForGood) {
    XrHeader h;
    h.networkType = 9;
    auto radio = [](uint8_t channel, uint8_t rate, uint8_t signal) {
        return uint32_t{channel} | (uint32_t{rate} << 8) | (uint32_t{signal} << 16);
    };
    XrRead r(NetXRayFile(h, {{0, RampFrame(60), 0, 0, radio(6, 22, 90)},
                             {0, RampFrame(60), 0, 0, radio(101, 22, 128)},
                             {0, RampFrame(60), 0, 0, radio(6, 4, 64)}}));
    ASSERT_EQ(r.frames.size(), 3u);
    std::vector<int> signals;
    r.reader.Open(r.dir.file("in.cap"));
    while (r.reader.ReadFrame()) {
        signals.push_back(r.reader.frame.wlanSignal);
        EXPECT_EQ(r.reader.frame.wlanNoise, 0);
    }
    EXPECT_EQ(signals, (std::vector<int>{90, 100, 50}));
    EXPECT_EQ(r.reader.frame.wlanChannel, 6);
    EXPECT_EQ(r.reader.frame.wlanRate, 4);
    // No FCS is computed for 802.11: the four bytes are reserved only.
    EXPECT_EQ(r.frames[0].frameLength, 64);
}

TEST(NetXRayReader, LengthRules) {
    XrRead r(NetXRayFile(XrHeader{}, {{0, RampFrame(60), 1514},   // truncated: no FCS added
                                      {0, RampFrame(80), 60}}));  // stored more than the line
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[0].frameLength, 1518);
    EXPECT_EQ(r.frames[0].bytes, RampFrame(60));
    EXPECT_EQ(r.frames[1].frameLength, 84);
    EXPECT_EQ(r.frames[1].bytes, WithFcs(RampFrame(80)));

    // Other LANs get a zero FCS, not the bytes a longer frame left in the buffer.
    XrHeader tokenRing;
    tokenRing.networkType = 1;
    XrRead t(NetXRayFile(tokenRing, {{0, RampFrame(200)}, {0, RampFrame(60)}}));
    ASSERT_EQ(t.frames.size(), 2u);
    std::vector<uint8_t> zeroFcs = RampFrame(60);
    zeroFcs.resize(64);
    EXPECT_EQ(t.frames[1].bytes, zeroFcs);

    XrHeader single;
    single.singleLength = 1;
    single.frameCount = 1;
    Bytes file = NetXRayFile(single, {});
    file.le64(0).le16(64).le16(0).zeros(28).append(RampFrame(64));
    XrRead s(file);
    ASSERT_EQ(s.frames.size(), 1u);
    EXPECT_EQ(s.frames[0].frameLength, 64);
    EXPECT_EQ(s.frames[0].bytes, WithFcs(RampFrame(60)));

    // The header's frame count ends the file; an over-long record stops it.
    XrHeader two;
    two.frameCount = 2;
    Bytes counted = NetXRayFile(two, {{0, RampFrame(60)}, {0, RampFrame(60)}, {0, RampFrame(60)}});
    TempDir dir;
    WriteFile(dir.file("c.cap"), counted.data());
    NetXRayReader reader;
    ASSERT_TRUE(reader.Open(dir.file("c.cap")));
    int read = 0;
    while (reader.ReadFrame()) {
        reader.info.Accumulate(reader.frame);
        ++read;
    }
    EXPECT_EQ(read, 2);
    // The largest 16-bit length reads whole, its FCS added.
    XrRead longest(NetXRayFile(XrHeader{}, {{0, RampFrame(60)}, {0, RampFrame(0xFFFF)}}));
    ASSERT_EQ(longest.frames.size(), 2u);
    EXPECT_EQ(longest.frames[1].frameLength, 0xFFFF + 4);
}

TEST(NetXRayReader, CompressedReadsLikePlainAndEveryPrefixStopsCleanly) {
    XrHeader h;
    h.networkType = 3;
    const Bytes file =
        NetXRayFile(h, {{1, RampFrame(61)}, {2, RampFrame(100), 0, 1, 1}, {3, RampFrame(7)}});
    XrRead plain(file);
    XrRead packed(file, true);
    ASSERT_EQ(plain.frames.size(), 3u);
    EXPECT_EQ(plain.frames, packed.frames);
    for (size_t n = 0; n < file.size(); ++n) {
        Bytes prefix;
        prefix.append(std::vector<uint8_t>(file.data().begin(), file.data().begin() + n));
        for (bool compressed : {false, true}) {
            XrRead cut(prefix, compressed);
            EXPECT_EQ(cut.opened, n >= 128) << n;
            ASSERT_LE(cut.frames.size(), 3u);
            for (size_t i = 0; i < cut.frames.size(); ++i) {
                EXPECT_EQ(cut.frames[i], plain.frames[i]) << n;
            }
        }
    }
}

// Converts byte-built input with the engine.
struct Conversion {
    TempDir dir;
    ConvertOptions options;
    TranslatorEngine engine;
    ConsoleProgress quiet{fopen("/dev/null", "w")};

    Conversion() { engine.SetSink(&quiet); }
    bool Run(const Bytes& source, int format, const std::string& out = "out") {
        WriteFile(dir.file("in"), source.data());
        return engine.ConvertFile(dir.file("in"), dir.file(out), format, options);
    }
    std::vector<uint8_t> Output(const std::string& out = "out") const {
        return ReadFile(dir.file(out));
    }
};

TEST(NetXRayWriter, HeaderAndRecords) {
    Conversion c;
    c.options.offsetFile = true;
    c.options.pcapfcs = true;
    const std::vector<PcapRecord> records = {{1000, 5, RampFrame(64), 0},
                                             {1002, 7, RampFrame(100), 1518}};
    ASSERT_TRUE(c.Run(PcapFile(0xA1B2C3D4, false, 1, records), FMT_XR));
    const auto out = c.Output();
    const uint32_t end = 128 + 40 + 60 + 40 + 100;
    Bytes expected;
    expected.text("XCP").u8(0).fixedText("002.001", 8).le32(1000).le32(2).le32(end).le32(128);
    expected.le32(end).zeros(8).le32(end).le32(0).le32(0).le64(0).le32(10000000).zeros(64);
    expected.le64(5).le16(60).le16(60).zeros(8).le32(0).le32(0).zeros(12).append(RampFrame(60));
    // Truncated: only the line length loses the FCS.
    expected.le64(2000007).le16(1514).le16(100).zeros(8).le32(0).le32(0).zeros(12);
    expected.append(RampFrame(100));
    EXPECT_EQ(out, expected.data());

    Bytes offsets;
    for (uint32_t base : {128u, 128u + 100u}) {
        for (uint32_t i = 0; i < 8; ++i)
            offsets.le32(base + i);
    }
    EXPECT_EQ(ReadFile(c.dir.file("out.offset")), offsets.data());
}

// The 40-byte record the writer makes of one frame.
std::vector<uint8_t> RecordOf(TraceInfo info, uint16_t flags, int32_t length = 30,
                              uint8_t signal = 0) {
    TempDir dir;
    ConvertOptions options;
    NetXRayWriter writer;
    FrameRecord frame;
    const auto bytes = RampFrame(static_cast<size_t>(length));
    frame.SetData(bytes.data(), length);
    frame.frameLength = frame.capturedLength = length;
    frame.flags = flags;
    frame.seconds = info.startTime = 50;
    frame.wlanChannel = 11;
    frame.wlanRate = 108;
    frame.wlanSignal = signal;
    EXPECT_TRUE(writer.Create(dir.file("o.cap"), FMT_XR, options));
    EXPECT_TRUE(writer.WriteHeader(info) && writer.WriteFrame(info, frame));
    EXPECT_TRUE(writer.FinishFile(info) && writer.Close());
    const auto out = ReadFile(dir.file("o.cap"));
    return std::vector<uint8_t>(out.begin() + 128, out.begin() + 168);
}

TEST(NetXRayWriter, StatusDirectionAndRadioFields) {
    TraceInfo wan;
    wan.interfaceType = IF_WAN;
    wan.wanType = WAN_PPP;
    auto r = RecordOf(wan, FRAME_DIR_EQ | FRAME_CRC_ERROR);
    EXPECT_EQ(LoadLE16(r.data() + 8), 28);  // FCS-16 left out
    EXPECT_EQ(LoadLE32(r.data() + 20), 0x00800000u);
    EXPECT_EQ(LoadLE32(r.data() + 24), 0x0109u);  // PPP mark and direction
    r = RecordOf(wan, FRAME_DIR_LN | FRAME_CRC_ERROR | FRAME_OTHER_ERROR);
    EXPECT_EQ(LoadLE16(r.data() + 8), 30);  // another error: no FCS to leave out
    EXPECT_EQ(LoadLE32(r.data() + 20), 3u);
    EXPECT_EQ(LoadLE16(RecordOf(wan, 0, 2).data() + 8), 2);

    wan.wanType = WAN_ISDN;
    EXPECT_EQ(LoadLE32(RecordOf(wan, FRAME_DIR_EQ).data() + 24), 0x1819u);

    TraceInfo wireless;
    wireless.interfaceType = IF_802_11;
    r = RecordOf(wireless, 0, 64, 100);
    EXPECT_EQ(LoadLE16(r.data() + 8), 60);
    EXPECT_EQ(r[24], 11);
    EXPECT_EQ(r[25], 108);
    EXPECT_EQ(r[26], 128);
    EXPECT_EQ(RecordOf(wireless, 0, 64, 255)[26], 255);  // 326 would not fit
}

TEST(NetXRayWriter, CutFramesLongerOnTheLineKeepTheLargestLineLength) {
    Conversion c;
    ASSERT_TRUE(c.Run(PcapFile(0xA1B2C3D4, false, 1, {{1, 0, RampFrame(60), 80000}}), FMT_XR));
    const auto out = c.Output();
    ASSERT_GE(out.size(), 128u + 12u);
    EXPECT_EQ(LoadLE16(out.data() + 128 + 8), 0xFFFF);
    EXPECT_EQ(LoadLE16(out.data() + 128 + 10), 60);
}

TEST(NetXRayWriter, RoundTripThroughTcpdump) {
    Conversion c;
    const std::vector<PcapRecord> records = {{1000, 1, RampFrame(64), 0},
                                             {1000, 999999, RampFrame(200, 3), 0},
                                             {1500, 0, RampFrame(80, 9), 1514}};
    ASSERT_TRUE(c.Run(PcapFile(0xA1B2C3D4, false, 1, records), FMT_XR, "x.cap"));
    ASSERT_TRUE(
        c.engine.ConvertFile(c.dir.file("x.cap"), c.dir.file("back.pcap"), FMT_TD, c.options));
    TcpdumpReader reader;
    const auto back = ReadFrames(reader, c.dir.file("back.pcap"));
    ASSERT_EQ(back.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back[i].seconds, records[i].seconds);
        EXPECT_EQ(back[i].microseconds, records[i].subSecond);
    }
    EXPECT_EQ(back, ReadFrames(reader, c.dir.file("in")));
}

}  // namespace
}  // namespace translator
