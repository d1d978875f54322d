#include "formats/pcapng/pcapng.h"
#include "reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static translator::PcapngReader reader;
    return translator::FuzzReader(reader, data, size);
}
