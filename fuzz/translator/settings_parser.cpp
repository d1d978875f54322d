#include "app/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    translator::ConvertOptions options;
    std::vector<translator::SettingsWarning> warnings;
    translator::ParseSettings(reinterpret_cast<const char*>(data), size, options, &warnings);
    return 0;
}
