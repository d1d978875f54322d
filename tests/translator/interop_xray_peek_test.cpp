// Real captures through the NetXRay and Peek modules: files written by an
// independent converter, our output read by tshark, and round trips.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "common/byte_order.h"
#include "console/console_progress.h"
#include "engine/checksum.h"
#include "engine/engine.h"
#include "formats/netxray/netxray.h"
#include "formats/peek/peek.h"
#include "formats/tcpdump/tcpdump.h"
#include "support/bytes.h"
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

std::string BaseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string SourceOf(const std::string& corpus, const std::string& peerFile,
                     const std::string& suffix) {
    const std::string name = BaseName(peerFile);
    return corpus + "/pcap/" + name.substr(0, name.size() - suffix.size()) + ".pcap";
}

// A complete frame of a format without FCS, as our readers deliver it: four more
// bytes holding the CRC-32 (0 below the minimum frame).
FrameSummary WithFcs(FrameSummary f) {
    if (static_cast<int32_t>(f.bytes.size()) == f.frameLength) {
        Bytes fcs;
        fcs.le32(Crc32(f.bytes.data(), static_cast<int64_t>(f.bytes.size())));
        f.bytes.insert(f.bytes.end(), fcs.data().begin(), fcs.data().end());
    }
    f.frameLength += 4;
    return f;
}

// A pcap's frames as stored, without the FCS the tcpdump reader adds.
std::vector<FrameSummary> StoredFrames(const std::string& path) {
    TcpdumpReader reader;
    reader.options.pcapfcs = true;
    return ReadFrames(reader, path);
}

struct Engine {
    TranslatorEngine engine;
    ConsoleProgress quiet{fopen("/dev/null", "w")};
    ConvertOptions options;

    Engine() { engine.SetSink(&quiet); }
    bool Convert(const std::string& from, const std::string& to, int format) {
        return engine.ConvertFile(from, to, format, options);
    }
};

// Ethernet pcaps of the corpus, stored as Ethernet, with at least one frame.
std::vector<std::string> EthernetPcaps(const std::string& corpus) {
    std::vector<std::string> paths;
    for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
        TcpdumpReader reader;
        if (!ReadFrames(reader, path).empty() && reader.info.interfaceType == IF_ETHERNET &&
            reader.info.frameOrigin == ORIGIN_AS_STORED) {
            paths.push_back(path);
        }
    }
    return paths;
}

int32_t LongestFrame(const std::vector<FrameSummary>& frames) {
    int32_t longest = 0;
    for (const auto& f : frames) {
        longest = std::max(longest, f.frameLength);
    }
    return longest;
}

// tshark's reading of path, rewritten as a nanosecond pcap and read back.
std::vector<FrameSummary> ReadWithTshark(const std::string& path, const TempDir& dir) {
    const std::string out = dir.file("tshark.pcap");
    int status = -1;
    RunCommand("tshark -r " + path + " -F nsecpcap -w " + out + " 2>&1", &status);
    EXPECT_EQ(status, 0) << path;
    return StoredFrames(out);
}

TEST(CorpusNetXRay, PeerFilesGiveTheSourceFramesWithTheirFcs) {
    REQUIRE_CORPUS();
    TempDir dir;
    Engine e;
    int compared = 0;
    int compressed = 0;
    for (const auto& peer : ListFiles(corpus + "/peer", ".netxray.cap")) {
        const auto source = StoredFrames(SourceOf(corpus, peer, ".netxray.cap"));
        std::vector<FrameSummary> expected;
        for (const auto& f : source) {
            expected.push_back(WithFcs(f));
        }
        ASSERT_FALSE(expected.empty()) << peer;
        NetXRayReader reader;
        EXPECT_EQ(ReadFrames(reader, peer), expected) << peer;

        const std::string plainOut = dir.file("plain.pcap");
        ASSERT_TRUE(e.Convert(peer, plainOut, FMT_TD)) << peer;
        EXPECT_EQ(StoredFrames(plainOut), source) << peer;
        ++compared;
        if (FileExists(peer + ".gz")) {
            const std::string packedOut = dir.file("packed.pcap");
            ASSERT_TRUE(e.Convert(peer + ".gz", packedOut, FMT_TD)) << peer;
            EXPECT_EQ(ReadFile(packedOut), ReadFile(plainOut)) << peer;
            ++compressed;
        }
    }
    EXPECT_GE(compared, 11);
    EXPECT_GE(compressed, 3);
}

TEST(CorpusNetXRay, TsharkReadsOurOutputAndRoundTripsKeepTheFrames) {
    REQUIRE_CORPUS();
    if (!HaveTool("tshark")) {
        GTEST_SKIP() << "tshark is not installed";
    }
    TempDir dir;
    Engine e;
    int checked = 0;
    for (const auto& path : EthernetPcaps(corpus)) {
        const auto source = StoredFrames(path);
        const std::string xr = dir.file(BaseName(path) + ".cap");
        // A cut frame longer on the line than the 16-bit field holds keeps
        // the largest line length; the lengths of such files are compared
        // by the writer's own tests.
        if (LongestFrame(source) > 0xFFFF) {
            EXPECT_TRUE(e.Convert(path, xr, FMT_XR)) << path;
            continue;
        }
        ASSERT_TRUE(e.Convert(path, xr, FMT_XR)) << path;

        const auto seen = ReadWithTshark(xr, dir);
        ASSERT_EQ(seen.size(), source.size()) << path;
        const std::string peer = dir.file(BaseName(path) + ".editcap.cap");
        RunCommand("editcap -F ngwsniffer_2_0 " + path + " " + peer);
        EXPECT_EQ(seen, ReadWithTshark(peer, dir)) << path << " as editcap writes it";
        for (size_t i = 0; i < source.size(); ++i) {
            const FrameSummary& want = source[i];
            // tshark's time arithmetic for this format may be 1 us off.
            const int64_t t = int64_t{seen[i].seconds} * 1000000 + seen[i].microseconds;
            const int64_t s = int64_t{want.seconds} * 1000000 + want.microseconds;
            EXPECT_LE(std::abs(t - s), 1) << path << " frame " << i + 1;
            EXPECT_EQ(seen[i].bytes, want.bytes) << path << " frame " << i + 1;
            EXPECT_EQ(seen[i].frameLength, want.frameLength) << path << " frame " << i + 1;
        }

        const std::string back = dir.file(BaseName(path) + ".back.pcap");
        ASSERT_TRUE(e.Convert(xr, back, FMT_TD)) << path;
        EXPECT_EQ(StoredFrames(back), source) << path;
        ++checked;
    }
    EXPECT_GE(checked, 38);
}

// A PPP frame after a format that leaves out its FCS-16: complete frames get
// it computed back; cut ones never reached it and stay as they are.
FrameSummary WithComputedFcs16(FrameSummary f) {
    if (f.bytes.size() == static_cast<size_t>(f.frameLength)) {
        const auto kept = static_cast<int64_t>(f.bytes.size()) - 2;
        StoreLE16(f.bytes.data() + kept, Fcs16(f.bytes.data(), kept));
    }
    return f;
}

TEST(CorpusNetXRay, PppCapturesRoundTripAsPpp) {
    REQUIRE_CORPUS();
    TempDir dir;
    Engine e;
    int checked = 0;
    for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
        TcpdumpReader pcap;
        const auto source = ReadFrames(pcap, path);
        if (source.empty() || pcap.info.wanType != WAN_PPP) {
            continue;
        }
        const int interfaceType = pcap.info.interfaceType;
        const std::string xr = dir.file(BaseName(path) + ".cap");
        ASSERT_TRUE(e.Convert(path, xr, FMT_XR)) << path;
        const std::string back = dir.file(BaseName(path) + ".back.pcap");
        ASSERT_TRUE(e.Convert(xr, back, FMT_TD)) << path;
        std::vector<FrameSummary> expected;
        for (const auto& f : source) {
            expected.push_back(WithComputedFcs16(f));
        }
        EXPECT_EQ(ReadFrames(pcap, back), expected) << path;
        EXPECT_EQ(pcap.info.interfaceType, interfaceType) << path;
        EXPECT_EQ(pcap.info.wanType, WAN_PPP) << path;
        ++checked;
    }
    EXPECT_GE(checked, 4);
}

TEST(CorpusPeek, TsharkReadsOurEtherPeekOutputAndRoundTripsKeepTheFrames) {
    REQUIRE_CORPUS();
    if (!HaveTool("tshark")) {
        GTEST_SKIP() << "tshark is not installed";
    }
    TempDir dir;
    Engine e;
    int checked = 0;
    for (const auto& path : EthernetPcaps(corpus)) {
        TcpdumpReader pcap;
        auto source = ReadFrames(pcap, path);  // with the FCS that EtherPeek files keep
        const std::string ep = dir.file(BaseName(path) + ".pkt");
        // As for NetXRay above.
        if (LongestFrame(source) > 0xFFFF) {
            EXPECT_TRUE(e.Convert(path, ep, FMT_EP)) << path;
            continue;
        }
        ASSERT_TRUE(e.Convert(path, ep, FMT_EP)) << path;
        EXPECT_EQ(ReadWithTshark(ep, dir), source) << path;
        const std::string back = dir.file(BaseName(path) + ".back.pcap");
        ASSERT_TRUE(e.Convert(ep, back, FMT_TD)) << path;
        EXPECT_EQ(StoredFrames(back), StoredFrames(path)) << path;
        ++checked;
    }
    EXPECT_GE(checked, 38);
}

// Walks a version 9 file as written: three sections, then packets whose tag
// lists hold tags 0, 1, 2, 3, 10, 11, 12 and 0xFFFF in this order.
void ExpectWanPeekLayout(const std::vector<uint8_t>& file, size_t packets, uint32_t encapsulation) {
    size_t at = 0;
    for (const char* tag : {"\x7fver", "sess", "pkts"}) {
        ASSERT_LE(at + 12, file.size());
        EXPECT_EQ(memcmp(file.data() + at, tag, 4), 0) << tag;
        EXPECT_EQ(LoadLE32(file.data() + at + 8), 512u);
        at += 12 + LoadLE32(file.data() + at + 4);
    }
    const uint16_t order[] = {0, 1, 2, 3, 10, 11, 12, 0xFFFF};
    size_t seen = 0;
    while (at < file.size()) {
        ASSERT_LE(at + 48, file.size());
        for (size_t i = 0; i < 8; ++i) {
            EXPECT_EQ(LoadLE16(file.data() + at + i * 6), order[i]);
        }
        EXPECT_EQ(LoadLE32(file.data() + at + 32), encapsulation);
        at += 48 + LoadLE32(file.data() + at + 44);
        ++seen;
    }
    EXPECT_EQ(at, file.size());
    EXPECT_EQ(seen, packets);
}

TEST(CorpusPeek, WanPeekRoundTripsOfSerialCaptures) {
    REQUIRE_CORPUS();
    TempDir dir;
    Engine e;
    int checked = 0;
    for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
        TcpdumpReader pcap;
        const auto source = ReadFrames(pcap, path);
        const int wan = pcap.info.wanType;
        if (source.empty() || (wan != WAN_PPP && wan != WAN_HDLC && wan != WAN_FRAME_RELAY)) {
            continue;
        }
        const std::string wp = dir.file(BaseName(path) + ".wpc");
        ASSERT_TRUE(e.Convert(path, wp, FMT_WP)) << path;
        ExpectWanPeekLayout(ReadFile(wp), source.size(), wan == WAN_FRAME_RELAY ? 35 : 16);
        const std::string back = dir.file(BaseName(path) + ".back.pcap");
        ASSERT_TRUE(e.Convert(wp, back, FMT_TD)) << path;
        EXPECT_EQ(ReadFrames(pcap, back), source) << path;
        ++checked;
    }
    EXPECT_GE(checked, 12);
}

TEST(CorpusXRayPeek, PrefixesOfRealFilesReadToACleanEnd) {
    REQUIRE_CORPUS();
    TempDir dir;
    Engine e;
    const std::string source = corpus + "/pcap/HSRP_election.pcap";
    ASSERT_TRUE(e.Convert(source, dir.file("ep.pkt"), FMT_EP));
    ASSERT_TRUE(e.Convert(corpus + "/pcap/HDLC.pcap", dir.file("wp.wpc"), FMT_WP));
    struct Case {
        std::string path;
        bool netxray;
    };
    for (const Case& c : {Case{corpus + "/peer/HSRP_election.netxray.cap", true},
                          Case{dir.file("ep.pkt"), false}, Case{dir.file("wp.wpc"), false}}) {
        const auto bytes = ReadFile(c.path);
        for (size_t n = 0; n < bytes.size(); n += 1 + n / 64) {
            const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<long>(n));
            for (bool compressed : {false, true}) {
                const std::string cut = dir.file("cut");
                compressed ? WriteGzipFile(cut, prefix) : WriteFile(cut, prefix);
                NetXRayReader xr;
                PeekReader peek;
                TraceReader& reader = c.netxray ? static_cast<TraceReader&>(xr) : peek;
                for (const auto& f : ReadFrames(reader, cut)) {
                    ASSERT_LE(static_cast<int32_t>(f.bytes.size()), f.frameLength)
                        << c.path << " " << n;
                }
            }
        }
    }
}

}  // namespace
}  // namespace translator
