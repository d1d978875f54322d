#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vcf {

// Buffered binary input with 64-bit positions. A seek only moves the position;
// the buffer is refilled when a read leaves it, so reading an index entry and
// returning to the records costs no system call. Reads are exact: a request
// is filled whole or fails.
class CVcfBinaryInputStream {
public:
    CVcfBinaryInputStream() = default;
    ~CVcfBinaryInputStream();
    CVcfBinaryInputStream(const CVcfBinaryInputStream&) = delete;
    CVcfBinaryInputStream& operator=(const CVcfBinaryInputStream&) = delete;

    // Opens a regular file only: anything else cannot be sized or sought.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    bool Read(void* buffer, size_t n);
    bool Seek(int64_t position);
    int64_t Tell() const { return position_; }
    // -1 when the size cannot be had.
    int64_t Size() const;

private:
    bool Fill();

    int fd_ = -1;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t bufferLength_ = 0;  // valid bytes in buffer_
    int64_t bufferStart_ = 0;  // file position of buffer_[0]
    int64_t position_ = 0;     // next byte to read
};

// Buffered binary output with 64-bit positions; a seek writes out what is
// buffered first, so patching a field in place is safe.
class CVcfBinaryOutputStream {
public:
    CVcfBinaryOutputStream() = default;
    ~CVcfBinaryOutputStream();
    CVcfBinaryOutputStream(const CVcfBinaryOutputStream&) = delete;
    CVcfBinaryOutputStream& operator=(const CVcfBinaryOutputStream&) = delete;

    // Creates or truncates path.
    bool Create(const std::string& path);
    // False when buffered bytes could not be written.
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }

    bool Write(const void* data, size_t n);
    bool Seek(int64_t position);
    int64_t Tell() const { return position_ + static_cast<int64_t>(pending_); }
    bool Flush();

private:
    int fd_ = -1;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t pending_ = 0;    // buffered bytes not yet written
    int64_t position_ = 0;  // file position of buffer_[0]
    bool failed_ = false;   // a write failed; later writes fail too
};

}  // namespace vcf
