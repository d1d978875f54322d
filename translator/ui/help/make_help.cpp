// Writes the user guide from its template: the format table is filled in from
// the translator's own format table and what its modules declare they read
// and write, so the guide cannot fall behind them.
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "engine/engine.h"
#include "engine/format_table.h"

namespace {

using namespace translator;

const char kRowsMark[] = "<!-- format rows -->\n";

std::string Cell(const char* text) {
    return std::string("<td>") + text + "</td>";
}

std::string FormatRows() {
    const TranslatorEngine engine;
    std::string rows;
    for (int id = 1; id < kFormatCount; ++id) {
        rows += "<tr>" + Cell(FormatName(id)) + Cell(FormatCode(id)) + Cell(FormatExtension(id)) +
                Cell(FormatSuffix(id)) + Cell(engine.ReaderOf(id) != nullptr ? "yes" : "") +
                Cell(engine.WriterOf(id) != nullptr ? "yes" : "") + "</tr>\n";
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_help TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string html = text.str();
    const size_t mark = html.find(kRowsMark);
    if (!in || mark == std::string::npos) {
        std::cerr << argv[1] << ": no line " << kRowsMark;
        return 1;
    }
    html.replace(mark, strlen(kRowsMark), FormatRows());
    std::ofstream out(argv[2], std::ios::binary);
    out << html;
    return out ? 0 : 1;
}
