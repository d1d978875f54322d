#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct gzFile_s;

namespace translator {

// Binary input through zlib's gz functions, so that a plain file and the same
// file gzip-compressed read alike. Reads are exact: a request is filled whole
// or fails, and a failed or short read or seek is reported as false.
class GzInputFile {
public:
    GzInputFile() = default;
    ~GzInputFile();
    GzInputFile(const GzInputFile&) = delete;
    GzInputFile& operator=(const GzInputFile&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

    bool Read(void* buffer, size_t n);
    // Position in the uncompressed data.
    bool Seek(int64_t position);
    bool Skip(int64_t n);
    int64_t Tell() const;
    // Whether the compressed data broke off or is corrupt, rather than ended.
    bool Broken() const;

private:
    ::gzFile_s* handle_ = nullptr;
};

}  // namespace translator
