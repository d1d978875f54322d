// A Meridel library of another version: every export but CreateMeridelFile.
#include "meridel/meridel_api.h"

extern "C" {

MERIDEL_EXPORT int32_t AddFrameToFile(CaptureFileHandle*, const uint8_t*, uint32_t) {
    return 0;
}
MERIDEL_EXPORT int32_t UpdateBasicConfig(CaptureFileHandle*, FileConfigInfo*) {
    return -1;
}
MERIDEL_EXPORT int32_t CloseMeridelFile(CaptureFileHandle*) {
    return -1;
}
MERIDEL_EXPORT CaptureFileHandle* OpenMeridelFile(const char*, uint32_t*, FileConfigInfo*) {
    return nullptr;
}
MERIDEL_EXPORT uint8_t* ReadFramesFromFile(CaptureFileHandle*, uint32_t, uint32_t*) {
    return nullptr;
}
MERIDEL_EXPORT void FreeMeridelBuffer(void*) {}
MERIDEL_EXPORT size_t MeridelBufferSize(const void*) {
    return 0;
}
}
