#include "settings.h"

#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "folders.h"

namespace translator {

std::string SettingsPath(const std::string& programPath) {
    const size_t nameStart = programPath.find_last_of("/\\") == std::string::npos
                                 ? 0
                                 : programPath.find_last_of("/\\") + 1;
    const size_t dot = programPath.rfind('.');
    if (dot != std::string::npos && dot > nameStart) {
        return programPath.substr(0, dot) + ".config";
    }
    return programPath + ".config";
}

std::string UserSettingsPath() {
    const char* configHome = getenv("XDG_CONFIG_HOME");
    std::string folder;
    // Relative values are to be ignored.
    if (configHome != nullptr && configHome[0] == '/') {
        folder = configHome;
    } else {
        const char* home = getenv("HOME");
        if (home == nullptr || home[0] != '/') {
            const passwd* user = getpwuid(getuid());
            home = user != nullptr ? user->pw_dir : nullptr;
        }
        if (home == nullptr || home[0] != '/') {
            return std::string();
        }
        folder = std::string(home) + "/.config";
    }
    return folder + "/veltrix-translator/translator.config";
}

std::string ActiveSettingsPath(const std::string& programSettings) {
    bool writable = access(programSettings.c_str(), W_OK) == 0;
    if (!writable && errno == ENOENT) {
        const size_t slash = programSettings.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string(".")
                                   : slash == 0               ? std::string("/")
                                                              : programSettings.substr(0, slash);
        writable = access(folder.c_str(), W_OK | X_OK) == 0;
    }
    const std::string user = UserSettingsPath();
    return writable || user.empty() ? programSettings : user;
}

namespace {

constexpr size_t kShownLine = 64;

bool IsKeyEnd(char c) {
    return c == '=' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The value without the blanks a hand edit may leave after it.
std::string Trimmed(const std::string& value) {
    const size_t end = value.find_last_not_of(" \t");
    return end == std::string::npos ? std::string() : value.substr(0, end + 1);
}

// A problem with a line, or an empty text. Hand edits may say yes or no.
std::string ApplyBool(const std::string& value, bool& field) {
    const std::string given = Trimmed(value);
    static const char* const kWords[] = {"yes", "true", "on", "no", "false", "off"};
    for (size_t i = 0; i < std::size(kWords); ++i) {
        if (strcasecmp(given.c_str(), kWords[i]) == 0) {
            field = i < 3;
            return std::string();
        }
    }
    field = !value.empty() && value[0] == '1';
    return given == "0" || given == "1"
               ? std::string()
               : std::string("is not 0 or 1; taken as ") + (field ? "1" : "0");
}

// A problem unless value is wholly a decimal number from min to max.
std::string NumberProblem(const std::string& value, int64_t min, int64_t max, int64_t taken) {
    const std::string given = Trimmed(value);
    errno = 0;
    char* end = nullptr;
    const long long parsed = strtoll(given.c_str(), &end, 10);
    const char* problem = nullptr;
    if (given.empty() || *end != '\0') {
        problem = "is not a number";
    } else if (errno == ERANGE || parsed < min || parsed > max) {
        problem = "is out of range";
    } else {
        return std::string();
    }
    char text[80];
    snprintf(text, sizeof text, "%s; taken as %" PRId64, problem, taken);
    return text;
}

std::string ApplyInt64(const std::string& value, int64_t& field) {
    int64_t parsed = 0;
    if (sscanf(value.c_str(), "%" SCNd64, &parsed) == 1) {
        field = parsed;
    }
    return NumberProblem(value, INT64_MIN, INT64_MAX, field);
}

std::string ApplyInt32(const std::string& value, int32_t& field) {
    int parsed = 0;
    if (sscanf(value.c_str(), "%d", &parsed) == 1) {
        field = parsed;
    }
    return NumberProblem(value, INT32_MIN, INT32_MAX, field);
}

std::string ApplyText(const std::string& value, std::string& field) {
    if (value.size() <= kMaxOptionText) {
        field = value;
        return std::string();
    }
    char text[80];
    snprintf(text, sizeof text, "is longer than %zu characters; not taken", kMaxOptionText);
    return text;
}

std::string ApplyPair(const std::string& key, const std::string& value, ConvertOptions& o) {
    struct BoolKey {
        const char* name;
        bool ConvertOptions::*field;
    };
    static const BoolKey kBoolKeys[] = {
        {"convertall", &ConvertOptions::convertall},
        {"slice", &ConvertOptions::slice},
        {"pcapbyteswapped", &ConvertOptions::pcapbyteswapped},
        {"pcapmodified", &ConvertOptions::pcapmodified},
        {"pcapremoveatm", &ConvertOptions::pcapremoveatm},
        {"pcapnanoseconds", &ConvertOptions::pcapnanoseconds},
        {"pcapfcs", &ConvertOptions::pcapfcs},
        {"hexdumpextended", &ConvertOptions::hexdumpextended},
    };
    for (const BoolKey& b : kBoolKeys) {
        if (strcasecmp(key.c_str(), b.name) == 0) {
            return ApplyBool(value, o.*b.field);
        }
    }
    const char* k = key.c_str();
    if (strcasecmp(k, "convertfrom") == 0) {
        return ApplyInt64(value, o.convertfrom);
    }
    if (strcasecmp(k, "convertto") == 0) {
        return ApplyInt64(value, o.convertto);
    }
    if (strcasecmp(k, "bytes") == 0) {
        return ApplyInt32(value, o.bytes);
    }
    if (strcasecmp(k, "jobs") == 0) {
        const std::string problem = ApplyInt32(value, o.jobs);
        return problem.empty() && (o.jobs < 0 || o.jobs > kMaxJobs)
                   ? "is not a number of files from 0 (one per core) to " +
                         std::to_string(kMaxJobs) + "; taken as 0"
                   : problem;
    }
    if (strcasecmp(k, "sourcedir") == 0) {
        return ApplyText(value, o.sourcedir);
    }
    if (strcasecmp(k, "destdir") == 0) {
        return ApplyText(value, o.destdir);
    }
    if (strcasecmp(k, "format") == 0) {
        return ApplyText(value, o.format);
    }
    return std::string();
}

// Where a key's line is, for the checks made once every line is read.
struct KeyLine {
    int line = 0;  // 0: the key is not in the file
    std::string shown;
};

// Values that are each what their key takes, but not together: a range that
// selects nothing and slicing to no bytes are refused as the flags refuse them.
void CheckTogether(ConvertOptions& o, const KeyLine& all, const KeyLine& from, const KeyLine& to,
                   const KeyLine& bytes, std::vector<SettingsWarning>* warnings) {
    const ConvertOptions defaults;
    auto warn = [warnings](const KeyLine& key, const std::string& problem) {
        if (warnings != nullptr && key.line > 0) {
            warnings->push_back({key.line, key.shown + " " + problem});
        }
    };
    if (o.slice && o.bytes < 1) {
        o.bytes = defaults.bytes;
        warn(bytes, "is out of range; taken as " + std::to_string(o.bytes));
    }
    if (o.convertall) {
        return;
    }
    if (o.convertfrom < 1) {
        o.convertfrom = defaults.convertfrom;
        warn(from, "is out of range; taken as " + std::to_string(o.convertfrom));
    }
    if (o.convertto < o.convertfrom) {
        o.convertall = true;
        warn(to.line > 0     ? to
             : from.line > 0 ? from
                             : all,
             "leaves the range " + std::to_string(o.convertfrom) + "-" +
                 std::to_string(o.convertto) + " empty; taken as convertall=1");
    }
}

}  // namespace

void ParseSettings(const char* text, size_t length, ConvertOptions& options,
                   std::vector<SettingsWarning>* warnings) {
    // The text ends at its first zero byte, as a C string would.
    const char* nul = static_cast<const char*>(memchr(text, '\0', length));
    const size_t end = nul != nullptr ? static_cast<size_t>(nul - text) : length;
    size_t p = 0;
    int line = 1;
    size_t counted = 0;  // line feeds before it are in line
    KeyLine all, from, to, bytes;
    auto apply = [&](size_t keyStart, const std::string& key, const std::string& value) {
        const std::string problem = ApplyPair(key, value, options);
        line += static_cast<int>(std::count(text + counted, text + keyStart, '\n'));
        counted = keyStart;
        // p is at the line end after the value; a long line is shown by its start.
        std::string shown(text + keyStart, p - keyStart);
        if (shown.size() > kShownLine) {
            shown = shown.substr(0, kShownLine - 3) + "...";
        }
        for (auto [name, seen] : {std::pair{"convertall", &all}, std::pair{"convertfrom", &from},
                                  std::pair{"convertto", &to}, std::pair{"bytes", &bytes}}) {
            if (strcasecmp(key.c_str(), name) == 0) {
                *seen = {line, shown};
            }
        }
        if (!problem.empty() && warnings != nullptr) {
            warnings->push_back({line, shown + " " + problem});
        }
    };
    for (;;) {
        while (p < end &&
               (text[p] == ' ' || text[p] == '\t' || text[p] == '\r' || text[p] == '\n')) {
            ++p;
        }
        if (p >= end) {
            break;
        }
        const size_t keyStart = p;
        while (p < end && !IsKeyEnd(text[p])) {
            ++p;
        }
        if (p >= end) {
            break;
        }
        const std::string key(text + keyStart, p - keyStart);
        ++p;
        while (p < end && (text[p] == ' ' || text[p] == '\t')) {
            ++p;
        }
        if (p < end && text[p] == '\n') {
            apply(keyStart, key, std::string());
            ++p;
            continue;
        }
        const size_t valueStart = p;
        while (p < end && text[p] != '\r' && text[p] != '\n') {
            ++p;
        }
        if (p >= end) {
            break;  // a last line without a line end is not taken
        }
        apply(keyStart, key, std::string(text + valueStart, p - valueStart));
        ++p;
    }
    CheckTogether(options, all, from, to, bytes, warnings);
}

void LoadSettings(const std::string& path, ConvertOptions& options,
                  std::vector<std::string>* warnings) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return;
    }
    std::vector<char> text(kSettingsLimit, '\0');
    const size_t n = fread(text.data(), 1, text.size(), file);
    fclose(file);
    std::vector<SettingsWarning> problems;
    ParseSettings(text.data(), n, options, warnings != nullptr ? &problems : nullptr);
    for (const SettingsWarning& problem : problems) {
        warnings->push_back("Warning: " + path + " line " + std::to_string(problem.line) + ": " +
                            problem.text + ".\r\n");
    }
}

std::string FormatSettings(const ConvertOptions& o) {
    std::vector<char> text(kSettingsLimit);
    int n = snprintf(text.data(), text.size(),
                     "convertall=%d\r\nconvertfrom=%" PRId64 "\r\nconvertto=%" PRId64
                     "\r\nslice=%d\r\nbytes=%d\r\npcapbyteswapped=%d\r\npcapmodified=%d\r\n"
                     "pcapremoveatm=%d\r\npcapnanoseconds=%d\r\nhexdumpextended=%d\r\n"
                     "sourcedir=%s\r\ndestdir=%s\r\nformat=%s\r\n",
                     o.convertall ? 1 : 0, o.convertfrom, o.convertto, o.slice ? 1 : 0, o.bytes,
                     o.pcapbyteswapped ? 1 : 0, o.pcapmodified ? 1 : 0, o.pcapremoveatm ? 1 : 0,
                     o.pcapnanoseconds ? 1 : 0, o.hexdumpextended ? 1 : 0,
                     o.sourcedir.substr(0, kMaxOptionText).c_str(),
                     o.destdir.substr(0, kMaxOptionText).c_str(),
                     o.format.substr(0, kMaxOptionText).c_str());
    std::string settings(text.data(), n < 0 ? 0 : std::min<size_t>(n, text.size() - 1));
    // Written only when set, so that a file of default settings stays as
    // every earlier version wrote it.
    if (o.pcapfcs) {
        settings += "pcapfcs=1\r\n";
    }
    if (o.jobs != 0) {
        settings += "jobs=" + std::to_string(o.jobs) + "\r\n";
    }
    return settings;
}

int SaveSettings(const std::string& path, const ConvertOptions& options) {
    const size_t slash = path.rfind('/');
    errno = 0;
    // A file in the folder's place leaves errno alone; opening then tells why.
    if (slash != std::string::npos && slash > 0 &&
        !CreateFolderWithParents(path.substr(0, slash)) && errno != 0) {
        return errno;
    }
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return errno;
    }
    const std::string text = FormatSettings(options);
    const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeError = errno;
    if (fclose(file) != 0) {
        return errno;
    }
    return written ? 0 : writeError;
}

}  // namespace translator
