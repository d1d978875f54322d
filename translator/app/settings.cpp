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
#include "option_table.h"

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
        const OptionRow* row = OptionByKey(key);
        const std::string problem =
            row != nullptr ? ApplySetting(*row, value, options) : std::string();
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

// Keys written only when set leave a file of default settings as every
// earlier version wrote it.
std::string FormatSettings(const ConvertOptions& options) {
    std::string settings;
    for (const OptionRow& row : OptionTable()) {
        settings += SettingLine(row, options);
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
