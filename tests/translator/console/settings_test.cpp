#include "app/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

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

// Sets an environment variable for one scope; null unsets it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        const char* old = getenv(name);
        if (old != nullptr) {
            old_ = old;
        }
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() { old_.empty() ? unsetenv(name_) : setenv(name_, old_.c_str(), 1); }

private:
    const char* name_;
    std::string old_;
};

TEST(Settings, PerUserLocation) {
    ScopedEnvironment home("HOME", "/home/someone");
    {
        ScopedEnvironment config("XDG_CONFIG_HOME", "/etc/user-config");
        EXPECT_EQ(UserSettingsPath(), "/etc/user-config/veltrix-translator/translator.config");
    }
    for (const char* config : {static_cast<const char*>(nullptr), "", "relative/config"}) {
        ScopedEnvironment unset("XDG_CONFIG_HOME", config);
        EXPECT_EQ(UserSettingsPath(), "/home/someone/.config/veltrix-translator/translator.config");
    }
}

TEST(Settings, TheFileBesideTheProgramWhereItCanBeWrittenElseTheUsersFile) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "every folder is writable for root";
    }
    testsupport::TempDir dir;
    ScopedEnvironment config("XDG_CONFIG_HOME", dir.file("config").c_str());
    const std::string user = dir.file("config/veltrix-translator/translator.config");
    const std::string program = dir.file("bin/translator.config");
    ASSERT_EQ(mkdir(dir.file("bin").c_str(), 0700), 0);
    EXPECT_EQ(ActiveSettingsPath(program), program);  // absent, in a writable folder
    testsupport::WriteText(program, "");
    ASSERT_EQ(chmod(dir.file("bin").c_str(), 0500), 0);
    EXPECT_EQ(ActiveSettingsPath(program), program);  // writable, in a read-only folder
    ASSERT_EQ(chmod(program.c_str(), 0400), 0);
    EXPECT_EQ(ActiveSettingsPath(program), user);
    EXPECT_EQ(ActiveSettingsPath(dir.file("bin/other.config")), user);
    chmod(dir.file("bin").c_str(), 0700);
}

TEST(Settings, ValuesTheirKeysDoNotTakeAreTakenAsDocumentedAndWarnedOf) {
    const std::string longPath(1024, 'a');
    const std::string text =
        "convertall=maybe\r\nslice=1\r\npcapmodified=10\r\nbytes=12x\r\nconvertto=abc\r\n"
        "convertfrom=99999999999999999999\r\nbytes = 64\r\npcapfcs=\nhexdumpextended=1  \r\n"
        "destdir=" +
        longPath + "\r\nconvertto=7\r\nformat=TD\r\n";
    ConvertOptions o;
    std::vector<SettingsWarning> warnings;
    ParseSettings(text.data(), text.size(), o, &warnings);
    // The range ends before it starts, which --range refuses too.
    EXPECT_TRUE(o.convertall);
    EXPECT_TRUE(o.pcapmodified);
    EXPECT_EQ(o.bytes, 12);
    EXPECT_TRUE(o.hexdumpextended);
    EXPECT_EQ(o.destdir, "");
    std::vector<std::pair<int, std::string>> lines;
    for (const SettingsWarning& warning : warnings) {
        lines.emplace_back(warning.line, warning.text);
    }
    EXPECT_EQ(lines, (std::vector<std::pair<int, std::string>>{
                         {1, "convertall=maybe is not 0 or 1; taken as 0"},
                         {3, "pcapmodified=10 is not 0 or 1; taken as 1"},
                         {4, "bytes=12x is not a number; taken as 12"},
                         {5, "convertto=abc is not a number; taken as 0"},
                         {6, "convertfrom=99999999999999999999 is out of range; taken as " +
                                 std::to_string(o.convertfrom)},
                         {7, "bytes = 64 is not a number; taken as 12"},
                         {8, "pcapfcs= is not 0 or 1; taken as 0"},
                         {10, "destdir=" + longPath.substr(0, 53) +
                                  "... is longer than 1023 characters; not taken"},
                         {11, "convertto=7 leaves the range " + std::to_string(INT64_MAX) +
                                  "-7 empty; taken as convertall=1"},
                     }));

    testsupport::TempDir dir;
    testsupport::WriteText(dir.file("t.config"), "slice=1\r\nconvertall=yes\r\nbytes=0\r\n");
    std::vector<std::string> printed;
    LoadSettings(dir.file("t.config"), o, &printed);
    EXPECT_EQ(printed, std::vector<std::string>{"Warning: " + dir.file("t.config") +
                                                " line 3: bytes=0 is out of range; taken as "
                                                "100.\r\n"});
    EXPECT_TRUE(o.convertall);
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
    EXPECT_FALSE(Parse("CONVERTALL=0\r\nconvertto=5\r\n").convertall);
    EXPECT_TRUE(Parse("convertall=Yes\r\n").convertall);
    EXPECT_FALSE(Parse("slice=off\r\n").slice);
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
    EXPECT_EQ(SaveSettings(dir.file("s.config"), o), 0);
    ConvertOptions back;
    LoadSettings(dir.file("s.config"), back);
    EXPECT_EQ(FormatSettings(back), FormatSettings(o));
    EXPECT_FALSE(back.offsetFile);
    // Missing folders are made; a file in the way is the system's error.
    EXPECT_EQ(SaveSettings(dir.file("new/folders/s.config"), o), 0);
    EXPECT_EQ(testsupport::ReadText(dir.file("new/folders/s.config")), FormatSettings(o));
    EXPECT_EQ(SaveSettings(dir.file("s.config/s.config"), o), ENOTDIR);
}

}  // namespace
}  // namespace translator
