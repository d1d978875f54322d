// NetMon, snoop and Observer files against real captures and an independent reader.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/netmon/netmon.h"
#include "formats/observer/observer.h"
#include "formats/snoop/snoop.h"
#include "support/files.h"
#include "translator/conversion.h"

namespace translator {
namespace {

using namespace testsupport;

#define REQUIRE_CORPUS()                                               \
    const std::string corpus = CorpusDir();                            \
    if (corpus.empty()) {                                              \
        GTEST_SKIP() << "no capture corpus at " TRANSLATOR_CORPUS_DIR; \
    }

std::string BaseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// A pcap's frames as stored, without the FCS the tcpdump reader adds.
std::vector<FrameSummary> SourceFrames(const std::string& pcap, TraceInfo* info = nullptr) {
    TcpdumpReader reader;
    reader.options.pcapfcs = true;
    auto frames = ReadFrames(reader, pcap);
    if (info != nullptr)
        *info = reader.info;
    return frames;
}

// What a reader of a format without FCS delivers for a pcap frame: complete
// frames padded to 60 bytes and followed by their FCS, truncated ones as stored.
FrameSummary WithAddedFcs(FrameSummary f) {
    if (static_cast<int32_t>(f.bytes.size()) == f.frameLength) {
        f.bytes = WithFcs(f.bytes);
        f.frameLength = static_cast<int32_t>(f.bytes.size());
    } else {
        f.frameLength += 4;
    }
    return f;
}

constexpr uint32_t kObserverEpoch = 946684800;  // 2000-01-01 00:00:00 UTC

TEST(LanInterop, PeerFilesGiveTheSourceFramesWithTheirFcs) {
    REQUIRE_CORPUS();
    int files = 0;
    for (const char* suffix : {".netmon2.cap", ".snoop", ".observer.bfr"}) {
        for (const auto& peer : ListFiles(corpus + "/peer", suffix)) {
            const std::string name = BaseName(peer);
            const std::string source =
                corpus + "/pcap/" + name.substr(0, name.size() - strlen(suffix)) + ".pcap";
            Conversion c;
            ASSERT_TRUE(c.Convert(peer, FMT_TD)) << peer;
            std::vector<FrameSummary> expected;
            for (auto f : SourceFrames(source)) {
                // Observer counts time from 2000: the peer stored earlier times as that epoch.
                if (strcmp(suffix, ".observer.bfr") == 0 && f.seconds < kObserverEpoch) {
                    f.seconds = kObserverEpoch;
                    f.microseconds = 0;
                }
                expected.push_back(WithAddedFcs(f));
            }
            EXPECT_EQ(c.OutputFrames(), expected) << peer;
            ++files;
        }
    }
    EXPECT_GE(files, 34);
}

// Frames as tshark reads them, through a pcap it writes.
std::vector<FrameSummary> TsharkFrames(const std::string& path, const std::string& folder,
                                       std::string* fileType = nullptr) {
    const std::string copy = folder + "/tshark.pcap";
    int status = -1;
    RunCommand("tshark -r " + path + " -F pcap -w " + copy + " 2>/dev/null", &status);
    EXPECT_EQ(status, 0) << path;
    if (fileType != nullptr) {
        *fileType = RunCommand("capinfos -t " + path + " 2>/dev/null");
    }
    TcpdumpReader reader;
    reader.options.pcapfcs = true;
    return ReadFrames(reader, copy);
}

std::vector<std::string> EthernetCaptures(const std::string& corpus) {
    std::vector<std::string> captures;
    for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
        TraceInfo info;
        if (!SourceFrames(path, &info).empty() && info.interfaceType == IF_ETHERNET &&
            info.frameOrigin == ORIGIN_AS_STORED) {
            captures.push_back(path);
        }
    }
    return captures;
}

// Every byte and time of the pcap, as editcap's conversion of it holds them.
TEST(LanInterop, TsharkReadsOurNetMonAndSnoopFilesAsEditcapWritesThem) {
    REQUIRE_CORPUS();
    if (!HaveTool("tshark") || !HaveTool("editcap"))
        GTEST_SKIP() << "tshark or editcap is not installed";
    for (const auto& source : EthernetCaptures(corpus)) {
        const auto frames = SourceFrames(source);
        for (const auto& [format, editcapType] :
             {std::pair{FMT_N2, "netmon2"}, {FMT_SO, "snoop"}}) {
            Conversion c;
            ASSERT_TRUE(c.Convert(source, format)) << source;
            const std::string peer = c.dir.file("peer");
            RunCommand("editcap -F " + std::string(editcapType) + " " + source + " " + peer);
            const auto ours = TsharkFrames(c.dir.file("out"), c.dir.path());
            EXPECT_EQ(ours, frames) << source << " as " << FormatCode(format);
            EXPECT_EQ(ours, TsharkFrames(peer, c.dir.path())) << source << " as " << editcapType;
        }
    }
}

// Surveyor records keep the FCS: tshark gives each whole frame back with it.
TEST(LanInterop, TsharkReadsExtendedRecordsAsSurveyorFiles) {
    REQUIRE_CORPUS();
    if (!HaveTool("tshark"))
        GTEST_SKIP() << "tshark is not installed";
    // The four rows write the same records: each capture goes through one of them in turn.
    const int rows[] = {FMT_SH, FMT_PR, FMT_FP, FMT_PL};
    const auto captures = EthernetCaptures(corpus);
    for (size_t k = 0; k < captures.size(); ++k) {
        const std::string& source = captures[k];
        const auto frames = SourceFrames(source);
        Conversion c;
        ASSERT_TRUE(c.Convert(source, rows[k % 4])) << source;
        std::string type;
        const auto read = TsharkFrames(c.dir.file("out"), c.dir.path(), &type);
        EXPECT_NE(type.find("Surveyor"), std::string::npos) << type;
        ASSERT_EQ(read.size(), frames.size()) << source;
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(read[i].seconds, frames[i].seconds);
            EXPECT_EQ(read[i].microseconds, frames[i].microseconds);
            const auto& bytes = frames[i].bytes;
            ASSERT_GE(read[i].bytes.size(), bytes.size()) << source << " frame " << i + 1;
            EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), read[i].bytes.begin()))
                << source << " frame " << i + 1;
        }
    }
}

// Every prefix of a file reads to a clean end.
template <typename Reader>
void SweepPrefixes(const std::string& path, const std::string& folder) {
    const auto bytes = ReadFile(path);
    const std::string cut = folder + "/prefix";
    const size_t step = bytes.size() <= 4096 ? 1 : bytes.size() / 200;
    for (size_t n = 0; n < bytes.size(); n += step) {
        WriteFile(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        Reader reader;
        for (const auto& f : ReadFrames(reader, cut)) {
            ASSERT_LE(static_cast<int32_t>(f.bytes.size()), f.frameLength) << path << " " << n;
        }
    }
}

TEST(LanInterop, TruncatedFilesEndCleanly) {
    REQUIRE_CORPUS();
    TempDir dir;
    for (const auto& path : ListFiles(corpus + "/peer", ".netmon2.cap")) {
        SweepPrefixes<NetMonReader>(path, dir.path());
    }
    for (const auto& path : ListFiles(corpus + "/peer", ".snoop")) {
        SweepPrefixes<SnoopReader>(path, dir.path());
    }
    for (const auto& path : ListFiles(corpus + "/peer", ".observer.bfr")) {
        SweepPrefixes<ObserverReader>(path, dir.path());
    }
    Conversion c;
    ASSERT_TRUE(c.Convert(corpus + "/pcap/HSRP_election.pcap", FMT_SH));
    SweepPrefixes<SnoopReader>(c.dir.file("out"), dir.path());
}

}  // namespace
}  // namespace translator
