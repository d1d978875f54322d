#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/checksum.h"
#include "translator/writer_trial.h"

namespace translator {
namespace {

using testsupport::RampFrame;
using testsupport::ReadFile;

constexpr uint32_t kStart = WriterTrial::kStart;

// The frame lengths a writer's fields hold, as pcap frames of the source.
struct LengthRange {
    int format;
    uint32_t linkType;       // of the pcap source
    uint32_t inside;         // the longest frame the format holds
    int32_t insideReadBack;  // its frame length as the format's reader gives it
    uint32_t outside;        // the shortest it does not; 0: none
    int64_t stored;          // the outside frame's length as the format stores it
    int64_t limit;           // the most the message names
};

void PrintTo(const LengthRange& r, std::ostream* out) {
    *out << FormatName(r.format);
}

class WriterLengthRange : public testing::TestWithParam<LengthRange> {
protected:
    // Converts two short frames and a third of the length given.
    bool Convert(uint32_t length, const ConvertOptions& options = {}) {
        const bool ok = trial.Convert(GetParam().format, GetParam().linkType,
                                      {kStart + 2, 0, RampFrame(length), 0}, options);
        messages = trial.messages;
        return ok;
    }
    std::vector<FrameSummary> Output() { return trial.Output(); }

    WriterTrial trial;
    std::string messages;
};

TEST_P(WriterLengthRange, HeldLengthsComeBackAndLongerFramesFailAfterAFinishedFile) {
    const LengthRange& r = GetParam();
    ASSERT_TRUE(Convert(r.inside)) << messages;
    std::vector<FrameSummary> frames = Output();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2].frameLength, r.insideReadBack);
    const std::vector<uint8_t> sent = RampFrame(r.inside);
    const size_t compared = std::min<size_t>(frames[2].bytes.size(), r.inside - 4);
    EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + compared, frames[2].bytes.begin()));
    if (r.outside == 0) {
        return;
    }
    EXPECT_FALSE(Convert(r.outside));
    EXPECT_EQ(messages, "Frame 3 is " + std::to_string(r.stored) + " bytes long; " +
                            FormatName(r.format) + " files hold at most " +
                            std::to_string(r.limit) + ".\r\n");
    EXPECT_EQ(Output().size(), 2u);

    // Slicing converts the same capture whole.
    ConvertOptions sliced;
    sliced.slice = true;
    sliced.bytes = 100;
    EXPECT_TRUE(Convert(r.outside, sliced)) << messages;
    EXPECT_EQ(Output().size(), 3u);
}

// Formats that give a frame of no captured bytes one length for both.
TEST_P(WriterLengthRange, FramesWithoutCapturedBytesKeptOrLeftOutAndCounted) {
    const int f = GetParam().format;
    ASSERT_TRUE(trial.Convert(f, GetParam().linkType, {kStart + 2, 0, {}, 60})) << trial.messages;
    const bool held = f != FMT_FB && f != FMT_TV && f != FMT_EP && f != FMT_AP && f != FMT_WP;
    EXPECT_EQ(Output().size(), held ? 3u : 2u);
    EXPECT_EQ(trial.emptyFramesLeftOut, held ? 0 : 1);
}

class ShortFrameFcs : public testing::TestWithParam<int> {};

TEST_P(ShortFrameFcs, StoredWithItsComputedFcs) {
    WriterTrial trial;
    ASSERT_TRUE(trial.Convert(GetParam(), 1, {kStart + 2, 0, RampFrame(42), 0})) << trial.messages;
    const std::vector<uint8_t> out = ReadFile(trial.dir.file("out")),
                               want = WithFcs(RampFrame(42), 0);
    EXPECT_NE(std::search(out.begin(), out.end(), want.begin(), want.end()), out.end());
}

INSTANTIATE_TEST_SUITE_P(Writers, ShortFrameFcs,
                         testing::Values(FMT_DM, FMT_LV, FMT_EP, FMT_TL, FMT_TV));

constexpr uint32_t kMax = kMaxSnapshotLength;

// Ethernet frames of a pcap gain their FCS on reading: writers that store it
// hold 4 bytes less of the pcap frame, and readers give it back.
INSTANTIATE_TEST_SUITE_P(Writers, WriterLengthRange,
                         testing::Values(LengthRange{FMT_TD, 1, kMax, kMax + 4, 0, 0, 0},
                                         LengthRange{FMT_XR, 1, 65535, 65539, 65536, 65536, 65535},
                                         LengthRange{FMT_DM, 1, 65531, 65535, 65532, 65536, 65535},
                                         LengthRange{FMT_LV, 1, 65531, 65535, 65532, 65536, 65535},
                                         LengthRange{FMT_SO, 1, kMax, kMax + 4, 0, 0, 0},
                                         LengthRange{FMT_SH, 1, kMax, kMax + 4, 0, 0, 0},
                                         LengthRange{FMT_FB, 1, 65535, 65539, 65536, 65536, 65535},
                                         LengthRange{FMT_OB, 1, kMax, kMax + 4, 0, 0, 0},
                                         LengthRange{FMT_N2, 1, kMax, kMax + 4, 0, 0, 0},
                                         LengthRange{FMT_EP, 1, 65531, 65535, 65532, 65536, 65535},
                                         LengthRange{FMT_AP, 105, 65531, 65531, 65532, 65532,
                                                     65531},
                                         LengthRange{FMT_WP, 9, kMax, kMax, 0, 0, 0},
                                         LengthRange{FMT_TL, 1, 65531, 65535, 65532, 65536, 65535},
                                         LengthRange{FMT_OS, 9, 65522, 65522, 65523, 65523, 65522},
                                         LengthRange{FMT_TV, 1, kMax, kMax + 4, 0, 0, 0}));

}  // namespace
}  // namespace translator
