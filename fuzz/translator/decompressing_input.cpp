// Reads the input through the decompressing input, then seeks back and forth
// and reads again: both readings must agree, whatever the bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/decompressing_input.h"

namespace {

// What the second reading compares; more is only decoded.
constexpr size_t kKept = 64 * 1024;
// Past a few decoder buffers more output finds nothing new, only costs time.
constexpr int64_t kDecodedLimit = 1024 * 1024;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int fd = memfd_create("fuzz-input", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    static translator::DecompressingInput input;
    if (!input.Open("/proc/self/fd/" + std::to_string(fd))) {
        return 0;
    }
    std::vector<uint8_t> kept;
    uint8_t chunk[4099];
    // Chunk sizes vary with the input, so that reads straddle buffer ends;
    // past the first few they are large, as small ones only cost time there.
    const size_t step = size > 0 ? 1 + data[size - 1] * 16 : 1;
    constexpr int64_t kSmallStepsEnd = 4096;
    for (;;) {
        const int64_t before = input.Tell();
        Check(before >= 0);
        const size_t n = before < kSmallStepsEnd ? std::min(step, sizeof chunk) : sizeof chunk;
        if (before >= kDecodedLimit || !input.Read(chunk, n)) {
            break;
        }
        Check(input.Tell() == before + static_cast<int64_t>(n));
        const size_t keep = std::min(n, kKept - std::min(kept.size(), kKept));
        kept.insert(kept.end(), chunk, chunk + keep);
    }
    const bool broken = input.Broken();
    Check(input.Seek(0));
    std::vector<uint8_t> again(kept.size());
    Check(input.Read(again.data(), again.size()));
    Check(again == kept);
    if (kept.size() > 2) {
        const size_t middle = kept.size() / 2;
        Check(input.Seek(static_cast<int64_t>(middle)));
        Check(input.Read(chunk, 1) && chunk[0] == kept[middle]);
        Check(input.Skip(static_cast<int64_t>(kept.size() - middle - 2)));
        Check(input.Read(chunk, 1) && chunk[0] == kept.back());
    }
    Check(input.Compression() != translator::COMPRESSION_NONE || !broken);
    input.Close();
    return 0;
}
