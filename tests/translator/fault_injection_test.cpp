// Failing disks and disappearing sources: a conversion that cannot write all
// its output reports failure, finishes what fits, and never touches the source.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/files.h"
#include "support/pcap_builder.h"
#include "translator/conversion.h"

namespace translator {
namespace {

using namespace testsupport;

const std::string kSample = std::string(TRANSLATOR_SOURCE_DIR) + "/samples/office-lan.pcap";

TEST(FaultInjection, FullDiskFailsEveryWriter) {
    const auto before = ReadFile(kSample);
    Conversion c;
    DetectResult* detected = c.engine.Detect(kSample);
    ASSERT_NE(detected, nullptr);
    const std::vector<int> targets = detected->targets;
    ASSERT_GE(targets.size(), 10u);
    for (int format : targets) {
        EXPECT_FALSE(c.engine.ConvertFile(kSample, "/dev/full", format, c.options))
            << FormatCode(format);
        const std::string messages = c.quiet.Messages() != nullptr ? c.quiet.Messages() : "";
        EXPECT_TRUE(messages.rfind("Error writing", 0) == 0 ||
                    messages.find("is not found, or it is corrupted") != std::string::npos)
            << FormatCode(format) << ": " << messages;
    }
    EXPECT_EQ(ReadFile(kSample), before);
}

TEST(FaultInjection, UncreatableDestination) {
    Conversion c;
    EXPECT_FALSE(c.engine.ConvertFile(kSample, "/proc/translator-test/out.txt", FMT_TX, c.options));
    EXPECT_STREQ(c.quiet.Messages(),
                 "Error creating file /proc/translator-test/out.txt for writing.\r\n"
                 "(No such file or directory)\r\n");
}

TEST(FaultInjection, ConsoleExitsWithMinusOneOnAFullDisk) {
    int status = 0;
    const std::string out = RunCommand(
        std::string(TRANSLATOR_BIN_DIR) + "/translator " + kSample + " /dev/full N2", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("Error writing file header.\r\n"), std::string::npos);
}

std::string MountTmpfs(const std::string& mountPoint, size_t bytes) {
    return "mount -t tmpfs -o size=" + std::to_string(bytes) + " tmpfs " + mountPoint;
}

// A private mount namespace needs user namespaces (or root) and tmpfs.
bool CanMountPrivateTmpfs(const std::string& mountPoint, std::string* output) {
    int status = 0;
    *output = RunCommand("unshare -rm " + MountTmpfs(mountPoint, 65536) + " 2>&1", &status);
    return status == 0;
}

// The program as a shell command, reading ahead and writing behind or not.
std::string Translator(bool overlapped) {
    return std::string("TRANSLATOR_OVERLAP=") + (overlapped ? "1 " : "0 ") + TRANSLATOR_BIN_DIR +
           "/translator";
}

// Runs the console translator with its destination on a tmpfs of the given
// size, mounted in a private mount namespace, and copies what it wrote to
// kept; the translator's output.
std::string ConvertOntoSmallDisk(const std::string& source, const std::string& mountPoint,
                                 size_t diskBytes, const std::string& code, const std::string& kept,
                                 bool overlapped, int* status) {
    const std::string run =
        Translator(overlapped) + " " + source + " " + mountPoint + "/out " + code;
    return RunCommand("unshare -rm sh -c '" + MountTmpfs(mountPoint, diskBytes) + " && " + run +
                          "; s=$?; cp " + mountPoint + "/out " + kept + "; exit $s' 2>&1",
                      status);
}

int64_t FramesWrittenIn(const std::string& report) {
    const std::string label = "Data Frames Written:  \t";
    const size_t at = report.find(label);
    return at == std::string::npos ? -1 : std::stoll(report.substr(at + label.size()));
}

// About 10 MB: larger than the writers' 4 MiB buffer, so a disk fills both
// while frames are written and at the final flush and header patch, and
// large enough to be read ahead and written behind.
std::string WriteLargeSource(const TempDir& dir) {
    std::vector<PcapRecord> records;
    for (uint32_t i = 0; i < 10000; ++i) {
        records.push_back({1000000000 + i, i * 100, RampFrame(1000, static_cast<uint8_t>(i))});
    }
    const std::string source = dir.file("large.pcap");
    WriteFile(source, PcapFile(0xa1b2c3d4, false, 1, records).data());
    return source;
}

bool WritesItsOwnFile(TranslatorEngine& engine, int format) {
    return dynamic_cast<FileTraceWriter*>(engine.WriterOf(format)) != nullptr;
}

TEST(FaultInjection, ReadingAheadAndWritingBehindChangeNoByteOrMessage) {
    TempDir dir;
    const std::string source = WriteLargeSource(dir);
    Conversion c;
    DetectResult* detected = c.engine.Detect(source);
    ASSERT_NE(detected, nullptr);
    const std::vector<int> targets = detected->targets;
    for (int format : targets) {
        if (!WritesItsOwnFile(c.engine, format)) {
            continue;
        }
        std::vector<uint8_t> output[2];
        std::string messages[2];
        for (bool overlapped : {false, true}) {
            SetOverlappedTransfers(overlapped);
            EXPECT_TRUE(c.Convert(source, format)) << FormatCode(format);
            output[overlapped] = c.Output();
            messages[overlapped] = c.quiet.Messages() != nullptr ? c.quiet.Messages() : "";
        }
        EXPECT_EQ(output[0], output[1]) << FormatCode(format);
        EXPECT_EQ(messages[0], messages[1]) << FormatCode(format);
    }
    SetOverlappedTransfers(true);
}

TEST(FaultInjection, AFailingReadIsMetAtTheSameFrameWhenReadAhead) {
    TempDir dir;
    const std::string source = WriteLargeSource(dir);
    std::string report[2];
    std::vector<uint8_t> output[2];
    for (bool overlapped : {false, true}) {
        const std::string destination = dir.file(overlapped ? "ahead.snoop" : "plain.snoop");
        int status = 0;
        report[overlapped] = RunCommand(
            "ASAN_OPTIONS=verify_asan_link_order=0 FAULT_READ_OFFSET=4700000 LD_PRELOAD=" +
                std::string(READ_FAULT_SHIM) + " " + Translator(overlapped) + " " + source + " " +
                destination + " SO",
            &status);
        report[overlapped].erase(report[overlapped].find(destination), destination.size());
        output[overlapped] = ReadFile(destination);
        EXPECT_EQ(FramesWrittenIn(report[overlapped]), FramesReadBack(destination));
    }
    EXPECT_LT(FramesWrittenIn(report[0]), 10000) << report[0];
    EXPECT_EQ(report[0], report[1]);
    EXPECT_EQ(output[0], output[1]);
}

TEST(FaultInjection, NearlyFullDiskFailsEveryWriterAndFinishesWhatFits) {
    TempDir dir;
    const std::string source = WriteLargeSource(dir);
    const std::string mountPoint = dir.file("disk");
    ASSERT_EQ(mkdir(mountPoint.c_str(), 0700), 0);
    std::string probe;
    if (!CanMountPrivateTmpfs(mountPoint, &probe)) {
        GTEST_SKIP() << "no private tmpfs mounts on this machine: " << probe;
    }

    const auto sourceBytes = ReadFile(source);
    Conversion c;
    DetectResult* detected = c.engine.Detect(source);
    ASSERT_NE(detected, nullptr);
    const std::vector<int> targets = detected->targets;
    for (int format : targets) {
        const std::string code = FormatCode(format);
        const bool ownFile = WritesItsOwnFile(c.engine, format);
        ASSERT_TRUE(c.Convert(source, format)) << code;
        const size_t fullSize = ReadFile(c.dir.file("out")).size();
        for (size_t disk : {size_t{64} << 10, (fullSize & ~size_t{4095}) - 4096}) {
            int status = 0;
            const std::string kept = dir.file("kept");
            // Writing behind meets the full disk at the same frame.
            const std::string plain =
                ConvertOntoSmallDisk(source, mountPoint, disk, code, kept, false, &status);
            const auto plainBytes = ReadFile(kept);
            const std::string output =
                ConvertOntoSmallDisk(source, mountPoint, disk, code, kept, true, &status);
            EXPECT_EQ(output, plain) << code << " on " << disk << " bytes";
            EXPECT_EQ(ReadFile(kept), plainBytes) << code << " on " << disk << " bytes";
            EXPECT_EQ(status, 255) << code << " on " << disk << " bytes: " << output;
            EXPECT_NE(output.find("Error"), std::string::npos)
                << code << " on " << disk << " bytes: " << output;
            // Writers that write their files themselves finish what fits;
            // the run-time libraries keep their own files.
            if (ownFile && c.engine.ReaderOf(format) != nullptr) {
                const int64_t reported = FramesWrittenIn(output);
                EXPECT_GT(reported, 0) << code << " on " << disk << " bytes: " << output;
                EXPECT_EQ(FramesReadBack(kept), reported) << code << " on " << disk << " bytes";
            }
        }
    }
    EXPECT_EQ(ReadFile(source), sourceBytes);
}

TEST(FaultInjection, ReadOnlyFilesystemGivesTheCreationMessage) {
    TempDir dir;
    const std::string mountPoint = dir.file("disk");
    ASSERT_EQ(mkdir(mountPoint.c_str(), 0700), 0);
    std::string probe;
    if (!CanMountPrivateTmpfs(mountPoint, &probe)) {
        GTEST_SKIP() << "no private tmpfs mounts on this machine: " << probe;
    }
    int status = 0;
    const std::string output = RunCommand(
        "unshare -rm sh -c 'mount -t tmpfs -o ro tmpfs " + mountPoint + " && " +
            TRANSLATOR_BIN_DIR + "/translator " + kSample + " " + mountPoint + "/out.cap N2' 2>&1",
        &status);
    EXPECT_EQ(status, 255) << output;
    EXPECT_NE(output.find("Error creating file " + mountPoint +
                          "/out.cap for writing.\r\n(Read-only file system)\r\n"),
              std::string::npos)
        << output;
}

// Cuts the source short once the conversion has opened it.
class ShrinkingSink : public ConsoleProgress {
public:
    ShrinkingSink(std::string path, off_t length)
        : ConsoleProgress(fopen("/dev/null", "w")), path_(std::move(path)), length_(length) {}
    void Progress(const TraceInfo& info, const char* text) override {
        if (text != nullptr && !done_) {
            done_ = truncate(path_.c_str(), length_) == 0;
        }
        ConsoleProgress::Progress(info, text);
    }

private:
    std::string path_;
    off_t length_;
    bool done_ = false;
};

TEST(FaultInjection, SourceThatVanishes) {
    TempDir dir;
    const std::string source = dir.file("vanishing.pcap");
    // Converted by path, it is recognised again; from the detection, it is
    // the file recognised, held open since.
    for (bool byPath : {true, false}) {
        WriteFile(source, ReadFile(kSample));
        Conversion c;
        // Recognised, then removed before the conversion starts.
        const DetectResult* detected = c.engine.Detect(source);
        ASSERT_NE(detected, nullptr);
        ASSERT_EQ(unlink(source.c_str()), 0);
        EXPECT_EQ(byPath ? c.engine.ConvertFile(source, dir.file("out.txt"), FMT_TX, c.options)
                         : c.engine.ConvertFile(*detected, dir.file("out.txt"), FMT_TX, c.options),
                  !byPath);
        if (byPath) {
            EXPECT_STREQ(
                c.quiet.Messages(),
                "Source file does not exist, or the translator cannot recognize its format.\r\n");
        }
        EXPECT_EQ(FileExists(dir.file("out.txt")), !byPath);
    }
}

TEST(FaultInjection, SourceThatShrinksDuringTheConversionEndsCleanly) {
    TempDir dir;
    const std::string source = dir.file("shrinking.pcap");
    for (off_t length : {off_t{0}, off_t{24}, off_t{1000}}) {
        WriteFile(source, ReadFile(kSample));
        TranslatorEngine engine;
        ShrinkingSink sink(source, length);
        engine.SetSink(&sink);
        ConvertOptions options;
        EXPECT_TRUE(engine.ConvertFile(source, dir.file("out.txt"), FMT_TX, options)) << length;
    }
}

}  // namespace
}  // namespace translator
