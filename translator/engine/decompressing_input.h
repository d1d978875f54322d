#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "buffered_file.h"
#include "trace_info.h"

struct gzFile_s;
struct z_stream_s;
struct ZSTD_DCtx_s;

namespace translator {

// Binary input that reads a plain file, a gzip-compressed one (through zlib's
// gz functions) and a zstd-compressed one (through libzstd's streaming
// decoder) alike; the first bytes of the file tell which. "-" opens standard
// input (see InputFile), whose gzip stream zlib's inflate decodes, since the
// gz functions seek back in their descriptor. Positions are in
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
    // Whether the input is standard input, read front to back.
    bool IsStream() const { return plain_.IsStream() || stream_ != nullptr; }

    bool Read(void* buffer, size_t n) {
        return compression_ == COMPRESSION_NONE ? plain_.Read(buffer, n)
                                                : ReadDecompressed(buffer, n);
    }
    // As InputFile::Borrow, for a plain file; nullptr for compressed data.
    const uint8_t* Borrow(size_t n) {
        return compression_ == COMPRESSION_NONE ? plain_.Borrow(n) : nullptr;
    }
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

    bool ReadDecompressed(void* buffer, size_t n);

    // zstd, and gzip from standard input: decoded a block at a time.
    bool Decoding() const { return compression_ == COMPRESSION_ZSTD || inflater_ != nullptr; }
    bool ReadDecoded(uint8_t* out, size_t n);
    bool SeekDecoded(int64_t position);
    bool Decode();
    bool Restart();
    // Decodes compressed_ from *used into decoded_; false on damage.
    bool DecodeStep(size_t* used, size_t* produced, bool* frameOpen);
    ssize_t ReadStored(uint8_t* buffer, size_t n, int64_t offset) const;

    int compression_ = kClosed;
    int64_t storedSize_ = 0;
    InputFile plain_;
    ::gzFile_s* gz_ = nullptr;

    // Decoding: the compressed file, the decoder and one block of decoded bytes.
    struct ZstdFreer {
        void operator()(ZSTD_DCtx_s* context) const;
    };
    struct InflaterFreer {
        void operator()(z_stream_s* stream) const;
    };
    int fd_ = -1;
    StandardInput* stream_ = nullptr;
    std::unique_ptr<ZSTD_DCtx_s, ZstdFreer> decoder_;
    std::unique_ptr<z_stream_s, InflaterFreer> inflater_;
    bool memberEnded_ = false;  // gzip: a member ended; another may follow
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
    bool decodeBroken_ = false;
};

}  // namespace translator
