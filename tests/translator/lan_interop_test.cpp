// NetMon, snoop, Observer and pcapng files against real captures and an independent reader.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/netmon/netmon.h"
#include "formats/observer/observer.h"
#include "formats/pcapng/pcapng.h"
#include "formats/snoop/snoop.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/pcapng_builder.h"
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

// Records without captured bytes between others stay frames that tshark reads.
TEST(LanInterop, TsharkReadsFramesWithoutCapturedBytes) {
    if (!HaveTool("tshark"))
        GTEST_SKIP() << "tshark is not installed";
    const std::vector<uint8_t> ramp = RampFrame(60);
    const Bytes pcap = PcapFile(0xA1B2C3D4, false, 1, {{1, 0, ramp}, {2, 0, {}, 60}, {3, 0, ramp}});
    const Bytes pcapng = PcapngSection(false)
                             .append(PcapngInterface(1, false).data())
                             .append(PcapngPacket(0, 1, {}, false, {}, 1514).data());
    for (const auto& [source, frames] : {std::pair{pcap, "3\n"}, {pcapng, "1\n"}}) {
        for (int format : {FMT_NG, FMT_SO, FMT_N2}) {
            Conversion c;
            ASSERT_TRUE(c.Run(source, format));
            EXPECT_EQ(RunCommand("tshark -r " + c.dir.file("out") + " 2>/dev/null | wc -l"),
                      frames);
        }
    }
}

// A clock that stepped back: editcap stores the frame before the capture start.
TEST(LanInterop, NetMonFramesBeforeTheStartReadWithTheirTimes) {
    if (!HaveTool("editcap"))
        GTEST_SKIP() << "editcap is not installed";
    const auto ramp = RampFrame(60);
    Conversion c;
    WriteFile(
        c.dir.file("in.pcap"),
        PcapFile(0xA1B2C3D4, false, 1, {{1416849573, 5, ramp}, {1416816805, 7, ramp}}).data());
    RunCommand("editcap -F netmon2 " + c.dir.file("in.pcap") + " " + c.dir.file("in.cap"));
    ASSERT_TRUE(c.Convert(c.dir.file("in.cap"), FMT_TD));
    std::vector<FrameSummary> expected;
    for (const auto& f : SourceFrames(c.dir.file("in.pcap")))
        expected.push_back(WithAddedFcs(f));
    EXPECT_EQ(c.OutputFrames(), expected);
}

// The peer counted frames before 2000 from 1970: counted from 2000 they would
// fall in 2029, ahead of the clock until then.
TEST(LanInterop, ObserverFramesBefore2000ReadWithTheirSourceTimes) {
    REQUIRE_CORPUS();
    if (time(nullptr) > 1890000000)
        GTEST_SKIP() << "the clock has reached the years the frames would read as";
    Conversion c;
    ASSERT_TRUE(c.Convert(corpus + "/today/peer/RADIUS-1999.observer.bfr", FMT_TD));
    PcapngReader source;  // editcap's file, pcapng despite its name
    source.options.pcapfcs = true;
    std::vector<FrameSummary> expected;
    for (const auto& f : ReadFrames(source, corpus + "/today/peer/RADIUS-1999.pcap"))
        expected.push_back(WithAddedFcs(f));
    EXPECT_EQ(c.OutputFrames(), expected);
}

// Frames of today's pcapng files, converted to pcap as stored, are the ones
// tshark reads; those of interfaces with another link type are left out and
// counted, and frames stamped after 2106 end the file as damage.
TEST(LanInterop, PcapngFilesGiveTheFramesTsharkReads) {
    REQUIRE_CORPUS();
    if (!HaveTool("tshark"))
        GTEST_SKIP() << "tshark is not installed";
    std::vector<std::string> files = ListFiles(corpus + "/today/pcapng", ".pcapng");
    for (const auto& peer : ListFiles(corpus + "/today/peer", ".pcapng")) {
        if (BaseName(peer) != "mixed-ether-sll.pcapng")
            files.push_back(peer);
    }
    ASSERT_GE(files.size(), 30u);
    for (const auto& path : files) {
        SCOPED_TRACE(path);
        PcapngReader reader;
        ASSERT_TRUE(reader.Open(path));
        const TraceInfo info = reader.info;
        reader.Close();
        Conversion c;
        c.options.pcapfcs = true;
        const bool converted = c.Convert(path, FMT_TD);
        if (BaseName(path) == "vsock-1.pcapng") {
            EXPECT_FALSE(converted);
            const char* messages = c.quiet.Messages();
            EXPECT_NE(std::string(messages != nullptr ? messages : "")
                          .find("link type 271 is not supported"),
                      std::string::npos);
            continue;
        }
        ASSERT_TRUE(converted);
        TcpdumpReader output;
        output.options.pcapfcs = true;
        const auto ours = ReadFrames(output, c.dir.file("out"));
        auto theirs = TsharkFrames(path, c.dir.path());
        if (std::string(c.quiet.Damage()).find("outside the years 1970 to 2106") !=
            std::string::npos) {
            theirs.resize(ours.size());
        }
        if (info.frameOrigin == ORIGIN_AS_STORED) {
            EXPECT_EQ(ours, theirs);
            continue;
        }
        // Rebuilt frames have their own link header: the times and sizes match.
        ASSERT_EQ(ours.size(), theirs.size());
        for (size_t i = 0; i < ours.size(); ++i) {
            EXPECT_EQ(ours[i].seconds, theirs[i].seconds) << i;
            EXPECT_EQ(ours[i].microseconds, theirs[i].microseconds) << i;
        }
    }
}

TEST(LanInterop, PcapngInterfacesOfAnotherLinkTypeAreLeftOutAndCounted) {
    REQUIRE_CORPUS();
    if (!HaveTool("tshark"))
        GTEST_SKIP() << "tshark is not installed";
    const std::string path = corpus + "/today/peer/mixed-ether-sll.pcapng";
    auto count = [&path](const char* filter) {
        return std::stoi(
            RunCommand("tshark -r " + path + " -Y '" + filter + "' 2>/dev/null | wc -l"));
    };
    PcapngReader reader;
    ASSERT_TRUE(reader.Open(path));
    int frames = 0;
    while (reader.ReadFrame()) {
        reader.info.Accumulate(reader.frame);
        frames += reader.frame.nonData ? 0 : 1;
    }
    EXPECT_EQ(reader.LastReadStatus(), TraceReader::ReadStatus::End);
    EXPECT_EQ(frames, count("frame.interface_id == 0"));
    EXPECT_EQ(reader.info.nonDataFrames, count("frame.interface_id == 1"));
    EXPECT_NE(std::string(reader.info.notes)
                  .find(std::to_string(reader.info.nonDataFrames) +
                        " frames of interfaces with link type 113"),
              std::string::npos);
}

// Our pcapng files hold every frame of the pcap for tshark and capinfos,
// and for our reader with the FCS it adds; nanosecond pcaps keep their
// nanoseconds when asked.
TEST(LanInterop, TsharkReadsOurPcapngFiles) {
    REQUIRE_CORPUS();
    if (!HaveTool("tshark") || !HaveTool("capinfos"))
        GTEST_SKIP() << "tshark or capinfos is not installed";
    std::vector<std::string> sources = EthernetCaptures(corpus);
    const auto nanosecondPcaps = ListFiles(corpus + "/peer", ".nsec.pcap");
    ASSERT_FALSE(nanosecondPcaps.empty());
    sources.insert(sources.end(), nanosecondPcaps.begin(), nanosecondPcaps.end());
    for (const auto& source : sources) {
        SCOPED_TRACE(source);
        Conversion c;
        c.options.pcapnanoseconds = source.ends_with(".nsec.pcap");
        ASSERT_TRUE(c.Convert(source, FMT_NG));
        std::string type;
        auto stored = SourceFrames(source);
        if (!c.options.pcapnanoseconds) {
            for (auto& f : stored)
                f.nanoseconds = 0;
        }
        const auto read = TsharkFrames(c.dir.file("out"), c.dir.path(), &type);
        EXPECT_NE(type.find("pcapng"), std::string::npos) << type;
        EXPECT_EQ(read.size(), stored.size());
        for (size_t i = 0; i < std::min(read.size(), stored.size()); ++i) {
            EXPECT_EQ(read[i].bytes, stored[i].bytes) << i;
            EXPECT_EQ(read[i].frameLength, stored[i].frameLength) << i;
            EXPECT_EQ(read[i].seconds, stored[i].seconds) << i;
            EXPECT_EQ(read[i].microseconds, stored[i].microseconds) << i;
        }
        const std::string counted =
            RunCommand("capinfos -c -M " + c.dir.file("out") + " 2>/dev/null");
        EXPECT_NE(counted.find("Number of packets:   " + std::to_string(stored.size()) + "\n"),
                  std::string::npos)
            << counted;
        TcpdumpReader sourceReader;
        auto expected = ReadFrames(sourceReader, source);
        if (!c.options.pcapnanoseconds) {
            for (auto& f : expected)
                f.nanoseconds = 0;
        }
        PcapngReader ours;
        EXPECT_EQ(ReadFrames(ours, c.dir.file("out")), expected);
    }
}

}  // namespace
}  // namespace translator
