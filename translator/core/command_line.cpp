#include "command_line.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

bool IsUsageRequest(const char* argument) {
    return strcmp(argument, "/help") == 0 || strcmp(argument, "/?") == 0 ||
           strcmp(argument, "-?") == 0 || strcmp(argument, "-help") == 0;
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
    ConvertOptions options;
    if ((argc != 4 && argc != 5) || IsUsageRequest(argv[1])) {
        PrintUsage();
        return -1;
    }
    LoadSettings(SettingsPath(ProgramPath()), options);
    if (argc == 5 && strcasecmp(argv[4], "/offsetfile") == 0) {
        options.offsetFile = true;
    }
    const std::string source = argv[1];
    const std::string destination = argv[2];
    const int format = FindFormat(argv[3]);
    if (IsRegularFile(source)) {
        const bool ok = ConsoleRun(engine, options).ConvertOne(source, destination, format);
        printf("\r\n");
        return ok ? 0 : -1;
    }
    return RunFolder(engine, source, destination, format, options);
}

}  // namespace translator
