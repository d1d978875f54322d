// Runs st2tcpdump and st2mergedtcpdump as processes on byte-built Stavrel
// files and reads their output back with tshark.
#include <gtest/gtest.h>

#include <sstream>

#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/stavrel_builder.h"

namespace {

using namespace testsupport;

std::string Tool(const std::string& name) {
    return std::string(TRANSLATOR_BIN_DIR) + "/" + name;
}

std::string RunTool(const std::string& command, int* status) {
    return RunCommand(command + " 2>&1", status);
}

struct Frame {
    std::string epoch;
    int length = 0;
    std::vector<uint8_t> bytes;
};

// Frames as tshark sees them: time, length and the captured bytes.
std::vector<Frame> ReadWithTshark(const std::string& path) {
    std::vector<Frame> frames;
    std::istringstream fields(RunCommand(
        "tshark -r '" + path + "' -T fields -e frame.time_epoch -e frame.len 2>/dev/null"));
    for (std::string line; std::getline(fields, line);) {
        Frame frame;
        std::istringstream columns(line);
        columns >> frame.epoch >> frame.length;
        frames.push_back(frame);
    }
    std::istringstream dump(RunCommand("tshark -r '" + path + "' -x 2>/dev/null"));
    size_t index = 0;
    bool inFrame = false;
    for (std::string line; std::getline(dump, line);) {
        if (line.size() < 6 || line[4] != ' ') {
            index += inFrame ? 1 : 0;
            inFrame = false;
            continue;
        }
        inFrame = true;
        std::istringstream hex(line.substr(6, 47));
        for (std::string byte; hex >> byte;) {
            if (index < frames.size()) {
                frames[index].bytes.push_back(static_cast<uint8_t>(std::stoi(byte, nullptr, 16)));
            }
        }
    }
    return frames;
}

uint32_t LinkTypeOf(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFile(path);
    if (bytes.size() < 24) {
        return 0xFFFFFFFF;
    }
    return bytes[20] | (bytes[21] << 8) | (bytes[22] << 16) | (uint32_t{bytes[23]} << 24);
}

class StavrelTools : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("tshark")) {
            GTEST_SKIP() << "tshark is not installed";
        }
    }

    std::string Write(const std::string& name, const StavrelFile& file) {
        WriteFile(dir_.file(name), StavrelFileBytes(file));
        return dir_.file(name);
    }

    TempDir dir_;
};

StavrelFile B3File(size_t count) {
    StavrelFile file;
    file.recordTypes = {3};
    file.records = NumberedRecords(count, 60, 8);
    return file;
}

StavrelFile B4File(uint8_t layer2Mode, std::vector<std::pair<uint32_t, uint8_t>> times) {
    StavrelFile file;
    file.formatCode = "B4";
    file.version = "01.00";
    file.recordTypes = {4};
    file.sourceNames = {"ETH,101/1,Rx"};
    for (const auto& [seconds, first] : times) {
        StavrelRecord record;
        record.seconds = seconds;
        record.nanoseconds = 250000;
        record.layer2Mode = layer2Mode;
        record.headerExtra.assign(8, 0);
        record.data = Bytes().ramp(64, first).data();
        file.records.push_back(record);
    }
    return file;
}

TEST_F(StavrelTools, St2tcpdumpPrintsBannerAndUsage) {
    int status = 0;
    std::string out = RunTool(Tool("st2tcpdump"), &status);
    EXPECT_EQ(status, 255);
    const std::string edge = "+" + std::string(61, '-') + "+\r\n";
    EXPECT_EQ(out.find(edge), 0u);
    EXPECT_NE(out.find("\r\n| Stavrel Capture File to tcpdump format Translator" +
                       std::string(61 - 50, ' ') + "|\r\n|" + std::string(61, ' ') + "|\r\n"),
              std::string::npos);
    EXPECT_NE(out.find("|  Version : 1.2" + std::string(61 - 15, ' ') + "|\r\n|  Compiled: "),
              std::string::npos);
    EXPECT_NE(out.find(edge + "\r\nUsage: st2tcpdump -h | -? | inFilename outFilename "
                              "[[startPkt] numPackets] \r\n\r\n"),
              std::string::npos);
    EXPECT_NE(out.find(" 1. Input file must be a valid Stavrel capture file\r\n\r\n"),
              std::string::npos);

    out = RunTool(Tool("st2tcpdump") + " -h", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("Usage: st2tcpdump"), std::string::npos);
    out = RunTool(Tool("st2tcpdump") + " a b 1 2 3", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("Usage: st2tcpdump"), std::string::npos);
}

TEST_F(StavrelTools, St2tcpdumpReportsInputAndRangeErrors) {
    int status = 0;
    const std::string pcap = dir_.file("trace.pcap");
    WriteFile(pcap, PcapFile(0xA1B2C3D4, false, 1, {{1, 0, RampFrame(60), 0}}).data());
    std::string out =
        RunTool(Tool("st2tcpdump") + " " + pcap + " " + dir_.file("out.pcap"), &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("ERROR [openInputFile] - Cannot parse file: '" + pcap +
                       "'\r\nbecause: The file is neither B3 nor B4 format so cannot be "
                       "processed further.\r\n"),
              std::string::npos)
        << out;

    const std::string missing = dir_.file("missing.st");
    out = RunTool(Tool("st2tcpdump") + " " + missing + " " + dir_.file("out.pcap"), &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("ERROR [openInputFile] - Failed to open file: '" + missing +
                       "'\r\nbecause: File not found, already open or no read permission\r\n"),
              std::string::npos);

    const std::string input = Write("in.st", B3File(3));
    out = RunTool(Tool("st2tcpdump") + " " + input + " " + dir_.file("out.pcap") + " 5 1", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("Source file total records:\t3\r\nERROR [convertRecords] - Requested first "
                       "record 5 > 3, the total number of records in the source file.\r\n"),
              std::string::npos)
        << out;

    out = RunTool(Tool("st2tcpdump") + " " + input + " " + dir_.file("no/such/dir/out.pcap"),
                  &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("ERROR [openOutputFile] - Failed to open file: '" +
                       dir_.file("no/such/dir/out.pcap") +
                       "'\r\nERROR [convertRecords] - Failed to open output file\r\n"),
              std::string::npos);
}

TEST_F(StavrelTools, St2tcpdumpConvertsARangeOfRecords) {
    const std::string input = Write("in.st", B3File(20));
    const std::string output = dir_.file("out.pcap");
    int status = 0;
    std::string out = RunTool(Tool("st2tcpdump") + " " + input + " " + output + " 5 10", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Source file total records:\t20\r\nStart from record:\t\t5\r\n"
                       "Link type conversion:\t\tL2_POS_PPP to LINKTYPE_PPP\r\n"
                       "Total converted packets:\t10\r\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(LinkTypeOf(output), 9u);
    std::vector<Frame> frames = ReadWithTshark(output);
    ASSERT_EQ(frames.size(), 10u);
    for (size_t i = 0; i < frames.size(); ++i) {
        const uint32_t record = static_cast<uint32_t>(i + 4);  // from 0
        char epoch[32];
        snprintf(epoch, sizeof epoch, "%u.%06u000", 1000 + record, record);
        EXPECT_EQ(frames[i].epoch, epoch);
        EXPECT_EQ(frames[i].length, 60);
        EXPECT_EQ(frames[i].bytes, Bytes().ramp(60, static_cast<uint8_t>(record)).data());
    }

    out = RunTool(Tool("st2tcpdump") + " " + input + " " + output + " 3", &status);
    EXPECT_EQ(status, 0);
    frames = ReadWithTshark(output);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].epoch, "1000.000000000");

    // A start of 0 counts from the first record; the range may run past the end.
    out = RunTool(Tool("st2tcpdump") + " " + input + " " + output + " 0 50", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadWithTshark(output).size(), 20u);
    out = RunTool(Tool("st2tcpdump") + " " + input + " " + output + " 18 5", &status);
    EXPECT_NE(out.find("Total converted packets:\t3\r\n"), std::string::npos);
}

TEST_F(StavrelTools, St2tcpdumpMapsEthernetModes) {
    const std::string input = Write("in.st", B4File(66, {{7, 0}, {8, 0x40}}));
    const std::string output = dir_.file("out.pcap");
    int status = 0;
    const std::string out = RunTool(Tool("st2tcpdump") + " " + input + " " + output, &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Link type conversion:\t\tL2_ETHERNET to LINKTYPE_ETHERNET\r\n"),
              std::string::npos);
    EXPECT_EQ(LinkTypeOf(output), 1u);
    const std::vector<Frame> frames = ReadWithTshark(output);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].epoch, "8.000250000");
    EXPECT_EQ(frames[1].bytes, Bytes().ramp(64, 0x40).data());

    // Modes 70 to 76 are Ethernet to the merging tool only.
    Write("a.st", B4File(72, {{1, 0}}));
    Write("b.st", B4File(72, {{2, 0}}));
    RunTool(Tool("st2tcpdump") + " " + dir_.file("a.st") + " " + output, &status);
    EXPECT_EQ(LinkTypeOf(output), 0u);
    RunTool("cd " + dir_.path() + " && " + Tool("st2mergedtcpdump") + " -in a.st -in b.st",
            &status);
    EXPECT_EQ(LinkTypeOf(dir_.file("default.tcpdump.cap")), 1u);
}

TEST_F(StavrelTools, St2mergedtcpdumpMergesInTimestampOrder) {
    Write("first.st", B4File(64, {{1, 0xA0}, {3, 0xA1}}));
    Write("second.st", B4File(64, {{2, 0xB0}, {3, 0xB1}}));
    int status = 0;
    const std::string out = RunTool(
        "cd " + dir_.path() + " && " + Tool("st2mergedtcpdump") + " -in first.st -in second.st",
        &status);
    EXPECT_EQ(status, 0) << out;
    const std::string edge = "+" + std::string(76, '-') + "+\r\n";
    EXPECT_EQ(out.find(edge), 0u);
    EXPECT_NE(out.find("|  Version : 2.1" + std::string(76 - 15, ' ') + "|\r\n"),
              std::string::npos);
    EXPECT_NE(out.find(edge + "Source file total records:\t2\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Total merged converted packets:\t4\r\n"), std::string::npos);

    const std::vector<Frame> frames = ReadWithTshark(dir_.file("default.tcpdump.cap"));
    ASSERT_EQ(frames.size(), 4u);
    const std::pair<const char*, uint8_t> expected[] = {
        {"1.000250000", 0xA0}, {"2.000250000", 0xB0}, {"3.000250000", 0xA1}, {"3.000250000", 0xB1}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(frames[i].epoch, expected[i].first);
        ASSERT_FALSE(frames[i].bytes.empty());
        EXPECT_EQ(frames[i].bytes[0], expected[i].second) << i;
    }
}

TEST_F(StavrelTools, St2mergedtcpdumpTakesARangeOfTheMergedSequence) {
    Write("a.st", B4File(64, {{10, 0x10}, {12, 0x12}, {14, 0x14}, {16, 0x16}}));
    Write("b.st", B4File(64, {{11, 0x11}, {13, 0x13}, {15, 0x15}}));
    const std::string output = dir_.file("merged.pcap");
    int status = 0;
    std::string out = RunTool(Tool("st2mergedtcpdump") + " -start 4 -in " + dir_.file("a.st") +
                                  " -num 2 -out " + output + " -in " + dir_.file("b.st"),
                              &status);
    EXPECT_EQ(status, 0) << out;
    const std::vector<Frame> frames = ReadWithTshark(output);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].epoch, "13.000250000");
    EXPECT_EQ(frames[1].epoch, "14.000250000");

    out = RunTool(Tool("st2mergedtcpdump") + " -in " + dir_.file("a.st") + " -out " + output,
                  &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("Usage: st2mergedtcpdump -h | -? | -in inFilename -in inFilename -out "
                       "outFilename [-start startPkt -num numPackets] \r\n\r\n"),
              std::string::npos);
    out = RunTool(Tool("st2mergedtcpdump") + " -in a -in b -num", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("Usage: st2mergedtcpdump"), std::string::npos);

    out = RunTool(Tool("st2mergedtcpdump") + " -start 9 -in " + dir_.file("a.st") + " -in " +
                      dir_.file("b.st") + " -out " + output,
                  &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("Requested first record 9 > 4, the total number"), std::string::npos);
}

}  // namespace
