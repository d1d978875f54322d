#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "buffered_file.h"
#include "trace_info.h"

struct gzFile_s;
struct ZSTD_DCtx_s;

namespace translator {

// Binary input that reads a plain file, a gzip-compressed one (through zlib's
// gz functions) and a zstd-compressed one (through libzstd's streaming
// decoder) alike; the first bytes of the file tell which. Positions are in
// the uncompressed data. Reads are exact: a request is filled whole or fails.
// Memory stays within fixed buffers whatever the input: a forward seek in
// compressed data decodes and discards, a backward one decodes again from
// the start.
class DecompressingInput {
public:
    DecompressingInput() = default;
    ~DecompressingInput();
    DecompressingInput(const DecompressingInput&) = delete;
    DecompressingInput& operator=(const DecompressingInput&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return compression_ != kClosed; }

    bool Read(void* buffer, size_t n);
    bool Seek(int64_t position);
    bool Skip(int64_t n);
    int64_t Tell() const;
    // Whether the compressed data broke off or is corrupt, rather than ended.
    bool Broken() const;
    SourceCompression Compression() const;
    // The file as stored: its size on disk and how far reading has got into
    // it, for progress.
    int64_t StoredSize() const { return storedSize_; }
    int64_t StoredPosition() const;

private:
    static constexpr int kClosed = -1;

    bool ReadZstd(uint8_t* out, size_t n);
    bool SeekZstd(int64_t position);
    bool DecodeZstd();
    bool RestartZstd();

    int compression_ = kClosed;
    int64_t storedSize_ = 0;
    InputFile plain_;
    ::gzFile_s* gz_ = nullptr;

    // zstd: the compressed file, the decoder and one block of decoded bytes.
    struct ZstdFreer {
        void operator()(ZSTD_DCtx_s* context) const;
    };
    int fd_ = -1;
    std::unique_ptr<ZSTD_DCtx_s, ZstdFreer> decoder_;
    std::unique_ptr<uint8_t[]> compressed_;
    size_t compressedCapacity_ = 0;
    size_t compressedLength_ = 0;
    size_t compressedUsed_ = 0;
    int64_t storedRead_ = 0;  // file bytes taken into compressed_
    bool storedEnd_ = false;
    std::unique_ptr<uint8_t[]> decoded_;
    size_t decodedCapacity_ = 0;
    size_t decodedLength_ = 0;
    size_t decodedPos_ = 0;
    int64_t decodedStart_ = 0;  // uncompressed position of decoded_[0]
    bool frameOpen_ = false;    // the last frame still needs data
    bool zstdBroken_ = false;
};

}  // namespace translator
