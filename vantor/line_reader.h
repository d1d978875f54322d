// The line-at-a-time view of a file that both source kinds are recognised
// and scanned through: a line longer than the limit comes in several pieces.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace vantor {

// Reads at most maxChars bytes, stopping after a newline; false at end of file.
bool ReadLineFragment(std::FILE* stream, size_t maxChars, std::string& line);

inline bool Contains(std::string_view line, std::string_view text) {
    return line.find(text) != std::string_view::npos;
}

// The characters of [begin, end) that the line actually has.
inline std::string_view Columns(std::string_view line, size_t begin, size_t end) {
    if (begin >= line.size()) {
        return {};
    }
    return line.substr(begin, end - begin);
}

}  // namespace vantor
