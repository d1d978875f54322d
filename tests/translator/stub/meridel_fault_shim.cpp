// libMeridelDLL.so with injected faults: forwards every export to the real
// library unless the function is the one chosen to fail.
#include "meridel/meridel_api.h"
#include "support/fault_shim.h"

using testsupport::InjectFault;
using testsupport::RealFunction;

#define FORWARD(name) RealFunction<decltype(name)>(#name)

extern "C" {

MERIDEL_EXPORT CaptureFileHandle* CreateMeridelFile(const char* path, uint32_t expectedFrames,
                                                    FileConfigInfo* info) {
    return InjectFault("CreateMeridelFile")
               ? nullptr
               : FORWARD(CreateMeridelFile)(path, expectedFrames, info);
}
MERIDEL_EXPORT int32_t AddFrameToFile(CaptureFileHandle* handle, const uint8_t* data,
                                      uint32_t length) {
    return InjectFault("AddFrameToFile") ? 0 : FORWARD(AddFrameToFile)(handle, data, length);
}
MERIDEL_EXPORT int32_t UpdateBasicConfig(CaptureFileHandle* handle, FileConfigInfo* info) {
    return InjectFault("UpdateBasicConfig") ? -1 : FORWARD(UpdateBasicConfig)(handle, info);
}
// The handle ends either way; only the result is a failure.
MERIDEL_EXPORT int32_t CloseMeridelFile(CaptureFileHandle* handle) {
    const int32_t result = FORWARD(CloseMeridelFile)(handle);
    return InjectFault("CloseMeridelFile") ? -1 : result;
}
MERIDEL_EXPORT CaptureFileHandle* OpenMeridelFile(const char* path, uint32_t* recordCount,
                                                  FileConfigInfo* info) {
    return InjectFault("OpenMeridelFile") ? nullptr
                                          : FORWARD(OpenMeridelFile)(path, recordCount, info);
}
MERIDEL_EXPORT uint8_t* ReadFramesFromFile(CaptureFileHandle* handle, uint32_t block,
                                           uint32_t* recordCount) {
    return InjectFault("ReadFramesFromFile")
               ? nullptr
               : FORWARD(ReadFramesFromFile)(handle, block, recordCount);
}
MERIDEL_EXPORT void FreeMeridelBuffer(void* buffer) {
    FORWARD(FreeMeridelBuffer)(buffer);
}
MERIDEL_EXPORT size_t MeridelBufferSize(const void* buffer) {
    return FORWARD(MeridelBufferSize)(buffer);
}

}  // extern "C"
