// The exported functions and the library's one-file-at-a-time state.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capture_file_reader.h"
#include "capture_format.h"
#include "capture_writer.h"
#include "common/byte_order.h"
#include "line_reader.h"
#include "text_listing.h"
#include "vantor_converter.h"

// The record keeps the documented field offsets up to the description; the
// two pointers follow in their natural alignment.
static_assert(offsetof(VantorFileInfo, lineCode) == 8);
static_assert(offsetof(VantorFileInfo, captureStart) == 24);
static_assert(offsetof(VantorFileInfo, description) == 32);
static_assert(offsetof(VantorFileInfo, reservedPointer1) == 136);
static_assert(offsetof(VantorFileInfo, reservedPointer2) == 144);

namespace vantor {

using namespace byte_order;

namespace {

// The first line of a source tells a capture file from a text listing.
constexpr size_t kFirstLineChars = 79;

enum class Mode { kIdle, kReadingFile, kReadingListing, kWriting };

struct LibraryState {
    std::FILE* stream = nullptr;
    Mode mode = Mode::kIdle;
    // Kept after a file closes, so that its last block can still be printed.
    VantorFileInfo info{};
    std::vector<uint8_t> block;
    std::unique_ptr<CaptureFileReader> fileReader;
    std::unique_ptr<TextListingReader> listingReader;
    std::unique_ptr<CaptureWriter> writer;
};

LibraryState& State() {
    static LibraryState state;
    return state;
}

// Opening or creating forgets the previous file; its stream is closed rather
// than leaked, and its handle is refused from then on.
void Reset() {
    LibraryState& state = State();
    if (state.stream != nullptr) {
        std::fclose(state.stream);
    }
    state = LibraryState{};
}

bool IsCurrent(void* handle, Mode mode) {
    return handle != nullptr && handle == State().stream && State().mode == mode;
}

// No exception may leave the library; any one ends the call with its failure value.
template <typename Result, typename Body>
Result Guarded(Result failure, Body body) {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

std::string ReadFirstLine(std::FILE* stream) {
    std::string line;
    ReadLineFragment(stream, kFirstLineChars, line);
    std::erase(line, '\0');
    return line;
}

void* Open(const char* path, int* count, VantorFileInfo* info) {
    Reset();
    if (path == nullptr) {
        return nullptr;
    }
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) {
        return nullptr;
    }
    LibraryState& state = State();
    state.stream = stream;
    const std::string firstLine = ReadFirstLine(stream);
    VantorFileInfo found{};
    int records = 0;
    if (Contains(firstLine, kListingTitle)) {
        state.listingReader = std::make_unique<TextListingReader>();
        if (!state.listingReader->Open(stream, found)) {
            Reset();
            return nullptr;
        }
        state.mode = Mode::kReadingListing;
        records = state.listingReader->recordCount();
    } else if (Contains(firstLine, kFileTitle)) {
        state.fileReader = std::make_unique<CaptureFileReader>();
        if (!state.fileReader->Open(stream, found)) {
            Reset();
            return nullptr;
        }
        state.mode = Mode::kReadingFile;
        records = state.fileReader->recordCount();
    } else {
        Reset();
        return nullptr;
    }
    state.info = found;
    if (info != nullptr) {
        *info = found;
    }
    if (count != nullptr) {
        *count = records;
    }
    return stream;
}

void* ReadBlock(void* handle, int block, int* count) {
    if (count != nullptr) {
        *count = 0;
    }
    LibraryState& state = State();
    if (block < 0 ||
        !(IsCurrent(handle, Mode::kReadingFile) || IsCurrent(handle, Mode::kReadingListing))) {
        return nullptr;
    }
    state.block.clear();
    // The buffer handed out is never null, even for a block past the end.
    state.block.reserve(kAtmItemSize);
    const int items = state.mode == Mode::kReadingFile
                          ? state.fileReader->ReadBlock(block, state.block)
                          : state.listingReader->ReadBlock(block, state.block);
    std::printf("\nNumber of frames in Block: %d\n", items);
    if (count != nullptr) {
        *count = items;
    }
    return state.block.data();
}

void* Create(const char* path, int count, VantorFileInfo* info) {
    Reset();
    if (path == nullptr || info == nullptr || count < 0) {
        return nullptr;
    }
    if (count == 0) {
        std::fprintf(stderr, "Open: Number of frames is unknown\n");
    }
    // A listing with abbreviated payloads cannot give whole frames; an unknown
    // kind is refused before any file is created.
    if (info->truncated != 0 || (info->kind != kKindAtm && info->kind != kKindMac)) {
        return nullptr;
    }
    std::FILE* stream = std::fopen(path, "w+b");
    if (stream == nullptr) {
        return nullptr;
    }
    LibraryState& state = State();
    state.stream = stream;
    state.info = *info;
    state.writer = std::make_unique<CaptureWriter>(stream, info->kind, info->captureStart);
    if (!state.writer->WriteStart(static_cast<uint32_t>(count))) {
        Reset();
        return nullptr;
    }
    state.mode = Mode::kWriting;
    return stream;
}

int Add(void* handle, const unsigned char* item, int length) {
    if (!IsCurrent(handle, Mode::kWriting) || item == nullptr || length < 0) {
        return 0;
    }
    return State().writer->AddRecord(item, length) ? 1 : 0;
}

int Close(void* handle) {
    LibraryState& state = State();
    if (IsCurrent(handle, Mode::kReadingFile) || IsCurrent(handle, Mode::kReadingListing)) {
        const VantorFileInfo info = state.info;
        Reset();
        state.info = info;
        return 0;
    }
    if (!IsCurrent(handle, Mode::kWriting)) {
        return -1;
    }
    // The header and index always hold the records actually added, whatever was announced.
    const int added = state.writer->recordsAdded();
    if (state.writer->announcedCount() == 0) {
        std::fprintf(stderr, "Close: Frame Count was unknown. Saving with %d frames.\n", added);
    }
    const bool finished = state.writer->Finish();
    const bool closed = std::fclose(state.stream) == 0;
    state.stream = nullptr;
    const VantorFileInfo info = state.info;
    Reset();
    state.info = info;
    return finished && closed && added > 0 ? added : -1;
}

int PrintBytes(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        std::printf("%02X ", bytes[i]);
    }
    return static_cast<int>(size);
}

int PrintPayloads(const unsigned char* buffer, int count) {
    const LibraryState& state = State();
    if (buffer == nullptr || count <= 0) {
        return 0;
    }
    if (state.info.kind == kKindAtm) {
        return PrintBytes(buffer, kAtmItemSize * static_cast<size_t>(count));
    }
    if (state.info.kind != kKindMac) {
        return 0;
    }
    // Our own block buffer is walked within its size; a caller's is trusted.
    const bool ours = buffer == state.block.data();
    const size_t limit = ours ? state.block.size() : SIZE_MAX;
    size_t pos = 0;
    int printed = 0;
    for (int i = 0; i < count && pos + kMacItemHeaderSize <= limit; ++i) {
        const size_t itemSize = LoadBE16(buffer + pos + kTimestampSize);
        if (itemSize < kMacItemHeaderSize || itemSize > limit - pos) {
            break;
        }
        printed += PrintBytes(buffer + pos, itemSize);
        std::printf(" (frame %d: length %d)\n", i + 1,
                    static_cast<int>(itemSize - kMacItemHeaderSize));
        pos += itemSize;
    }
    return printed;
}

}  // namespace

}  // namespace vantor

extern "C" {

void* OpenVantorFile(const char* path, int* count, VantorFileInfo* info) {
    return vantor::Guarded<void*>(nullptr, [&] { return vantor::Open(path, count, info); });
}

void* ReadFramesFromFile(void* handle, int block, int* count) {
    return vantor::Guarded<void*>(nullptr, [&] { return vantor::ReadBlock(handle, block, count); });
}

void* CreateVantorFile(const char* path, int count, VantorFileInfo* info) {
    return vantor::Guarded<void*>(nullptr, [&] { return vantor::Create(path, count, info); });
}

int AddFrameToFile(void* handle, const unsigned char* item, int length) {
    return vantor::Guarded(0, [&] { return vantor::Add(handle, item, length); });
}

int CloseVantorFile(void* handle) {
    return vantor::Guarded(-1, [&] { return vantor::Close(handle); });
}

int printPayloadList(const unsigned char* buffer, int count) {
    return vantor::Guarded(0, [&] { return vantor::PrintPayloads(buffer, count); });
}

const char* VantorLibraryVersion(void) {
    return LIBRARY_VERSION;
}

}  // extern "C"
