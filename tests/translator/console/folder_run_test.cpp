// Folder runs and outcomes of the translator run as a process: collision
// naming, subfolders, warnings about damaged sources and --strict.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/snoop_builder.h"
#include "translator/console/console_frames.h"

namespace translator {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

std::vector<uint8_t> Pcap() {
    return PcapFile(0xA1B2C3D4, false, 1, kFrames).data();
}

std::vector<uint8_t> Snoop() {
    return SnoopFile(4, {{1213853938, 538217, RampFrame(64)}, {1213853939, 5, RampFrame(90)}})
        .data();
}

// Runs the built program in dir, without a settings file.
std::string Translate(const TempDir& dir, const std::string& arguments, int* status) {
    return RunCommand("cd " + dir.path() +
                          " && TZ=UTC " TRANSLATOR_BIN_DIR "/translator --no-settings " + arguments,
                      status);
}

size_t Find(const std::string& text, const std::string& part) {
    const size_t at = text.find(part);
    EXPECT_NE(at, std::string::npos) << part;
    return at;
}

TEST(FolderRun, LaterSourcesNeverOverwriteAnOutputOrASource) {
    TempDir dir;
    fs::create_directory(dir.file("src"));
    WriteText(dir.file("src/R.a"), "not a capture");
    WriteFile(dir.file("src/R.pcap"), Pcap());
    WriteFile(dir.file("src/R.snoop"), Snoop());
    WriteFile(dir.file("src/R.snoop.NetMon.cap"), Pcap());
    WriteFile(dir.file("src/a.NetMon.cap"), Pcap());
    WriteFile(dir.file("src/a.pcap"), Pcap());
    int status = -1;

    // R.a, not recognised, takes no name; R.snoop keeps its extension.
    std::string out = Translate(dir, "src out N2", &status);
    EXPECT_EQ(status, 0);
    const size_t note =
        Find(out,
             "R.NetMon.cap is already written in this run; writing "
             "R.snoop.NetMon.cap instead.\r\nSource File:          \tsrc/R.snoop\r\n");
    EXPECT_LT(Find(out, "Dest. File:           \tout/R.NetMon.cap\r\n"), note);
    EXPECT_EQ(out.find("writing a."), std::string::npos);
    for (const char* name : {"R.NetMon.cap", "R.snoop.NetMon.cap", "R.snoop.NetMon.NetMon.cap",
                             "a.NetMon.cap", "a.NetMon.NetMon.cap"}) {
        EXPECT_TRUE(FileExists(dir.file("out/") + name)) << name;
    }

    // Into its own folder: the sources of the run are never written over, and
    // a name taken both ways gets a counter.
    out = Translate(dir, "src src N2", &status);
    EXPECT_EQ(status, 0);
    Find(out,
         "R.NetMon.cap is already written in this run; writing R.snoop.2.NetMon.cap "
         "instead.\r\n");
    Find(out, "a.NetMon.cap is a source file of this run; writing a.pcap.NetMon.cap instead.\r\n");
    Find(out, "5 files are converted to NetMon (Microsoft, SMS 2.0) format successfully.\r\n");
    EXPECT_EQ(ReadFile(dir.file("src/a.NetMon.cap")), Pcap());
    EXPECT_EQ(ReadFile(dir.file("src/R.snoop.NetMon.cap")), Pcap());
    EXPECT_TRUE(FileExists(dir.file("src/R.snoop.2.NetMon.cap")));
}

TEST(FolderRun, RecursiveRunMirrorsTheTree) {
    TempDir dir;
    fs::create_directories(dir.file("src/a/deep"));
    fs::create_directories(dir.file("src/b"));
    WriteFile(dir.file("src/top.pcap"), Pcap());
    WriteFile(dir.file("src/a/deep/y.pcap"), Pcap());
    WriteFile(dir.file("src/b/x.pcap"), Pcap());
    WriteText(dir.file("src/b/notes.txt"), "not a capture");
    fs::create_directory_symlink("a", dir.file("src/link"));
    int status = -1;

    std::string out = Translate(dir, "--recursive src out TX", &status);
    EXPECT_EQ(status, 0);
    // A folder's files, then its subfolders, in name order; the link to a
    // folder is not followed.
    EXPECT_LT(Find(out, "src/top.pcap"), Find(out, "src/a/deep/y.pcap"));
    EXPECT_LT(Find(out, "src/a/deep/y.pcap"), Find(out, "src/b/notes.txt"));
    EXPECT_LT(Find(out, "src/b/notes.txt"), Find(out, "src/b/x.pcap"));
    EXPECT_EQ(out.find("src/link"), std::string::npos);
    Find(out,
         "3 files are converted to HexDump (Ascii) format successfully.\r\n"
         "1 file is not converted.\r\n");
    for (const char* name : {"top.HexDump.txt", "a/deep/y.HexDump.txt", "b/x.HexDump.txt"}) {
        EXPECT_TRUE(FileExists(dir.file("out/") + name)) << name;
    }
    EXPECT_FALSE(fs::exists(dir.file("out/link")));

    out = Translate(dir, "src flat TX", &status);
    Find(out,
         "1 file is converted to HexDump (Ascii) format successfully.\r\n"
         "0 file is not converted.\r\n");
    EXPECT_FALSE(fs::exists(dir.file("flat/a")));
}

TEST(Outcome, DamagedSourceWarnsAndStrictTurnsWarningsAndFailuresIntoStatus2) {
    TempDir dir;
    std::vector<uint8_t> cut = Pcap();
    cut.resize(cut.size() - 3);
    WriteFile(dir.file("cut.pcap"), cut);
    WriteFile(dir.file("whole.pcap"), Pcap());
    int status = -1;

    const std::string out = Translate(dir, "cut.pcap cut.txt TX", &status);
    EXPECT_EQ(status, 0);
    Find(out,
         "Data Frames Written:  \t2\r\n"
         "Non Data Frames Read: \t0\r\n"
         "Frame Bytes Read:     \t272 bytes\r\n"
         "Trace Duration:       \t00:00:01.408046\r\n"
         "Warning: the file ends inside frame 3: its data needs 70 bytes, 67 are left; "
         "2 frames were converted.\r\n\r\n");
    EXPECT_EQ(Translate(dir, "--strict cut.pcap cut.txt TX", &status), out);
    EXPECT_EQ(status, 2);
    Translate(dir, "--strict whole.pcap whole.txt TX", &status);
    EXPECT_EQ(status, 0);
    Translate(dir, "--strict --pcap-swapped=0 whole.pcap other.pcap TD", &status);
    EXPECT_EQ(status, 255);

    fs::create_directory(dir.file("src"));
    WriteFile(dir.file("src/whole.pcap"), Pcap());
    Translate(dir, "--strict src out TX", &status);
    EXPECT_EQ(status, 0);
    WriteText(dir.file("src/notes.txt"), "not a capture");
    Translate(dir, "src out TX", &status);
    EXPECT_EQ(status, 0);
    Translate(dir, "src out TX --strict", &status);
    EXPECT_EQ(status, 2);
}

TEST(FolderRun, FilesConvertedAtOnceReportAsOneAtATime) {
    TempDir dir;
    fs::create_directory(dir.file("src"));
    // A long file first, so that later ones finish before it; enough frames
    // for progress dots, which run on across files.
    std::vector<PcapRecord> many;
    for (uint32_t i = 0; i < 3000; ++i) {
        many.push_back({1213853938 + i / 1000, i % 1000, RampFrame(60 + i % 900), 0});
    }
    WriteFile(dir.file("src/A.pcap"), PcapFile(0xA1B2C3D4, false, 1, many).data());
    std::vector<uint8_t> cut =
        PcapFile(0xA1B2C3D4, false, 1, {many.begin(), many.begin() + 100}).data();
    cut.resize(cut.size() - 5);
    WriteFile(dir.file("src/B.pcap"), cut);
    WriteFile(dir.file("src/B.x"), Pcap());
    WriteText(dir.file("src/C.txt"), "not a capture");
    WriteFile(dir.file("src/D.snoop"), Snoop());
    for (int i = 0; i < 6; ++i) {
        WriteFile(dir.file("src/E" + std::to_string(i) + ".pcap"),
                  PcapFile(0xA1B2C3D4, false, 1, {many.begin(), many.begin() + 90 * i}).data());
    }
    int status = -1;
    const std::string once = Translate(dir, "--strict --jobs 1 src out SO", &status);
    EXPECT_EQ(status, 2);
    Find(once, "B.Sun.snoop is already written in this run; writing B.x.Sun.snoop instead.");
    Find(once, "Warning: the file ends inside frame 100");
    Find(once, "src/C.txt is not a recognized data file format.");
    Find(once, "src/D.snoop is already in Snoop (Sun) file format.");
    const std::vector<uint8_t> longest = ReadFile(dir.file("out/A.Sun.snoop"));
    for (const char* jobs : {"2", "5"}) {
        fs::remove_all(dir.file("out"));
        EXPECT_EQ(Translate(dir, std::string("--strict src out SO --jobs ") + jobs, &status), once);
        EXPECT_EQ(status, 2);
        EXPECT_EQ(ReadFile(dir.file("out/A.Sun.snoop")), longest);
    }
    EXPECT_EQ(Translate(dir, "--jobs 0 src out SO", &status),
              "Option --jobs takes a number of files from 1 to 256, not '0'.\r\n");
    EXPECT_EQ(status, 255);
}

// Every file below folder, by its path there, with its bytes.
std::map<std::string, std::vector<uint8_t>> Tree(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path().string());
        }
    }
    return files;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Shards run with any --jobs, the whole run with its default.
class ShardedRun : public testing::TestWithParam<const char*> {};

TEST_P(ShardedRun, ThreeShardsTogetherAreTheWholeRun) {
    TempDir dir;
    fs::create_directories(dir.file("src/sub"));
    // Listed as R.a, R.pcap, R.snoop, R.snoop.x, sub/x.pcap, sub/x.snoop,
    // sub/y.pcap: the names of R.snoop.x (shard 0) hang on R.snoop (shard 2),
    // whose names hang on R.pcap (shard 1).
    WriteText(dir.file("src/R.a"), "not a capture");
    WriteFile(dir.file("src/R.pcap"), Pcap());
    WriteFile(dir.file("src/R.snoop"), Snoop());
    WriteFile(dir.file("src/R.snoop.x"), Pcap());
    WriteFile(dir.file("src/sub/x.pcap"), Pcap());
    WriteFile(dir.file("src/sub/x.snoop"), Snoop());
    WriteFile(dir.file("src/sub/y.pcap"), Pcap());
    int status = -1;
    Translate(dir, "-r --report-json whole.json src out N2", &status);
    ASSERT_EQ(status, 0);
    const auto whole = Tree(dir.file("out"));
    ASSERT_EQ(whole.count("R.snoop.x.NetMon.cap"), 1u);
    ASSERT_EQ(whole.count("sub/x.snoop.NetMon.cap"), 1u);
    std::vector<std::string> wholeLines = Lines(ReadText(dir.file("whole.json")));
    EXPECT_EQ(wholeLines[0],
              "{\"source\":\"src/R.a\",\"destination\":null,\"format\":null,\"frames\":0,"
              "\"outcome\":\"failed\",\"warnings\":[\"src/R.a is not a recognized data file "
              "format.\"]}");

    fs::remove_all(dir.file("out"));
    std::vector<std::string> shardLines;
    for (const char* shard : {"0/3", "1/3", "2/3"}) {
        Translate(dir,
                  std::string("-r --jobs ") + GetParam() + " --shard " + shard +
                      " --report-json part.json src out N2",
                  &status);
        EXPECT_EQ(status, 0) << shard;
        const std::vector<std::string> lines = Lines(ReadText(dir.file("part.json")));
        shardLines.insert(shardLines.end(), lines.begin(), lines.end());
    }
    EXPECT_EQ(Tree(dir.file("out")), whole);
    std::sort(wholeLines.begin(), wholeLines.end());
    std::sort(shardLines.begin(), shardLines.end());
    EXPECT_EQ(shardLines, wholeLines);
}

INSTANTIATE_TEST_SUITE_P(Jobs, ShardedRun, testing::Values("1", "2"));

}  // namespace
}  // namespace translator
