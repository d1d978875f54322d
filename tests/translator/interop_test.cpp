// Real captures: the corpus pcaps, the same packets written by an independent
// converter, and text2pcap reading our HexDump output.
#include <gtest/gtest.h>

#include <filesystem>

#include "console/console_progress.h"
#include "engine/engine.h"
#include "formats/tcpdump/tcpdump.h"
#include "support/files.h"
#include "translator/conversion.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace testsupport;

std::string BaseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

#define REQUIRE_CORPUS()                                               \
    const std::string corpus = CorpusDir();                            \
    if (corpus.empty()) {                                              \
        GTEST_SKIP() << "no capture corpus at " TRANSLATOR_CORPUS_DIR; \
    }

TEST(CorpusInterop, PeerVariantsGiveTheFramesOfTheirSource) {
    REQUIRE_CORPUS();
    int compared = 0;
    for (const char* suffix : {".modpcap", ".nsec.pcap", ".rh61.pcap"}) {
        for (const auto& variant : ListFiles(corpus + "/peer", suffix)) {
            const std::string name = BaseName(variant);
            const std::string source =
                corpus + "/pcap/" + name.substr(0, name.size() - strlen(suffix)) + ".pcap";
            TcpdumpReader reader;
            bool opened = false;
            auto frames = ReadFrames(reader, variant, &opened);
            if (!opened) {
                continue;
            }
            auto expected = ReadFrames(reader, source);
            ASSERT_FALSE(expected.empty()) << source;
            EXPECT_EQ(frames, expected) << variant;
            ++compared;
        }
    }
    // Every modified and nanosecond variant is read.
    EXPECT_GE(compared, 22);
}

// Every pcap is recognised; those of a link type the reader does not take
// (ARCNET, corrupt values) give no frames and are refused by name.
TEST(CorpusInterop, ReaderTakesItsLinkTypesAndRefusesOthersByName) {
    REQUIRE_CORPUS();
    int read = 0;
    int refused = 0;
    for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
        TcpdumpReader reader;
        bool opened = false;
        auto frames = ReadFrames(reader, path, &opened);
        const std::string name = BaseName(path);
        EXPECT_TRUE(opened) << name;
        if (!frames.empty() || name == "empty.pcap") {
            ++read;
            continue;
        }
        Conversion c;
        EXPECT_FALSE(c.Convert(path, FMT_TX)) << name;
        const std::string message = c.quiet.Messages();
        EXPECT_EQ(message.rfind("tcpdump/libpcap link type ", 0), 0u) << name << ": " << message;
        EXPECT_NE(message.find(" is not supported.\r\n"), std::string::npos) << name;
        ++refused;
    }
    EXPECT_GE(read, 60);
    EXPECT_EQ(refused, 5);
}

// Linux cooked, loopback, raw IP and radiotap captures: every frame is read,
// as many as capinfos -c counts, and the frames survive a round trip through
// the formats their interface allows.
TEST(CorpusInterop, RebuiltLinkTypesReadWholeAndConvert) {
    REQUIRE_CORPUS();
    const std::pair<const char*, size_t> files[] = {
        {"babel.pcap", 25},
        {"forces2.pcap", 75},
        {"RADIUS-RFC4675.pcap", 6},
        {"isis-infinite-loop.pcap", 5},
        {"bgp-infinite-loop.pcap", 5},
        {"quic_handshake.pcap", 18},
        {"ospf-gmpls.pcap", 3},
        {"LINKTYPE_IPV4.pcap", 1},
        {"LINKTYPE_IPV6.pcap", 1},
        {"ipv6_mobility_1.pcap", 16},
        {"ieee802.11_meshid.pcap", 3},
        {"ieee802.11_rx-stbc.pcap", 3},
        {"reason_code-0.pcap", 1},
        {"status_code-1.pcap", 1},
    };
    for (const auto& [name, count] : files) {
        const std::string path = corpus + "/today/pcap/" + name;
        TcpdumpReader reader;
        bool opened = false;
        const auto frames = ReadFrames(reader, path, &opened);
        ASSERT_TRUE(opened) << name;
        EXPECT_EQ(reader.LastReadStatus(), TraceReader::ReadStatus::End) << name;
        EXPECT_EQ(frames.size(), count) << name;
        EXPECT_NE(reader.info.frameOrigin, ORIGIN_AS_STORED) << name;
        const bool wireless = reader.info.interfaceType == IF_802_11;
        const std::vector<int> formats =
            wireless ? std::vector<int>{FMT_AP, FMT_OB} : std::vector<int>{FMT_N2, FMT_SO, FMT_XR};
        for (int format : formats) {
            Conversion there;
            ASSERT_TRUE(there.Convert(path, format)) << name << " " << FormatName(format);
            Conversion back;
            ASSERT_TRUE(back.Convert(there.dir.file("out"), FMT_TD)) << name;
            EXPECT_EQ(back.OutputFrames().size(), count) << name << " " << FormatName(format);
        }
    }
}

// The text2pcap command of a HexDump file's second line, without its "# ".
std::string HexDumpCommand(const std::string& path) {
    const auto bytes = ReadFile(path);
    const std::string text(bytes.begin(), bytes.end());
    const size_t start = text.find("\r\n# ");
    const size_t end = start == std::string::npos ? start : text.find("\r\n", start + 2);
    return end == std::string::npos ? "" : text.substr(start + 4, end - start - 4);
}

TEST(CorpusInterop, HexDumpGoesBackThroughText2pcap) {
    REQUIRE_CORPUS();
    if (!HaveTool("text2pcap") || !HaveTool("editcap")) {
        GTEST_SKIP() << "text2pcap or editcap is not installed";
    }
    TempDir dir;
    TranslatorEngine engine;
    ConsoleProgress quiet(fopen("/dev/null", "w"));
    engine.SetSink(&quiet);
    ConvertOptions options;
    int checked = 0;
    for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
        TcpdumpReader reader;
        reader.options.pcapfcs = true;  // the bytes as stored
        auto source = ReadFrames(reader, path);
        if (reader.info.interfaceType != IF_ETHERNET ||
            reader.info.frameOrigin != ORIGIN_AS_STORED || source.empty()) {
            continue;
        }
        const std::string text = dir.file(BaseName(path) + ".txt");
        const std::string back = dir.file(BaseName(path) + ".back.pcap");
        ASSERT_TRUE(engine.ConvertFile(path, text, FMT_TX, options)) << path;
        // The command exactly as the dump's second line gives it; text2pcap
        // writes pcapng, which editcap turns into pcap for the reader.
        std::string command = HexDumpCommand(text);
        ASSERT_FALSE(command.empty()) << path;
        command.replace(command.find("inputfile"), 9, text);
        command.replace(command.find("outputfile"), 10, back + ".pcapng");
        int status = -1;
        RunCommand(command + " 2>&1 && editcap -F pcap " + back + ".pcapng " + back + " 2>&1",
                   &status);
        ASSERT_EQ(status, 0) << path;
        // Every captured byte; the text holds no line length.
        std::vector<FrameSummary> expected;
        for (auto& f : source) {
            if (!f.bytes.empty()) {
                f.frameLength = static_cast<int32_t>(f.bytes.size());
                expected.push_back(f);
            }
        }
        EXPECT_EQ(ReadFrames(reader, back), expected) << path;
        ++checked;
    }
    EXPECT_GE(checked, 39);
}

TEST(CorpusInterop, FramesLongerThan64KiBGoBackToPcapByteForByte) {
    REQUIRE_CORPUS();
    const std::string source = corpus + "/today/pcap/bigtcp-ipv4.pcap";
    if (!std::filesystem::exists(source)) {
        GTEST_SKIP() << "no " << source;
    }
    TempDir dir;
    TranslatorEngine engine;
    ConsoleProgress quiet(fopen("/dev/null", "w"));
    engine.SetSink(&quiet);
    ASSERT_TRUE(engine.ConvertFile(source, dir.file("back.pcap"), FMT_TD, {}));
    TcpdumpReader reader;
    const auto frames = ReadFrames(reader, source);
    ASSERT_FALSE(frames.empty());
    EXPECT_GT(frames[0].bytes.size(), 65535u);
    EXPECT_EQ(ReadFrames(reader, dir.file("back.pcap")), frames);
}

TEST(CorpusInterop, EveryPrefixReadsToACleanEnd) {
    REQUIRE_CORPUS();
    TempDir dir;
    const std::string cut = dir.file("prefix.pcap");
    for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
        const auto bytes = ReadFile(path);
        std::vector<size_t> lengths;
        if (bytes.size() <= 4096) {
            for (size_t n = 0; n < bytes.size(); ++n)
                lengths.push_back(n);
        } else {
            for (size_t i = 0; i < 200; ++i)
                lengths.push_back(bytes.size() * i / 200);
        }
        for (size_t n : lengths) {
            WriteFile(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
            TcpdumpReader reader;
            bool opened = false;
            auto frames = ReadFrames(reader, cut, &opened);
            for (const auto& f : frames) {
                ASSERT_LE(static_cast<int32_t>(f.bytes.size()), f.frameLength) << path << " " << n;
            }
        }
    }
}

}  // namespace
}  // namespace translator
