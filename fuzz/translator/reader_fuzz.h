#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "engine/trace_reader.h"

namespace translator {

// Hands bytes to a reader as a file (an anonymous in-memory one) and reads
// every frame the way the conversion loop does.
inline int FuzzReader(TraceReader& reader, const uint8_t* data, size_t size) {
    static int fd = memfd_create("fuzz-input", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (reader.Open(path)) {
        while (reader.ReadFrame()) {
            reader.info.Accumulate(reader.frame);
        }
        reader.Close();
    }
    return 0;
}

}  // namespace translator
