// The console's streams as a process sees them: "-" for standard input and
// output, where the report goes, --quiet, progress on a terminal, interrupts
// and the reason a destination cannot be created.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/folders.h"
#include "common/byte_order.h"
#include "engine/format_table.h"
#include "support/files.h"
#include "support/pcap_builder.h"

namespace translator {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

const char kProgram[] = TRANSLATOR_BIN_DIR "/translator";

// A folder to run in, whose tmp folder is the program's $TMPDIR.
struct Console {
    TempDir dir;

    Console() { fs::create_directory(dir.file("tmp")); }

    std::string Command(const std::string& arguments) const {
        return std::string(kProgram) + " --no-settings " + arguments;
    }
    // A shell line run in the folder; its standard output.
    std::string Shell(const std::string& line, int* status) const {
        return RunCommand("cd " + dir.path() + " && TZ=UTC TMPDIR=" + dir.file("tmp") + " && " +
                              "export TZ TMPDIR && " + line,
                          status);
    }
    std::string Run(const std::string& arguments, int* status) const {
        return Shell(Command(arguments), status);
    }
    void Capture(const std::string& name, size_t frames = 3) const {
        std::vector<PcapRecord> records;
        for (size_t i = 0; i < frames; ++i) {
            records.push_back({1213853938, static_cast<uint32_t>(i), RampFrame(60 + i % 200), 0});
        }
        WriteFile(dir.file(name), PcapFile(0xA1B2C3D4, false, 1, records).data());
    }
};

TEST(Pipes, DashReadsStandardInputAndWritesStandardOutput) {
    Console c;
    c.Capture("in.pcap");
    int status = -1;
    c.Run("in.pcap direct.snoop SO", &status);
    c.Run("direct.snoop direct.pcap TD", &status);
    const bool tshark = HaveTool("tshark");
    const std::string reader =
        tshark ? "tshark -r - -T fields -e frame.len 2>/dev/null" : "cat >/dev/null";
    const std::string listing =
        c.Shell("cat in.pcap | " + c.Command("- - SO") + " 2>first.txt | " + c.Command("- - TD") +
                    " 2>second.txt | tee piped.pcap | " + reader,
                &status);
    EXPECT_EQ(status, 0);
    // Standard output carries the capture alone, byte for byte as through
    // files but for the snapshot length (big-endian): streamed, the longest
    // frame is not known when the header goes out.
    std::vector<uint8_t> direct = ReadFile(c.dir.file("direct.pcap"));
    ASSERT_GT(direct.size(), 24u);
    const uint8_t largestSnapshot[] = {0x00, 0x04, 0x00, 0x00};
    std::copy(largestSnapshot, largestSnapshot + 4, direct.begin() + 16);
    EXPECT_EQ(ReadFile(c.dir.file("piped.pcap")), direct);
    for (const char* report : {"first.txt", "second.txt"}) {
        const std::string text = ReadText(c.dir.file(report));
        EXPECT_EQ(text.rfind("Source File:          \t-\r\n", 0), 0u) << text;
        EXPECT_NE(text.find("Dest. File:           \t-\r\nConverting ...\r\n"), std::string::npos)
            << text;
        EXPECT_NE(text.find("Data Frames Written:  \t3\r\n"), std::string::npos) << text;
    }
    EXPECT_TRUE(fs::is_empty(c.dir.file("tmp")));
    if (!tshark) {
        GTEST_SKIP() << "tshark is not installed: the pipeline's end was not read by it";
    }
    EXPECT_EQ(listing, "60\n61\n62\n");
}

// Frames of a pcap arriving on standard input come out on standard output
// before the input ends, plain or compressed, byte for byte as through files.
TEST(Pipes, FramesFlowThroughWhileTheSourceIsStillOpen) {
    Console c;
    c.Capture("in.pcap", 200);
    int status = -1;
    c.Run("in.pcap direct.snoop SO", &status);
    const std::vector<uint8_t> capture = ReadFile(c.dir.file("in.pcap"));
    const std::vector<uint8_t> direct = ReadFile(c.dir.file("direct.snoop"));
    for (const auto& source :
         {capture, InParts(GzipMember, capture, 4096), InParts(ZstdFrame, capture, 4096)}) {
        int in[2], out[2];
        ASSERT_EQ(pipe(in), 0);
        ASSERT_EQ(pipe(out), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
            for (int fd : {in[0], in[1], out[0], out[1]}) {
                close(fd);
            }
            execl(kProgram, kProgram, "--no-settings", "-", "-", "SO", nullptr);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        const size_t half = source.size() / 2;
        ASSERT_EQ(write(in[1], source.data(), half), static_cast<ssize_t>(half));
        // The header, then the first record and its frame, while the input is open.
        std::vector<uint8_t> piped;
        uint8_t block[65536];
        pollfd ready{out[0], POLLIN, 0};
        while (piped.size() < 16 + 24 + 60 && poll(&ready, 1, 10000) == 1) {
            const ssize_t got = read(out[0], block, sizeof block);
            ASSERT_GT(got, 0);
            piped.insert(piped.end(), block, block + got);
        }
        EXPECT_GE(piped.size(), 16u + 24 + 60);
        ASSERT_EQ(write(in[1], source.data() + half, source.size() - half),
                  static_cast<ssize_t>(source.size() - half));
        close(in[1]);
        for (ssize_t got; (got = read(out[0], block, sizeof block)) > 0;) {
            piped.insert(piped.end(), block, block + got);
        }
        close(out[0]);
        waitpid(pid, &status, 0);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(piped, direct);
    }
}

// A reader that closes standard output early stops the conversion; the
// report counts the frames that reached the pipe.
TEST(Pipes, ClosedStandardOutputStopsTheConversion) {
    Console c;
    c.Capture("in.pcap", 20000);
    int status = -1;
    c.Shell("{ " + c.Command("- - SO") + " <in.pcap 2>report.txt; echo $? >status.txt; }" +
                " | head -c 200000 >head.bin",
            &status);
    EXPECT_EQ(ReadText(c.dir.file("status.txt")), "255\n");
    const std::string report = ReadText(c.dir.file("report.txt"));
    const size_t label = report.find("Data Frames Written:  \t");
    ASSERT_NE(label, std::string::npos) << report;
    const int written = std::stoi(report.substr(label + 23));
    // Every snoop record that head got whole had reached the pipe.
    const std::vector<uint8_t> received = ReadFile(c.dir.file("head.bin"));
    int whole = 0;
    for (size_t at = 16; at + 24 <= received.size(); ++whole) {
        at += byte_order::LoadBE32(received.data() + at + 8);
        if (at > received.size()) {
            break;
        }
    }
    EXPECT_GT(whole, 0);
    EXPECT_GE(written, whole);
    EXPECT_LT(written, 20000);
    EXPECT_EQ(report.substr(report.size() - 48),
              "Error writing standard output (Broken pipe).\r\n\r\n");
}

TEST(Pipes, WithDashDestinationEveryTextGoesToStandardError) {
    Console c;
    c.Capture("in.pcap");
    fs::create_directory(c.dir.file("src"));
    struct Case {
        const char* arguments;
        const char* report;
    } cases[] = {
        {"in.pcap - TD --pcap-swapped=0",
         "in.pcap is already in tcpdump/libpcap file format.\r\n\r\n"},
        {"--bogus in.pcap - TD",
         "Unknown option '--bogus'. translator --help lists the options.\r\n"},
        {"in.pcap - ZZ", "Unknown format 'ZZ'. translator --list-formats lists the formats.\r\n"},
        {"src - TD", "src is a folder; standard output (-) takes a single file.\r\n"},
        {"in.pcap - SO /offsetfile",
         "The offset file needs a destination file; - writes standard output.\r\n"},
        {"missing - TD",
         "The source file or directory does not exist, or it does not have any data files.\r\n"},
    };
    for (const Case& test : cases) {
        int status = 0;
        EXPECT_EQ(c.Run(std::string(test.arguments) + " 2>report.txt", &status), "")
            << test.arguments;
        EXPECT_EQ(status, 255) << test.arguments;
        const std::string report = ReadText(c.dir.file("report.txt"));
        EXPECT_NE(report.find(test.report), std::string::npos) << test.arguments << ": " << report;
    }
    EXPECT_TRUE(fs::is_empty(c.dir.file("tmp")));
}

TEST(Console, QuietPrintsErrorsOnly) {
    Console c;
    c.Capture("in.pcap");
    int status = -1;
    EXPECT_EQ(c.Run("-q in.pcap out.txt TX", &status), "");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(FileExists(c.dir.file("out.txt")));
    EXPECT_EQ(c.Run("in.pcap out.pcap TD --quiet --pcap-swapped=0", &status),
              "in.pcap is already in tcpdump/libpcap file format.\r\n");
    EXPECT_EQ(status, 255);
    EXPECT_EQ(
        c.Run("-q in.pcap no/such/out.txt TX", &status),
        "Error creating file no/such/out.txt for writing.\r\n(No such file or directory)\r\n");
    // In a folder run each text names its file.
    fs::create_directory(c.dir.file("src"));
    c.Capture("src/a.pcap");
    WriteText(c.dir.file("src/notes.txt"), "not a capture");
    std::vector<uint8_t> cut = ReadFile(c.dir.file("src/a.pcap"));
    cut.resize(cut.size() - 10);
    WriteFile(c.dir.file("src/cut.pcap"), cut);
    EXPECT_EQ(c.Run("-q src out TX --jobs 2", &status),
              "src/cut.pcap: Warning: the file ends inside frame 3: its data needs 62 bytes, 52 "
              "are left; 2 frames were converted.\r\n"
              "src/notes.txt is not a recognized data file format.\r\n");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(FileExists(c.dir.file("out/a.HexDump.txt")));
}

TEST(Console, ProgressOnATerminalIsOneLineOfPercentages) {
    if (!HaveTool("script")) {
        GTEST_SKIP() << "script is not installed: no terminal to run on";
    }
    Console c;
    c.Capture("in.pcap", 400);
    int status = -1;
    const std::string out =
        c.Shell("script -qec '" + c.Command("in.pcap out.txt TX") + "' /dev/null", &status);
    EXPECT_EQ(status, 0);
    // The terminal adds a "\r" before each "\n".
    EXPECT_NE(out.find("\r\n\rConverting ... 0%\rConverting ... 1%"), std::string::npos) << out;
    EXPECT_NE(out.find("\rConverting ... 100%\r\r\nConversion completed:"), std::string::npos)
        << out;
    EXPECT_EQ(out.find("Converting ...\r"), std::string::npos) << out;
    EXPECT_EQ(out.find(".\r"), std::string::npos) << out;
}

TEST(Console, UncreatableDestinationGivesTheSystemsReason) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root creates files in read-only folders";
    }
    Console c;
    c.Capture("in.pcap");
    fs::create_directory(c.dir.file("locked"));
    chmod(c.dir.file("locked").c_str(), 0555);
    int status = 0;
    const std::string out = c.Run("in.pcap locked/out.txt TX", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(
        out.find("Error creating file locked/out.txt for writing.\r\n(Permission denied)\r\n\r\n"),
        std::string::npos)
        << out;
}

constexpr int kLargeFrames = 200000;

// About 300 MB of 1500-byte frames: enough to still be converting when a
// signal is sent.
void WriteLargeCapture(const std::string& path) {
    constexpr int kBlockFrames = 1000;
    const std::vector<uint8_t> block =
        PcapFile(0xA1B2C3D4, false, 1,
                 std::vector<PcapRecord>(kBlockFrames, {1213853938, 0, RampFrame(1500), 0}))
            .data();
    FILE* out = fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    constexpr size_t kHeader = 24;
    fwrite(block.data(), 1, block.size(), out);
    for (int i = 1; i < kLargeFrames / kBlockFrames; ++i) {
        fwrite(block.data() + kHeader, 1, block.size() - kHeader, out);
    }
    ASSERT_EQ(fclose(out), 0);
}

// Bytes in the hidden file that a conversion writes before it becomes output.
uintmax_t StagedBytes(const std::string& output) {
    const fs::path path(output);
    const std::string prefix = "." + path.filename().string() + ".";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(path.parent_path(), error)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) {
            return entry.file_size(error);
        }
    }
    return 0;
}

// Runs the program on arguments in folder and sends it signal once output is
// being written; its exit status (-1 when it did not exit), its report in *report.
int RunInterrupted(const std::string& folder, const std::vector<std::string>& arguments,
                   const std::string& output, int signal, std::string* report) {
    const std::string reportPath = folder + "/report.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(reportPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || chdir(folder.c_str()) != 0 || dup2(fd, STDOUT_FILENO) < 0) {
            _exit(126);
        }
        std::vector<char*> argv{const_cast<char*>(kProgram), const_cast<char*>("--no-settings")};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(kProgram, argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (StagedBytes(output) > 0) {
            kill(pid, signal);
            waitpid(pid, &status, 0);
            break;
        }
        usleep(200);
    }
    *report = ReadText(reportPath);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Interrupt, EndsTheRunAfterTheConversionUnderWay) {
    Console c;
    fs::create_directory(c.dir.file("src"));
    WriteLargeCapture(c.dir.file("src/a.pcap"));
    fs::copy_file(c.dir.file("src/a.pcap"), c.dir.file("src/a2.pcap"));
    c.Capture("src/b.pcap");
    const std::string allWritten = "Data Frames Written:  \t" + std::to_string(kLargeFrames);
    const std::string tail = "\r\nCanceled by user\r\n";
    auto endsWithCancel = [&tail](const std::string& report) {
        return report.size() >= tail.size() &&
               report.compare(report.size() - tail.size(), tail.size(), tail) == 0;
    };

    // SIGINT, SIGTERM and SIGHUP: the cut file's outcome says so, and the
    // output is a capture of exactly the frames reported written.
    const std::pair<int, int> signals[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
    for (const auto& [signal, status] : signals) {
        SCOPED_TRACE(signal);
        WriteText(c.dir.file("a.snoop"), "an earlier output");
        std::string report;
        EXPECT_EQ(RunInterrupted(c.dir.path(), {"src/a.pcap", "a.snoop", "SO"},
                                 c.dir.file("a.snoop"), signal, &report),
                  status);
        EXPECT_EQ(report.find("Conversion completed:"), std::string::npos) << report;
        EXPECT_EQ(report.find(allWritten), std::string::npos) << report;
        EXPECT_TRUE(endsWithCancel(report)) << report;
        const size_t label = report.find("Canceled by user\r\nData Frames Written:  \t");
        ASSERT_NE(label, std::string::npos) << report;
        const size_t number = label + 41;
        const std::string written = report.substr(number, report.find('\r', number) - number);
        EXPECT_NE(RunCommand(std::string(kProgram) + " --info --json " + c.dir.file("a.snoop"))
                      .find("\"frames\":" + written + ",\"non_data_frames\":0"),
                  std::string::npos);
        if (signal == SIGINT && HaveTool("tshark")) {
            EXPECT_EQ(RunCommand("tshark -r " + c.dir.file("a.snoop") +
                                 " -T fields -e frame.number | wc -l"),
                      written + "\n");
        }
    }

    // Killed outright, it leaves the earlier output as it was.
    WriteText(c.dir.file("a.snoop"), "an earlier output");
    std::string report;
    RunInterrupted(c.dir.path(), {"src/a.pcap", "a.snoop", "SO"}, c.dir.file("a.snoop"), SIGKILL,
                   &report);
    EXPECT_EQ(ReadText(c.dir.file("a.snoop")), "an earlier output");

    // A folder run begins no further file and leaves out the totals; with
    // two files at once, each file cut short says so.
    const std::string output = "out/" + ConvertedName("a.pcap", FormatSuffix(FMT_SO));
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        fs::remove_all(c.dir.file("out"));
        EXPECT_EQ(RunInterrupted(c.dir.path(), {"src", "out", "SO", "--jobs", jobs},
                                 c.dir.file(output), SIGINT, &report),
                  130);
        EXPECT_EQ(report.find(allWritten), std::string::npos) << report;
        EXPECT_EQ(report.find("src/b.pcap"), std::string::npos) << report;
        EXPECT_EQ(report.find("converted"), std::string::npos) << report;
        EXPECT_EQ(report.find("Conversion completed:"), std::string::npos) << report;
        EXPECT_TRUE(endsWithCancel(report)) << report;
        EXPECT_TRUE(FileExists(c.dir.file(output)));
    }
}

}  // namespace
}  // namespace translator
