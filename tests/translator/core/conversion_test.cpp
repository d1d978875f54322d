#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/byte_order.h"
#include "console/console_progress.h"
#include "engine/engine.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "translator/conversion.h"

namespace translator {
namespace {

using namespace byte_order;
using testsupport::TempDir;

// A reader of n synthetic frames; frame k (from 1) is 60 + k bytes long and
// stamped k seconds. Frames listed in nonDataFrames are marked non-data.
class FakeReader : public TraceReader {
public:
    explicit FakeReader(int count) : count_(count) {}

    bool Open(const std::string&) override {
        info.Reset();
        info.format = FMT_TD;
        info.interfaceType = IF_ETHERNET;
        info.totalFrames = count_;
        next_ = 1;
        ++opens;
        return true;
    }
    void Close() override { ++closes; }
    bool ReadNextFrame() override {
        if (next_ > count_) {
            return false;
        }
        if (next_ == damagedAt) {
            return Damaged("frame %d is cut short", next_);
        }
        frame.Reset();
        frame.SetData(nullptr, 1600);
        frame.seconds = static_cast<uint32_t>(next_);
        frame.frameLength = frame.capturedLength = next_ == bigFrame ? 1514 : 60 + next_;
        for (int k : nonDataFrames) {
            frame.nonData |= k == next_;
        }
        if (next_ == cancelAfter) {
            Sink().SetCanceled(true);
        }
        ++next_;
        return true;
    }

    std::vector<int> nonDataFrames;
    int bigFrame = 0;
    int cancelAfter = 0;
    int damagedAt = 0;
    int opens = 0;
    int closes = 0;

private:
    int count_;
    int next_ = 1;
};

class RecordingWriter : public TraceWriter {
public:
    bool WriteHeader(const TraceInfo&) override { return headerOk; }
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override {
        written.push_back(info.framesRead);
        capturedLengths.push_back(frame.capturedLength);
        frameLengths.push_back(frame.frameLength);
        return info.framesRead != failAt;
    }
    bool FinishFile(const TraceInfo&) override {
        ++finishes;
        return finishOk;
    }
    int64_t MaxFrames() const override { return maxFrames; }

    std::vector<int64_t> written;
    std::vector<int32_t> capturedLengths;
    std::vector<int32_t> frameLengths;
    bool headerOk = true;
    bool finishOk = true;
    int64_t failAt = -1;
    int64_t maxFrames = kDefaultMaxFrames;
    int finishes = 0;
};

// Records the final text and silences the console.
class QuietSink : public ConsoleProgress {
public:
    QuietSink() : ConsoleProgress(fopen("/dev/null", "w")) {}
    void Finished(const TraceInfo& info, const char* text) override {
        finalText = text;
        finished = info;
    }
    std::string finalText;
    TraceInfo finished;
};

struct Loop {
    FakeReader reader;
    RecordingWriter writer;
    QuietSink sink;
    ConvertOptions options;

    explicit Loop(int frames) : reader(frames) {
        reader.SetSink(&sink);
        writer.SetSink(&sink);
    }
    bool Run() { return reader.Convert("unused", writer, options); }
};

TEST(ConversionLoop, WritesEveryFrameByDefault) {
    Loop loop(10);
    EXPECT_TRUE(loop.Run());
    EXPECT_EQ(loop.writer.written.size(), 10u);
    EXPECT_EQ(loop.reader.info.framesWritten, 10);
    EXPECT_EQ(loop.writer.finishes, 1);
    EXPECT_EQ(loop.reader.closes, 1);
    EXPECT_EQ(loop.sink.finalText, "Done");
}

TEST(ConversionLoop, FrameRangeReadsUpToTheLastFrameOnly) {
    Loop loop(10);
    loop.options.convertall = false;
    loop.options.convertfrom = 3;
    loop.options.convertto = 5;
    EXPECT_TRUE(loop.Run());
    EXPECT_EQ(loop.writer.written, (std::vector<int64_t>{3, 4, 5}));
    EXPECT_EQ(loop.reader.info.framesRead, 5);
    EXPECT_EQ(loop.sink.finalText, "Done");
}

TEST(ConversionLoop, EmptyAndReversedRanges) {
    Loop none(10);
    none.options.convertall = false;
    none.options.convertto = 0;
    EXPECT_TRUE(none.Run());
    EXPECT_EQ(none.reader.info.framesRead, 0);

    Loop reversed(10);
    reversed.options.convertall = false;
    reversed.options.convertfrom = 6;
    reversed.options.convertto = 4;
    EXPECT_TRUE(reversed.Run());
    EXPECT_TRUE(reversed.writer.written.empty());
    EXPECT_EQ(reversed.reader.info.framesRead, 4);
}

TEST(ConversionLoop, RangeCountsNonDataFramesButNeverWritesThem) {
    Loop loop(6);
    loop.reader.nonDataFrames = {2, 4};
    loop.options.convertall = false;
    loop.options.convertfrom = 2;
    loop.options.convertto = 5;
    EXPECT_TRUE(loop.Run());
    EXPECT_EQ(loop.writer.written, (std::vector<int64_t>{3, 5}));
    EXPECT_EQ(loop.sink.finished.nonDataFrames, 2);
}

TEST(ConversionLoop, SlicingCutsCapturedLengthOnly) {
    Loop loop(3);
    loop.reader.bigFrame = 2;
    loop.options.slice = true;
    loop.options.bytes = 100;
    EXPECT_TRUE(loop.Run());
    EXPECT_EQ(loop.writer.capturedLengths, (std::vector<int32_t>{61, 100, 63}));
    EXPECT_EQ(loop.writer.frameLengths, (std::vector<int32_t>{61, 1514, 63}));
}

TEST(ConversionLoop, CancelFinishesTheFileAndSucceeds) {
    Loop loop(3000);
    loop.reader.cancelAfter = 1000;
    EXPECT_TRUE(loop.Run());
    EXPECT_EQ(loop.writer.written.size(), 1000u);
    EXPECT_EQ(loop.writer.finishes, 1);
    EXPECT_EQ(loop.sink.finalText, "Canceled by user");
}

// Cancels once framesWritten frames are written; 0 cancels before the first.
class CancellingSink : public ConsoleProgress {
public:
    explicit CancellingSink(int64_t framesWritten)
        : ConsoleProgress(fopen("/dev/null", "w")), cancelAt_(framesWritten) {}
    void Progress(const TraceInfo& info, const char* text) override {
        if (info.framesWritten >= cancelAt_) {
            SetCanceled(true);
        }
        ConsoleProgress::Progress(info, text);
    }
    void Finished(const TraceInfo& info, const char* text) override {
        framesWritten = info.framesWritten;
        ConsoleProgress::Finished(info, text);
    }
    int64_t framesWritten = -1;

private:
    int64_t cancelAt_;
};

// Cancelled after four frames, every output reads back with those four; cancelled
// before the first, it is the file a conversion of no frames writes.
TEST(ConversionLoop, CancelledOutputsAreFinishedWithTheFramesWritten) {
    TempDir dir;
    std::vector<testsupport::PcapRecord> records;
    for (uint32_t i = 0; i < 10; ++i) {
        records.push_back(
            {1000000000 + i, i, testsupport::RampFrame(100, static_cast<uint8_t>(i))});
    }
    const std::string source = dir.file("in.pcap");
    testsupport::WriteFile(source, testsupport::PcapFile(0xA1B2C3D4, false, 1, records).data());
    TranslatorEngine engine;
    const std::vector<int> targets = engine.Detect(source)->targets;
    ConvertOptions noFrames;
    noFrames.convertall = false;
    noFrames.convertto = 0;
    for (int format : targets) {
        SCOPED_TRACE(FormatCode(format));
        for (int64_t cancelAt : {0, 4}) {
            CancellingSink sink(cancelAt);
            engine.SetSink(&sink);
            EXPECT_TRUE(engine.ConvertFile(source, dir.file("out"), format, ConvertOptions{}));
            EXPECT_EQ(sink.framesWritten, cancelAt);
            if (cancelAt == 0) {
                CancellingSink never(INT64_MAX);
                engine.SetSink(&never);
                EXPECT_TRUE(engine.ConvertFile(source, dir.file("none"), format, noFrames));
                EXPECT_EQ(testsupport::ReadFile(dir.file("out")),
                          testsupport::ReadFile(dir.file("none")));
            } else if (engine.ReaderOf(format) != nullptr) {
                EXPECT_EQ(FramesReadBack(dir.file("out")), cancelAt);
            }
            engine.SetSink(nullptr);
        }
    }
}

TEST(ConversionLoop, DamagedSourceEndsAsAtTheEndAndTheSinkKeepsWhy) {
    Loop loop(10);
    loop.reader.damagedAt = 4;
    EXPECT_TRUE(loop.Run());
    EXPECT_EQ(loop.writer.written.size(), 3u);
    EXPECT_EQ(loop.writer.finishes, 1);
    EXPECT_EQ(loop.sink.finalText, "Done");
    EXPECT_EQ(loop.sink.Messages(), nullptr);
    EXPECT_STREQ(loop.sink.Damage(), "frame 4 is cut short");

    loop.reader.damagedAt = 0;
    EXPECT_TRUE(loop.Run());
    EXPECT_STREQ(loop.sink.Damage(), "");
}

TEST(ConversionLoop, MaximumFrameCount) {
    Loop loop(10);
    loop.writer.maxFrames = 4;
    EXPECT_TRUE(loop.Run());
    EXPECT_EQ(loop.writer.written.size(), 4u);
    EXPECT_EQ(loop.sink.finalText, "Done (reached maximum frame count)");
}

TEST(ConversionLoop, FailedFrameEndsTheLoopWithTheFirstMessageOnly) {
    Loop loop(10);
    loop.writer.failAt = 4;
    loop.writer.finishOk = false;
    EXPECT_FALSE(loop.Run());
    EXPECT_EQ(loop.writer.written.size(), 4u);
    EXPECT_EQ(loop.writer.finishes, 1);
    EXPECT_STREQ(loop.sink.Messages(), "Error writing frame 4\r\n");
    loop.reader.ReportError("second\r\n");
    EXPECT_STREQ(loop.sink.Messages(), "Error writing frame 4\r\n");
}

TEST(ConversionLoop, HeaderFailures) {
    Loop header(5);
    header.writer.headerOk = false;
    EXPECT_FALSE(header.Run());
    EXPECT_STREQ(header.sink.Messages(), "Error writing file header.\r\n");
    EXPECT_TRUE(header.writer.written.empty());
    EXPECT_EQ(header.reader.closes, 1);

    Loop finish(5);
    finish.writer.finishOk = false;
    EXPECT_FALSE(finish.Run());
    EXPECT_STREQ(finish.sink.Messages(), "Error writing file header.\r\n");
}

TEST(ConversionLoop, ProgressByFrameCount) {
    FakeReader reader(200);
    reader.options.convertall = true;
    reader.info.totalFrames = 200;
    reader.info.framesRead = 101;
    EXPECT_TRUE(reader.UpdateProgress());
    EXPECT_EQ(reader.info.percentDone, 50);
    reader.options.convertall = false;
    reader.options.convertfrom = 10;
    reader.options.convertto = 9;
    EXPECT_FALSE(reader.UpdateProgress());
    reader.options.convertto = 109;
    reader.info.framesRead = 35;
    EXPECT_TRUE(reader.UpdateProgress());
    EXPECT_EQ(reader.info.percentDone, 25);
    reader.info.totalFrames = -1;
    reader.options.convertall = true;
    EXPECT_FALSE(reader.UpdateProgress());
}

class MarkingWriter : public BinaryTraceWriter {
public:
    bool WriteFrame(const TraceInfo&, const FrameRecord&) override {
        uint8_t record[8] = {};
        MarkField(record, record + 4, 4);
        return WriteBytes(record, sizeof record);
    }
};

TEST(BinaryTraceWriter, OffsetSideFileListsEveryMarkedByte) {
    TempDir dir;
    MarkingWriter writer;
    ConvertOptions options;
    options.offsetFile = true;
    ASSERT_TRUE(writer.Create(dir.file("out.bin"), FMT_TD, options));
    ASSERT_TRUE(writer.WriteZeros(24));
    TraceInfo info;
    FrameRecord frame;
    ASSERT_TRUE(writer.WriteFrame(info, frame));
    ASSERT_TRUE(writer.Close());
    auto side = testsupport::ReadFile(dir.file("out.bin.offset"));
    ASSERT_EQ(side.size(), 16u);
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(LoadLE32(side.data() + 4 * i), 28 + i);
    }
    EXPECT_EQ(testsupport::ReadFile(dir.file("out.bin")).size(), 32u);

    options.offsetFile = false;
    ASSERT_TRUE(writer.Create(dir.file("plain.bin"), FMT_TD, options));
    ASSERT_TRUE(writer.WriteFrame(info, frame));
    writer.Close();
    EXPECT_FALSE(testsupport::FileExists(dir.file("plain.bin.offset")));
}

TEST(FileTraceWriter, PatchHeaderReachesTheFileAtOnceOrFails) {
    TempDir dir;
    MarkingWriter writer;
    ConvertOptions options;
    const std::string path = dir.file("out.bin");
    const uint8_t patch[2] = {'X', 'Y'};
    // An earlier, longer file is emptied first.
    testsupport::WriteFile(path, std::vector<uint8_t>(100, 'z'));
    ASSERT_TRUE(writer.Create(path, FMT_TD, options));
    ASSERT_TRUE(writer.ReserveHeader(6));
    ASSERT_TRUE(writer.WriteBytes("abcd", 4));
    ASSERT_TRUE(writer.PatchHeader(patch, sizeof patch, 2));
    EXPECT_EQ(testsupport::ReadFile(path),
              (std::vector<uint8_t>{0, 0, 'X', 'Y', 0, 0, 'a', 'b', 'c', 'd'}));
    ASSERT_TRUE(writer.Close());
    EXPECT_FALSE(writer.PatchHeader(patch, sizeof patch));

    ASSERT_TRUE(writer.Create("/dev/full", FMT_TD, options));
    ASSERT_TRUE(writer.ReserveHeader(6));
    EXPECT_FALSE(writer.PatchHeader(patch, sizeof patch));
}

TEST(FileTraceWriter, CreateFailureMessage) {
    MarkingWriter writer;
    QuietSink sink;
    writer.SetSink(&sink);
    ConvertOptions options;
    EXPECT_FALSE(writer.Create("/nonexistent-folder/x.pcap", FMT_TD, options));
    EXPECT_STREQ(sink.Messages(),
                 "Error creating file /nonexistent-folder/x.pcap for writing.\r\n"
                 "(No such file or directory)\r\n");
    sink.ClearMessages();
    std::string tooLong = "/tmp/" + std::string(1100, 'a');
    EXPECT_FALSE(writer.Create(tooLong, FMT_TD, options));
    EXPECT_EQ(std::string(sink.Messages()),
              "Error creating file " + tooLong + " for writing.\r\n(File name too long)\r\n");
}

}  // namespace
}  // namespace translator
