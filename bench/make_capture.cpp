// Writes a synthetic Ethernet pcap for benchmarks: N frames of mixed lengths
// (64..1518 bytes on the line, stored without their FCS as capture tools
// store them) and rising time stamps. The file is written as it is made, so
// its size does not bound memory.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "engine/buffered_file.h"

namespace {

// "6GiB" or "512MiB": a size in bytes; 0 for anything else.
int64_t ParseSize(const char* text) {
    char* end = nullptr;
    const int64_t number = strtoll(text, &end, 10);
    if (end == text || number <= 0) {
        return 0;
    }
    if (strcmp(end, "GiB") == 0) {
        return number << 30;
    }
    return strcmp(end, "MiB") == 0 ? number << 20 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace byte_order;
    using namespace translator;
    if (argc < 2 || argc > 4) {
        fprintf(stderr, "usage: make_capture FOLDER [FRAMES | SIZE(MiB|GiB)] [NAME]\n");
        return 2;
    }
    const char* amount = argc >= 3 ? argv[2] : "1000000";
    // A size instead of a count writes frames until the file reaches it.
    const int64_t bytes = ParseSize(amount);
    const int64_t frames = bytes > 0 ? INT64_MAX : strtoll(amount, nullptr, 10);
    const std::string path = std::string(argv[1]) + "/" + (argc == 4 ? argv[3] : "bench.pcap");
    OutputFile out;
    if (!out.Create(path)) {
        fprintf(stderr, "cannot create %s\n", path.c_str());
        return 1;
    }
    uint8_t header[24] = {};
    StoreLE32(header, 0xA1B2C3D4);
    StoreLE16(header + 4, 2);
    StoreLE16(header + 6, 4);
    StoreLE32(header + 16, 65535);
    StoreLE32(header + 20, 1);
    out.Write(header, sizeof header);
    std::vector<uint8_t> frame(1518);
    uint32_t seconds = 1700000000;
    uint32_t micros = 0;
    uint32_t seed = 12345;
    int64_t i = 0;
    for (; i < frames && (bytes == 0 || out.Tell() < bytes); ++i) {
        seed = seed * 1103515245u + 12345u;
        // Mostly small and full-size frames, as on a real LAN.
        const uint32_t pick = (seed >> 16) % 100;
        const uint32_t length = pick < 45   ? 64 + (seed >> 8) % 64
                                : pick < 80 ? 1518
                                            : 64 + (seed >> 4) % 1455;
        const uint32_t stored = length - 4;
        for (uint32_t b = 0; b < stored; ++b) {
            frame[b] = static_cast<uint8_t>(b + i);
        }
        micros += 137 + (seed >> 20) % 500;
        seconds += micros / 1000000;
        micros %= 1000000;
        uint8_t record[16];
        StoreLE32(record, seconds);
        StoreLE32(record + 4, micros);
        StoreLE32(record + 8, stored);
        StoreLE32(record + 12, stored);
        if (!out.Write(record, sizeof record) || !out.Write(frame.data(), stored)) {
            fprintf(stderr, "write failed\n");
            return 1;
        }
    }
    if (!out.Close()) {
        fprintf(stderr, "write failed\n");
        return 1;
    }
    printf("%s: %" PRId64 " frames\n", path.c_str(), i);
    return 0;
}
