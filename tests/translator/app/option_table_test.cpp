// The option table against the documentation and the settings file.
#include "app/option_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include "app/settings.h"
#include "support/files.h"

namespace translator {
namespace {

std::string OneLine(std::string text) {
    for (char& c : text) {
        c = c == '\n' ? ' ' : c;
    }
    return text;
}

// "--pcap-fcs" as a manual page writes it: "\-\-pcap\-fcs".
std::string Roff(const std::string& flag) {
    std::string escaped;
    for (char c : flag) {
        escaped += c == '-' ? "\\-" : std::string(1, c);
    }
    return escaped;
}

TEST(OptionTable, EachOptionOnceAndAsDocumented) {
    const std::string readme = testsupport::ReadText(TRANSLATOR_SOURCE_DIR "/README.md");
    const std::string manual =
        testsupport::ReadText(TRANSLATOR_SOURCE_DIR "/packaging/man/translator.1");
    const std::string completion =
        testsupport::ReadText(TRANSLATOR_SOURCE_DIR "/packaging/translator.bash-completion");
    std::set<std::string> names;
    for (const OptionRow& row : OptionTable()) {
        for (const char* name : {row.key, row.flag}) {
            EXPECT_TRUE(name == nullptr || names.insert(name).second) << name;
        }
        if (row.flag == nullptr) {
            continue;
        }
        // The README's row: the flag, its key and the help line.
        std::string syntax = FlagSyntax(row);
        const size_t bar = syntax.find('|');
        if (bar != std::string::npos) {
            syntax.replace(bar, 1, "\\|");
        }
        const size_t line = readme.find("\n| `" + syntax + "` | ");
        ASSERT_NE(line, std::string::npos) << syntax;
        const std::string readmeRow =
            readme.substr(line + 1, readme.find('\n', line + 1) - line - 1);
        if (row.key != nullptr) {
            EXPECT_NE(readmeRow.find(std::string("`") + row.key), std::string::npos) << readmeRow;
            EXPECT_NE(manual.find(row.key), std::string::npos) << row.key;
        }
        EXPECT_NE(readmeRow.find("| " + OneLine(row.help) + " |"), std::string::npos) << readmeRow;
        EXPECT_NE(manual.find(Roff(row.flag)), std::string::npos) << row.flag;
        const size_t listed = completion.find(std::string(" ") + row.flag);
        EXPECT_TRUE(listed != std::string::npos &&
                    isspace(completion[listed + 1 + strlen(row.flag)]))
            << row.flag;
    }
}

TEST(OptionTable, EveryKeyComesBackFromTheSettingsFile) {
    ConvertOptions set;
    set.convertall = false;
    set.convertfrom = 7;
    set.convertto = 9;
    set.slice = true;
    set.bytes = 64;
    set.pcapbyteswapped = false;
    set.pcapmodified = set.pcapremoveatm = set.pcapnanoseconds = true;
    set.hexdumpextended = set.pcapfcs = true;
    set.sourcedir = "/in";
    set.destdir = "/out";
    set.format = "TD";
    set.jobs = 3;
    const std::string text = FormatSettings(set);
    ConvertOptions read;
    ParseSettings(text.data(), text.size(), read);
    EXPECT_EQ(FormatSettings(read), text);
    EXPECT_EQ(text.find("offset"), std::string::npos);
}

}  // namespace
}  // namespace translator
