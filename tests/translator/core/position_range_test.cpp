#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "engine/trace_writer.h"
#include "support/files.h"
#include "support/pcap_builder.h"

namespace translator {
namespace {

struct PositionRange {
    int format;
    // Whether the file gives the offset of its end (or of what follows the
    // frames), rather than of each frame's start only.
    bool endWithinReach;
};

void PrintTo(const PositionRange& r, std::ostream* out) {
    *out << FormatName(r.format);
}

// Formats whose files give 32-bit offsets: a writer placed just below 4 GiB
// (the file sparse up to there) refuses the first frame that would need a
// position past it, in the words of any failed frame, writes none of it and
// still finishes the file with the frames before.
class WriterPositionRange : public testing::TestWithParam<PositionRange> {};

TEST_P(WriterPositionRange, FrameOutOfReachIsRefusedAndTheFileFinished) {
    const int format = GetParam().format;
    TranslatorEngine engine;
    auto* writer = dynamic_cast<FileTraceWriter*>(engine.WriterOf(format));
    ASSERT_NE(writer, nullptr);
    testsupport::TempDir dir;
    const ConvertOptions options;
    TraceInfo info;
    info.format = FMT_TD;
    info.interfaceType = IF_ETHERNET;
    info.lineRate = 10000000;
    info.startTime = 1000000000;
    ASSERT_TRUE(writer->Create(dir.file("out"), format, options));
    ASSERT_TRUE(writer->WriteHeader(info));
    ASSERT_TRUE(writer->file.Seek(int64_t{UINT32_MAX} - 65536));
    FrameRecord frame;
    const std::vector<uint8_t> bytes = testsupport::RampFrame(1518);
    frame.SetData(bytes.data(), static_cast<int32_t>(bytes.size()));
    frame.frameLength = frame.capturedLength = 1518;
    frame.seconds = info.startTime;
    int64_t before = 0;
    for (;;) {
        ASSERT_LT(info.framesRead, 100);
        frame.microseconds = static_cast<uint32_t>(info.framesRead);
        ++info.framesRead;
        before = writer->file.Tell();
        if (!writer->WriteFrame(info, frame)) {
            break;
        }
        ++info.framesWritten;
    }
    EXPECT_GT(info.framesWritten, 30);
    EXPECT_EQ(writer->file.Tell(), before);
    if (GetParam().endWithinReach) {
        EXPECT_LE(before, int64_t{UINT32_MAX});
    }
    EXPECT_EQ(writer->TakeRefusal(),
              "Error writing frame " + std::to_string(info.framesRead) + "\r\n");
    EXPECT_TRUE(writer->FinishFile(info));
    EXPECT_TRUE(writer->Close());
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterPositionRange,
                         testing::Values(PositionRange{FMT_N2, true}, PositionRange{FMT_XR, true},
                                         PositionRange{FMT_OB, true}, PositionRange{FMT_EP, true},
                                         PositionRange{FMT_DM, true}, PositionRange{FMT_FB, false}),
                         [](const auto& info) {
                             return std::string(FormatCode(info.param.format));
                         });

}  // namespace
}  // namespace translator
