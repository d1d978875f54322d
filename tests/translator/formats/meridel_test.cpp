// The Trellan and Ostrel bridge: conversions of real captures through
// libMeridelDLL.so, record parsing and building, hostile blocks, messages
// and memory.
#include "formats/meridel/meridel.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <filesystem>

#include "common/byte_order.h"
#include "console/console_progress.h"
#include "engine/engine.h"
#include "formats/tcpdump/tcpdump.h"
#include "support/files.h"
#include "support/meridel_exports.h"
#include "support/pcap_builder.h"
#include "translator/frames.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's own count of heap bytes in use (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace translator {
namespace {

using namespace byte_order;
using namespace testsupport;

FILE* Quiet() {
    static FILE* devnull = fopen("/dev/null", "w");
    return devnull;
}

std::string BaseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// Frames of a pcap as the tcpdump reader gives them, with the trace it describes.
std::vector<FrameSummary> PcapFrames(const std::string& path, TraceInfo* info = nullptr) {
    TcpdumpReader reader;
    auto frames = ReadFrames(reader, path);
    if (info != nullptr) {
        *info = reader.info;
    }
    // As the conversion loop hands them on.
    for (auto& f : frames) {
        f.seconds += f.microseconds / 1000000;
        f.microseconds %= 1000000;
    }
    return frames;
}

struct ReadBack {
    TraceInfo info;
    std::vector<FrameSummary> frames;
    std::vector<uint16_t> flags;
    std::vector<bool> nonData;
    bool opened = false;
};

ReadBack ReadMeridel(const std::string& path, ProgressSink* sink = nullptr) {
    AnalyzerTraceReader reader;
    ConsoleProgress quiet(Quiet());
    reader.SetSink(sink != nullptr ? sink : &quiet);
    ReadBack back;
    back.opened = reader.Open(path);
    if (back.opened) {
        while (reader.ReadFrame()) {
            reader.info.Accumulate(reader.frame);
            const FrameRecord& f = reader.frame;
            back.frames.push_back(Summary(f));
            back.flags.push_back(f.flags);
            back.nonData.push_back(f.nonData);
        }
        back.info = reader.info;
    }
    reader.Close();
    reader.SetSink(nullptr);
    return back;
}

bool Convert(const std::string& source, const std::string& destination, int format,
             const ConvertOptions& options = {}, std::string* messages = nullptr) {
    TranslatorEngine engine;
    ConsoleProgress quiet(Quiet());
    engine.SetSink(&quiet);
    const bool ok = engine.ConvertFile(source, destination, format, options);
    if (messages != nullptr) {
        *messages = quiet.Messages() != nullptr ? quiet.Messages() : "";
    }
    engine.SetSink(nullptr);
    return ok;
}

#define REQUIRE_CORPUS()                                               \
    const std::string corpus = CorpusDir();                            \
    if (corpus.empty()) {                                              \
        GTEST_SKIP() << "no capture corpus at " TRANSLATOR_CORPUS_DIR; \
    }

// Cut frames longer on the line than a 16-bit field holds keep its largest value.
std::vector<FrameSummary> WithLineLengthsOf16Bits(std::vector<FrameSummary> frames) {
    for (auto& f : frames) {
        f.frameLength = std::min(f.frameLength, 0xFFFF);
    }
    return frames;
}

TEST(MeridelCorpus, EthernetCapturesSurviveOstrelAndTrellan) {
    REQUIRE_CORPUS();
    TempDir dir;
    int checked = 0;
    for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
        TraceInfo source;
        const auto expected = PcapFrames(path, &source);
        if (source.interfaceType != IF_ETHERNET || expected.empty()) {
            continue;
        }
        for (int format : {FMT_OS, FMT_TL}) {
            const std::string middle = dir.file(BaseName(path) + FormatSuffix(format));
            const std::string back = dir.file(BaseName(path) + ".back.pcap");
            std::string messages;
            ASSERT_TRUE(Convert(path, middle, format, {}, &messages)) << path << messages;
            const auto wanted = WithLineLengthsOf16Bits(expected);
            const ReadBack read = ReadMeridel(middle);
            EXPECT_EQ(read.info.format, format);
            EXPECT_EQ(read.info.interfaceType, IF_ETHERNET);
            EXPECT_EQ(read.info.totalFrames, static_cast<int64_t>(expected.size()));
            EXPECT_EQ(read.frames, wanted) << path << " via " << FormatCode(format);
            ASSERT_TRUE(Convert(middle, back, FMT_TD)) << path;
            EXPECT_EQ(PcapFrames(back), wanted) << path << " via " << FormatCode(format);
        }
        ++checked;
    }
    EXPECT_GE(checked, 39);
}

TEST(MeridelCorpus, SerialCapturesKeepEncapsulationTimesAndBytes) {
    REQUIRE_CORPUS();
    TempDir dir;
    int checked = 0;
    for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
        TraceInfo source;
        auto expected = PcapFrames(path, &source);
        if (source.wanType == WAN_NONE || expected.empty()) {
            continue;
        }
        for (int format : {FMT_OS, FMT_TL}) {
            const std::string middle = dir.file(BaseName(path) + FormatSuffix(format));
            std::string messages;
            const bool converted = Convert(path, middle, format, {}, &messages);
            // Ostrel serial records count time from the first frame's second onwards.
            const uint64_t start = expected.front().seconds * 1000000ull;
            const bool unwritable =
                format == FMT_OS &&
                std::any_of(expected.begin(), expected.end(), [&](const FrameSummary& f) {
                    return f.seconds * 1000000ull + f.microseconds < start;
                });
            if (unwritable) {
                EXPECT_FALSE(converted) << path;
                EXPECT_NE(messages.find(" is earlier than the first frame; "), std::string::npos)
                    << path << messages;
                continue;
            }
            ASSERT_TRUE(converted) << path << messages;
            const ReadBack read = ReadMeridel(middle);
            EXPECT_EQ(read.info.wanType, source.wanType) << path;
            auto wanted = WithLineLengthsOf16Bits(expected);
            if (format == FMT_OS) {
                // Length-framed records keep no separate line length.
                for (auto& f : wanted) {
                    f.frameLength = static_cast<int32_t>(f.bytes.size());
                }
            }
            EXPECT_EQ(read.frames, wanted) << path << " via " << FormatCode(format);
            const std::string back = dir.file(BaseName(path) + ".back.pcap");
            ASSERT_TRUE(Convert(middle, back, FMT_TD)) << path;
            TraceInfo backInfo;
            EXPECT_EQ(PcapFrames(back, &backInfo), wanted) << path;
            EXPECT_EQ(backInfo.wanType, source.wanType) << path;
        }
        ++checked;
    }
    // PPP, Frame Relay and HDLC captures.
    EXPECT_GE(checked, 12);
}

TEST(MeridelCorpus, AtmCapturesBecomeCells) {
    REQUIRE_CORPUS();
    TempDir dir;
    int checked = 0;
    for (const auto& path : ListFiles(corpus + "/pcap", ".pcap")) {
        TraceInfo source;
        const auto frames = PcapFrames(path, &source);
        if (!IsAtm(source) || frames.empty()) {
            continue;
        }
        const std::string cells = dir.file(BaseName(path) + ".dat");
        ASSERT_TRUE(Convert(path, cells, FMT_OS)) << path;
        const ReadBack read = ReadMeridel(cells);
        EXPECT_EQ(read.info.interfaceType, IF_ATM_OC3);
        ASSERT_EQ(read.frames.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            auto cell = frames[i].bytes;
            cell.resize(53);
            EXPECT_EQ(read.frames[i].bytes, cell);
            const uint64_t micros = frames[i].seconds * 1000000ull + frames[i].microseconds;
            EXPECT_EQ(read.frames[i].seconds, micros / 1000000);
            EXPECT_EQ(read.frames[i].microseconds, micros % 1000000);
        }
        ++checked;
    }
    EXPECT_GE(checked, 2);
}

TEST(MeridelRecords, ArcnetIsRefusedByBothModules) {
    TraceInfo arcnet;
    arcnet.interfaceType = IF_ARCNET;
    TraceInfo ethernet;
    ethernet.interfaceType = IF_ETHERNET;
    for (int format : {FMT_TL, FMT_OS}) {
        EXPECT_FALSE(AnalyzerTraceReader().Supports(format, arcnet));
        EXPECT_FALSE(AnalyzerTraceWriter().Supports(format, arcnet));
        EXPECT_TRUE(AnalyzerTraceWriter().Supports(format, ethernet));
    }
    EXPECT_FALSE(AnalyzerTraceWriter().Supports(FMT_TD, ethernet));
    TempDir dir;
    WriteFile(dir.file("arcnet.pcap"),
              PcapFile(0xA1B2C3D4, false, 7, {{1000, 1, RampFrame(40), 0}}).data());
    std::string messages;
    EXPECT_FALSE(Convert(dir.file("arcnet.pcap"), dir.file("a.dat"), FMT_OS, {}, &messages));
    EXPECT_EQ(messages, "The source format is not compatible with Ostrel (Veltrix).\r\n");
}

struct TestFrame {
    uint32_t seconds;
    uint32_t microseconds;
    uint16_t flags;
    std::vector<uint8_t> bytes;
};

// Writes frames straight through the writer, as the conversion loop would.
bool WriteFrames(const std::string& path, int format, TraceInfo info,
                 const std::vector<TestFrame>& frames, ConvertOptions options = {}) {
    AnalyzerTraceWriter writer;
    ConsoleProgress quiet(Quiet());
    writer.SetSink(&quiet);
    bool ok = writer.Create(path, format, options) && writer.WriteHeader(info);
    for (const auto& f : frames) {
        FrameRecord record;
        record.SetData(f.bytes.data(), static_cast<int32_t>(f.bytes.size()));
        record.frameLength = record.capturedLength = static_cast<int32_t>(f.bytes.size());
        record.seconds = f.seconds;
        record.microseconds = f.microseconds;
        record.flags = f.flags;
        info.Accumulate(record);
        ok = ok && writer.WriteFrame(info, record);
    }
    ok = ok && writer.FinishFile(info);
    writer.Close();
    writer.SetSink(nullptr);
    return ok;
}

TraceInfo Trace(int interfaceType, int wanType = WAN_NONE, int32_t lineRate = 0) {
    TraceInfo info;
    info.format = FMT_TD;
    info.interfaceType = interfaceType;
    info.wanType = wanType;
    info.lineRate = lineRate;
    return info;
}

TEST(MeridelRecords, ErrorsAndDirectionsComeBack) {
    const std::vector<uint8_t> bytes = RampFrame(64);
    const std::vector<TestFrame> frames = {
        {1200000000, 10, 0, bytes},
        {1200000000, 20, FRAME_CRC_ERROR, bytes},
        {1200000001, 30, FRAME_OTHER_ERROR | FRAME_DIR_LN, bytes},
        {1200000002, 40, FRAME_DIR_EQ, bytes},
    };
    struct Case {
        int format;
        TraceInfo info;
        std::vector<uint16_t> flags;
    };
    const Case cases[] = {
        // Layout 12: CRC errors only.
        {FMT_OS, Trace(IF_ETHERNET, WAN_NONE, 10000000), {0, FRAME_CRC_ERROR, 0, 0}},
        // Layout 1 on a LAN: CRC errors; every frame gets a direction.
        {FMT_TL,
         Trace(IF_ETHERNET),
         {FRAME_DIR_EQ, FRAME_CRC_ERROR | FRAME_DIR_EQ, FRAME_DIR_LN, FRAME_DIR_EQ}},
        // Layout 1 on a serial line: both error classes.
        {FMT_TL,
         Trace(IF_WAN, WAN_PPP),
         {FRAME_DIR_EQ, FRAME_CRC_ERROR | FRAME_DIR_EQ, FRAME_OTHER_ERROR | FRAME_DIR_LN,
          FRAME_DIR_EQ}},
        // Layout 3.
        {FMT_OS,
         Trace(IF_WAN, WAN_FRAME_RELAY),
         {FRAME_DIR_LN, FRAME_CRC_ERROR | FRAME_DIR_LN, FRAME_OTHER_ERROR | FRAME_DIR_LN,
          FRAME_DIR_EQ}},
        // Layout 12 on an Ostrel HSSI line: both error classes.
        {FMT_OS, Trace(IF_HSSI, WAN_HDLC), {0, FRAME_CRC_ERROR, FRAME_OTHER_ERROR, 0}},
        // Cells carry only the direction.
        {FMT_OS, Trace(IF_ATM_OC3), {FRAME_DIR_EQ, FRAME_DIR_EQ, FRAME_DIR_LN, FRAME_DIR_EQ}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.file("flags.dat");
        ASSERT_TRUE(WriteFrames(path, c.format, c.info, frames)) << FormatCode(c.format);
        const ReadBack read = ReadMeridel(path);
        ASSERT_EQ(read.frames.size(), frames.size());
        EXPECT_EQ(read.flags, c.flags) << FormatCode(c.format) << " " << c.info.interfaceType;
        for (size_t i = 0; i < frames.size(); ++i) {
            const uint64_t micros = frames[i].seconds * 1000000ull + frames[i].microseconds;
            EXPECT_EQ(read.frames[i].seconds, micros / 1000000);
            EXPECT_EQ(read.frames[i].microseconds, micros % 1000000);
        }
    }
}

TEST(MeridelRecords, ConfigurationFollowsTheTrace) {
    MeridelExports lib;
    ASSERT_TRUE(lib.Loaded());
    struct Case {
        int format;
        TraceInfo info;
        uint32_t typeCode;
        int32_t fileType, fileKind, lineCode, interfaceCode;
        uint32_t media;
    };
    const Case cases[] = {
        {FMT_OS, Trace(IF_ETHERNET, WAN_NONE, 10000000), 0x21000721, 8, 3, 10, 108, 2},
        {FMT_OS, Trace(IF_ETHERNET, WAN_NONE, 100000000), 0x21000721, 8, 3, 10, 108, 7},
        {FMT_OS, Trace(IF_TOKEN_RING, WAN_NONE, 16000000), 0x21000721, 8, 3, 13, 111, 4},
        {FMT_OS, Trace(IF_HSSI, WAN_HDLC), 0x21000721, 8, 3, 16, 204, 0},
        {FMT_OS, Trace(IF_WAN, WAN_PPP), 0x21001121, 5, 3, 3, 304, 0},
        {FMT_OS, Trace(IF_E1, WAN_X25), 0x21000f21, 2, 3, 4, 303, 0},
        {FMT_OS, Trace(IF_ATM_E3), 0x21000a21, 7, 3, 2, 200, 0},
        {FMT_TL, Trace(IF_WAN, WAN_PPP), 0x21001721, 8, 0, 3, 304, 0},
        {FMT_TL, Trace(IF_ETHERNET), 0x21001721, 8, 0, 10, 108, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.file("config.dat");
        ASSERT_TRUE(WriteFrames(path, c.format, c.info, {{1200000000, 0, 0, RampFrame(64)}}))
            << c.info.interfaceType;
        uint32_t count = 0;
        FileConfigInfo config{};
        CaptureFileHandle* handle = lib.open(path.c_str(), &count, &config);
        ASSERT_NE(handle, nullptr);
        const auto file = ReadFile(path);
        EXPECT_EQ(LoadLE32(file.data()), c.typeCode) << c.info.interfaceType;
        EXPECT_EQ(config.fileType, c.fileType);
        EXPECT_EQ(config.fileKind, c.fileKind);
        EXPECT_EQ(config.lineCode, c.lineCode);
        EXPECT_EQ(config.interfaceCode, c.interfaceCode);
        EXPECT_EQ(config.startTime, 1200000000u);
        EXPECT_STREQ(config.description, "Converted From tcpdump/libpcap");
        if (c.fileKind == 3) {
            ASSERT_EQ(config.extensionLength, 32);
            EXPECT_EQ(LoadLE32(config.extension + 4), 1200000000u);
            EXPECT_EQ(LoadLE32(config.extension + 16), c.media);
        }
        lib.release(config.extension);
        lib.close(handle);
    }

    // Interfaces without a line code cannot be written.
    std::string messages;
    for (const TraceInfo& info : {Trace(IF_802_11), Trace(IF_DS3, WAN_PPP)}) {
        AnalyzerTraceWriter writer;
        ConsoleProgress sink(Quiet());
        writer.SetSink(&sink);
        ConvertOptions options;
        ASSERT_TRUE(writer.Create(dir.file("none.dat"), FMT_OS, options));
        EXPECT_FALSE(writer.WriteHeader(info));
        EXPECT_EQ(std::string(sink.Messages()),
                  "Cannot create file " + dir.file("none.dat") + ".\r\n");
        EXPECT_FALSE(FileExists(dir.file("none.dat")));
        writer.Close();
        writer.SetSink(nullptr);
    }
}

TEST(MeridelRecords, SlicingIsTheSnapshotLength) {
    TempDir dir;
    const std::string source = dir.file("in.pcap");
    WriteFile(source, PcapFile(0xA1B2C3D4, false, 1,
                               {{1000, 1, RampFrame(200), 0}, {1001, 2, RampFrame(60), 0}})
                          .data());
    ConvertOptions options;
    options.slice = true;
    options.bytes = 64;
    const std::string path = dir.file("sliced.dat");
    ASSERT_TRUE(Convert(source, path, FMT_OS, options));
    MeridelExports lib;
    uint32_t count = 0;
    FileConfigInfo config{};
    CaptureFileHandle* handle = lib.open(path.c_str(), &count, &config);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(config.extensionLength, 32);
    EXPECT_EQ(LoadLE32(config.extension + 20), 64u);
    lib.release(config.extension);
    lib.close(handle);
    const ReadBack read = ReadMeridel(path);
    ASSERT_EQ(read.frames.size(), 2u);
    EXPECT_EQ(read.frames[0].frameLength, 204);  // with the FCS the pcap frame lacked
    EXPECT_EQ(read.frames[0].bytes, RampFrame(64));
    EXPECT_EQ(read.frames[1].bytes, WithFcs(RampFrame(60)));
}

std::vector<uint8_t> Layout3(uint16_t total, uint8_t status = 0, size_t dataBytes = SIZE_MAX) {
    const size_t n = dataBytes != SIZE_MAX ? dataBytes : total >= 13 ? total - 13u : 0;
    return Bytes()
        .le16(total)
        .u8(status)
        .u8(0)
        .le32(15)
        .le16(0)
        .ramp(n)
        .le16(total)
        .u8(status)
        .data();
}

TEST(MeridelRecords, HostileBlocksEndWithoutReadingPastThem) {
    TempDir dir;
    const auto ppp = MeridelConfigObject(121, 0, {}, 3, 304);
    const auto lan = MeridelConfigObject(121, 0, {}, 10, 108);
    const auto good = Layout3(20);
    const auto twoGood = Bytes().append(good).append(good).data();
    struct Case {
        const char* what;
        Bytes file;
        size_t frames;
    };
    const Case cases[] = {
        {"whole blocks", MeridelFile(0x21001121, ppp, 3, 3, 2, {{twoGood}, {good}}), 3},
        {"length 0 ends its block only",
         MeridelFile(0x21001121, ppp, 3, 4, 3,
                     {{Bytes().append(good).append(Layout3(0, 0, 0)).append(good).data()}, {good}}),
         2},
        {"length below the header",
         MeridelFile(0x21001121, ppp, 3, 2, 2,
                     {{Bytes().append(good).append(Layout3(5, 0, 0)).data()}}),
         1},
        {"length past the block",
         MeridelFile(0x21001121, ppp, 3, 2, 2, {{Bytes().append(good).le16(500).zeros(30).data()}}),
         1},
        {"more records than bytes", MeridelFile(0x21001121, ppp, 3, 50, 50, {{good}}), 1},
        {"layout 12 data past the block",
         MeridelFile(0x21000721, lan, 12, 1, 100,
                     {{Bytes().zeros(14).le16(1000).zeros(20).data()}}),
         0},
        {"block size past the file", MeridelFile(0x21001121, ppp, 3, 1, 100, {{good, 0, 100}}), 0},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file("hostile.dat");
        WriteFile(path, c.file.data());
        const ReadBack read = ReadMeridel(path);
        ASSERT_TRUE(read.opened) << c.what;
        EXPECT_EQ(read.frames.size(), c.frames) << c.what;
        for (const auto& f : read.frames) {
            EXPECT_EQ(f.bytes, RampFrame(7)) << c.what;
            // 15 ticks of 100 ns after the start.
            EXPECT_EQ(f.microseconds, 1u);
            EXPECT_EQ(f.nanoseconds, 500u);
        }
    }
}

TEST(MeridelRecords, TrellanHeaderOnlyRecordsAndOversizedFrames) {
    TempDir dir;
    const auto config = MeridelConfigObject(121, 0, {}, 3, 304);
    const auto frame = Bytes()
                           .u8(1)
                           .u8(1)
                           .zeros(2)
                           .le32(2)
                           .le32(1200000005)
                           .le32(123456789)
                           .le32(4)
                           .le32(4)
                           .le32(0x02)
                           .zeros(12)
                           .le32(0xDDCCBBAA)
                           .data();
    const auto marker = Bytes().u8(2).zeros(15).le32(50000).zeros(20).data();
    const std::string path = dir.file("trellan.dat");
    WriteFile(path, MeridelFile(0x21001721, config, 1, 2, 100,
                                {{Bytes().append(marker).append(frame).data()}})
                        .data());
    const ReadBack read = ReadMeridel(path);
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.info.format, FMT_TL);
    EXPECT_EQ(read.info.wanType, WAN_PPP);
    ASSERT_EQ(read.frames.size(), 2u);
    EXPECT_TRUE(read.nonData[0]);
    EXPECT_FALSE(read.nonData[1]);
    EXPECT_EQ(read.frames[1].seconds, 1200000005u);
    EXPECT_EQ(read.frames[1].microseconds, 123456u);
    EXPECT_EQ(read.frames[1].nanoseconds, 789u);
    EXPECT_EQ(read.frames[1].bytes, (std::vector<uint8_t>{0xAA, 0xBB, 0xCC, 0xDD}));
    EXPECT_EQ(read.flags[1], FRAME_CRC_ERROR | FRAME_DIR_LN);

    const auto tooLong = Bytes().u8(1).u8(1).zeros(14).le32(262149).le32(262149).zeros(16).data();
    WriteFile(path, MeridelFile(0x21001721, config, 1, 2, 100,
                                {{Bytes().append(frame).append(tooLong).data()}})
                        .data());
    ConsoleProgress sink(Quiet());
    EXPECT_EQ(ReadMeridel(path, &sink).frames.size(), 1u);
    EXPECT_STREQ(sink.Messages(), "Frame 2 data size exceeds maxiumum bytes allowed.\r\n");
    // The frames before it are converted, but the conversion fails.
    TranslatorEngine engine;
    ConsoleProgress quiet(Quiet());
    engine.SetSink(&quiet);
    EXPECT_FALSE(engine.ConvertFile(path, dir.file("out.pcap"), FMT_TD, {}));
    EXPECT_STREQ(quiet.Messages(), "Frame 2 data size exceeds maxiumum bytes allowed.\r\n");
    TcpdumpReader written;
    EXPECT_EQ(ReadFrames(written, dir.file("out.pcap")).size(), 1u);
}

TEST(MeridelRecords, ClosingNoticeComesPastTenThousandFrames) {
    TempDir dir;
    for (uint32_t n : {10000u, 10001u}) {
        std::vector<PcapRecord> records(n, PcapRecord{1000, 0, RampFrame(60), 0});
        const std::string source = dir.file("many.pcap");
        WriteFile(source, PcapFile(0xA1B2C3D4, false, 1, records).data());
        const std::string report = dir.file("report.txt");
        FILE* out = fopen(report.c_str(), "w");
        TranslatorEngine engine;
        ConsoleProgress sink(out);
        engine.SetSink(&sink);
        EXPECT_TRUE(engine.ConvertFile(source, dir.file("many.dat"), FMT_OS, {}));
        engine.SetSink(nullptr);
        fclose(out);
        EXPECT_EQ(ReadText(report).find("Closing file ...\r\n") != std::string::npos, n > 10000);
    }
    EXPECT_EQ(AnalyzerTraceWriter().MaxFrames(), 6553500);
}

// A copy of the translator in a folder of its own, beside the library given.
std::string RunIsolatedTranslator(const TempDir& dir, const std::string& library,
                                  const std::string& arguments) {
    const std::string program = dir.file("translator");
    std::filesystem::copy_file(TRANSLATOR_BIN_DIR "/translator", program,
                               std::filesystem::copy_options::overwrite_existing);
    if (!library.empty()) {
        std::filesystem::copy_file(library, dir.file("libMeridelDLL.so"),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    return RunCommand("cd " + dir.path() + " && ./translator " + arguments);
}

TEST(MeridelMessages, MissingLibraryAndMissingExport) {
    TempDir dir;
    WriteFile(dir.file("in.pcap"),
              PcapFile(0xA1B2C3D4, false, 1, {{1000, 1, RampFrame(64), 0}}).data());
    std::string output = RunIsolatedTranslator(dir, "", "in.pcap out.dat OS");
    EXPECT_NE(output.find("MeridelDLL.DLL is not found, or it is corrupted.\r\n"),
              std::string::npos)
        << output;
    output = RunIsolatedTranslator(dir, MERIDEL_STUB_DIR "/libMeridelDLL.so", "in.pcap out.dat OS");
    EXPECT_NE(output.find("Incorrect version of MeridelDLL.DLL (CreateMeridelFile not found).\r\n"),
              std::string::npos)
        << output;
    EXPECT_FALSE(FileExists(dir.file("out.dat")));
}

size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

TEST(MeridelMemory, AMillionFramesAreReadOneBlockAtATime) {
    TempDir dir;
    const std::string path = dir.file("million.dat");
    constexpr uint32_t kFrames = 1000000;
    {
        AnalyzerTraceWriter writer;
        ConsoleProgress quiet(Quiet());
        writer.SetSink(&quiet);
        TraceInfo info = Trace(IF_WAN, WAN_PPP);
        ConvertOptions options;
        ASSERT_TRUE(writer.Create(path, FMT_OS, options));
        ASSERT_TRUE(writer.WriteHeader(info));
        FrameRecord record;
        record.SetData(nullptr, 1)[0] = 0x7E;
        record.frameLength = record.capturedLength = 1;
        for (uint32_t i = 0; i < kFrames; ++i) {
            record.seconds = 1200000000 + i / 1000;
            record.microseconds = i % 1000;
            info.Accumulate(record);
            ASSERT_TRUE(writer.WriteFrame(info, record));
        }
        ASSERT_TRUE(writer.FinishFile(info));
        writer.Close();
        writer.SetSink(nullptr);
    }
    ASSERT_GT(ReadFile(path).size(), 14u * kFrames);

    AnalyzerTraceReader reader;
    ConsoleProgress quiet(Quiet());
    reader.SetSink(&quiet);
    const size_t closed = HeapInUse();
    ASSERT_TRUE(reader.Open(path));
    // The open file holds its block index; blocks come and go on top of it.
    const size_t before = HeapInUse();
    size_t peak = 0;
    uint32_t frames = 0;
    while (reader.ReadFrame()) {
        ++frames;
        if (frames % 50 == 0) {
            peak = std::max(peak, HeapInUse());
        }
    }
    reader.Close();
    const size_t after = HeapInUse();
    reader.SetSink(nullptr);
    EXPECT_EQ(frames, kFrames);
    // One block of 100 records is 1,400 bytes; the file holds 14 MB.
    EXPECT_LT(peak - std::min(peak, before), 256u * 1024);
    EXPECT_LE(after, closed + 4096);
}

}  // namespace
}  // namespace translator
