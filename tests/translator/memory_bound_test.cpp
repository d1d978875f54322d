// Counts and lengths taken from a file never size memory on their own: every
// reader opens and reads hostile variants of its seed files (each 16-bit
// aligned field of the first bytes set to extreme values in turn) while every
// allocation is watched. The largest single allocation and the peak of live
// heap above the start are bounded, and every read loop ends.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "console/console_progress.h"
#include "engine/engine.h"
#include "support/files.h"

namespace {

struct HeapWatch {
    bool active = false;
    size_t live = 0;
    size_t peak = 0;
    size_t largest = 0;
};
HeapWatch watch;

void* Allocate(size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    if (watch.active) {
        watch.largest = std::max(watch.largest, size);
        watch.live += malloc_usable_size(p);
        watch.peak = std::max(watch.peak, watch.live);
    }
    return p;
}

void Release(void* p) {
    if (p != nullptr && watch.active) {
        const size_t size = malloc_usable_size(p);
        watch.live = watch.live > size ? watch.live - size : 0;
    }
    std::free(p);
}

}  // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, size_t) noexcept {
    Release(p);
}

namespace translator {
namespace {

using namespace testsupport;

// Above the 1 MiB read buffer and a bridge library's block, far below any
// table sized from a hostile 32-bit count.
constexpr size_t kHeapLimit = 4u << 20;
constexpr size_t kMutatedBytes = 256;
constexpr size_t kLargestSeed = 64u << 10;

struct Usage {
    size_t largest = 0;
    size_t peak = 0;
    uint64_t frames = 0;
};

Usage ReadWatched(TraceReader& reader, const std::string& path) {
    watch = HeapWatch{};
    watch.active = true;
    Usage usage;
    if (reader.Open(path)) {
        while (reader.ReadFrame()) {
            // A loop that does not advance is stopped well past any real count.
            if (++usage.frames > 1u << 20) {
                break;
            }
        }
        reader.Close();
    }
    watch.active = false;
    usage.largest = watch.largest;
    usage.peak = watch.peak;
    return usage;
}

TraceReader* ReaderOf(TranslatorEngine& engine, const std::string& path) {
    for (const auto& reader : engine.Readers()) {
        if (reader->Open(path)) {
            reader->Close();
            return reader.get();
        }
    }
    return nullptr;
}

TEST(MemoryBound, HostileCountsAndLengthsDoNotSizeMemory) {
    const std::vector<std::string> seedSets = {
        "tcpdump_reader",     "netmon_reader",   "snoop_reader",        "netxray_reader",
        "peek_reader",        "observer_reader", "domino_reader",       "fireberd_reader",
        "quillon_reader",     "feldane_reader",  "vcf_tervo_open_read", "meridel_library",
        "decompressing_input"};
    const std::vector<std::vector<uint8_t>> extremes = {
        {0xFF, 0xFF, 0xFF, 0xFF}, {0x7F, 0xFF, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF, 0x7F}};
    TempDir dir;
    // Recordings that come with a companion file find this one.
    WriteText(dir.file("hostile.xml"),
              "<interface index=1 name=A limtype=\"Fast Ethernet\"/>\n"
              "<interface index=2 name=B limtype=ATM/>\n");
    TranslatorEngine engine;
    ConsoleProgress quiet(fopen("/dev/null", "w"));
    engine.SetSink(&quiet);
    for (const auto& set : seedSets) {
        const auto seeds = ListFiles(std::string(FUZZ_SEED_ROOT) + "/" + set, "");
        ASSERT_FALSE(seeds.empty()) << set;
        Usage worst;
        int variants = 0;
        for (const auto& seed : seeds) {
            const std::vector<uint8_t> original = ReadFile(seed);
            const std::string hostile =
                dir.file("hostile" + std::filesystem::path(seed).extension().string());
            WriteFile(hostile, original);
            TraceReader* reader = ReaderOf(engine, hostile);
            if (reader == nullptr || original.size() > kLargestSeed) {
                continue;
            }
            const size_t end = std::min(original.size(), kMutatedBytes);
            for (size_t at = 0; at + 4 <= end; at += 2) {
                for (const auto& value : extremes) {
                    std::vector<uint8_t> bytes = original;
                    std::copy(value.begin(), value.end(), bytes.begin() + at);
                    WriteFile(hostile, bytes);
                    const Usage usage = ReadWatched(*reader, hostile);
                    ++variants;
                    EXPECT_LE(usage.largest, kHeapLimit) << seed << " at " << at;
                    EXPECT_LE(usage.peak, kHeapLimit) << seed << " at " << at;
                    EXPECT_LE(usage.frames, 1u << 20) << seed << " at " << at;
                    worst.largest = std::max(worst.largest, usage.largest);
                    worst.peak = std::max(worst.peak, usage.peak);
                    worst.frames = std::max(worst.frames, usage.frames);
                }
            }
        }
        EXPECT_GT(variants, 0) << set;
        RecordProperty(set + "_largest_allocation", std::to_string(worst.largest));
        RecordProperty(set + "_peak_heap", std::to_string(worst.peak));
        printf("%-22s %6d variants, largest allocation %8zu, peak heap %8zu, most frames %6llu\n",
               set.c_str(), variants, worst.largest, worst.peak,
               static_cast<unsigned long long>(worst.frames));
    }
}

}  // namespace
}  // namespace translator
