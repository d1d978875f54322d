#include "core/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "support/files.h"

namespace translator {
namespace {

ConvertOptions Parse(const std::string& text) {
    ConvertOptions options;
    ParseSettings(text.data(), text.size(), options);
    return options;
}

TEST(Settings, LocationBesideTheProgram) {
    EXPECT_EQ(SettingsPath("/usr/local/bin/translator"), "/usr/local/bin/translator.config");
    EXPECT_EQ(SettingsPath("/opt/app/translator.exe"), "/opt/app/translator.config");
    // A dot in a folder name is not an extension.
    EXPECT_EQ(SettingsPath("/home/a.b/translator"), "/home/a.b/translator.config");
    EXPECT_EQ(SettingsPath("translator"), "translator.config");
    EXPECT_EQ(SettingsPath("/x/.hidden"), "/x/.hidden.config");
}

TEST(Settings, TwoLinesChangeOnlyTheirOptions) {
    ConvertOptions o = Parse("slice=1\r\nbytes=64\r\n");
    EXPECT_TRUE(o.slice);
    EXPECT_EQ(o.bytes, 64);
    ConvertOptions defaults;
    EXPECT_EQ(o.convertall, defaults.convertall);
    EXPECT_EQ(o.convertfrom, 1);
    EXPECT_EQ(o.convertto, 0);
    EXPECT_TRUE(o.pcapbyteswapped);
    EXPECT_FALSE(o.pcapmodified);
    EXPECT_EQ(o.format, "");
}

TEST(Settings, KeysIgnoreCaseAndOnlyOneIsTrue) {
    EXPECT_FALSE(Parse("CONVERTALL=0\r\n").convertall);
    EXPECT_FALSE(Parse("convertall=yes\r\n").convertall);
    EXPECT_TRUE(Parse("PcapModified=1\n").pcapmodified);
    EXPECT_TRUE(Parse("pcapmodified=10\n").pcapmodified);
    EXPECT_FALSE(Parse("pcapbyteswapped=\n").pcapbyteswapped);
    // Blanks around "=" make the value start with "=": never "1", never a number.
    EXPECT_FALSE(Parse("slice = 1\r\n").slice);
    EXPECT_EQ(Parse("bytes = 64\r\n").bytes, 100);
}

TEST(Settings, NumbersAndTexts) {
    ConvertOptions o = Parse(
        "convertfrom=-5\r\nconvertto=9000000000\r\nbytes=  77\r\nsourcedir=C:\\my data\\in\r\n"
        "destdir=/tmp/out dir\r\nformat=NetMon (Microsoft, SMS 2.0)\r\n");
    EXPECT_EQ(o.convertfrom, -5);
    EXPECT_EQ(o.convertto, 9000000000);
    EXPECT_EQ(o.bytes, 77);
    EXPECT_EQ(o.sourcedir, "C:\\my data\\in");
    EXPECT_EQ(o.destdir, "/tmp/out dir");
    EXPECT_EQ(o.format, "NetMon (Microsoft, SMS 2.0)");
    EXPECT_EQ(Parse("bytes=abc\r\n").bytes, 100);
    EXPECT_EQ(Parse("convertto=x1\r\n").convertto, 0);
    EXPECT_EQ(Parse("sourcedir=" + std::string(1024, 'a') + "\r\n").sourcedir, "");
}

TEST(Settings, LastLineWithoutLineEndAndUnknownKeys) {
    ConvertOptions o = Parse("offsetFile=1\r\nunknown=5\r\nslice=1\r\nformat=TD");
    EXPECT_FALSE(o.offsetFile);
    EXPECT_TRUE(o.slice);
    EXPECT_EQ(o.format, "");
    EXPECT_EQ(Parse("slice").slice, false);
    EXPECT_EQ(Parse("=1\r\n\r\n   \t\r\n").slice, false);
}

TEST(Settings, FileIsReadUpToItsLimit) {
    testsupport::TempDir dir;
    std::string text = "bytes=64\r\n";
    text += std::string(10240 - text.size() - 7, '\n');
    text += "slice=1\r\nconvertall=0\r\n";  // the limit falls right after "slice=1"
    testsupport::WriteText(dir.file("t.config"), text);
    ConvertOptions o;
    LoadSettings(dir.file("t.config"), o);
    EXPECT_EQ(o.bytes, 64);
    EXPECT_FALSE(o.slice);
    EXPECT_TRUE(o.convertall);
    LoadSettings(dir.file("missing.config"), o);
    EXPECT_EQ(o.bytes, 64);
}

TEST(Settings, WrittenFormReadsBack) {
    ConvertOptions o;
    o.convertall = false;
    o.convertfrom = 3;
    o.convertto = 12345678901;
    o.slice = true;
    o.bytes = 64;
    o.pcapbyteswapped = false;
    o.pcapnanoseconds = true;
    o.hexdumpextended = true;
    o.sourcedir = "/data/in";
    o.destdir = "/data/out";
    o.format = "tcpdump/libpcap";
    o.offsetFile = true;
    EXPECT_EQ(FormatSettings(o),
              "convertall=0\r\nconvertfrom=3\r\nconvertto=12345678901\r\nslice=1\r\nbytes=64\r\n"
              "pcapbyteswapped=0\r\npcapmodified=0\r\npcapremoveatm=0\r\npcapnanoseconds=1\r\n"
              "hexdumpextended=1\r\nsourcedir=/data/in\r\ndestdir=/data/out\r\n"
              "format=tcpdump/libpcap\r\n");
    // Written only when set, so that a file of defaults stays as it was.
    o.jobs = 3;
    EXPECT_TRUE(FormatSettings(o).ends_with("format=tcpdump/libpcap\r\njobs=3\r\n"));
    testsupport::TempDir dir;
    SaveSettings(dir.file("s.config"), o);
    ConvertOptions back;
    LoadSettings(dir.file("s.config"), back);
    EXPECT_EQ(FormatSettings(back), FormatSettings(o));
    EXPECT_FALSE(back.offsetFile);
    SaveSettings(dir.path() + "/missing/s.config", o);  // silently nothing
}

}  // namespace
}  // namespace translator
