// libTervo.so with injected faults: forwards every export to the real library
// unless the function is the one chosen to fail.
#include "support/fault_shim.h"
#include "tervo_file.h"

using testsupport::InjectFault;
using testsupport::RealFunction;

#define FORWARD(name) RealFunction<decltype(name)>(#name)

extern "C" {

void* OpenTervoFile(const char* fileName, TervoFileInfo* info) {
    return InjectFault("OpenTervoFile") ? nullptr : FORWARD(OpenTervoFile)(fileName, info);
}
TervoFrame* ReadTervoFrame(void* handle) {
    return InjectFault("ReadTervoFrame") ? nullptr : FORWARD(ReadTervoFrame)(handle);
}
void FreeTervoFrame(void* handle, TervoFrame* frame) {
    FORWARD(FreeTervoFrame)(handle, frame);
}
void CloseTervoFile(void* handle) {
    FORWARD(CloseTervoFile)(handle);
}
void* CreateTervoFile(const char* fileName, TervoFileInfo* info) {
    return InjectFault("CreateTervoFile") ? nullptr : FORWARD(CreateTervoFile)(fileName, info);
}
int WriteTervoFrame(void* handle, TervoFrame* frame) {
    return InjectFault("WriteTervoFrame") ? 0 : FORWARD(WriteTervoFrame)(handle, frame);
}
// The handle ends either way; only the result is false.
int SaveTervoFile(void* handle) {
    const int saved = FORWARD(SaveTervoFile)(handle);
    return InjectFault("SaveTervoFile") ? 0 : saved;
}

}  // extern "C"
