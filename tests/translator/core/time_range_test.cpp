#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "translator/writer_trial.h"

namespace translator {
namespace {

using testsupport::RampFrame;

constexpr uint32_t kStart = WriterTrial::kStart;

// What a writer's time field holds, measured from the first frame.
struct TimeRange {
    int format;
    uint32_t linkType;        // of the pcap source
    int64_t insideMicros;     // the farthest offset the field holds
    int64_t outsideMicros;    // the nearest it does not; 0: none
    uint32_t earlierSeconds;  // a frame before the first (0: unstamped)
    bool refusesEarlier;
    const char* limit;  // the limit as the message prints it
};

void PrintTo(const TimeRange& r, std::ostream* out) {
    *out << FormatName(r.format);
}

class WriterTimeRange : public testing::TestWithParam<TimeRange> {
protected:
    // Converts frames at kStart, kStart + 1 s and the third time given.
    bool Convert(uint32_t seconds, uint32_t micros) {
        const bool ok = trial.Convert(GetParam().format, GetParam().linkType,
                                      {seconds, micros, RampFrame(60), 0});
        messages = trial.messages;
        return ok;
    }
    std::vector<FrameSummary> Output() { return trial.Output(); }
    std::string Name() const { return FormatName(GetParam().format); }

    WriterTrial trial;
    std::string messages;
};

TEST_P(WriterTimeRange, HeldTimesComeBackExactAndOthersFailAfterAFinishedFile) {
    const TimeRange& r = GetParam();
    const auto inside = static_cast<uint32_t>(kStart + r.insideMicros / 1000000);
    const auto insideMicros = static_cast<uint32_t>(r.insideMicros % 1000000);
    ASSERT_TRUE(Convert(inside, insideMicros)) << messages;
    std::vector<FrameSummary> frames = Output();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2].seconds, inside);
    EXPECT_EQ(frames[2].microseconds, insideMicros);

    if (r.outsideMicros != 0) {
        EXPECT_FALSE(Convert(static_cast<uint32_t>(kStart + r.outsideMicros / 1000000),
                             static_cast<uint32_t>(r.outsideMicros % 1000000)));
        EXPECT_EQ(messages, "Frame 3 is " + std::string(r.limit) + " after the first frame; " +
                                Name() + " files hold at most " + r.limit + ".\r\n");
        EXPECT_EQ(Output().size(), 2u);
    }

    const bool ok = Convert(r.earlierSeconds, 0);
    frames = Output();
    if (r.refusesEarlier) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(messages, "Frame 3 is earlier than the first frame; " + Name() +
                                " files cannot hold it.\r\n");
        EXPECT_EQ(frames.size(), 2u);
    } else {
        EXPECT_TRUE(ok) << messages;
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[2].seconds, r.earlierSeconds);
        EXPECT_EQ(frames[2].microseconds, 0u);
    }
}

// 2^32 ticks of 32 us; 2^48 ticks of 100 ns; the others hold every 32-bit time.
constexpr int64_t kDominoTop = (int64_t{1} << 32) * 32;
constexpr int64_t kMeridelTop = ((int64_t{1} << 48) - 1) / 10;
constexpr int64_t kFar = int64_t{3000000000} * 1000000 + 999999;

INSTANTIATE_TEST_SUITE_P(
    Writers, WriterTimeRange,
    testing::Values(TimeRange{FMT_DM, 1, kDominoTop - 32, kDominoTop, kStart - 1, true, "38:10:39"},
                    TimeRange{FMT_LV, 1, kDominoTop - 32, kDominoTop, kStart - 1, true, "38:10:39"},
                    TimeRange{FMT_N2, 1, kFar, 0, kStart - 1, true, ""},
                    TimeRange{FMT_SH, 1, kFar, 0, 0, true, ""},
                    TimeRange{FMT_SO, 1, kFar, 0, kStart - 1, false, ""},
                    TimeRange{FMT_XR, 1, kFar, 0, kStart - 1, true, ""},
                    TimeRange{FMT_EP, 1, kFar, 0, kStart - 1, false, ""},
                    TimeRange{FMT_WP, 9, kFar, 0, kStart - 1, false, ""},
                    TimeRange{FMT_OS, 9, kMeridelTop, kMeridelTop + 1, kStart - 1, true,
                              "7818:44:58"},
                    TimeRange{FMT_TL, 1, kFar, 0, kStart - 1, false, ""},
                    TimeRange{FMT_TV, 1, kFar, 0, kStart - 1, false, ""}));

}  // namespace
}  // namespace translator
