// Built twice: alone in a folder of its own, where libTervo.so is found
// neither beside the program nor on the loader's search path, and beside a
// stub libTervo.so that lacks OpenTervoFile and CreateTervoFile.
#include <gtest/gtest.h>

#include "console/console_progress.h"
#include "engine/engine.h"
#include "formats/tervo/tervo.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/stavrel_builder.h"

namespace translator {
namespace {

using namespace testsupport;

#if TERVO_STUB
#define SUITE TervoLibraryOfAnotherVersion
constexpr const char kOpenMessage[] =
    "Incorrect version of Tervo.DLL (OpenTervoFile not found).\r\n";
constexpr const char kCreateMessage[] =
    "Incorrect version of Tervo.DLL (CreateTervoFile not found).\r\n";
#else
#define SUITE TervoLibraryMissing
constexpr const char kOpenMessage[] = "Tervo.dll is not found, or it is corrupted.\r\n";
constexpr const char kCreateMessage[] = "Tervo.dll is not found, or it is corrupted.\r\n";
#endif

std::string EthernetPcap(const TempDir& dir) {
    const std::string path = dir.file("source.pcap");
    WriteFile(path, PcapFile(0xA1B2C3D4, false, 1, {{1000, 5, RampFrame(64), 0}}).data());
    return path;
}

std::string TervoFile(const TempDir& dir) {
    StavrelFile file;
    file.formatCode = "B4";
    file.version = "01.00";
    file.recordTypes = {4};
    file.records = NumberedRecords(2, 64, 8);
    const std::string path = dir.file("source.tv");
    WriteFile(path, StavrelFileBytes(file));
    return path;
}

TEST(SUITE, ReadingATervoFileFailsWithTheLibraryMessage) {
    TempDir dir;
    TervoReader reader;
    EXPECT_FALSE(reader.Open(TervoFile(dir)));
    ASSERT_NE(reader.Sink().Messages(), nullptr);
    EXPECT_STREQ(reader.Sink().Messages(), kOpenMessage);
    EXPECT_FALSE(reader.ReadFrame());
}

TEST(SUITE, ConvertingToTervoFailsWithTheLibraryMessage) {
    TempDir dir;
    TranslatorEngine engine;
    ConsoleProgress quiet(fopen("/dev/null", "w"));
    engine.SetSink(&quiet);
    ConvertOptions options;
    EXPECT_FALSE(engine.ConvertFile(EthernetPcap(dir), dir.file("out.tv"), FMT_TV, options));
    ASSERT_NE(engine.Sink().Messages(), nullptr);
    EXPECT_STREQ(engine.Sink().Messages(), kCreateMessage);
    EXPECT_FALSE(FileExists(dir.file("out.tv")));
}

#if !TERVO_STUB
// The translator itself, copied into a folder without the library.
class TranslatorWithoutLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        int status = -1;
        RunCommand("cp " + std::string(TRANSLATOR_BIN_DIR) + "/translator " + dir_.path(), &status);
        ASSERT_EQ(status, 0);
    }
    std::string Run(const std::string& arguments, int* status) {
        return RunCommand(dir_.file("translator") + " " + arguments + " 2>&1", status);
    }

    TempDir dir_;
};

TEST_F(TranslatorWithoutLibrary, ConvertingToTervoReportsTheMissingLibrary) {
    int status = 0;
    const std::string output = Run(EthernetPcap(dir_) + " " + dir_.file("out.tv") + " TV", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(output.find("Tervo.dll is not found, or it is corrupted.\r\n"), std::string::npos)
        << output;
}

TEST_F(TranslatorWithoutLibrary, ATervoFileIsThenNotRecognised) {
    int status = 0;
    const std::string source = TervoFile(dir_);
    const std::string output = Run(source + " " + dir_.file("out.pcap") + " TD", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(output.find(source + " is not a recognized data file format.\r\n"), std::string::npos)
        << output;
}

TEST_F(TranslatorWithoutLibrary, AStubLibraryBesideItIsOfAnotherVersion) {
    int status = -1;
    RunCommand("cp " TERVO_STUB_LIBRARY " " + dir_.file("libTervo.so"), &status);
    ASSERT_EQ(status, 0);
    const std::string output = Run(EthernetPcap(dir_) + " " + dir_.file("out.tv") + " TV", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(output.find("Incorrect version of Tervo.DLL (CreateTervoFile not found).\r\n"),
              std::string::npos)
        << output;
}
#endif

}  // namespace
}  // namespace translator
