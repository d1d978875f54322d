// The Tervo bridge drives libTervo.so, which the build puts beside this
// program. Real captures go pcap -> Tervo -> pcap through the engine.
#include "formats/tervo/tervo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "console/console_progress.h"
#include "engine/engine.h"
#include "formats/tcpdump/tcpdump.h"
#include "parsers/capture_file_parser_factory.h"
#include "parsers/st_capture_file_parser.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/stavrel_builder.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace testsupport;

TEST(TervoBridge, CorpusCapturesSurviveATripThroughTervo) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) {
        GTEST_SKIP() << "no capture corpus at " TRANSLATOR_CORPUS_DIR;
    }
    TempDir dir;
    TranslatorEngine engine;
    ConsoleProgress quiet(fopen("/dev/null", "w"));
    engine.SetSink(&quiet);
    ConvertOptions options;
    std::map<uint32_t, int> checked;
    for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
        TcpdumpReader source;
        source.options.pcapfcs = true;  // the bytes as stored, whatever the lengths
        const std::vector<FrameSummary> expected = ReadFrames(source, path);
        TervoWriter writer;
        if (expected.empty() || !writer.Supports(FMT_TV, source.info) ||
            source.info.frameOrigin != ORIGIN_AS_STORED) {
            continue;
        }
        const std::string name = std::filesystem::path(path).filename().string();
        const std::string tervo = dir.file(name + ".tv");
        const std::string back = dir.file(name + ".back.pcap");
        ASSERT_TRUE(engine.ConvertFile(path, tervo, FMT_TV, options)) << name;
        TervoReader reader;
        ASSERT_TRUE(reader.Open(tervo)) << name;
        EXPECT_EQ(reader.info.interfaceType, source.info.interfaceType) << name;
        EXPECT_EQ(reader.info.wanType, source.info.wanType) << name;
        EXPECT_EQ(reader.info.totalFrames, static_cast<int64_t>(expected.size())) << name;
        reader.Close();
        ASSERT_TRUE(engine.ConvertFile(tervo, back, FMT_TD, options)) << name;

        const std::vector<FrameSummary> frames = ReadFrames(source, back);
        ASSERT_EQ(frames.size(), expected.size()) << name;
        for (size_t i = 0; i < frames.size(); ++i) {
            // The conversion carries whole seconds out of a microsecond field.
            const uint64_t micros =
                uint64_t{expected[i].seconds} * 1000000 + expected[i].microseconds;
            EXPECT_EQ(frames[i].seconds, static_cast<uint32_t>(micros / 1000000))
                << name << " frame " << i;
            EXPECT_EQ(frames[i].microseconds, micros % 1000000) << name << " frame " << i;
            EXPECT_EQ(frames[i].bytes, expected[i].bytes) << name << " frame " << i;
        }
        const uint32_t linkType = PcapLinkType(ReadFile(path));
        EXPECT_EQ(PcapLinkType(ReadFile(back)), linkType) << name;
        ++checked[linkType];
    }
    EXPECT_GE(checked[1], 38);   // Ethernet
    EXPECT_GE(checked[9], 4);    // PPP
    EXPECT_GE(checked[104], 4);  // Cisco HDLC
    EXPECT_GE(checked[107], 4);  // Frame Relay
}

class TervoFiles : public ::testing::Test {
protected:
    // A B4 file of Ethernet records 1000 + i seconds into the capture day.
    static StavrelFile B4File(size_t count) {
        StavrelFile file;
        file.formatCode = "B4";
        file.version = "01.00";
        file.recordTypes = {4};
        file.sourceNames = {"POS,101/1,Rx"};
        file.records = NumberedRecords(count, 64, 8);
        for (auto& r : file.records) {
            r.layer2Mode = 64;
        }
        return file;
    }
    std::string Write(const StavrelFile& file) {
        WriteFile(path_, StavrelFileBytes(file));
        return path_;
    }
    std::unique_ptr<vcf::CVcfStCaptureFileParser> Parse(const std::string& path) {
        vcf::CVcfCaptureFileParserFactory factory;
        std::unique_ptr<vcf::CVcfCaptureFileParser> parser = factory.Create(path);
        return std::unique_ptr<vcf::CVcfStCaptureFileParser>(
            dynamic_cast<vcf::CVcfStCaptureFileParser*>(parser.release()));
    }

    TempDir dir_;
    std::string path_ = dir_.file("capture.tv");
    TervoReader reader_;
};

TEST_F(TervoFiles, NanosecondsSplitIntoMicrosecondsAndTheRest) {
    StavrelFile file = B4File(1);
    file.records[0].seconds = 7;
    file.records[0].nanoseconds = 123456789;
    ASSERT_TRUE(reader_.Open(Write(file)));
    EXPECT_EQ(reader_.info.format, FMT_TV);
    EXPECT_EQ(reader_.info.interfaceType, IF_ETHERNET);
    EXPECT_STREQ(reader_.info.comment, "built by a test\n");
    ASSERT_TRUE(reader_.ReadFrame());
    EXPECT_EQ(reader_.frame.seconds, reader_.info.startTime + 7);
    EXPECT_EQ(reader_.frame.microseconds, 123456u);
    EXPECT_EQ(reader_.frame.nanoseconds, 789u);
    EXPECT_EQ(reader_.frame.capturedLength, 64);
    EXPECT_EQ(reader_.frame.frameLength, 64);
    EXPECT_EQ(reader_.frame.flags, FRAME_DIR_EQ);
    EXPECT_FALSE(reader_.ReadFrame());
}

TEST_F(TervoFiles, FramesOfOtherLinkTypesAreSkippedAndCounted) {
    StavrelFile file = B4File(5);
    const uint8_t modes[] = {64, 0, 66, 9, 64};
    for (size_t i = 0; i < 5; ++i) {
        file.records[i].layer2Mode = modes[i];
    }
    const std::vector<FrameSummary> frames = ReadFrames(reader_, Write(file));
    EXPECT_EQ(reader_.info.totalFrames, 5);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].bytes, file.records[2].data);
    EXPECT_EQ(frames[2].bytes, file.records[4].data);

    // A PPP first frame makes a PPP trace of the PPP frames.
    file.records[0].layer2Mode = 0;
    EXPECT_EQ(ReadFrames(reader_, Write(file)).size(), 2u);
    EXPECT_EQ(reader_.info.interfaceType, IF_WAN);
    EXPECT_EQ(reader_.info.wanType, WAN_PPP);
}

TEST_F(TervoFiles, ACountBeyondTheRecordsEndsCleanly) {
    std::vector<uint8_t> bytes = StavrelFileBytes(B4File(3));
    // Two more index entries for records of no bytes at the end of the
    // records, and a count that includes them.
    const std::vector<uint8_t> end(bytes.begin() + stavrel::kOffsetToIndex,
                                   bytes.begin() + stavrel::kOffsetToIndex + 4);
    bytes.insert(bytes.end(), end.begin(), end.end());
    bytes.insert(bytes.end(), end.begin(), end.end());
    PatchBE32(bytes, stavrel::kNumberOfRecords, 5);
    WriteFile(path_, bytes);
    EXPECT_EQ(ReadFrames(reader_, path_).size(), 3u);
    EXPECT_EQ(reader_.info.totalFrames, 5);
}

TEST_F(TervoFiles, AFileOfAnUnknownLinkTypeIsNotRead) {
    StavrelFile file = B4File(2);
    file.records[0].layer2Mode = 30;
    EXPECT_FALSE(reader_.Open(Write(file)));
    EXPECT_FALSE(reader_.ReadFrame());
    // Nothing stays open: the next file reads normally.
    EXPECT_EQ(ReadFrames(reader_, Write(B4File(2))).size(), 2u);
}

struct LinkCase {
    const char* name;
    int32_t interfaceType;
    int32_t wanType;
    uint8_t layer2Mode;
};

class TervoLinks : public TervoFiles, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(TervoLinks, TheInterfaceChoosesTheLinkTypeAndComesBack) {
    const LinkCase c = GetParam();
    TraceInfo info;
    info.interfaceType = c.interfaceType;
    info.wanType = c.wanType;
    info.startTime = 1184647582;
    strcpy(info.comment, "links");
    TervoWriter writer;
    ASSERT_TRUE(writer.Supports(FMT_TV, info));
    ConvertOptions options;
    ASSERT_TRUE(writer.Create(path_, FMT_TV, options));
    ASSERT_TRUE(writer.WriteHeader(info));
    FrameRecord frame;
    frame.seconds = info.startTime + 5;
    frame.microseconds = 250;
    frame.nanoseconds = 7;
    frame.frameLength = frame.capturedLength = 60;
    frame.SetData(RampFrame(60).data(), 60);
    ASSERT_TRUE(writer.WriteFrame(info, frame));
    ASSERT_TRUE(writer.FinishFile(info));
    ASSERT_TRUE(writer.Close());

    auto parser = Parse(path_);
    ASSERT_NE(parser, nullptr);
    vcf::CVcfL2ST640MergedRecord record;
    ASSERT_EQ(parser->ReadNextRecord(record), 1u);
    EXPECT_EQ(record.GetLayer2Mode(), c.layer2Mode);
    EXPECT_EQ(record.GetTimestamp(), vcf::CVcfTimestamp(5, 250007));
    EXPECT_EQ(parser->GetDescription(), "#Description: links\n");

    const std::vector<FrameSummary> frames = ReadFrames(reader_, path_);
    EXPECT_EQ(reader_.info.interfaceType, c.interfaceType == IF_T1 ? IF_WAN : c.interfaceType);
    EXPECT_EQ(reader_.info.wanType, c.wanType);
    EXPECT_EQ(reader_.info.startTime, info.startTime);
    EXPECT_STREQ(reader_.info.comment, "links\n");
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (FrameSummary{frame.seconds, 250, 7, 60, RampFrame(60)}));
}

INSTANTIATE_TEST_SUITE_P(Interfaces, TervoLinks,
                         ::testing::Values(LinkCase{"Ethernet", IF_ETHERNET, WAN_NONE, 64},
                                           LinkCase{"Atm", IF_ATM, WAN_NONE, 7},
                                           LinkCase{"Hdlc", IF_WAN, WAN_HDLC, 1},
                                           LinkCase{"Ppp", IF_WAN, WAN_PPP, 0},
                                           LinkCase{"RawIp", IF_T1, WAN_RAW_IP, 2},
                                           LinkCase{"FrameRelay", IF_WAN, WAN_FRAME_RELAY, 9}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(TervoFiles, AnUnfinishedFileIsSavedWhenTheWriterCloses) {
    TraceInfo info;
    info.interfaceType = IF_ETHERNET;
    TervoWriter writer;
    ConvertOptions options;
    ASSERT_TRUE(writer.Create(path_, FMT_TV, options));
    // Without a start time in the header the first frame's time is the start.
    ASSERT_TRUE(writer.WriteHeader(info));
    EXPECT_FALSE(FileExists(path_));
    FrameRecord frame;
    frame.frameLength = frame.capturedLength = 64;
    frame.SetData(RampFrame(64).data(), 64);
    for (uint32_t seconds : {2000000000u, 2000000003u, 1999999999u}) {
        frame.seconds = seconds;
        info.Accumulate(frame);
        ASSERT_TRUE(writer.WriteFrame(info, frame));
    }
    ASSERT_TRUE(writer.Close());
    EXPECT_FALSE(FileExists(path_ + ".idx"));
    const std::vector<FrameSummary> frames = ReadFrames(reader_, path_);
    EXPECT_EQ(reader_.info.startTime, 2000000000u);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].seconds, 2000000003u);
    EXPECT_EQ(frames[2].seconds, 1999999999u);
}

TEST_F(TervoFiles, ATraceWithoutFramesStillMakesAFile) {
    TraceInfo info;
    info.interfaceType = IF_ETHERNET;
    TervoWriter writer;
    ConvertOptions options;
    ASSERT_TRUE(writer.Create(path_, FMT_TV, options));
    ASSERT_TRUE(writer.WriteHeader(info));
    ASSERT_TRUE(writer.FinishFile(info));
    ASSERT_TRUE(writer.Close());
    auto parser = Parse(path_);
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(parser->GetNumberOfRecords(), 0u);
    // Tervo files without records are not read.
    EXPECT_FALSE(reader_.Open(path_));
}

}  // namespace
}  // namespace translator
