// Link types the tcpdump reader rebuilds: Ethernet frames from Linux cooked,
// raw IP and loopback captures, bare 802.11 frames from radiotap captures.
#include <gtest/gtest.h>

#include <array>

#include "app/conversion_run.h"
#include "engine/checksum.h"
#include "formats/tcpdump/tcpdump.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "translator/conversion.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace testsupport;

struct ReadOut {
    bool opened = false;
    std::vector<FrameSummary> frames;
    std::vector<uint16_t> flags;
    // wlanRate, wlanChannel, wlanSignal, wlanNoise of each frame.
    std::vector<std::array<uint8_t, 4>> radio;
    TraceReader::ReadStatus status = TraceReader::ReadStatus::End;
    TraceInfo info;
};

ReadOut Read(uint32_t linkType, const std::vector<PcapRecord>& records) {
    TempDir dir;
    WriteFile(dir.file("in.pcap"), PcapFile(0xD4C3B2A1, true, linkType, records).data());
    TcpdumpReader reader;
    ReadOut out;
    out.opened = reader.Open(dir.file("in.pcap"));
    while (out.opened && reader.ReadFrame()) {
        const FrameRecord& f = reader.frame;
        out.frames.push_back(Summary(f));
        out.flags.push_back(f.flags);
        out.radio.push_back({f.wlanRate, f.wlanChannel, f.wlanSignal, f.wlanNoise});
    }
    out.status = reader.LastReadStatus();
    out.info = reader.info;
    return out;
}

std::vector<uint8_t> Ipv4(size_t n) {
    return Bytes().u8(0x45).ramp(n - 1, 1).data();
}
std::vector<uint8_t> Ipv6(size_t n) {
    return Bytes().u8(0x60).ramp(n - 1, 1).data();
}
const std::vector<uint8_t> kHost = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};

struct EthernetCase {
    const char* name;
    uint32_t linkType;
    std::vector<uint8_t> record;
    std::vector<uint8_t> frame;  // the Ethernet frame delivered, without FCS
    const char* interfaceText;
};

class PcapRebuiltEthernet : public ::testing::TestWithParam<EthernetCase> {};

TEST_P(PcapRebuiltEthernet, RecordBecomesAnEthernetFrame) {
    const EthernetCase& c = GetParam();
    // 100 bytes on the line were not captured; the line length moves with the
    // header and gains the FCS.
    const auto original = static_cast<uint32_t>(c.record.size() + 100);
    ReadOut out = Read(c.linkType, {{7, 8, c.record, original}});
    ASSERT_TRUE(out.opened);
    ASSERT_EQ(out.frames.size(), 1u);
    EXPECT_EQ(out.status, TraceReader::ReadStatus::End);
    EXPECT_EQ(out.info.interfaceType, IF_ETHERNET);
    EXPECT_EQ(out.frames[0].bytes, c.frame);
    EXPECT_EQ(out.frames[0].frameLength, static_cast<int32_t>(c.frame.size() + 100 + 4));
    EXPECT_NE(FileSummaryText("in", "out", out.info)
                  .find(std::string("Interface:            \t") + c.interfaceText + "\r\n"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    LinkTypes, PcapRebuiltEthernet,
    ::testing::Values(
        EthernetCase{"cooked", 113,
                     Bytes()
                         .be16(0)  // packet type
                         .be16(1)  // ARPHRD_ETHER
                         .be16(6)
                         .append(kHost)
                         .zeros(2)
                         .be16(0x0800)
                         .append(Ipv4(24))
                         .data(),
                     Bytes().zeros(6).append(kHost).be16(0x0800).append(Ipv4(24)).data(),
                     "Ethernet (from Linux cooked capture)"},
        EthernetCase{"cookedWithoutAddress", 113,
                     Bytes()
                         .be16(4)
                         .be16(0x0304)  // loopback
                         .be16(0)
                         .fill(8, 0xAA)
                         .be16(0x86DD)
                         .append(Ipv6(40))
                         .data(),
                     Bytes().zeros(12).be16(0x86DD).append(Ipv6(40)).data(),
                     "Ethernet (from Linux cooked capture)"},
        // 802.2 frames take the 802.3 form: the type field is the length on the line.
        EthernetCase{
            "cookedLlc", 113,
            Bytes()
                .be16(0)
                .be16(1)
                .be16(6)
                .append(kHost)
                .zeros(2)
                .be16(0x0004)
                .u8(0xFE)
                .u8(0xFE)
                .u8(0x03)
                .ramp(17)
                .data(),
            Bytes().zeros(6).append(kHost).be16(120).u8(0xFE).u8(0xFE).u8(0x03).ramp(17).data(),
            "Ethernet (from Linux cooked capture)"},
        EthernetCase{"cooked2", 276,
                     Bytes()
                         .be16(0x86DD)
                         .be16(0)  // reserved
                         .be32(3)  // interface index
                         .be16(1)  // ARPHRD_ETHER
                         .u8(0)    // packet type
                         .u8(6)    // address length
                         .append(kHost)
                         .zeros(2)
                         .append(Ipv6(48))
                         .data(),
                     Bytes().zeros(6).append(kHost).be16(0x86DD).append(Ipv6(48)).data(),
                     "Ethernet (from Linux cooked capture)"},
        EthernetCase{"rawIpv4", 101, Ipv4(30),
                     Bytes().zeros(12).be16(0x0800).append(Ipv4(30)).data(),
                     "Ethernet (from raw IP capture)"},
        EthernetCase{"rawIpv6", 101, Ipv6(40),
                     Bytes().zeros(12).be16(0x86DD).append(Ipv6(40)).data(),
                     "Ethernet (from raw IP capture)"},
        EthernetCase{"ipv4", 228, Ipv4(20), Bytes().zeros(12).be16(0x0800).append(Ipv4(20)).data(),
                     "Ethernet (from raw IP capture)"},
        EthernetCase{"ipv6", 229, Ipv6(40), Bytes().zeros(12).be16(0x86DD).append(Ipv6(40)).data(),
                     "Ethernet (from raw IP capture)"},
        // Null headers come in the writer's byte order; the family decides
        // over the version nibble.
        EthernetCase{"nullLittleEndian", 0, Bytes().le32(2).append(Ipv6(40)).data(),
                     Bytes().zeros(12).be16(0x0800).append(Ipv6(40)).data(),
                     "Ethernet (from loopback capture)"},
        EthernetCase{"nullBigEndian", 0, Bytes().be32(30).append(Ipv6(40)).data(),
                     Bytes().zeros(12).be16(0x86DD).append(Ipv6(40)).data(),
                     "Ethernet (from loopback capture)"},
        // A family of no known IP kind leaves it to the version nibble.
        EthernetCase{"nullOtherFamily", 0, Bytes().le32(23).append(Ipv6(40)).data(),
                     Bytes().zeros(12).be16(0x86DD).append(Ipv6(40)).data(),
                     "Ethernet (from loopback capture)"},
        EthernetCase{"loopback", 108, Bytes().be32(24).append(Ipv6(40)).data(),
                     Bytes().zeros(12).be16(0x86DD).append(Ipv6(40)).data(),
                     "Ethernet (from loopback capture)"}),
    [](const auto& info) { return std::string(info.param.name); });

// A radiotap header with two present words, so that the 8-byte TSFT is aligned
// past a 4-byte gap: TSFT, flags, rate, channel, dBm signal, dBm noise.
Bytes FullRadiotap(uint8_t flags, uint16_t megahertz) {
    return Bytes()
        .u8(0)
        .u8(0)
        .le16(32)
        .le32(0x8000006F)
        .le32(0)
        .zeros(4)  // alignment of the TSFT
        .le64(0x0102030405060708)
        .u8(flags)
        .u8(108)  // 54 Mbit/s
        .le16(megahertz)
        .le16(0x00A0)
        .u8(0xC4)   // -60 dBm
        .u8(0xA1);  // -95 dBm
}

TEST(PcapRadiotap, HeaderFieldsFillTheRadioValues) {
    const std::vector<uint8_t> wifi = RampFrame(34);  // 30 bytes and the FCS the capture kept
    ReadOut out = Read(127, {{1, 0, FullRadiotap(0x10, 2437).append(wifi).data(), 0},
                             {2, 0, FullRadiotap(0x50, 5180).append(wifi).data(), 0}});
    ASSERT_TRUE(out.opened);
    EXPECT_EQ(out.info.interfaceType, IF_802_11);
    EXPECT_EQ(out.info.frameOrigin, ORIGIN_RADIOTAP);
    ASSERT_EQ(out.frames.size(), 2u);
    EXPECT_EQ(out.frames[0].bytes, wifi);
    EXPECT_EQ(out.frames[0].frameLength, 34);
    // -60 dBm is 80 %, -95 dBm 10 %.
    EXPECT_EQ(out.radio[0], (std::array<uint8_t, 4>{108, 6, 80, 10}));
    EXPECT_EQ(out.flags[0], 0);
    EXPECT_EQ(out.radio[1][1], 36);
    EXPECT_EQ(out.flags[1], FRAME_CRC_ERROR);
    EXPECT_EQ(out.frames[1].bytes, wifi);
}

TEST(PcapRadiotap, FrameWithoutFcsGainsIt) {
    // Only the rate: the other radio values keep their defaults.
    const Bytes header = Bytes().u8(0).u8(0).le16(9).le32(0x00000004).u8(2);
    ReadOut out = Read(127, {{1, 0, Bytes(header).append(RampFrame(30)).data(), 0},
                             {2, 0, Bytes(header).append(RampFrame(30)).data(), 80}});
    ASSERT_EQ(out.frames.size(), 2u);
    // Short as it is, the frame gets its computed FCS: 802.11 has no minimum size.
    const std::vector<uint8_t> ramp = RampFrame(30);
    EXPECT_EQ(out.frames[0].bytes, Bytes().append(ramp).le32(Crc32(ramp.data(), 30)).data());
    EXPECT_EQ(out.frames[0].frameLength, 34);
    EXPECT_EQ(out.radio[0], (std::array<uint8_t, 4>{2, 1, 100, 0}));
    // A cut frame never reached its FCS: only the line length grows.
    EXPECT_EQ(out.frames[1].bytes, RampFrame(30));
    EXPECT_EQ(out.frames[1].frameLength, 80 - 9 + 4);
}

TEST(PcapRadiotap, FrequencyAndPowerConversions) {
    EXPECT_EQ(pcap::ChannelOfFrequency(2412), 1);
    EXPECT_EQ(pcap::ChannelOfFrequency(2472), 13);
    EXPECT_EQ(pcap::ChannelOfFrequency(2484), 14);
    EXPECT_EQ(pcap::ChannelOfFrequency(5825), 165);
    EXPECT_EQ(pcap::ChannelOfFrequency(900), 0);
    EXPECT_EQ(pcap::PercentOfDbm(-128), 0);
    EXPECT_EQ(pcap::PercentOfDbm(-75), 50);
    EXPECT_EQ(pcap::PercentOfDbm(-20), 100);
}

struct DamageCase {
    const char* name;
    uint32_t linkType;
    std::vector<uint8_t> record;
    uint32_t originalLength;  // 0: the record's size
};

// A record of linkType that reads as a frame.
std::vector<uint8_t> GoodRecord(uint32_t linkType) {
    switch (linkType) {
        case 113:
            return Bytes().be16(0).be16(1).be16(0).zeros(8).be16(0x0800).append(Ipv4(20)).data();
        case 276:
            return Bytes()
                .be16(0x0800)
                .zeros(6)
                .be16(1)
                .u8(0)
                .u8(0)
                .zeros(8)
                .append(Ipv4(20))
                .data();
        case 0:
            return Bytes().le32(2).append(Ipv4(20)).data();
        case 127:
            return Bytes().u8(0).u8(0).le16(8).le32(0).ramp(30).data();
        default:
            return Ipv4(20);
    }
}

class PcapDamagedLinkHeader : public ::testing::TestWithParam<DamageCase> {};

TEST_P(PcapDamagedLinkHeader, EndsReadingAsDamage) {
    const DamageCase& c = GetParam();
    ReadOut out =
        Read(c.linkType, {{1, 0, GoodRecord(c.linkType), 0}, {2, 0, c.record, c.originalLength}});
    ASSERT_TRUE(out.opened);
    EXPECT_EQ(out.frames.size(), 1u);
    EXPECT_EQ(out.status, TraceReader::ReadStatus::Damaged);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, PcapDamagedLinkHeader,
    ::testing::Values(
        DamageCase{"cookedShort", 113, RampFrame(15), 0},
        DamageCase{"cooked2Short", 276, RampFrame(19), 0},
        DamageCase{"cookedCanFrame", 113,
                   Bytes().be16(0).be16(280).be16(0).zeros(8).be16(0x000C).ramp(16).data(), 0},
        DamageCase{"cookedLlcTooLong", 113,
                   Bytes().be16(0).be16(1).be16(6).append(kHost).zeros(2).be16(4).ramp(40).data(),
                   16 + 1501},
        DamageCase{"loopbackShort", 0, Bytes().le32(2).data(), 0},
        DamageCase{"loopbackNotIp", 0, Bytes().le32(7).ramp(20, 0x10).data(), 0},
        DamageCase{"rawIpVersion5", 101, Bytes().u8(0x50).ramp(30).data(), 0},
        DamageCase{"rawIpv4ShorterThanItsHeader", 101, Ipv4(19), 0},
        DamageCase{"rawIpv6ShorterThanItsHeader", 101, Ipv6(39), 0},
        DamageCase{"radiotapShort", 127, Bytes().u8(0).u8(0).le16(8).le16(0).data(), 0},
        DamageCase{"radiotapLengthBelow8", 127, Bytes().u8(0).u8(0).le16(7).le32(0).ramp(30).data(),
                   0},
        DamageCase{"radiotapPastTheRecord", 127,
                   Bytes().u8(0).u8(0).le16(40).le32(0).ramp(30).data(), 0},
        DamageCase{"radiotapPresentWordsPastTheHeader", 127,
                   Bytes().u8(0).u8(0).le16(12).le32(0x80000000).le32(0x80000000).ramp(30).data(),
                   0},
        DamageCase{"radiotapVersion1", 127, Bytes().u8(1).u8(0).le16(8).le32(0).ramp(30).data(), 0},
        DamageCase{"radiotapWithoutFrame", 127, Bytes().u8(0).u8(0).le16(8).le32(0).data(), 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PcapLinkTypes, OtherLinkTypesAreRefusedByName) {
    for (uint32_t linkType : {147u, 0x10000001u}) {
        Conversion c;
        WriteFile(c.dir.file("in.pcap"),
                  PcapFile(0xD4C3B2A1, true, linkType, {{1, 0, RampFrame(60), 0}}).data());
        ASSERT_NE(c.engine.Detect(c.dir.file("in.pcap")), nullptr) << linkType;
        EXPECT_FALSE(c.Convert(c.dir.file("in.pcap"), FMT_TX)) << linkType;
        EXPECT_EQ(
            std::string(c.quiet.Messages()),
            "tcpdump/libpcap link type " + std::to_string(linkType) + " is not supported.\r\n");
    }
}

}  // namespace
}  // namespace translator
