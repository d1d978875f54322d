#include "settings.h"

#include <strings.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

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

std::string ProgramPath() {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

std::string ProgramFolder() {
    const std::string program = ProgramPath();
    const size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

namespace {

bool IsKeyEnd(char c) {
    return c == '=' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void ApplyBool(const std::string& value, bool& field) {
    field = !value.empty() && value[0] == '1';
}

void ApplyInt64(const std::string& value, int64_t& field) {
    int64_t parsed = 0;
    if (sscanf(value.c_str(), "%" SCNd64, &parsed) == 1) {
        field = parsed;
    }
}

void ApplyInt32(const std::string& value, int32_t& field) {
    int parsed = 0;
    if (sscanf(value.c_str(), "%d", &parsed) == 1) {
        field = parsed;
    }
}

void ApplyText(const std::string& value, std::string& field) {
    if (value.size() <= kMaxOptionText) {
        field = value;
    }
}

void ApplyPair(const std::string& key, const std::string& value, ConvertOptions& o) {
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
            ApplyBool(value, o.*b.field);
            return;
        }
    }
    const char* k = key.c_str();
    if (strcasecmp(k, "convertfrom") == 0) {
        ApplyInt64(value, o.convertfrom);
    } else if (strcasecmp(k, "convertto") == 0) {
        ApplyInt64(value, o.convertto);
    } else if (strcasecmp(k, "bytes") == 0) {
        ApplyInt32(value, o.bytes);
    } else if (strcasecmp(k, "jobs") == 0) {
        ApplyInt32(value, o.jobs);
    } else if (strcasecmp(k, "sourcedir") == 0) {
        ApplyText(value, o.sourcedir);
    } else if (strcasecmp(k, "destdir") == 0) {
        ApplyText(value, o.destdir);
    } else if (strcasecmp(k, "format") == 0) {
        ApplyText(value, o.format);
    }
}

}  // namespace

void ParseSettings(const char* text, size_t length, ConvertOptions& options) {
    // The text ends at its first zero byte, as a C string would.
    const char* nul = static_cast<const char*>(memchr(text, '\0', length));
    const size_t end = nul != nullptr ? static_cast<size_t>(nul - text) : length;
    size_t p = 0;
    for (;;) {
        while (p < end &&
               (text[p] == ' ' || text[p] == '\t' || text[p] == '\r' || text[p] == '\n')) {
            ++p;
        }
        if (p >= end) {
            return;
        }
        const size_t keyStart = p;
        while (p < end && !IsKeyEnd(text[p])) {
            ++p;
        }
        if (p >= end) {
            return;
        }
        const std::string key(text + keyStart, p - keyStart);
        ++p;
        while (p < end && (text[p] == ' ' || text[p] == '\t')) {
            ++p;
        }
        if (p < end && text[p] == '\n') {
            ApplyPair(key, std::string(), options);
            ++p;
            continue;
        }
        const size_t valueStart = p;
        while (p < end && text[p] != '\r' && text[p] != '\n') {
            ++p;
        }
        if (p >= end) {
            return;  // a last line without a line end is not taken
        }
        ApplyPair(key, std::string(text + valueStart, p - valueStart), options);
        ++p;
    }
}

void LoadSettings(const std::string& path, ConvertOptions& options) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return;
    }
    std::vector<char> text(kSettingsLimit, '\0');
    const size_t n = fread(text.data(), 1, text.size(), file);
    fclose(file);
    ParseSettings(text.data(), n, options);
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

void SaveSettings(const std::string& path, const ConvertOptions& options) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return;
    }
    const std::string text = FormatSettings(options);
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

}  // namespace translator
