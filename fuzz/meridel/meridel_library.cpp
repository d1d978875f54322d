// Opens the input as a Meridel file and reads every block, as the
// translator's reader does.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "meridel/meridel_api.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int fd = memfd_create("fuzz-input", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    uint32_t records = 0;
    FileConfigInfo info{};
    CaptureFileHandle* handle = OpenMeridelFile(path.c_str(), &records, &info);
    if (handle == nullptr) {
        return 0;
    }
    FreeMeridelBuffer(info.extension);
    uint32_t count = 0;
    for (uint32_t block = 0; uint8_t* bytes = ReadFramesFromFile(handle, block, &count); ++block) {
        volatile uint8_t sum = 0;
        for (size_t i = 0, n = MeridelBufferSize(bytes); i < n; ++i) {
            sum = sum + bytes[i];
        }
        FreeMeridelBuffer(bytes);
    }
    CloseMeridelFile(handle);
    return 0;
}
