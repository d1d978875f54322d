// Every Ethernet capture of the corpus goes through each of our time-of-day
// and index formats and back to tcpdump; what comes back follows the FCS,
// length and time-stamp rules of the format it passed through.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>

#include "common/byte_order.h"
#include "core/checksum.h"
#include "core/console_progress.h"
#include "core/engine.h"
#include "core/time_base.h"
#include "formats/tcpdump/tcpdump.h"
#include "support/files.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace byte_order;
using namespace testsupport;

#define REQUIRE_CORPUS()                                               \
    const std::string corpus = CorpusDir();                            \
    if (corpus.empty()) {                                              \
        GTEST_SKIP() << "no capture corpus at " TRANSLATOR_CORPUS_DIR; \
    }

using Frames = std::vector<FrameSummary>;
// What comes back from a source trace read at time now; nothing when the
// format cannot hold the trace and the conversion must fail.
using Model = std::function<std::optional<Frames>(const Frames& source, uint32_t now)>;

// What a frame looks like after the conversion loop has normalised it.
FrameSummary Normalised(FrameSummary f) {
    f.seconds += f.microseconds / 1000000;
    f.microseconds %= 1000000;
    return f;
}

// The FCS a reader computes over the frame bytes before it (0 below 60 bytes).
void PutFcs(FrameSummary& f) {
    const auto n = static_cast<int64_t>(f.bytes.size()) - 4;
    StoreLE32(f.bytes.data() + n, Crc32(f.bytes.data(), n));
}

void DropLastFour(FrameSummary& f) {
    f.bytes.resize(f.bytes.size() >= 4 ? f.bytes.size() - 4 : 0);
}

// Milliseconds of the day, dated to the day of reading.
void ToTimeOfDay(FrameSummary& f, uint32_t now) {
    f.seconds = DayBase(now) + f.seconds % 86400;
    f.microseconds = f.microseconds / 1000 * 1000;
    f.nanoseconds = 0;
}

// The FCS is not stored; a complete frame gets it back computed, a runt
// first grows to 64 zero-padded bytes. A cut frame loses 4 bytes.
std::optional<Frames> ThroughObserver(const Frames& source, uint32_t now) {
    Frames out;
    for (FrameSummary f : source) {
        f = Normalised(f);
        const bool complete = static_cast<int32_t>(f.bytes.size()) == f.frameLength;
        DropLastFour(f);
        if (complete) {
            f.frameLength = std::max(f.frameLength, 64);
            f.bytes.resize(static_cast<size_t>(f.frameLength), 0);
            PutFcs(f);
        }
        ToTimeOfDay(f, now);
        out.push_back(f);
    }
    return out;
}

// One length per record: what was not captured is gone. The first frame
// decides the medium; Ethernet frames up to 1514 stored bytes come back
// complete with a computed FCS.
std::optional<Frames> ThroughFireBerd(const Frames& source, uint32_t now) {
    const std::vector<uint8_t>& first = source.front().bytes;
    const uint8_t b0 = first.size() > 0 ? first[0] : 0;
    const uint8_t b1 = first.size() > 1 ? first[1] : 0;
    const uint8_t b2 = first.size() > 2 ? first[2] : 0;
    const bool ethernet = (b0 & 0x10) == 0 || b0 == 0xFF ||
                          (b0 == 0x10 && b1 == 0 && (b2 == 0x5A || b2 == 0x5D || b2 == 0xE0));
    Frames out;
    for (FrameSummary f : source) {
        f = Normalised(f);
        DropLastFour(f);
        f.frameLength = static_cast<int32_t>(f.bytes.size());
        if (f.bytes.size() > 1514) {
            f.bytes.resize(1514);
        } else if (ethernet) {
            f.frameLength += 4;
            f.bytes.resize(f.bytes.size() + 4, 0);
            PutFcs(f);
        }
        ToTimeOfDay(f, now);
        out.push_back(f);
    }
    return out;
}

// Frames are stored as captured, a cut one 4 bytes shorter, its line length
// in 16 bits (a longer one keeps the largest). Time stamps count 2^32 32-microsecond steps from the
// start the writer knew at that frame: the first non-zero second so far; a frame before it or past
// the count is refused. A file without a start is read relative to the time of reading.
std::optional<Frames> ThroughDomino(const Frames& source, uint32_t now) {
    const auto stamped = std::find_if(source.begin(), source.end(),
                                      [](const FrameSummary& f) { return f.seconds != 0; });
    const uint32_t headerStart = stamped != source.end() ? stamped->seconds : 0;
    const uint32_t readStart = headerStart != 0 ? headerStart : now;
    uint32_t writerStart = 0;
    Frames out;
    for (FrameSummary f : source) {
        if (writerStart == 0) {
            writerStart = f.seconds;
        }
        f = Normalised(f);
        if (static_cast<int32_t>(f.bytes.size()) < f.frameLength) {
            f.frameLength = std::min(f.frameLength, 0xFFFF);
            DropLastFour(f);
        }
        const int64_t micros = (int64_t{f.seconds} - writerStart) * 1000000 + f.microseconds;
        if (micros < 0 || micros / 32 > UINT32_MAX) {
            return std::nullopt;
        }
        const uint64_t steps = static_cast<uint64_t>(micros / 32) * 32;
        f.seconds = readStart + static_cast<uint32_t>(steps / 1000000);
        f.microseconds = static_cast<uint32_t>(steps % 1000000);
        f.nanoseconds = 0;
        out.push_back(f);
    }
    return out;
}

class CorpusRoundTrip : public ::testing::Test {
protected:
    void SetUp() override { engine_.SetSink(&quiet_); }

    // Converts every Ethernet capture to format and back to tcpdump and
    // compares with the model; returns the number of files compared.
    int RoundTrip(const std::string& corpus, int format, const Model& model) {
        int compared = 0;
        for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
            TcpdumpReader reader;
            const Frames source = ReadFrames(reader, path);
            if (reader.info.interfaceType != IF_ETHERNET || source.empty()) {
                continue;
            }
            const std::string name = std::filesystem::path(path).filename().string();
            const std::string middle = dir_.file(name + "." + FormatCode(format));
            const std::string back = dir_.file(name + ".back.pcap");
            const std::optional<Frames> expected = model(source, 0);
            if (!expected) {
                EXPECT_FALSE(engine_.ConvertFile(path, middle, format, options_)) << name;
                continue;
            }
            EXPECT_TRUE(engine_.ConvertFile(path, middle, format, options_)) << name;
            // Readers that date frames take the clock when they open the file:
            // convert within one second of the clock.
            uint32_t now = 0;
            for (uint32_t after = 1; now != after;) {
                now = static_cast<uint32_t>(time(nullptr));
                EXPECT_TRUE(engine_.ConvertFile(middle, back, FMT_TD, options_)) << name;
                after = static_cast<uint32_t>(time(nullptr));
            }
            Compare(name, ReadFrames(reader, back), *model(source, now));
            ++compared;
        }
        return compared;
    }

    static void Compare(const std::string& name, const Frames& frames, const Frames& expected) {
        EXPECT_EQ(frames.size(), expected.size()) << name;
        for (size_t i = 0; i < std::min(frames.size(), expected.size()); ++i) {
            if (frames[i] != expected[i]) {
                ADD_FAILURE() << name << " frame " << i << ": " << frames[i] << " expected "
                              << expected[i];
                return;
            }
        }
    }

    TempDir dir_;
    TranslatorEngine engine_;
    ConsoleProgress quiet_{fopen("/dev/null", "w")};
    ConvertOptions options_;
};

TEST_F(CorpusRoundTrip, Observer) {
    REQUIRE_CORPUS();
    EXPECT_GE(RoundTrip(corpus, FMT_OB, ThroughObserver), 39);
}

TEST_F(CorpusRoundTrip, FireBerd) {
    REQUIRE_CORPUS();
    EXPECT_GE(RoundTrip(corpus, FMT_FB, ThroughFireBerd), 39);
}

TEST_F(CorpusRoundTrip, DominoAndLinkView) {
    REQUIRE_CORPUS();
    // One capture has a cut frame whose line length needs 17 bits; others
    // have frames before the first or more than 38 hours after it.
    EXPECT_GE(RoundTrip(corpus, FMT_DM, ThroughDomino), 36);
    EXPECT_GE(RoundTrip(corpus, FMT_LV, ThroughDomino), 36);
}

}  // namespace
}  // namespace translator
