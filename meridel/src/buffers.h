#pragma once

#include <cstddef>
#include <cstdint>

namespace meridel {

// Buffers handed to callers remember their size just before the bytes, so
// that FreeMeridelBuffer and MeridelBufferSize need nothing else. Null when
// memory is short.
uint8_t* AllocateBuffer(size_t size);
void ReleaseBuffer(void* buffer);
size_t BufferSize(const void* buffer);

}  // namespace meridel
