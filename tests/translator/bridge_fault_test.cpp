// The run-time libraries failing part-way: a stand-in forwards to the real
// library and fails one chosen function after a number of calls. Conversions
// must end with the right message and exit status, keep what was converted
// before the failure, never crash, and hand every handle back (the sanitizer
// build checks for leaks at exit).
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/tcpdump/tcpdump.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace testsupport;

struct Fault {
    const char* function;
    int after;
};

// A copy of the translator alone in dir beside the stand-in for library.
class IsolatedTranslator {
public:
    IsolatedTranslator(const TempDir& dir, const char* shim, const char* library)
        : dir_(dir), library_(std::string(TRANSLATOR_BIN_DIR) + "/" + library) {
        const auto overwrite = std::filesystem::copy_options::overwrite_existing;
        std::filesystem::copy_file(TRANSLATOR_BIN_DIR "/translator", dir.file("translator"),
                                   overwrite);
        std::filesystem::copy_file(shim, dir.file(library), overwrite);
    }

    std::string Run(const std::string& arguments, Fault fault, int* status) const {
        return RunCommand("cd " + dir_.path() + " && FAULT_REAL_LIBRARY=" + library_ +
                              " FAULT_FUNCTION=" + fault.function + " FAULT_AFTER=" +
                              std::to_string(fault.after) + " ./translator " + arguments + " 2>&1",
                          status);
    }

private:
    const TempDir& dir_;
    std::string library_;
};

std::string EthernetPcap(const TempDir& dir, uint32_t frames, size_t length) {
    std::vector<PcapRecord> records;
    for (uint32_t i = 0; i < frames; ++i) {
        records.push_back({1200000000 + i, i, RampFrame(length, static_cast<uint8_t>(i))});
    }
    const std::string path = dir.file("source.pcap");
    WriteFile(path, PcapFile(0xA1B2C3D4, false, 1, records).data());
    return path;
}

size_t PcapFrames(const std::string& path) {
    TcpdumpReader reader;
    return ReadFrames(reader, path).size();
}

// Every failing run also leaves its source (the first argument) as it was.
void ExpectFailure(const IsolatedTranslator& translator, const TempDir& dir,
                   const std::string& arguments, Fault fault, const std::string& message) {
    const std::string source = dir.file(arguments.substr(0, arguments.find(' ')));
    const auto before = ReadFile(source);
    int status = 0;
    const std::string output = translator.Run(arguments, fault, &status);
    EXPECT_EQ(ReadFile(source), before) << fault.function;
    EXPECT_EQ(status, 255) << fault.function << ": " << output;
    EXPECT_NE(output.find(message), std::string::npos) << fault.function << ": " << output;
}

TEST(BridgeFaults, TervoLibraryFailingWhileWriting) {
    TempDir dir;
    EthernetPcap(dir, 10, 100);
    const IsolatedTranslator translator(dir, TERVO_FAULT_SHIM, "libTervo.so");
    ExpectFailure(translator, dir, "source.pcap out.tv TV", {"WriteTervoFrame", 3},
                  "Error writing frame 4\r\n");
    // The file is created with the first frame, whose time starts it.
    ExpectFailure(translator, dir, "source.pcap out.tv TV", {"CreateTervoFile", 0},
                  "Error writing frame 1\r\n");
    ExpectFailure(translator, dir, "source.pcap out.tv TV", {"SaveTervoFile", 0},
                  "Error writing file header.\r\n");
}

TEST(BridgeFaults, TervoLibraryFailingWhileReadingKeepsTheFramesBeforeAndFails) {
    TempDir dir;
    EthernetPcap(dir, 10, 100);
    const IsolatedTranslator translator(dir, TERVO_FAULT_SHIM, "libTervo.so");
    int status = 0;
    std::string output = translator.Run("source.pcap whole.tv TV", {"none", 0}, &status);
    ASSERT_EQ(status, 0) << output;
    output = translator.Run("whole.tv part.pcap TD", {"ReadTervoFrame", 3}, &status);
    EXPECT_EQ(status, 255) << output;
    EXPECT_NE(output.find("Error reading frame 4\r\n"), std::string::npos) << output;
    EXPECT_EQ(PcapFrames(dir.file("part.pcap")), 3u);
    output = translator.Run("whole.tv none.pcap TD", {"OpenTervoFile", 0}, &status);
    EXPECT_EQ(status, 255) << output;
}

TEST(BridgeFaults, MeridelLibraryFailingWhileWriting) {
    TempDir dir;
    EthernetPcap(dir, 10, 100);
    const IsolatedTranslator translator(dir, MERIDEL_FAULT_SHIM, "libMeridelDLL.so");
    ExpectFailure(translator, dir, "source.pcap out.dat OS", {"AddFrameToFile", 3},
                  "Error writing frame 4\r\n");
    ExpectFailure(translator, dir, "source.pcap out.dat OS", {"CreateMeridelFile", 0},
                  "Cannot create file out.dat.\r\n");
    ExpectFailure(translator, dir, "source.pcap out.dat OS", {"UpdateBasicConfig", 0},
                  "Error writing file header.\r\n");
    ExpectFailure(translator, dir, "source.pcap out.dat OS", {"CloseMeridelFile", 0},
                  "Error writing file header.\r\n");
}

TEST(BridgeFaults, MeridelLibraryFailingWhileReadingKeepsTheFirstBlockAndFails) {
    TempDir dir;
    EthernetPcap(dir, 4000, 1000);
    const IsolatedTranslator translator(dir, MERIDEL_FAULT_SHIM, "libMeridelDLL.so");
    int status = 0;
    std::string output = translator.Run("source.pcap whole.dat OS", {"none", 0}, &status);
    ASSERT_EQ(status, 0) << output;
    output = translator.Run("whole.dat whole.pcap TD", {"none", 0}, &status);
    ASSERT_EQ(status, 0) << output;
    ASSERT_EQ(PcapFrames(dir.file("whole.pcap")), 4000u);
    output = translator.Run("whole.dat part.pcap TD", {"ReadFramesFromFile", 1}, &status);
    EXPECT_EQ(status, 255) << output;
    const size_t firstBlock = PcapFrames(dir.file("part.pcap"));
    EXPECT_GT(firstBlock, 0u);
    EXPECT_LT(firstBlock, 4000u);
    EXPECT_NE(output.find("Error reading frame " + std::to_string(firstBlock + 1) + "\r\n"),
              std::string::npos)
        << output;
    output = translator.Run("whole.dat none.pcap TD", {"OpenMeridelFile", 0}, &status);
    EXPECT_EQ(status, 255) << output;
}

}  // namespace
}  // namespace translator
