// The translator run as a process: its report, exit status and the files it writes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/folders.h"
#include "support/feldane_builder.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "translator/console/console_frames.h"

namespace translator {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

// A private copy of the program, so that each test has its own settings file.
struct Translator {
    TempDir dir;
    std::string program = dir.file("translator");

    Translator() { fs::copy_file(TRANSLATOR_BIN_DIR "/translator", program); }

    std::string Run(const std::string& arguments, int* status) {
        return RunCommand("cd " + dir.path() + " && TZ=UTC " + program + " " + arguments, status);
    }
    void Settings(const std::string& text) { WriteText(dir.file("translator.config"), text); }
    void Capture(const std::string& name, const std::vector<PcapRecord>& frames = kFrames) {
        WriteFile(dir.file(name), PcapFile(0xA1B2C3D4, false, 1, frames).data());
    }
};

bool IsUsage(const std::string& out) {
    return out.rfind("Usage: Translator [source file or dir] [dest file or dir] [format]\r\n", 0) ==
           0;
}

TEST(CommandLine, UsageAndItsTriggers) {
    Translator t;
    int status = 0;
    const std::string usage = t.Run("a", &status);
    EXPECT_TRUE(IsUsage(usage));
    EXPECT_EQ(status, 255);
    EXPECT_NE(usage.find("  Formats:\r\n    TL = Trellan (Veltrix) (.dat)\r\n    TD = "),
              std::string::npos);
    EXPECT_NE(
        usage.find(
            "    FL = Feldane (Veltrix) (.rec)\r\n    NG = pcapng (.pcapng)\r\nExamples:\r\n"),
        std::string::npos);
    EXPECT_NE(usage.find("  Translator c:\\data_dir c:\\converted_data TL\r\n"), std::string::npos);
    EXPECT_TRUE(IsUsage(t.Run("a b", &status)));
    EXPECT_TRUE(IsUsage(t.Run("a b c d e", &status)));
    for (const char* help : {"/help", "'/?'", "-?", "-help"}) {
        EXPECT_TRUE(IsUsage(t.Run(std::string(help) + " b TD", &status))) << help;
        EXPECT_EQ(status, 255);
    }
}

#ifdef TRANSLATOR_GUI
TEST(CommandLine, WithoutArgumentsTheWindowOpens) {
    Translator t;
    int status = 0;
    // The window runs until the user closes it: still running when the timeout ends it.
    EXPECT_EQ(
        RunCommand("cd " + t.dir.path() + " && QT_QPA_PLATFORM=offscreen timeout 3 " + t.program,
                   &status),
        "");
    EXPECT_EQ(status, 124);
}

TEST(CommandLine, WithoutADisplayTheWindowSaysHowToConvert) {
    Translator t;
    // No display named, and one that does not answer.
    for (const std::string display : {"", "DISPLAY=:987 "}) {
        int status = 0;
        EXPECT_EQ(RunCommand("cd " + t.dir.path() +
                                 " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                 display + t.program + " 2>/dev/null",
                             &status),
                  "The translator window needs a display. From a console: translator SOURCE "
                  "DESTINATION FORMAT (translator --help).\r\n")
            << display;
        EXPECT_EQ(status, 255) << display;
    }
}
#else
TEST(CommandLine, WithoutArgumentsTheWindowIsNotAvailable) {
    Translator t;
    int status = 0;
    EXPECT_EQ(t.Run("", &status), "The translator window is not available in this build.\r\n");
    EXPECT_EQ(status, 255);
}
#endif

TEST(CommandLine, SingleFileReport) {
    Translator t;
    t.Capture("in.pcap");
    int status = -1;
    const std::string out = t.Run("in.pcap out.txt tx", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out,
              "Source File:          \tin.pcap\r\n"
              "Analyzer:             \ttcpdump/libpcap\r\n"
              "Interface:            \tEthernet \r\n"
              "Line Rate:            \t10000000\r\n"
              "File Size:            \t406 bytes\r\n"
              "Dest. File:           \tout.txt\r\n"
              "Converting ...\r\n"
              "Conversion completed:\r\n"
              "Data Frames Written:  \t3\r\n"
              "Non Data Frames Read: \t0\r\n"
              "Frame Bytes Read:     \t346 bytes\r\n"
              "Trace Duration:       \t00:00:01.461784\r\n"
              "\r\n");
    EXPECT_TRUE(FileExists(t.dir.file("out.txt")));
}

TEST(CommandLine, RefusalsAndFailures) {
    Translator t;
    t.Capture("in.pcap");
    int status = 0;
    std::string out = t.Run("in.pcap out.x XX", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("Dest. File:           \tout.x\r\n"
                       "The source format is not compatible with Unknown Analyzer Type.\r\n\r\n"),
              std::string::npos);

    // A copy in the source's own layout.
    out = t.Run("--pcap-swapped=0 in.pcap out.pcap TD", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("in.pcap is already in tcpdump/libpcap file format.\r\n\r\n"),
              std::string::npos);

    out = t.Run("missing.pcap out.txt TX", &status);
    EXPECT_EQ(status, 255);
    EXPECT_EQ(
        out,
        "The source file or directory does not exist, or it does not have any data files.\r\n");

    WriteText(t.dir.file("notes.txt"), "hello");
    out = t.Run("notes.txt out.txt TX", &status);
    EXPECT_EQ(out, "notes.txt is not a recognized data file format.\r\n\r\n");
    EXPECT_EQ(status, 255);

    out = t.Run("in.pcap no/such/folder/out.txt TX", &status);
    EXPECT_NE(out.find("Error creating file no/such/folder/out.txt for writing.\r\n"
                       "(No such file or directory)\r\n\r\n"),
              std::string::npos);
    EXPECT_EQ(status, 255);

    const std::string longName(1100, 'n');
    out = t.Run("in.pcap " + longName + " TX", &status);
    EXPECT_NE(out.find("Error creating file " + longName + " for writing.\r\n"), std::string::npos);
    EXPECT_FALSE(FileExists(t.dir.file(longName.substr(0, 200))));

    out = t.Run("in.pcap ./in.pcap TX", &status);
    EXPECT_NE(out.find("Destination file name must be different from source file name.\r\n"),
              std::string::npos);
    EXPECT_EQ(ReadFile(t.dir.file("in.pcap")), PcapFile(0xA1B2C3D4, false, 1, kFrames).data());
}

TEST(CommandLine, DestinationFolderThatIsAFile) {
    Translator t;
    fs::create_directory(t.dir.file("src"));
    t.Capture("src/a.pcap");
    WriteText(t.dir.file("blocker"), "x");
    int status = 0;
    EXPECT_EQ(t.Run("src blocker/out TX", &status),
              "Destination directory blocker/out not found or cannot be created.\r\n");
    EXPECT_EQ(status, 255);
    EXPECT_EQ(t.Run("src blocker TX", &status),
              "Destination directory blocker not found or cannot be created.\r\n");
}

TEST(CommandLine, FolderRunNamesAndCounts) {
    Translator t;
    fs::create_directory(t.dir.file("src"));
    t.Capture("src/trace.dat");
    t.Capture("src/trace.Tcpdump.pcap");
    t.Capture("src/readme");
    WriteText(t.dir.file("src/notes.txt"), "not a capture");
    fs::create_directory(t.dir.file("src/sub"));
    int status = -1;
    const std::string out = t.Run("src deep/out.d TX", &status);
    EXPECT_EQ(status, 0);
    for (const char* name : {"trace.HexDump.txt", "trace.Tcpdump.HexDump.txt", "readme"}) {
        EXPECT_TRUE(FileExists(t.dir.file("deep/out.d/") + name)) << name;
    }
    const std::string dashes(66, '-');
    EXPECT_EQ(out.rfind(dashes + "\r\n", 0), 0u);
    EXPECT_NE(out.find("\r\n" + dashes +
                       "\r\n3 files are converted to HexDump (Ascii) format "
                       "successfully.\r\n1 file is not converted.\r\n"),
              std::string::npos);
    EXPECT_NE(out.find("src/notes.txt is not a recognized data file format.\r\n\r\n"),
              std::string::npos);
    // Entries in name order.
    EXPECT_LT(out.find("src/notes.txt"), out.find("src/readme"));
    EXPECT_LT(out.find("src/readme"), out.find("src/trace.Tcpdump.pcap"));
    EXPECT_LT(out.find("src/trace.Tcpdump.pcap"), out.find("src/trace.dat"));
}

TEST(CommandLine, FolderRunIntoItsOwnFolderConvertsOnlyWhatWasThere) {
    Translator t;
    fs::create_directory(t.dir.file("src"));
    t.Capture("src/a.pcap");
    t.Capture("src/b.pcap");
    int status = -1;
    const std::string out = t.Run("--pcap-swapped=0 src/ src TD", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("0 file is converted to tcpdump/libpcap format successfully.\r\n"
                       "2 files are not converted.\r\n"),
              std::string::npos);
    EXPECT_NE(out.find("src/a.pcap is already in tcpdump/libpcap file format."), std::string::npos);
}

TEST(CommandLine, OffsetFileSwitchLeavesTextOutputAlone) {
    Translator t;
    t.Capture("in.pcap");
    int status = -1;
    t.Run("in.pcap out.txt TX /OFFSETFILE", &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(FileExists(t.dir.file("out.txt")));
    EXPECT_FALSE(FileExists(t.dir.file("out.txt.offset")));
    t.Run("in.pcap other.txt TX ignored", &status);
    EXPECT_EQ(status, 0);
}

int CountDumpLines(const std::string& text) {
    int lines = 0;
    for (size_t p = text.find("\r\n0000"); p != std::string::npos;
         p = text.find("\r\n0000", p + 1)) {
        ++lines;
    }
    return lines;
}

TEST(CommandLine, SettingsFileGovernsConsoleRuns) {
    Translator t;
    t.Capture("in.pcap");
    t.Settings("slice=1\r\nbytes=64\r\n");
    int status = -1;
    t.Run("in.pcap sliced.txt TX", &status);
    EXPECT_EQ(status, 0);
    // 64 bytes less the FCS: four lines per frame, the last of 12 bytes.
    const std::string sliced = ReadText(t.dir.file("sliced.txt"));
    EXPECT_EQ(CountDumpLines(sliced), 3 * 4);
    EXPECT_EQ(sliced.find("000040 "), std::string::npos);

    t.Settings("convertall=0\r\nconvertfrom=2\r\nconvertto=2\r\n");
    const std::string out = t.Run("in.pcap range.txt TX", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("Data Frames Written:  \t1\r\n"), std::string::npos);
    const std::string range = ReadText(t.dir.file("range.txt"));
    EXPECT_NE(range.find("06/19/2008 05:38:59.946263"), std::string::npos);
    EXPECT_EQ(range.find("05:38:58"), std::string::npos);
}

TEST(CommandLine, SettingsLinesTheirKeysDoNotTakeAreWarnedOfFirst) {
    Translator t;
    t.Capture("in.pcap");
    t.Settings("slice=1\r\nconvertall=maybe\r\nbytes=-5\r\n");
    int status = -1;
    const std::string out = t.Run("in.pcap out.txt TX", &status);
    EXPECT_EQ(status, 0);
    const std::string settings = fs::canonical(t.dir.path()).string() + "/translator.config";
    EXPECT_EQ(out.rfind("Warning: " + settings +
                            " line 2: convertall=maybe is not 0 or 1; taken as 0.\r\n"
                            "Warning: " +
                            settings +
                            " line 3: bytes=-5 is out of range; taken as 100.\r\n"
                            "Warning: " +
                            settings +
                            " line 2: convertall=maybe leaves the range 1-0 empty; taken as "
                            "convertall=1.\r\n"
                            "Source File:",
                        0),
              0u)
        << out;
    EXPECT_NE(out.find("Data Frames Written:  \t3\r\n"), std::string::npos);
    t.Run("in.pcap out.txt TX --strict", &status);
    EXPECT_EQ(status, 2);
}

TEST(CommandLine, PerUserSettingsWhereTheProgramFolderIsReadOnly) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "every folder is writable for root";
    }
    Translator t;
    t.Capture("in.pcap");
    TempDir config;
    const std::string user = config.file("veltrix-translator/translator.config");
    fs::create_directory(config.file("veltrix-translator"));
    WriteText(user, "convertall=yes\r\n");
    ASSERT_EQ(chmod(t.dir.path().c_str(), 0500), 0);
    int status = -1;
    const std::string out =
        RunCommand("cd " + t.dir.path() + " && XDG_CONFIG_HOME=" + config.path() + " " + t.program +
                       " in.pcap " + config.file("out.txt") + " TX",
                   &status);
    chmod(t.dir.path().c_str(), 0700);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.rfind("Warning: " + user + " line 1: convertall=yes", 0), 0u) << out;
}

TEST(CommandLine, FeldaneRecordingToNanosecondPcap) {
    Translator t;
    WriteFile(t.dir.file("capture.rec"),
              FeldaneRecording({FeldaneBlock(1, {FeldaneFrame(1, 1000, 500, RampFrame(60)),
                                                 FeldaneFrame(2, 1000, 400, RampFrame(70))})})
                  .data());
    WriteText(t.dir.file("capture.xml"),
              "<interface index=\"1\" name=\"Port A\" limtype=\"Fast Ethernet\"/>");
    t.Settings("pcapnanoseconds=1\r\npcapbyteswapped=0\r\n");
    int status = -1;
    const std::string out = t.Run("capture.rec out.pcap TD", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("Analyzer:             \tFeldane (Veltrix)\r\n"
                       "Interface:            \tEthernet \r\n"),
              std::string::npos);
    EXPECT_NE(out.find("Notes:                \r\n\r\nVexor 1: Port A (Fast Ethernet)  ** Selected "
                       "for conversion\r\n\r\n"),
              std::string::npos);
    // Merged in time order, with the nanoseconds; the recorder's frames end
    // with their FCS, which pcap files leave out.
    EXPECT_EQ(ReadFile(t.dir.file("out.pcap")),
              PcapFile(0xA1B23C4D, false, 1,
                       {{1000, 400, RampFrame(66), 0}, {1000, 500, RampFrame(56), 0}},
                       PcapLayout::kStandard, 66)
                  .data());
}

TEST(CommandLine, CorpusFolderRun) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) {
        GTEST_SKIP() << "no capture corpus at " TRANSLATOR_CORPUS_DIR;
    }
    Translator t;
    int status = -1;
    const std::string out = t.Run(corpus + "/pcap " + t.dir.file("out") + " TX", &status);
    EXPECT_EQ(status, 0);
    const size_t files = ListFiles(corpus + "/pcap", "").size();
    EXPECT_EQ(files, 69u);
    // Every file is recognised; those of a link type the reader does not take
    // (ARCNET, corrupt values) are refused by name.
    size_t refused = 0;
    for (size_t at = out.find(" is not supported.\r\n"); at != std::string::npos;
         at = out.find(" is not supported.\r\n", at + 1)) {
        ++refused;
    }
    EXPECT_EQ(refused, 5u);
    EXPECT_NE(out.find(std::to_string(files - refused) +
                       " files are converted to HexDump (Ascii) format "
                       "successfully.\r\n" +
                       std::to_string(refused) + " files are not converted.\r\n"),
              std::string::npos);
    EXPECT_NE(out.find("tcpdump/libpcap link type 129 is not supported.\r\n"), std::string::npos);
}

// Texts that scripts read end their lines with LF alone.
TEST(CommandLine, HelpVersionAndFormatList) {
    Translator t;
    int status = -1;
    for (const char* flag : {"--help", "-h"}) {
        const std::string help = t.Run(flag, &status);
        EXPECT_EQ(status, 0) << flag;
        EXPECT_EQ(help.rfind("Usage: Translator [source file or dir] [dest file or dir] [format]\n"
                             "  Formats:\n",
                             0),
                  0u)
            << flag;
        EXPECT_NE(help.find("\n  --range FROM-TO "), std::string::npos) << flag;
        EXPECT_EQ(help.find('\r'), std::string::npos) << flag;
    }
    EXPECT_EQ(t.Run("--version", &status), "translator (Veltrix Translator) 1.0.0\n");
    EXPECT_EQ(status, 0);
    const std::string list = t.Run("--list-formats", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(list.rfind("CODE\tNAME\tEXTENSION\tREAD\tWRITE\n", 0), 0u);
    EXPECT_NE(list.find("\nTD\ttcpdump/libpcap\t.pcap\tyes\tyes\n"), std::string::npos);
    EXPECT_NE(list.find("\nQL\tQuillon (Veltrix)\t.trc\tyes\tno\n"), std::string::npos);
    EXPECT_NE(list.find("\nTX\tHexDump (Ascii)\t.txt\tno\tyes\n"), std::string::npos);
    const std::string written =
        t.Run("--list-formats | awk -F'\\t' '$5==\"yes\" {printf \"%s \", $1}'", &status);
    EXPECT_NE(written.find("TD "), std::string::npos) << written;
    EXPECT_EQ(written.find("QL "), std::string::npos) << written;
}

TEST(CommandLine, FlagsOverrideTheSettingsAnywhereOnTheLine) {
    Translator t;
    t.Capture("in.pcap");
    t.Settings("slice=1\r\nbytes=64\r\n");
    int status = -1;
    const std::string out = t.Run("--range 2-2 in.pcap range.txt --no-settings TX", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("Data Frames Written:  \t1\r\n"), std::string::npos);
    const std::string range = ReadText(t.dir.file("range.txt"));
    EXPECT_NE(range.find("06/19/2008 05:38:59.946263"), std::string::npos);
    // Without the settings' slicing, frame 2 keeps its 196 bytes: 13 dump lines.
    EXPECT_EQ(CountDumpLines(range), 13);

    t.Run("in.pcap sliced.txt TX --slice=20", &status);
    EXPECT_EQ(CountDumpLines(ReadText(t.dir.file("sliced.txt"))), 3 * 2);
}

TEST(CommandLine, BadFlagsAreRefusedBeforeAnyFileIsTouched) {
    Translator t;
    t.Capture("in.pcap");
    const std::pair<const char*, const char*> cases[] = {
        {"-q2 in.pcap out.txt TX",
         "Unknown option '-q2'. translator --help lists the options.\r\n"},
        {"in.pcap out.txt TX --range 5",
         "Option --range takes FROM-TO or FROM- (frame numbers from 1), not '5'.\r\n"},
        {"in.pcap out.txt TX --range 0-3",
         "Option --range takes FROM-TO or FROM- (frame numbers from 1), not '0-3'.\r\n"},
        {"in.pcap out.txt TX --slice",
         "Option --slice needs a value: a number of bytes from 1.\r\n"},
        {"in.pcap out.txt TX --pcap-fcs=yes", "Option --pcap-fcs takes 0 or 1, not 'yes'.\r\n"},
        {"--json in.pcap out.txt TX", "Option --json goes with --info.\r\n"},
        {"in.pcap out.txt TX --shard 3/3",
         "Option --shard takes K/N (shard K from 0 to N-1 of N), not '3/3'.\r\n"},
        {"--shard=1 in.pcap out.txt TX",
         "Option --shard takes K/N (shard K from 0 to N-1 of N), not '1'.\r\n"},
        {"in.pcap out.txt TX --shard",
         "Option --shard needs a value: K/N (shard K from 0 to "
         "N-1 of N).\r\n"},
        {"--shard 0/1 in.pcap out.txt TX", "Option --shard goes with a source folder.\r\n"},
        {"--report-json - in.pcap out.txt TX",
         "Option --report-json takes a file name (standard output carries the run's report), "
         "not '-'.\r\n"},
    };
    for (const auto& [arguments, message] : cases) {
        int status = 0;
        EXPECT_EQ(t.Run(arguments, &status), message) << arguments;
        EXPECT_EQ(status, 255) << arguments;
    }
    EXPECT_FALSE(FileExists(t.dir.file("out.txt")));
}

TEST(CommandLine, UnwritableFormatsAreNamedBeforeTheDocumentedRefusal) {
    Translator t;
    t.Capture("in.pcap");
    int status = 0;
    std::string out = t.Run("in.pcap out.x ZZ", &status);
    EXPECT_EQ(out.rfind("Unknown format 'ZZ'. translator --list-formats lists the formats.\r\n"
                        "Source File:",
                        0),
              0u);
    EXPECT_NE(out.find("The source format is not compatible with Unknown Analyzer Type.\r\n"),
              std::string::npos);
    EXPECT_EQ(status, 255);
    out = t.Run("in.pcap out.x QL", &status);
    EXPECT_EQ(out.rfind("Quillon (Veltrix) files can be read but not written.\r\n", 0), 0u);
    out = t.Run("in.pcap out.x SN", &status);
    EXPECT_EQ(
        out.rfind("Sniffer DOS (Network General) files can be neither read nor written.\r\n", 0),
        0u);
}

// Frames of a --info --json description, or -1.
int FramesOf(const Translator& t, const std::string& name) {
    const std::string json = RunCommand(t.program + " --info --json " + t.dir.file(name));
    const size_t at = json.find("\"frames\":");
    return at == std::string::npos ? -1 : std::stoi(json.substr(at + 9));
}

TEST(Destination, OnlyAFinishedConversionReplacesIt) {
    Translator t;
    fs::create_directory(t.dir.file("src"));
    t.Capture("src/good.pcap");
    // ARCNET, which the reader recognises and then refuses at its first frame.
    WriteFile(t.dir.file("src/arcnet.pcap"), PcapFile(0xA1B2C3D4, false, 129, kFrames).data());
    WriteText(t.dir.file("p.snoop"), "earlier");
    int status = 0;
    t.Run("src/arcnet.pcap p.snoop SO", &status);
    EXPECT_EQ(status, 255);
    EXPECT_EQ(ReadText(t.dir.file("p.snoop")), "earlier");

    t.Run("src out SO", &status);
    EXPECT_EQ(ListFiles(t.dir.file("out"), ""),
              std::vector<std::string>{t.dir.file("out/good.Sun.snoop")});

    // A link is followed: the file it points to gets the output.
    fs::create_symlink("p.snoop", t.dir.file("link.snoop"));
    t.Run("src/good.pcap link.snoop SO", &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_symlink(t.dir.file("link.snoop")));
    EXPECT_EQ(FramesOf(t, "p.snoop"), 3);

    // An unknown or read-only format: refused before the folder is made.
    for (const char* code : {"ZZ", "QL"}) {
        const std::string out = t.Run(std::string("src new ") + code, &status);
        EXPECT_EQ(status, 255);
        EXPECT_EQ(out.find("Source File"), std::string::npos) << out;
        EXPECT_FALSE(fs::exists(t.dir.file("new")));
    }
    for (const auto& entry : fs::directory_iterator(t.dir.path())) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
}

// A capture in the destination's format converts when the output differs.
TEST(Destination, SameFormatConvertsOnlyWhenTheOutputDiffers) {
    Translator t;
    t.Capture("in.pcap");
    ASSERT_EQ(RunCommand("gzip -k " + t.dir.file("in.pcap") + " && echo ok"), "ok\n");
    const std::pair<const char*, int> cases[] = {
        {"in.pcap out.pcap", 3},
        {"--pcap-swapped=0 --pcap-nanoseconds in.pcap out.pcap", 3},
        {"--pcap-swapped=0 --range 2-3 in.pcap out.pcap", 2},
        {"--pcap-swapped=0 --slice 20 in.pcap out.pcap", 3},
        {"--pcap-swapped=0 in.pcap.gz out.pcap", 3},
        {"--pcap-swapped=0 in.pcap out.pcap", -1},
    };
    for (const auto& [arguments, frames] : cases) {
        fs::remove(t.dir.file("out.pcap"));
        int status = 0;
        const std::string out = t.Run(std::string(arguments) + " TD", &status);
        EXPECT_EQ(status, frames < 0 ? 255 : 0) << arguments << out;
        EXPECT_EQ(FramesOf(t, "out.pcap"), frames) << arguments;
    }

    int status = 0;
    const std::string out = t.Run("--range 60-70 --strict in.pcap out.txt TX", &status);
    EXPECT_NE(out.find("Trace Duration:       \t00:00:01.461784\r\n"
                       "Warning: the range 60-70 selects no frame; the source holds 3.\r\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(status, 2);
}

TEST(CommandLine, InfoDescribesWithoutConverting) {
    Translator t;
    t.Capture("in.pcap");
    std::vector<uint8_t> cut = PcapFile(0xA1B2C3D4, false, 1, kFrames).data();
    cut.resize(cut.size() - 10);
    WriteFile(t.dir.file("cut.pcap"), cut);
    WriteText(t.dir.file("notes.txt"), "hello");
    int status = -1;
    std::string out = t.Run("--info in.pcap cut.pcap", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("Source File:          \tin.pcap\n"
                       "Analyzer:             \ttcpdump/libpcap\n"),
              std::string::npos);
    EXPECT_NE(out.find("Frames Read:          \t3\n"
                       "Non Data Frames Read: \t0\n"
                       "First Frame:          \t2008-06-19 05:38:58.538217 UTC\n"
                       "Last Frame:           \t2008-06-19 05:39:00.000001 UTC\n\n"),
              std::string::npos);
    EXPECT_NE(out.find("Frames Read:          \t2\n"), std::string::npos);
    EXPECT_NE(out.find("\nWarning: the file ends inside frame 3"), std::string::npos);
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(out.find("Dest. File"), std::string::npos);

    out = t.Run("--info --json in.pcap notes.txt missing.pcap", &status);
    EXPECT_EQ(status, 255);
    EXPECT_EQ(out,
              "{\"file\":\"in.pcap\",\"format\":\"tcpdump/libpcap\",\"code\":\"TD\","
              "\"interface\":\"Ethernet\",\"wan\":\"\",\"line_rate\":10000000,\"frames\":3,"
              "\"non_data_frames\":0,\"first_time\":\"2008-06-19T05:38:58.538217Z\","
              "\"last_time\":\"2008-06-19T05:39:00.000001Z\",\"size\":406,"
              "\"compression\":\"none\",\"warnings\":[]}\n"
              "{\"file\":\"notes.txt\",\"error\":\"notes.txt is not a recognized data file "
              "format.\"}\n"
              "{\"file\":\"missing.pcap\",\"error\":\"missing.pcap cannot be read (No such file "
              "or directory).\"}\n");
}

TEST(FolderHelpers, ConvertedNames) {
    EXPECT_EQ(ConvertedName("trace.dat", ".NetMon.cap"), "trace.NetMon.cap");
    EXPECT_EQ(ConvertedName("trace.Tcpdump.pcap", ".NetMon.cap"), "trace.Tcpdump.NetMon.cap");
    EXPECT_EQ(ConvertedName("readme", ".NetMon.cap"), "readme");
    EXPECT_EQ(ConvertedName(".profile", ".NetMon.cap"), ".profile");
}

TEST(FolderHelpers, CreateFolderWithParents) {
    TempDir dir;
    EXPECT_TRUE(CreateFolderWithParents(dir.file("a/b/c")));
    EXPECT_TRUE(fs::is_directory(dir.file("a/b/c")));
    EXPECT_TRUE(CreateFolderWithParents(dir.file("a/b/c")));
    WriteText(dir.file("f"), "x");
    EXPECT_FALSE(CreateFolderWithParents(dir.file("f")));
    EXPECT_FALSE(CreateFolderWithParents(dir.file("f/g")));
}

}  // namespace
}  // namespace translator
