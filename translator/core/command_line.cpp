#include "command_line.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "console_arguments.h"
#include "console_info.h"
#include "conversion_run.h"
#include "format_table.h"
#include "settings.h"

namespace translator {

namespace {

const char kDashLine[] = "------------------------------------------------------------------\r\n";

void PrintUsage() {
    printf("Usage: Translator [source file or dir] [dest file or dir] [format]\r\n");
    printf("  Formats:\r\n");
    for (int id = 1; id < kFormatCount; ++id) {
        if (*FormatCode(id) != '\0') {
            printf("    %s = %s (%s)\r\n", FormatCode(id), FormatName(id), FormatExtension(id));
        }
    }
    printf("Examples:\r\n");
    printf("  Translator c:\\data\\decnet_eth.dat c:\\data_conversion\\decnet_eth.pcap TD\r\n");
    printf("  Translator c:\\data_dir c:\\converted_data TL\r\n");
}

void PrintHelp() {
    PrintUsage();
    printf(
        "Options (before or after the operands; each overrides its setting for this run):\r\n"
        "  --range FROM-TO       convert frames FROM to TO only (FROM- : to the last)\r\n"
        "  --slice BYTES         keep at most BYTES bytes of each frame\r\n"
        "  --pcap-nanoseconds    pcap output with nanosecond times\r\n"
        "  --pcap-swapped[=0|1]  pcap output in little-endian byte order (the default)\r\n"
        "  --pcap-modified       pcap output in the modified (extended record) layout\r\n"
        "  --pcap-remove-atm     leave the ATM pseudo-header out of pcap output\r\n"
        "  --pcap-fcs            frames in pcap and pcapng files carry their FCS\r\n"
        "  --hexdump-extended    extended HexDump output\r\n"
        "  --offset-file         write a .offset side file too (as /offsetfile)\r\n"
        "  --no-settings         ignore the settings file\r\n"
        "  --strict              exit 2 on any warning or any file not converted\r\n"
        "  --quiet, -q           print errors only\r\n"
        "  --recursive, -r       convert the subfolders of a source folder too\r\n"
        "  --info FILE...        describe files without converting (--json: as JSON)\r\n"
        "  --list-formats        list the formats and whether they are read and written\r\n"
        "  --version             print the version\r\n"
        "  --help, -h            print this help\r\n"
        "A switch flag takes =0 or =1 to set it either way. \"-\" as the source reads\r\n"
        "standard input; as the destination, writes standard output.\r\n"
        "Exit status: 0 done, 255 failed or refused, 2 a warning with --strict, 130 "
        "interrupted.\r\n");
}

void PrintVersion() {
    printf("translator (Veltrix Translator) %s\r\n", TRANSLATOR_VERSION);
}

void PrintFormatList(const TranslatorEngine& engine) {
    printf("CODE\tNAME\tEXTENSION\tREAD\tWRITE\r\n");
    for (int id = 1; id < kFormatCount; ++id) {
        printf("%s\t%s\t%s\t%s\t%s\r\n", FormatCode(id), FormatName(id), FormatExtension(id),
               engine.ReaderOf(id) != nullptr ? "yes" : "no",
               engine.WriterOf(id) != nullptr ? "yes" : "no");
    }
}

// A destination format that no writer takes is refused by name up front; the
// conversion then goes on to fail with its documented message.
void RefuseUnwritableFormat(const TranslatorEngine& engine, const std::string& code, int format) {
    if (format == FMT_UN) {
        printf("Unknown format '%s'. translator --list-formats lists the formats.\r\n",
               code.c_str());
    } else if (engine.WriterOf(format) == nullptr) {
        printf(engine.ReaderOf(format) != nullptr ? "%s files can be read but not written.\r\n"
                                                  : "%s files can be neither read nor written.\r\n",
               FormatName(format));
    }
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

std::string WithSeparator(const std::string& path) {
    return EndsWithSeparator(path) ? path : path + "/";
}

// The console's texts go to standard output as they come, ahead of the
// conversion's own progress lines.
class ConsoleRun : public ConversionRun {
public:
    using ConversionRun::ConversionRun;

protected:
    void Report(const std::string& text) override {
        fputs(text.c_str(), stdout);
        fflush(stdout);
    }
    std::string DestinationName(const std::string& name, int format) const override {
        return ConvertedName(name, FormatSuffix(format));
    }
    const char* SectionLine() const override { return kDashLine; }
    const char* SectionEnd() const override { return "\r\n"; }
};

int RunFolder(TranslatorEngine& engine, const std::string& source, const std::string& destination,
              int format, const ConvertOptions& options) {
    // The listing is taken before anything is written, so that a run into the
    // source folder never converts its own output.
    std::vector<std::string> names;
    if (!ListFolderFiles(source, &names)) {
        printf(
            "The source file or directory does not exist, or it does not have any data "
            "files.\r\n");
        return -1;
    }
    if (!CreateFolderWithParents(destination)) {
        printf("Destination directory %s not found or cannot be created.\r\n", destination.c_str());
        return -1;
    }
    ConsoleRun(engine, options).ConvertFolder(source, names, destination, format);
    return 0;
}

}  // namespace

std::string ConvertedName(const std::string& entryName, const char* suffix) {
    const size_t dot = entryName.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return entryName;
    }
    return entryName.substr(0, dot) + suffix;
}

bool ListFolderFiles(const std::string& folder, std::vector<std::string>* names) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool anyEntry = false;
    const std::string prefix = WithSeparator(folder);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        anyEntry = true;
        if (IsRegularFile(prefix + name)) {
            names->push_back(name);
        }
    }
    closedir(dir);
    std::sort(names->begin(), names->end());
    return anyEntry;
}

bool CreateFolderWithParents(const std::string& path) {
    if (path.empty() || IsRegularFile(path)) {
        return false;
    }
    auto makeFolder = [](const std::string& p) {
        if (mkdir(p.c_str(), 0777) == 0) {
            return true;
        }
        struct stat st {};
        return errno == EEXIST && stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    };
    if (makeFolder(path)) {
        return true;
    }
    const size_t separator = path.find_last_of("/\\");
    if (separator == std::string::npos || separator == 0) {
        return false;
    }
    return CreateFolderWithParents(path.substr(0, separator)) && makeFolder(path);
}

int RunCommandLine(int argc, char** argv) {
    TranslatorEngine engine;
    ConsoleArguments arguments;
    std::string error;
    if (!ParseConsoleArguments(argc, argv, &arguments, &error)) {
        fputs(error.c_str(), stdout);
        return -1;
    }
    switch (arguments.action) {
        case ConsoleAction::kUsage:
            PrintUsage();
            return -1;
        case ConsoleAction::kHelp:
            PrintHelp();
            return 0;
        case ConsoleAction::kVersion:
            PrintVersion();
            return 0;
        case ConsoleAction::kListFormats:
            PrintFormatList(engine);
            return 0;
        case ConsoleAction::kInfo:
        case ConsoleAction::kConvert:
            break;
    }
    ConvertOptions options;
    if (!arguments.noSettings) {
        std::vector<std::string> warnings;
        LoadSettings(ActiveSettingsPath(SettingsPath(ProgramPath())), options, &warnings);
        if (arguments.action == ConsoleAction::kConvert) {
            for (const std::string& warning : warnings) {
                fputs(warning.c_str(), stdout);
            }
        }
    }
    arguments.options.ApplyTo(options);
    if (arguments.action == ConsoleAction::kInfo) {
        return DescribeFiles(engine, arguments.operands, arguments.json, options);
    }
    const std::string& source = arguments.operands[0];
    const std::string& destination = arguments.operands[1];
    const int format = FindFormat(arguments.operands[2].c_str());
    RefuseUnwritableFormat(engine, arguments.operands[2], format);
    if (IsRegularFile(source)) {
        const bool ok = ConsoleRun(engine, options).ConvertOne(source, destination, format);
        printf("\r\n");
        return ok ? 0 : -1;
    }
    return RunFolder(engine, source, destination, format, options);
}

}  // namespace translator
