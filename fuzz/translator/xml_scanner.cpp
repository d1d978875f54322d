#include <string>

#include "formats/feldane/feldane.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    translator::ParseFeldaneInterfaces(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
