#include "paths.h"

#include <strings.h>
#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "engine/format_table.h"

namespace translator::ui {

PathKind KindOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        return PathKind::kMissing;
    }
    return S_ISDIR(st.st_mode) ? PathKind::kFolder : PathKind::kFile;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string SourcePath(const std::string& text) {
    std::string path = Trim(text);
    if (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.pop_back();
    }
    return path;
}

bool SameText(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::string ReduceToFolder(const std::string& path) {
    if (KindOf(path) == PathKind::kFolder) {
        return path;
    }
    const size_t separator = path.find_last_of("/\\");
    if (separator == std::string::npos || separator == 0) {
        return path;
    }
    return path.substr(0, separator);
}

size_t NameStart(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? 0 : separator + 1;
}

std::string ReplaceSuffix(const std::string& path, int format) {
    const size_t start = NameStart(path);
    const std::string name = path.substr(start);
    for (int id = 1; id < kFormatCount; ++id) {
        const size_t length = strlen(FormatSuffix(id));
        if (name.size() >= length &&
            strcasecmp(name.c_str() + name.size() - length, FormatSuffix(id)) == 0) {
            return path.substr(0, path.size() - length) + FormatSuffix(format);
        }
    }
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return path + FormatSuffix(format);
    }
    return path.substr(0, start + dot) + FormatSuffix(format);
}

bool ParseInt64(const std::string& text, int64_t* value) {
    int64_t parsed = 0;
    if (sscanf(text.c_str(), "%" SCNd64, &parsed) != 1) {
        return false;
    }
    *value = parsed;
    return true;
}

}  // namespace translator::ui
