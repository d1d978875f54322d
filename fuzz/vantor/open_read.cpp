// Opens the input as a Vantor capture file or text listing and reads every
// block the library hands out.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "vantor_converter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Both source kinds are opened by path; the input becomes an in-memory file.
    static const int fd = memfd_create("vantor-input", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    int count = 0;
    VantorFileInfo info{};
    void* file = OpenVantorFile(path.c_str(), &count, &info);
    if (file == nullptr) {
        return 0;
    }
    for (int block = 0;; ++block) {
        int items = 0;
        if (ReadFramesFromFile(file, block, &items) == nullptr || items == 0) {
            break;
        }
    }
    CloseVantorFile(file);
    return 0;
}
