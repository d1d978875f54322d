#include <cstdio>
#include <string>

#include "core/engine.h"
#include "core/format_table.h"

int main(int argc, char** argv) {
    using namespace translator;
    if (argc < 4) {
        printf("Usage: Translator [source file or dir] [dest file or dir] [format]\r\n");
        return -1;
    }
    TranslatorEngine engine;
    ConvertOptions options;
    bool ok = engine.ConvertFile(argv[1], argv[2], FindFormat(argv[3]), options);
    if (!ok && engine.Sink().Messages() != nullptr) {
        fputs(engine.Sink().Messages(), stdout);
    }
    printf("\r\n");
    return ok ? 0 : -1;
}
