#include "formats/feldane/feldane.h"

#include <gtest/gtest.h>

#include "support/feldane_builder.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace testsupport;

const char kTwoPorts[] =
    "<?xml version=\"1.0\"?>\n<vexor>\n"
    "  <interface index=\"1\" name=\"Port A\" limtype=\"Gigabit Ethernet LIM\"/>\n"
    "  <interface index=\"2\" name=\"Port B\" limtype=\"OC3 ATM\"/>\n"
    "</vexor>\n";

struct Recording {
    TempDir dir;
    std::string path = dir.file("capture.rec");

    Recording(const Bytes& recording, const std::string& xml) {
        WriteFile(path, recording.data());
        if (!xml.empty())
            WriteText(dir.file("capture.xml"), xml);
    }
};

struct Frame {
    uint16_t flags;
    uint32_t seconds, microseconds, nanoseconds;
    size_t bytes;
    bool operator==(const Frame&) const = default;
};

std::vector<Frame> ReadAll(FeldaneReader& reader, const std::string& path) {
    std::vector<Frame> frames;
    EXPECT_TRUE(reader.Open(path));
    while (reader.ReadFrame()) {
        const FrameRecord& f = reader.frame;
        EXPECT_FALSE(f.nonData);
        frames.push_back({f.flags, f.seconds, f.microseconds, f.nanoseconds,
                          static_cast<size_t>(f.capturedLength)});
    }
    reader.Close();
    return frames;
}

TEST(FeldaneScanner, AttributesQuotedPlainAndInAnyCase) {
    auto list = ParseFeldaneInterfaces(
        "<interface index=\"3\" name=\"A\" limtype=\"Gigabit Ethernet\"/>\n"
        "<INTERFACE\tINDEX = 7 Name=B LimType=\"OC12 ATM\"/>\n"
        "<interfaces>\n<interface index=\"300\" name=\"too big\"/>\n"
        "<interface name=\"no index\"/>");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].index, 3);
    EXPECT_STREQ(list[0].name, "A");
    EXPECT_STREQ(list[0].limtype, "Gigabit Ethernet");
    EXPECT_EQ(list[1].index, 7);
    EXPECT_STREQ(list[1].name, "B");
    EXPECT_STREQ(list[1].limtype, "OC12 ATM");
    auto longName = ParseFeldaneInterfaces("<interface index=1 name=" + std::string(400, 'n'));
    ASSERT_EQ(longName.size(), 1u);
    EXPECT_EQ(strlen(longName[0].name), 255u);
}

TEST(FeldaneScanner, CompanionFileName) {
    EXPECT_EQ(FeldaneXmlPath("/d/capture(2).rec"), "/d/capture.xml");
    EXPECT_EQ(FeldaneXmlPath("/d/capture.rec"), "/d/capture.xml");
    EXPECT_EQ(FeldaneXmlPath("/d/capture"), "/d/capture.xml");
    EXPECT_EQ(FeldaneXmlPath("/d.v(1)/capture"), "/d.v(1)/capture.xml");
}

TEST(FeldaneReader, InterfacesNotesAndSelection) {
    const Bytes rec = FeldaneRecording({});
    Recording r(rec, kTwoPorts);
    FeldaneReader reader;
    ASSERT_TRUE(reader.Open(r.path));
    EXPECT_EQ(reader.info.format, FMT_FL);
    EXPECT_EQ(reader.info.interfaceType, IF_ETHERNET);
    EXPECT_STREQ(reader.info.notes,
                 "Vexor 1: Port A (Gigabit Ethernet LIM)  ** Selected for conversion\r\n"
                 "Vexor 2: Port B (OC3 ATM) \r\n");
    reader.Close();

    auto list = reader.Interfaces();
    list[0].selected = false;
    list[1].selected = true;
    reader.SetInterfaces(list);
    ASSERT_TRUE(reader.Open(r.path));  // the same names: Port B stays selected
    EXPECT_TRUE(reader.Interfaces()[1].selected);
    EXPECT_FALSE(reader.Interfaces()[0].selected);
    EXPECT_EQ(reader.info.interfaceType, IF_ATM);
    reader.Close();

    WriteText(r.dir.file("capture.xml"),
              "<interface index=\"4\" name=\"Port C\" limtype=\"x\"/>\n"
              "<interface index=\"5\" name=\"Port D\" limtype=\"y\"/>");
    ASSERT_TRUE(reader.Open(r.path));  // other names: back to the first
    ASSERT_EQ(reader.Interfaces().size(), 2u);
    EXPECT_TRUE(reader.Interfaces()[0].selected);
    EXPECT_FALSE(reader.Interfaces()[1].selected);
}

TEST(FeldaneReader, ManyInterfacesCutTheNotes) {
    std::string xml;
    for (int i = 0; i < 200; ++i) {
        xml += "<interface index=" + std::to_string(i) + " name=Unit" + std::to_string(i) +
               " limtype=\"Fast Ethernet\"/>\n";
    }
    Recording r(FeldaneRecording({}), xml);
    FeldaneReader reader;
    ASSERT_TRUE(reader.Open(r.path));
    const std::string notes = reader.info.notes;
    EXPECT_LT(notes.size(), 2048u);
    EXPECT_EQ(notes.substr(notes.size() - 6), "\r\n ...");
}

TEST(FeldaneReader, DirectionsMergeInTimeOrder) {
    const auto data = RampFrame(60);
    Bytes rec = FeldaneRecording({FeldaneBlock(
        1, {FeldaneFrame(1, 10, 500, data), FeldaneFrame(2, 10, 400, data),
            FeldaneTimeMark(10, 450), FeldaneFrame(1, 11, 0, data), FeldaneFrame(2, 11, 0, data),
            FeldaneSkipped(5), FeldaneStatus(), FeldaneFrame(2, 12, 1999, RampFrame(80), 1518)})});
    Recording r(rec, kTwoPorts);
    FeldaneReader reader;
    EXPECT_EQ(ReadAll(reader, r.path), (std::vector<Frame>{{FRAME_DIR_EQ, 10, 0, 400, 60},
                                                           {FRAME_DIR_LN, 10, 0, 500, 60},
                                                           {FRAME_DIR_LN, 11, 0, 0, 60},
                                                           {FRAME_DIR_EQ, 11, 0, 0, 60},
                                                           {FRAME_DIR_EQ, 12, 1, 999, 80}}));
}

TEST(FeldaneReader, BlocksOfOtherInterfacesAreSkippedWhole) {
    const auto data = RampFrame(64);
    Bytes rec =
        FeldaneRecording({FeldaneBlock(9, {FeldaneFrame(1, 5, 0, data)}), FeldaneBlock(1, {}),
                          FeldaneBlock(2, {FeldaneFrame(1, 6, 0, data)}),
                          FeldaneBlock(1, {FeldaneFrame(1, 7, 0, data)})});
    Recording r(rec, kTwoPorts);
    FeldaneReader reader;
    auto frames = ReadAll(reader, r.path);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].seconds, 7u);
}

TEST(FeldaneReader, BadInput) {
    const auto data = RampFrame(64);
    {
        Recording r(FeldaneRecording({FeldaneBlock(1, {FeldaneFrame(1, 5, 0, data)})}), "");
        FeldaneReader reader;
        EXPECT_TRUE(ReadAll(reader, r.path).empty());  // no companion file: no frames
        EXPECT_EQ(reader.info.interfaceType, 0);
    }
    {
        // A record that claims more bytes than its block holds ends the direction.
        Bytes block = Bytes().u8(1).le32(30).append(FeldaneFrame(1, 5, 0, data).data());
        Recording r(Bytes().le16(0xBADE).append(block.data()), kTwoPorts);
        FeldaneReader reader;
        EXPECT_TRUE(ReadAll(reader, r.path).empty());
    }
    {
        // A block longer than the file.
        Recording r(
            Bytes().le16(0xBADE).u8(1).le32(0x7FFFFFFF).append(FeldaneFrame(1, 5, 0, data).data()),
            kTwoPorts);
        FeldaneReader reader;
        EXPECT_TRUE(ReadAll(reader, r.path).empty());
    }
    TempDir dir;
    WriteFile(dir.file("x.rec"), Bytes().le16(0xBADF).data());
    FeldaneReader reader;
    EXPECT_FALSE(reader.Open(dir.file("x.rec")));
}

TEST(FeldaneReader, RecordingNamedWithACopyNumberUsesTheCommonXml) {
    TempDir dir;
    WriteFile(dir.file("capture(2).rec"),
              FeldaneRecording({FeldaneBlock(2, {FeldaneFrame(2, 5, 0, RampFrame(64))})}).data());
    WriteText(dir.file("capture.xml"), "<interface index=2 name=Only limtype=ATM/>");
    FeldaneReader reader;
    auto frames = ReadAll(reader, dir.file("capture(2).rec"));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].flags, FRAME_DIR_EQ);
}

}  // namespace
}  // namespace translator
