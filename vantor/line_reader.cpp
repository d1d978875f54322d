#include "line_reader.h"

namespace vantor {

bool ReadLineFragment(std::FILE* stream, size_t maxChars, std::string& line) {
    line.clear();
    while (line.size() < maxChars) {
        const int c = std::getc(stream);
        if (c == EOF) {
            break;
        }
        line.push_back(static_cast<char>(c));
        if (c == '\n') {
            break;
        }
    }
    return !line.empty();
}

}  // namespace vantor
