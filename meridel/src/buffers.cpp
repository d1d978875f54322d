#include "buffers.h"

#include <cstdlib>
#include <cstring>

namespace meridel {

namespace {

// Keeps the bytes after the size as aligned as malloc's own.
constexpr size_t kPrefix = alignof(max_align_t);

}  // namespace

uint8_t* AllocateBuffer(size_t size) {
    auto* block = static_cast<uint8_t*>(malloc(kPrefix + size));
    if (block == nullptr) {
        return nullptr;
    }
    memcpy(block, &size, sizeof size);
    return block + kPrefix;
}

void ReleaseBuffer(void* buffer) {
    if (buffer != nullptr) {
        free(static_cast<uint8_t*>(buffer) - kPrefix);
    }
}

size_t BufferSize(const void* buffer) {
    size_t size = 0;
    if (buffer != nullptr) {
        memcpy(&size, static_cast<const uint8_t*>(buffer) - kPrefix, sizeof size);
    }
    return size;
}

}  // namespace meridel
