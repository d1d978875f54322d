// Hands bytes to the library's read exports as a file: OpenTervoFile with its
// date parsing, then every frame through ReadTervoFrame and FreeTervoFrame.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "tervo_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int fd = memfd_create("fuzz-input", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    TervoFileInfo info{};
    void* handle = OpenTervoFile(path.c_str(), &info);
    if (handle == nullptr) {
        return 0;
    }
    // A bound keeps each run short; the parser bounds itself by the file size.
    for (int i = 0; i < 5000; ++i) {
        TervoFrame* frame = ReadTervoFrame(handle);
        if (frame == nullptr) {
            break;
        }
        FreeTervoFrame(handle, frame);
    }
    CloseTervoFile(handle);
    return 0;
}
