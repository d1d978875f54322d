// Every Ethernet capture of the corpus goes through each writer and back to
// tcpdump: what comes back is the source, byte for byte and time for time,
// except where a format's own rules say otherwise; a frame a format cannot
// hold fails the conversion with its message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>

#include "console/console_progress.h"
#include "engine/engine.h"
#include "engine/time_base.h"
#include "formats/tcpdump/tcpdump.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace testsupport;

#define REQUIRE_CORPUS()                                               \
    const std::string corpus = CorpusDir();                            \
    if (corpus.empty()) {                                              \
        GTEST_SKIP() << "no capture corpus at " TRANSLATOR_CORPUS_DIR; \
    }

using Frames = std::vector<FrameSummary>;
// What comes back from a source trace (its frames as the pcap stores them)
// read at time now; nothing when the format cannot hold the trace and the
// conversion must fail.
using Model = std::function<std::optional<Frames>(const Frames& source, uint32_t now)>;

// What a frame looks like after the conversion loop has normalised it.
FrameSummary Normalised(FrameSummary f) {
    f.seconds += f.microseconds / 1000000;
    f.microseconds %= 1000000;
    return f;
}

bool Whole(const FrameSummary& f) {
    return static_cast<int32_t>(f.bytes.size()) == f.frameLength;
}

// Readers of formats that store no FCS pad a whole runt to the minimum frame.
void PadRunt(FrameSummary& f) {
    if (Whole(f) && f.bytes.size() < 60) {
        f.bytes.resize(60, 0);
        f.frameLength = 60;
    }
}

// Earlier than the second of the first frame, where such formats start.
bool EarlierThanTheFirst(const Frames& source) {
    const uint64_t first = uint64_t{source.front().seconds} * 1000000;
    return std::any_of(source.begin(), source.end(), [first](const FrameSummary& f) {
        return uint64_t{f.seconds} * 1000000 + f.microseconds < first;
    });
}

// Milliseconds of the day, dated to the day of reading.
void ToTimeOfDay(FrameSummary& f, uint32_t now) {
    f.seconds = DayBase(now) + f.seconds % 86400;
    f.microseconds = f.microseconds / 1000 * 1000;
    f.nanoseconds = 0;
}

struct Rules {
    bool padsRunts = false;         // the reader pads whole runts
    bool refusesEarlier = false;    // times count up from the first frame
    bool keepsOneLength = false;    // a cut frame comes back whole
    int32_t maxStored = INT32_MAX;  // bytes a frame's fields hold
    bool storesFcs = false;         // the FCS counts against maxStored
};

// Formats that keep every byte and time.
Model Exact(Rules rules) {
    return [rules](const Frames& source, uint32_t) -> std::optional<Frames> {
        if (rules.refusesEarlier && EarlierThanTheFirst(source)) {
            return std::nullopt;
        }
        Frames out;
        for (FrameSummary f : source) {
            f = Normalised(f);
            const auto stored =
                static_cast<int32_t>(f.bytes.size()) + (rules.storesFcs && Whole(f) ? 4 : 0);
            if (stored > rules.maxStored) {
                return std::nullopt;
            }
            if (rules.maxStored < INT32_MAX && !Whole(f)) {
                f.frameLength =
                    std::min(f.frameLength, rules.maxStored - (rules.storesFcs ? 4 : 0));
            }
            if (rules.padsRunts) {
                PadRunt(f);
            }
            if (rules.keepsOneLength) {
                f.frameLength = static_cast<int32_t>(f.bytes.size());
            }
            out.push_back(f);
        }
        return out;
    };
}

// Time of day; whole runts padded.
std::optional<Frames> ThroughObserver(const Frames& source, uint32_t now) {
    Frames out;
    for (FrameSummary f : source) {
        f = Normalised(f);
        PadRunt(f);
        ToTimeOfDay(f, now);
        out.push_back(f);
    }
    return out;
}

// One length per record: what was not captured is gone, and the probe keeps
// at most 1514 bytes. The first frame decides the medium.
std::optional<Frames> ThroughFireBerd(const Frames& source, uint32_t now) {
    Frames out;
    for (FrameSummary f : source) {
        f = Normalised(f);
        if (f.bytes.size() > 0xFFFF) {
            return std::nullopt;
        }
        f.frameLength = static_cast<int32_t>(f.bytes.size());
        f.bytes.resize(std::min<size_t>(f.bytes.size(), 1514));
        ToTimeOfDay(f, now);
        out.push_back(f);
    }
    return out;
}

// Time stamps count 2^32 32-microsecond steps from the start the writer knew
// at that frame: the first non-zero second so far; a frame before it or past
// the count is refused. A file without a start is read relative to the time
// of reading. Lengths are 16-bit, the stored ones with the FCS.
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
        if (f.bytes.size() + (Whole(f) ? 4 : 0) > 0xFFFF) {
            return std::nullopt;
        }
        if (!Whole(f)) {
            f.frameLength = std::min(f.frameLength, 0xFFFF - 4);
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

struct Trip {
    int format;
    Model model;
};

void PrintTo(const Trip& t, std::ostream* out) {
    *out << FormatCode(t.format);
}

// A pcap's frames as stored, without the FCS the tcpdump reader adds.
Frames StoredFrames(const std::string& path, TraceInfo* info = nullptr) {
    TcpdumpReader reader;
    reader.options.pcapfcs = true;
    Frames frames = ReadFrames(reader, path);
    if (info != nullptr) {
        *info = reader.info;
    }
    return frames;
}

class CorpusRoundTrip : public ::testing::TestWithParam<Trip> {
protected:
    void SetUp() override { engine_.SetSink(&quiet_); }

    TempDir dir_;
    TranslatorEngine engine_;
    ConsoleProgress quiet_{fopen("/dev/null", "w")};
    ConvertOptions options_;
};

TEST_P(CorpusRoundTrip, EthernetCapturesComeBackAsTheFormatKeepsThem) {
    REQUIRE_CORPUS();
    const Trip& trip = GetParam();
    int compared = 0;
    int refused = 0;
    for (const char* folder : {"/pcap", "/today/pcap"}) {
        for (const auto& path : ListFiles(corpus + folder, ".pcap")) {
            TraceInfo info;
            const Frames source = StoredFrames(path, &info);
            if (PcapLinkType(ReadFile(path)) != 1 || source.empty()) {
                continue;
            }
            const std::string name = std::filesystem::path(path).filename().string();
            const std::string middle = dir_.file(name + "." + FormatCode(trip.format));
            const std::string back = dir_.file(name + ".back.pcap");
            if (!trip.model(source, 0)) {
                EXPECT_FALSE(engine_.ConvertFile(path, middle, trip.format, options_)) << name;
                const char* message = quiet_.Messages();
                EXPECT_EQ(std::string(message != nullptr ? message : "").rfind("Frame ", 0), 0u)
                    << name;
                ++refused;
                continue;
            }
            ASSERT_TRUE(engine_.ConvertFile(path, middle, trip.format, options_)) << name;
            // Readers that date frames take the clock when they open the file:
            // convert within one second of the clock.
            uint32_t now = 0;
            for (uint32_t after = 1; now != after;) {
                now = static_cast<uint32_t>(time(nullptr));
                ASSERT_TRUE(engine_.ConvertFile(middle, back, FMT_TD, options_)) << name;
                after = static_cast<uint32_t>(time(nullptr));
            }
            const Frames frames = StoredFrames(back);
            const Frames expected = *trip.model(source, now);
            EXPECT_EQ(frames.size(), expected.size()) << name;
            for (size_t i = 0; i < std::min(frames.size(), expected.size()); ++i) {
                if (frames[i] != expected[i]) {
                    ADD_FAILURE() << name << " frame " << i << ": " << frames[i] << " expected "
                                  << expected[i];
                    break;
                }
            }
            ++compared;
        }
    }
    EXPECT_GE(compared + refused, 41);
    EXPECT_GE(compared, 30);
}

INSTANTIATE_TEST_SUITE_P(
    Writers, CorpusRoundTrip,
    ::testing::Values(Trip{FMT_N2, Exact({.padsRunts = true, .refusesEarlier = true})},
                      Trip{FMT_SO, Exact({.padsRunts = true})},
                      Trip{FMT_XR, Exact({.refusesEarlier = true, .maxStored = 0xFFFF})},
                      Trip{FMT_EP, Exact({.maxStored = 0xFFFF, .storesFcs = true})},
                      Trip{FMT_TV, Exact({.keepsOneLength = true})},
                      Trip{FMT_OS, Exact({.maxStored = 0xFFFF, .storesFcs = true})},
                      Trip{FMT_OB, ThroughObserver}, Trip{FMT_FB, ThroughFireBerd},
                      Trip{FMT_DM, ThroughDomino}, Trip{FMT_LV, ThroughDomino}));

}  // namespace
}  // namespace translator
