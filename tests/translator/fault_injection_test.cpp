// Failing disks and disappearing sources: a conversion that cannot write all
// its output reports failure, and the source is never touched.
#include <gtest/gtest.h>

#include <unistd.h>

#include "support/files.h"
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
                 "Error creating file /proc/translator-test/out.txt for writing.\r\n");
}

TEST(FaultInjection, ConsoleExitsWithMinusOneOnAFullDisk) {
    int status = 0;
    const std::string out = RunCommand(
        std::string(TRANSLATOR_BIN_DIR) + "/translator " + kSample + " /dev/full N2", &status);
    EXPECT_EQ(status, 255);
    EXPECT_NE(out.find("Error writing file header.\r\n"), std::string::npos);
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
