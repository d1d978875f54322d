#include "formats/quillon/quillon.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static translator::QuillonReader reader;
    return translator::FuzzReader(reader, data, size);
}
