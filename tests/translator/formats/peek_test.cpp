#include "formats/peek/peek.h"

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "console/console_progress.h"
#include "engine/engine.h"
#include "formats/tcpdump/tcpdump.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/peek_builder.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace byte_order;
using namespace testsupport;

constexpr uint64_t k1904 = 2082844800ull;

// Opens a byte-built file, plain or gzip-compressed, and reads it to the end.
struct PeekRead {
    TempDir dir;
    PeekReader reader;
    bool opened = false;
    std::vector<FrameSummary> frames;
    std::vector<FrameRecord> records;

    explicit PeekRead(const Bytes& file, bool compressed = false) {
        const std::string path = dir.file("in.pkt");
        compressed ? WriteGzipFile(path, file.data()) : WriteFile(path, file.data());
        opened = reader.Open(path);
        while (opened && reader.ReadFrame()) {
            const FrameRecord& f = reader.frame;
            frames.push_back(Summary(f));
            records.emplace_back().CopyFrom(f);
        }
    }
};

TEST(PeekReader, Version7Records) {
    Bytes file = PeekFixedHeader(7, 3, 0, 0, 100000000);
    PeekV7Record(file, 61, 0, 0x02, (1000 + k1904) * 1000000 + 5, RampFrame(61));
    PeekV7Record(file, 1514, 100, 0x04, (1001 + k1904) * 1000000, RampFrame(100, 1));
    PeekV7Record(file, 60, 0, 0, (1002 + k1904) * 1000000 + 999999, RampFrame(60, 2));
    PeekRead r(file);
    ASSERT_TRUE(r.opened);
    EXPECT_EQ(r.reader.info.format, FMT_EP);
    EXPECT_EQ(r.reader.info.interfaceType, IF_ETHERNET);
    EXPECT_EQ(r.reader.info.lineRate, 100000000);
    EXPECT_EQ(r.reader.info.totalFrames, 3);
    EXPECT_EQ(r.reader.info.startTime, 0u);
    ASSERT_EQ(r.frames.size(), 3u);
    // 61 stored bytes take 62: the next record is still found.
    EXPECT_EQ(r.frames[0], (FrameSummary{1000, 5, 0, 61, RampFrame(61)}));
    EXPECT_EQ(r.frames[1], (FrameSummary{1001, 0, 0, 1514, RampFrame(100, 1)}));
    EXPECT_EQ(r.frames[2], (FrameSummary{1002, 999999, 0, 60, RampFrame(60, 2)}));
    EXPECT_EQ(r.records[0].flags, FRAME_CRC_ERROR);
    EXPECT_EQ(r.records[1].flags, FRAME_ALIGNMENT_ERROR);
    EXPECT_EQ(r.records[2].flags, 0);
}

TEST(PeekReader, WirelessRecordsCarryRadioBytes) {
    for (uint8_t version : {6, 7}) {
        Bytes file = PeekFixedHeader(version, 1, 1, 2);
        Bytes stored;
        stored.u8(22).u8(6).u8(77).u8(9).append(RampFrame(100));
        version == 7 ? PeekV7Record(file, 104, 0, 0, k1904 * 1000000, stored.data())
                     : PeekV6Record(file, 104, 0, 0, 1500, stored.data());
        PeekRead r(file);
        ASSERT_TRUE(r.opened);
        EXPECT_EQ(r.reader.info.format, FMT_AP);
        EXPECT_EQ(r.reader.info.lineRate, 11000000);
        ASSERT_EQ(r.frames.size(), 1u) << int{version};
        EXPECT_EQ(r.frames[0].frameLength, 100);
        EXPECT_EQ(r.frames[0].bytes, RampFrame(100));
        const FrameRecord& f = r.records[0];
        EXPECT_EQ(f.wlanRate, 22);
        EXPECT_EQ(f.wlanChannel, 6);
        EXPECT_EQ(f.wlanSignal, 77);
        EXPECT_EQ(f.wlanNoise, 9);
    }
    // A record too short for the radio bytes ends the file.
    Bytes tiny = PeekFixedHeader(7, 1, 1, 2);
    PeekV7Record(tiny, 3, 0, 0, 0, RampFrame(3));
    EXPECT_TRUE(PeekRead(tiny).frames.empty());
}

TEST(PeekReader, Version6Records) {
    Bytes file = PeekFixedHeader(6, 2, 1);
    PeekV6Record(file, 64, 0, 0x02, 1234567, RampFrame(64));
    PeekV6Record(file, 1000, 33, 0, 7, RampFrame(33));
    PeekRead r(file);
    ASSERT_TRUE(r.opened);
    EXPECT_EQ(r.reader.info.format, FMT_TP);
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[0], (FrameSummary{1234, 567000, 0, 64, RampFrame(64)}));
    EXPECT_EQ(r.frames[1], (FrameSummary{0, 7000, 0, 1000, RampFrame(33)}));
    EXPECT_EQ(r.records[0].flags, FRAME_CRC_ERROR);
}

TEST(PeekReader, MediaClassification) {
    struct Case {
        uint32_t media;
        uint32_t sub;
        int format;
        int interfaceType;
        int wanType;
    };
    for (const Case c :
         {Case{0, 0, FMT_EP, IF_ETHERNET, WAN_NONE}, Case{1, 0, FMT_TP, IF_TOKEN_RING, WAN_NONE},
          Case{0, 3, FMT_AP, IF_802_11, WAN_NONE},
          Case{12, 5, FMT_WP, IF_T_SERIES, WAN_FRAME_RELAY},
          Case{7, 6, FMT_WP, IF_T_SERIES, WAN_X25}, Case{3, 10, FMT_WP, IF_T_SERIES, WAN_ISDN},
          Case{3, 4, FMT_WP, IF_T_SERIES, WAN_NONE}, Case{12, 8, FMT_WP, IF_UNKNOWN, WAN_NONE}}) {
        PeekRead r(PeekFixedHeader(7, 0, c.media, c.sub));
        ASSERT_TRUE(r.opened) << c.media << "/" << c.sub;
        EXPECT_EQ(r.reader.info.format, c.format) << c.media << "/" << c.sub;
        EXPECT_EQ(r.reader.info.interfaceType, c.interfaceType) << c.media << "/" << c.sub;
        EXPECT_EQ(r.reader.info.wanType, c.wanType) << c.media << "/" << c.sub;
    }
    EXPECT_FALSE(PeekRead(PeekFixedHeader(7, 0, 2, 0)).opened);
    EXPECT_FALSE(PeekRead(PeekFixedHeader(8, 0, 0, 0)).opened);
    Bytes shortHeader = PeekFixedHeader(7, 0, 0);
    EXPECT_FALSE(PeekRead(Bytes().append(std::vector<uint8_t>(shortHeader.data().begin(),
                                                              shortHeader.data().end() - 1)))
                     .opened);
}

TEST(PeekReader, Version9Packets) {
    Bytes packets;
    auto tags = PeekTimeTags(64, 1700000000, 123456);
    tags.insert(tags.end(), {{3, 0x02}, {4, 0x106}, {5, 0x22}, {6, 0x150}, {12, 2}, {11, 35}});
    PeekV9Packet(packets, tags, RampFrame(64), 0);  // 0: the whole frame
    tags = PeekTimeTags(1514, 1700000001, 0);
    tags.insert(tags.end(), {{7, 1}, {10, 4}, {12, 1}});
    packets.le16(20);  // a tag without a value
    PeekV9Packet(packets, tags, RampFrame(99));
    PeekRead r(PeekV9File(12, 5, packets, 2));
    ASSERT_TRUE(r.opened);
    EXPECT_EQ(r.reader.info.format, FMT_WP);
    EXPECT_EQ(r.reader.info.totalFrames, 2);
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[0], (FrameSummary{1700000000, 123456, 0, 64, RampFrame(64)}));
    EXPECT_EQ(r.frames[1], (FrameSummary{1700000001, 0, 0, 1514, RampFrame(99)}));
    EXPECT_EQ(r.records[0].flags, FRAME_CRC_ERROR | FRAME_DIR_EQ);
    EXPECT_EQ(r.records[0].wlanChannel, 6);
    EXPECT_EQ(r.records[0].wlanRate, 0x22);
    EXPECT_EQ(r.records[0].wlanSignal, 0x50);
    EXPECT_EQ(r.records[1].flags, FRAME_DIR_LN);
    EXPECT_EQ(r.reader.info.wanType, WAN_FRAME_RELAY);
}

TEST(PeekReader, Version9EncapsulationTag) {
    auto file = [](const std::vector<uint32_t>& encapsulations) {
        Bytes packets;
        for (uint32_t e : encapsulations) {
            auto tags = PeekTimeTags(20, 1, 0);
            tags.push_back({11, e});
            PeekV9Packet(packets, tags, RampFrame(20));
        }
        return PeekV9File(12, 4, packets);
    };
    // The header leaves the WAN type open; the first packet settles it at open.
    PeekRead hdlc(file({16}));
    ASSERT_TRUE(hdlc.opened);
    EXPECT_EQ(hdlc.frames.size(), 1u);
    EXPECT_EQ(hdlc.reader.info.wanType, WAN_HDLC);
    PeekRead ppp(file({16, 16}));
    EXPECT_EQ(ppp.frames.size(), 2u);
    EXPECT_EQ(ppp.reader.info.wanType, WAN_PPP);
    EXPECT_EQ(PeekRead(file({37})).reader.info.wanType, WAN_X25);
    EXPECT_EQ(PeekRead(file({49})).reader.info.wanType, WAN_ISDN);

    TempDir dir;
    WriteFile(dir.file("f.wpc"), file({35, 35}).data());
    PeekReader reader;
    const TraceInfo* info = reader.Probe(dir.file("f.wpc"));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->wanType, WAN_FRAME_RELAY);
    EXPECT_TRUE(reader.Supports(FMT_WP, *info));
}

TEST(PeekReader, Version9HeaderRules) {
    const Bytes packets = [] {
        Bytes b;
        return PeekV9Packet(b, PeekTimeTags(20, 1, 0), RampFrame(20));
    }();
    auto build = [&](const std::string& version, const std::string& session, bool packetsFirst) {
        Bytes b;
        b.append(PeekSection("\x7fver", version).data());
        if (packetsFirst) {
            // The packets section then spans the packets, and the session follows.
            b.append(PeekSection("pkts", std::string(packets.data().begin(), packets.data().end()))
                         .data());
            return b.append(PeekSection("sess", session).data());
        }
        b.append(PeekSection("sess", session).data()).append(PeekSection("pkts", "").data());
        return b.append(packets.data());
    };
    const std::string session = PeekSessionText(0, 0, 1, 10000000, "1600000000");
    PeekRead normal(build(PeekVersionText(), session, false));
    ASSERT_TRUE(normal.opened);
    EXPECT_EQ(normal.reader.info.format, FMT_EP);
    EXPECT_EQ(normal.reader.info.startTime, 1600000000u);
    EXPECT_EQ(normal.reader.info.lineRate, 10000000);
    EXPECT_EQ(normal.frames.size(), 1u);

    // A packets section before the session is returned to after it.
    PeekRead reordered(build(PeekVersionText(), session, true));
    ASSERT_TRUE(reordered.opened);
    EXPECT_EQ(reordered.frames, normal.frames);

    // Values that do not parse count as 0; a missing tag fails the open.
    PeekRead blank(build(PeekVersionText(), PeekSessionText(0, 0, 1, 0, " "), false));
    ASSERT_TRUE(blank.opened);
    EXPECT_EQ(blank.reader.info.startTime, 0u);
    EXPECT_EQ(blank.reader.info.lineRate, 10000000);
    std::string noSpeed = session;
    noSpeed.replace(noSpeed.find("<LinkSpeed>"), 11, "<Linkspeed>");
    EXPECT_FALSE(PeekRead(build(PeekVersionText(), noSpeed, false)).opened);

    for (const char* appVersion : {"", "5.4.0", "5.4.0.257", "x.1.1.1"}) {
        EXPECT_FALSE(PeekRead(build(PeekVersionText(appVersion), session, false)).opened)
            << appVersion;
    }
    EXPECT_TRUE(PeekRead(build(PeekVersionText("256.0.0.0"), session, false)).opened);
}

TEST(PeekReader, Version9LengthsThatRunPastTheData) {
    // A session section claiming more than the file holds.
    Bytes file;
    file.append(PeekSection("\x7fver", PeekVersionText()).data());
    const std::string session = PeekSessionText(0, 0, 1);
    file.text("sess").le32(static_cast<uint32_t>(session.size() + 100)).le32(512).text(session);
    file.zeros(60);
    EXPECT_FALSE(PeekRead(file).opened);
    // A section longer than any header could be, and a tag list cut short.
    Bytes huge;
    huge.append(PeekSection("\x7fver", PeekVersionText()).data());
    huge.text("sess").le32(0xFFFFFFF0u).le32(512).text(session).zeros(40);
    EXPECT_FALSE(PeekRead(huge).opened);
    Bytes cut = PeekV9File(0, 0, Bytes().le16(0).le32(60).le16(1));
    PeekRead r(cut);
    EXPECT_TRUE(r.opened);
    EXPECT_TRUE(r.frames.empty());
}

TEST(PeekReader, CompressedReadsLikePlainAndEveryPrefixStopsCleanly) {
    Bytes v7 = PeekFixedHeader(7, 2, 0);
    PeekV7Record(v7, 61, 0, 0, k1904 * 1000000, RampFrame(61));
    PeekV7Record(v7, 100, 0, 0, k1904 * 1000000, RampFrame(100));
    Bytes packets;
    PeekV9Packet(packets, PeekTimeTags(61, 5, 5), RampFrame(61));
    PeekV9Packet(packets, PeekTimeTags(100, 6, 6), RampFrame(100));
    for (const Bytes& file : {v7, PeekV9File(12, 5, packets)}) {
        PeekRead plain(file);
        PeekRead packed(file, true);
        ASSERT_EQ(plain.frames.size(), 2u);
        EXPECT_EQ(plain.frames, packed.frames);
        for (size_t n = 0; n < file.size(); ++n) {
            Bytes prefix;
            prefix.append(std::vector<uint8_t>(file.data().begin(), file.data().begin() + n));
            for (bool compressed : {false, true}) {
                PeekRead cut(prefix, compressed);
                ASSERT_LE(cut.frames.size(), 2u);
                for (size_t i = 0; i < cut.frames.size(); ++i) {
                    EXPECT_EQ(cut.frames[i], plain.frames[i]) << n;
                }
            }
        }
    }
}

TEST(PeekReader, FramesOfAnUnopenedReaderAreRefused) {
    PeekReader reader;
    ConsoleProgress quiet(fopen("/dev/null", "w"));
    reader.SetSink(&quiet);
    EXPECT_FALSE(reader.ReadFrame());
    EXPECT_STREQ(quiet.Messages(), "File version 0 is not supported.\r\n");
    reader.SetSink(nullptr);
}

// Writes frames with the Peek writer straight from records.
struct PeekWrite {
    TempDir dir;
    ConvertOptions options;
    PeekWriter writer;
    TraceInfo info;

    std::vector<uint8_t> Run(int format, std::vector<FrameRecord>& frames) {
        const std::string path = dir.file("out");
        options.offsetFile = true;
        EXPECT_TRUE(writer.Create(path, format, options));
        EXPECT_TRUE(writer.WriteHeader(info));
        for (FrameRecord& f : frames) {
            info.Accumulate(f);
            EXPECT_TRUE(writer.WriteFrame(info, f));
            ++info.framesWritten;
        }
        EXPECT_TRUE(writer.FinishFile(info));
        EXPECT_TRUE(writer.Close());
        return ReadFile(path);
    }
};

FrameRecord Frame(std::vector<uint8_t> bytes, int32_t frameLength, uint32_t seconds,
                  uint16_t flags = 0) {
    FrameRecord f;
    f.SetData(bytes.data(), static_cast<int32_t>(bytes.size()));
    f.capturedLength = static_cast<int32_t>(bytes.size());
    f.frameLength = frameLength;
    f.seconds = seconds;
    f.microseconds = 250;
    f.flags = flags;
    return f;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
    return std::vector<uint8_t>(v.begin() + static_cast<long>(from),
                                v.begin() + static_cast<long>(from + n));
}

TEST(PeekWriter, Version7HeaderAndRecords) {
    PeekWrite w;
    w.info.interfaceType = IF_ETHERNET;
    w.info.lineRate = 10000000;
    std::vector<FrameRecord> frames;
    // An 802.3 frame with a SNAP header, a runt with a CRC error, a truncated giant.
    Bytes snap;
    snap.zeros(12).be16(1500).u8(0xAA).u8(0xAA).u8(3).zeros(50);
    frames.push_back(Frame(snap.data(), 65, 3000));
    frames.push_back(Frame(RampFrame(60), 60, 3001, FRAME_CRC_ERROR));
    frames.push_back(Frame(RampFrame(80), 2000, 3002, FRAME_ALIGNMENT_ERROR));
    const auto out = w.Run(FMT_EP, frames);
    const uint32_t size = 50 + 16 + 66 + 16 + 60 + 16 + 80;
    ASSERT_EQ(out.size(), size);
    Bytes header;
    header.u8(7).u8(0).be32(size).be32(3).be32(3000 + k1904).be32(0xFFFFFFFF).be32(0xFFFFFFFF);
    header.be32(0).be32(0).be32(0).be32(10000000).zeros(12);
    EXPECT_EQ(Slice(out, 0, 50), header.data());
    Bytes first;
    first.be16(0).be16(65).be16(0).u8(0x80).u8(0).be64((3000 + k1904) * 1000000 + 250);
    EXPECT_EQ(Slice(out, 50, 16), first.data());
    EXPECT_EQ(out[50 + 16 + 65], 0);  // the pad byte
    EXPECT_EQ(out[50 + 82 + 6], 0x22);
    Bytes third;
    third.be16(0).be16(2000).be16(80).u8(0x16).u8(0);  // alignment implies CRC
    EXPECT_EQ(Slice(out, 50 + 82 + 76, 8), third.data());

    Bytes offsets;
    for (uint32_t i = 0; i < 4; ++i)
        offsets.le32(10 + i);
    for (uint32_t record : {50u, 132u, 208u}) {
        for (uint32_t i = 0; i < 8; ++i)
            offsets.le32(record + 8 + i);
        if (record == 50)
            offsets.le32(50 + 16 + 65);
    }
    EXPECT_EQ(ReadFile(w.dir.file("out.offset")), offsets.data());
}

TEST(PeekWriter, WirelessRecordsReadBackAsAiroPeek) {
    PeekWrite w;
    w.info.interfaceType = IF_802_11;
    std::vector<FrameRecord> frames;
    frames.push_back(Frame(RampFrame(100), 100, 3000));
    frames[0].wlanRate = 22;
    frames[0].wlanChannel = 11;
    frames[0].wlanSignal = 60;
    frames[0].wlanNoise = 2;
    const auto out = w.Run(FMT_AP, frames);
    EXPECT_EQ(LoadBE32(out.data() + 22), 1u);
    EXPECT_EQ(LoadBE32(out.data() + 26), 1u);
    EXPECT_EQ(LoadBE32(out.data() + 30), 0x101u);
    EXPECT_EQ(LoadBE16(out.data() + 52), 104);
    EXPECT_EQ(Slice(out, 66, 4), (std::vector<uint8_t>{22, 11, 60, 2}));
    PeekRead back{Bytes().append(out)};
    ASSERT_TRUE(back.opened);
    EXPECT_EQ(back.reader.info.format, FMT_AP);
    ASSERT_EQ(back.frames.size(), 1u);
    EXPECT_EQ(back.frames[0], (FrameSummary{3000, 250, 0, 100, RampFrame(100)}));
    EXPECT_EQ(back.records[0].wlanSignal, 60);
}

TEST(PeekWriter, Version9SectionsAndPackets) {
    PeekWrite w;
    w.info.interfaceType = IF_WAN;
    w.info.wanType = WAN_FRAME_RELAY;
    w.info.lineRate = 64000;
    std::vector<FrameRecord> frames;
    for (int i = 0; i < 1234; ++i) {
        frames.push_back(
            Frame(RampFrame(30), 32, 5000, i == 0 ? FRAME_DIR_LN | FRAME_CRC_ERROR : FRAME_DIR_EQ));
    }
    const auto out = w.Run(FMT_WP, frames);
    const std::string text(out.begin(), out.end());
    const std::string version =
        "<VersionInfo><FileVersion>9</FileVersion><AppVersion>5.4.0.1</AppVersion>"
        "<ProdVersion>1.0.0.0</ProdVersion></VersionInfo>\r\n";
    const std::string session =
        "<Session><RawTime> </RawTime><Time> </Time><MediaType>12</MediaType>"
        "<MediaSubType>5</MediaSubType><TimeZoneBias>0</TimeZoneBias><LinkSpeed>64000"
        "</LinkSpeed><PacketCount>    1234</PacketCount></Session>\r\n";
    Bytes sections = PeekSection("\x7fver", version);
    sections.append(PeekSection("sess", session).data()).append(PeekSection("pkts", "").data());
    ASSERT_GT(out.size(), sections.size());
    EXPECT_EQ(Slice(out, 0, sections.size()), sections.data());

    const uint64_t t = PeekNanos(5000, 250);
    Bytes packet;
    packet.le16(0)
        .le32(32)
        .le16(1)
        .le32(static_cast<uint32_t>(t))
        .le16(2)
        .le32(static_cast<uint32_t>(t >> 32));
    packet.le16(3).le16(0x02).le16(0).le16(10).le32(4).le16(11).le32(35).le16(12).le32(1);
    packet.le16(0xFFFF).le32(30).append(RampFrame(30));
    EXPECT_EQ(Slice(out, sections.size(), packet.size()), packet.data());
    EXPECT_EQ(out.size(), sections.size() + 1234 * packet.size());
    EXPECT_EQ(out[sections.size() + packet.size() + 38], 2);  // the other direction

    PeekRead back{Bytes().append(out)};
    ASSERT_TRUE(back.opened);
    EXPECT_EQ(back.reader.info.totalFrames, 1234);
    ASSERT_EQ(back.frames.size(), 1234u);
    EXPECT_EQ(back.frames[0], (FrameSummary{5000, 250, 0, 32, RampFrame(30)}));
}

TEST(PeekWriter, FieldsThatWouldOverflowFailTheFrame) {
    PeekWrite w;
    w.info.interfaceType = IF_802_11;
    ASSERT_TRUE(w.writer.Create(w.dir.file("o"), FMT_AP, w.options));
    ASSERT_TRUE(w.writer.WriteHeader(w.info));
    w.info.framesRead = 7;
    EXPECT_TRUE(w.writer.WriteFrame(w.info, Frame(RampFrame(65531), 65531, 1)));
    EXPECT_FALSE(w.writer.WriteFrame(w.info, Frame(RampFrame(65532), 65532, 1)));
    EXPECT_EQ(w.writer.TakeRefusal(),
              "Frame 7 is 65532 bytes long; AiroPeek (WildPackets) files "
              "hold at most 65531.\r\n");
    PeekWrite wan;
    wan.info.wanType = WAN_PPP;
    ASSERT_TRUE(wan.writer.Create(wan.dir.file("o"), FMT_WP, wan.options));
    ASSERT_TRUE(wan.writer.WriteHeader(wan.info));
    wan.info.framesWritten = 99999999;
    EXPECT_FALSE(wan.writer.WriteFrame(wan.info, Frame(RampFrame(60), 60, 1)));
}

TEST(PeekWriter, RoundTripsThroughTcpdump) {
    struct Case {
        int format;
        uint32_t linkType;
    };
    const std::vector<PcapRecord> records = {{1000, 1, RampFrame(64), 0},
                                             {999, 999999, RampFrame(201, 3), 0},
                                             {1500, 0, RampFrame(80, 9), 1514}};
    for (const Case c : {Case{FMT_EP, 1}, Case{FMT_WP, 9}, Case{FMT_WP, 104}, Case{FMT_WP, 107}}) {
        TempDir dir;
        ConvertOptions options;
        TranslatorEngine engine;
        ConsoleProgress quiet(fopen("/dev/null", "w"));
        engine.SetSink(&quiet);
        WriteFile(dir.file("in.pcap"), PcapFile(0xA1B2C3D4, false, c.linkType, records).data());
        ASSERT_TRUE(engine.ConvertFile(dir.file("in.pcap"), dir.file("peek"), c.format, options));
        ASSERT_TRUE(engine.ConvertFile(dir.file("peek"), dir.file("back.pcap"), FMT_TD, options))
            << c.linkType << quiet.Messages();
        TcpdumpReader reader;
        EXPECT_EQ(ReadFrames(reader, dir.file("back.pcap")),
                  ReadFrames(reader, dir.file("in.pcap")))
            << c.linkType;
    }
}

}  // namespace
}  // namespace translator
