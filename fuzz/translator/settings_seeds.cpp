// Seed corpus of the settings parser: the written form and hand-edited lines.
#include <filesystem>

#include "app/settings.h"
#include "support/files.h"

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    translator::ConvertOptions options;
    options.sourcedir = "/data/in";
    options.format = "tcpdump/libpcap";
    testsupport::WriteText(dir + "/written.config", translator::FormatSettings(options));
    testsupport::WriteText(dir + "/edited.config",
                           "SLICE = 1\r\nbytes=64\nconvertto=x\r\n=5\r\nformat=TD");
    return 0;
}
