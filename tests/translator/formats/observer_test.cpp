#include "formats/observer/observer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/byte_order.h"
#include "console/console_progress.h"
#include "engine/checksum.h"
#include "engine/engine.h"
#include "support/files.h"
#include "support/observer_builder.h"
#include "support/pcap_builder.h"
#include "translator/conversion.h"
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
    std::vector<uint8_t> radio;  // rate, channel, signal, noise of the first frame
    uint32_t dayBase = 0;
};

Read ReadObserver(const Bytes& file) {
    TempDir dir;
    WriteFile(dir.file("in.bfr"), file.data());
    Read r;
    r.dayBase = WithSteadyDayBase([&] {
        ObserverReader reader;
        r.opened = reader.Open(dir.file("in.bfr"));
        r.frames.clear();
        if (!r.opened) {
            return;
        }
        r.info = reader.info;
        while (reader.ReadFrame()) {
            const FrameRecord& f = reader.frame;
            if (r.frames.empty()) {
                r.radio = {f.wlanRate, f.wlanChannel, f.wlanSignal, f.wlanNoise};
            }
            r.frames.push_back(Summary(f));
        }
    });
    return r;
}

std::vector<uint8_t> WithFcs(std::vector<uint8_t> bytes) {
    uint8_t fcs[4];
    StoreLE32(fcs, Crc32(bytes.data(), static_cast<int64_t>(bytes.size())));
    bytes.insert(bytes.end(), fcs, fcs + 4);
    return bytes;
}

TEST(ObserverReader, VersionDecidesTheLengthRule) {
    const std::vector<ObserverPacket> packets = {
        {64, 1500, RampFrame(60)},         // FCS not stored
        {1518, 86399999, RampFrame(100)},  // truncated
        {70, 7, RampFrame(70, 9)},         // stored with its FCS
    };
    Read v4 = ReadObserver(ObserverFile(kObserverVersion4, 0, packets));
    ASSERT_TRUE(v4.opened);
    EXPECT_EQ(v4.info.format, FMT_OB);
    EXPECT_EQ(v4.info.interfaceType, IF_ETHERNET);
    EXPECT_EQ(v4.info.lineRate, 10000000);
    EXPECT_EQ(v4.info.startTime, v4.dayBase + 1);
    const std::vector<uint8_t> stored70 = RampFrame(70, 9);
    const std::vector<FrameSummary> expected4 = {
        {v4.dayBase + 1, 500000, 0, 64, WithFcs(RampFrame(60))},
        {v4.dayBase + 86399, 999000, 0, 1518, RampFrame(100)},
        {v4.dayBase, 7000, 0, 70,
         WithFcs(std::vector<uint8_t>(stored70.begin(), stored70.end() - 4))},
    };
    EXPECT_EQ(v4.frames, expected4);

    // Below version 4 every Ethernet frame gains an FCS; a header without '='
    // is version 0.
    for (const std::string header : {"ObserverPktBufferVersion=3.00", "Observer packet buffer"}) {
        Read old = ReadObserver(ObserverFile(header, 0, packets));
        ASSERT_TRUE(old.opened) << header;
        ASSERT_EQ(old.frames.size(), 3u);
        EXPECT_EQ(old.frames[0],
                  (FrameSummary{old.dayBase + 1, 500000, 0, 64, WithFcs(RampFrame(60))}));
        EXPECT_EQ(old.frames[1].frameLength, 104) << header;
        EXPECT_EQ(old.frames[1].bytes, WithFcs(RampFrame(100))) << header;
        EXPECT_EQ(old.frames[2].bytes, WithFcs(stored70)) << header;
    }
}

TEST(ObserverReader, VersionNumberParsing) {
    auto version = [](const std::string& text) {
        return ObserverVersion(Bytes().fixedText(text, 113).data().data());
    };
    EXPECT_EQ(version(kObserverVersion4), 4);
    EXPECT_EQ(version("ObserverPktBufferVersion=15.00"), 15);
    // The '=' counts only in the first 112 bytes; digits never run past 113.
    EXPECT_EQ(version(std::string(112, 'O') + "="), 0);
    EXPECT_EQ(version(std::string(111, 'O') + "=7"), 7);
    EXPECT_EQ(version("Observer=" + std::string(104, '9')), 999999999);  // stops before overflowing
}

TEST(ObserverReader, OtherLayoutsAreRefusedByVersion) {
    for (const auto& [header, text] :
         {std::pair{"ObserverPktBufferVersion=9.00",
                    "Observer file version 9 is not supported.\r\n"},
          std::pair{"ObserverPktBufferVersion=16.00",
                    "Observer file version 16 is not supported.\r\n"}}) {
        Conversion c;
        EXPECT_FALSE(c.Run(ObserverFile(header, 0, {{64, 0, RampFrame(60)}}))) << header;
        EXPECT_STREQ(c.quiet.Messages(), text);
    }
}

TEST(ObserverReader, RuntsAreExtendedWithZerosUnlessErrored) {
    Read r = ReadObserver(ObserverFile(kObserverVersion4, 0,
                                       {{46, 0, RampFrame(42, 1)},
                                        {46, 0, RampFrame(42, 1), /*CRC error*/ 0x2},
                                        {46, 0, RampFrame(42, 1), /*alignment error*/ 0x1}}));
    ASSERT_EQ(r.frames.size(), 3u);
    std::vector<uint8_t> padded = RampFrame(42, 1);
    padded.resize(60, 0);
    EXPECT_EQ(r.frames[0].frameLength, 64);
    EXPECT_EQ(r.frames[0].bytes, WithFcs(padded));
    // An errored frame keeps its length and gets a zero FCS.
    for (int i : {1, 2}) {
        EXPECT_EQ(r.frames[i].frameLength, 46);
        std::vector<uint8_t> zeroFcs = RampFrame(42, 1);
        zeroFcs.resize(46, 0);
        EXPECT_EQ(r.frames[i].bytes, zeroFcs);
    }
}

TEST(ObserverReader, InterfaceTypesAndRadioBlock) {
    const std::vector<uint8_t> radio = {0, 0, 22, 6, 0x5A, 0x40, 0, 0};
    Read wlan =
        ReadObserver(ObserverFile(kObserverVersion4, 9, {{30, 0, RampFrame(30), 0, radio}}));
    ASSERT_TRUE(wlan.opened);
    EXPECT_EQ(wlan.info.interfaceType, IF_802_11);
    EXPECT_EQ(wlan.info.lineRate, 11000000);
    EXPECT_EQ(wlan.radio, (std::vector<uint8_t>{22, 6, 0x40, 0x5A}));
    ASSERT_EQ(wlan.frames.size(), 1u);
    EXPECT_EQ(wlan.frames[0].bytes, RampFrame(30));

    EXPECT_EQ(ReadObserver(ObserverFile(kObserverVersion4, 1, {{30, 0, RampFrame(30)}}))
                  .info.interfaceType,
              IF_TOKEN_RING);
    Read fddi = ReadObserver(ObserverFile(kObserverVersion4, 2, {{30, 0, RampFrame(30)}}));
    EXPECT_EQ(fddi.info.interfaceType, IF_FDDI);
    EXPECT_EQ(fddi.frames[0].bytes, RampFrame(30));  // no FCS outside Ethernet

    EXPECT_FALSE(ReadObserver(ObserverFile(kObserverVersion4, 3, {{30, 0, RampFrame(30)}})).opened);
    EXPECT_FALSE(ReadObserver(ObserverFile("Observe", 0, {{30, 0, RampFrame(30)}})).opened);
    EXPECT_FALSE(ReadObserver(ObserverFile(kObserverVersion4, 0, {})).opened);
}

TEST(ObserverReader, ChainEndsAtZeroAndNeverGoesBack) {
    const std::vector<ObserverPacket> packets = {{64, 0, RampFrame(60)}, {64, 0, RampFrame(60, 1)}};
    Bytes file = ObserverFile(kObserverVersion4, 0, packets);
    EXPECT_EQ(ReadObserver(file).frames.size(), 2u);

    // The second packet points back to the first, then to itself.
    std::vector<uint8_t> bytes = file.data();
    const size_t second = kObserverHeaderSize + kObserverPacketHeaderSize + 60 + 4;
    for (uint32_t next : {kObserverHeaderSize, static_cast<uint32_t>(second)}) {
        StoreLE32(bytes.data() + second + 12, next);
        EXPECT_EQ(ReadObserver(Bytes().append(bytes)).frames.size(), 2u) << next;
    }
    // A pointer past the end, or a length beyond the file, ends reading.
    StoreLE32(bytes.data() + second + 12, 0x7FFFFFFF);
    EXPECT_EQ(ReadObserver(Bytes().append(bytes)).frames.size(), 2u);
    StoreLE32(bytes.data() + second + 40, 65);
    EXPECT_EQ(ReadObserver(Bytes().append(bytes)).frames.size(), 1u);
    StoreLE32(bytes.data() + second + 40, 262145);
    EXPECT_EQ(ReadObserver(Bytes().append(bytes)).frames.size(), 1u);
}

TEST(ObserverReader, EveryPrefixReadsToACleanEnd) {
    Bytes file = ObserverFile(kObserverVersion4, 9,
                              {{64, 5, RampFrame(60), 0, std::vector<uint8_t>(8, 1)},
                               {1518, 6, RampFrame(200), 0, std::vector<uint8_t>(8, 2)}});
    for (size_t n = 0; n <= file.size(); ++n) {
        Read r = ReadObserver(
            Bytes().append(std::vector<uint8_t>(file.data().begin(), file.data().begin() + n)));
        EXPECT_EQ(r.opened, n >= kObserverHeaderSize + kObserverPacketHeaderSize) << n;
        const size_t complete = n >= 113 + 52 + 60 ? (n >= 113 + 52 + 64 + 52 + 200 ? 2 : 1) : 0;
        EXPECT_EQ(r.frames.size(), complete) << n;
    }
}

class ObserverWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_.SetSink(&quiet_);
        options_.offsetFile = true;
        options_.pcapfcs = true;  // the sources' frames carry their FCS
    }

    std::vector<uint8_t> Convert(const Bytes& pcap) {
        WriteFile(dir_.file("in.pcap"), pcap.data());
        EXPECT_TRUE(
            engine_.ConvertFile(dir_.file("in.pcap"), dir_.file("out.bfr"), FMT_OB, options_));
        return ReadFile(dir_.file("out.bfr"));
    }

    TempDir dir_;
    TranslatorEngine engine_;
    ConsoleProgress quiet_{fopen("/dev/null", "w")};
    ConvertOptions options_;
};

TEST_F(ObserverWriterTest, WritesTheHeaderAndAChainEndingAtZero) {
    // 86400 * 3 + 3723 s: 01:02:03 of the day.
    const uint32_t seconds = 86400 * 3 + 3723;
    auto out = Convert(PcapFile(0xA1B2C3D4, false, 1,
                                {{seconds, 456789, RampFrame(64), 0},
                                 {seconds, 999999, RampFrame(62, 5), 0},
                                 {seconds + 1, 0, RampFrame(100, 2), 1518}}));
    const uint32_t first = 113, second = first + 48 + 60, third = second + 48 + 58;
    const uint32_t end = third + 48 + 100;
    Bytes expected;
    expected.fixedText(kObserverVersion4, 109).le32(end);
    expected.le32(0x88888888)
        .le32(0)
        .le32(0)
        .le32(second)
        .le32(0)
        .le32(0)
        .le32(0)
        .le32(64)
        .le32(0)
        .le32(3723456)
        .le32(60)
        .append(RampFrame(60))
        .zeros(4);
    expected.le32(0x88888888)
        .le32(1)
        .le32(first)
        .le32(third)
        .le32(0)
        .le32(0)
        .le32(0)
        .le32(62)
        .le32(/*runt*/ 4)
        .le32(3723999)
        .le32(58)
        .append(RampFrame(58, 5))
        .zeros(4);
    expected.le32(0x88888888)
        .le32(2)
        .le32(second)
        .le32(0)
        .le32(0)
        .le32(0)
        .le32(0)
        .le32(1518)
        .le32(0)
        .le32(3724000)
        .le32(100)
        .append(RampFrame(100, 2))
        .zeros(4);
    EXPECT_EQ(out, expected.data());

    // The side file lists the time-stamp bytes of every packet.
    Bytes offsets;
    for (uint32_t packet : {first, second, third}) {
        for (uint32_t i = 0; i < 4; ++i) {
            offsets.le32(packet + 36 + i);
        }
    }
    EXPECT_EQ(ReadFile(dir_.file("out.bfr.offset")), offsets.data());
}

TEST_F(ObserverWriterTest, RadioBlockCarriesTheSignalWhenNoiseIsZero) {
    ObserverWriter writer;
    writer.SetSink(&quiet_);
    TraceInfo info;
    info.interfaceType = IF_802_11;
    FrameRecord frame;
    frame.SetData(RampFrame(34).data(), 34);
    frame.frameLength = frame.capturedLength = 34;
    frame.wlanRate = 22;
    frame.wlanChannel = 11;
    frame.wlanSignal = 70;
    ASSERT_TRUE(writer.Create(dir_.file("w.bfr"), FMT_OB, options_));
    ASSERT_TRUE(writer.WriteHeader(info));
    ASSERT_TRUE(writer.WriteFrame(info, frame));
    frame.wlanNoise = 9;
    ASSERT_TRUE(writer.WriteFrame(info, frame));
    ASSERT_TRUE(writer.FinishFile(info));
    ASSERT_TRUE(writer.Close());
    const auto out = ReadFile(dir_.file("w.bfr"));
    const uint32_t second = 113 + 56 + 30;
    ASSERT_EQ(out.size(), second + 56 + 30);
    EXPECT_EQ(out[113 + 20], 9);  // network type
    EXPECT_EQ(LoadLE32(out.data() + 113 + 12), second);
    EXPECT_EQ(LoadLE32(out.data() + 113 + 40), 30u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 113 + 44, out.begin() + 113 + 52),
              (std::vector<uint8_t>{0, 0, 22, 11, 70, 70, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + second + 44, out.begin() + second + 52),
              (std::vector<uint8_t>{0, 0, 22, 11, 9, 70, 0, 0}));

    Read back = ReadObserver(Bytes().append(out));
    ASSERT_EQ(back.frames.size(), 2u);
    EXPECT_EQ(back.radio, (std::vector<uint8_t>{22, 11, 70, 70}));
}

TEST(ObserverDays, FramesAreDatedToTheConversionDayInTheLocalZone) {
    setenv("TZ", "EST5EDT", 1);
    Read r = ReadObserver(ObserverFile(kObserverVersion4, 0, {{64, 3723000, RampFrame(60)}}));
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.dayBase % 86400, 5u * 3600);
    EXPECT_EQ(r.frames[0].seconds, r.dayBase + 3723);
    setenv("TZ", "UTC", 1);
    tzset();
}

}  // namespace
}  // namespace translator
