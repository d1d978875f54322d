#include "command_line.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "format_table.h"
#include "settings.h"
#include "time_base.h"

namespace translator {

namespace {

// Room for one summary line: a label and a path or comment of the longest kind.
constexpr size_t kMaxSummaryLine = 8192;

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

bool ConvertOne(TranslatorEngine& engine, const std::string& source, const std::string& destination,
                int format, const ConvertOptions& options) {
    DetectResult* detected = engine.Detect(source);
    if (detected == nullptr) {
        printf("%s is not a recognized data file format.\r\n", source.c_str());
        return false;
    }
    PrintFileSummary(source, destination, *detected->info);
    if (detected->info->format == format) {
        printf("%s is already in %s file format.\r\n", source.c_str(), FormatName(format));
        return false;
    }
    fflush(stdout);
    if (engine.ConvertFile(source, destination, format, options)) {
        return true;
    }
    if (const char* messages = engine.Sink().Messages()) {
        fputs(messages, stdout);
    }
    return false;
}

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
    const std::string sourcePrefix = WithSeparator(source);
    const std::string destinationPrefix = WithSeparator(destination);
    int files = 0;
    int converted = 0;
    for (const std::string& name : names) {
        printf("%s", kDashLine);
        ++files;
        if (ConvertOne(engine, sourcePrefix + name,
                       destinationPrefix + ConvertedName(name, FormatSuffix(format)), format,
                       options)) {
            ++converted;
        }
        printf("\r\n");
    }
    const int failed = files - converted;
    printf("%s", kDashLine);
    printf("%d file%s converted to %s format successfully.\r\n", converted,
           converted < 2 ? " is" : "s are", FormatName(format));
    printf("%d file%s not converted.\r\n", failed, failed < 2 ? " is" : "s are");
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

std::string FileSummaryText(const std::string& source, const std::string& destination,
                            const TraceInfo& info) {
    std::string text;
    auto line = [&text](const char* format, auto... values) {
        char buffer[kMaxSummaryLine];
        snprintf(buffer, sizeof buffer, format, values...);
        text += buffer;
    };
    line("Source File:          \t%s\r\n", source.c_str());
    line("Analyzer:             \t%s\r\n", FormatName(info.format));
    line("Interface:            \t%s %s\r\n", InterfaceName(info.interfaceType),
         WanName(info.wanType));
    if (info.lineRate > 0) {
        line("Line Rate:            \t%d\r\n", info.lineRate);
    }
    if (info.totalFrames >= 0) {
        line("Total Frames:         \t%" PRId64 "\r\n", info.totalFrames);
    }
    struct stat st {};
    if (stat(source.c_str(), &st) == 0) {
        line("File Size:            \t%" PRId64 " bytes\r\n", static_cast<int64_t>(st.st_size));
    }
    if (info.startTime != 0) {
        line("Start Time:           \t%s\r\n", FormatDate(info.startTime).c_str());
    }
    if (info.comment[0] != '\0') {
        line("Comment:              \t%s\r\n", info.comment);
    }
    if (info.notes[0] != '\0') {
        text += "Notes:                \r\n\r\n";
        text += info.notes;
        text += "\r\n";
    }
    line("Dest. File:           \t%s\r\n", destination.c_str());
    return text;
}

void PrintFileSummary(const std::string& source, const std::string& destination,
                      const TraceInfo& info) {
    fputs(FileSummaryText(source, destination, info).c_str(), stdout);
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
        const bool ok = ConvertOne(engine, source, destination, format, options);
        printf("\r\n");
        return ok ? 0 : -1;
    }
    return RunFolder(engine, source, destination, format, options);
}

}  // namespace translator
