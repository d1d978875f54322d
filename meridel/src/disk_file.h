#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace meridel {

// A binary file with 64-bit positions and one buffer shared by reads and
// writes. Reads are exact: a request is filled whole or fails.
class DiskFile {
public:
    DiskFile() = default;
    ~DiskFile();
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    bool OpenRead(const std::string& path);
    // Creates or truncates path for writing.
    bool Create(const std::string& path);
    // Creates path for reading and writing; fails when it exists already.
    bool CreateNew(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

    bool Read(void* out, size_t n);
    bool Write(const void* data, size_t n);
    bool Seek(int64_t position);
    int64_t Tell() const { return base_ + static_cast<int64_t>(readLength_ ? readPos_ : pending_); }
    // Bytes in the file, counting those not yet written out; -1 when unknown.
    int64_t Size() const;
    // Writes out what is buffered; false when that failed.
    bool Flush();
    // Flushes and closes; false when a write failed.
    bool Close();
    // Closes without writing out what is buffered.
    void Abort();

private:
    static constexpr size_t kBufferSize = 64 * 1024;

    int fd_ = -1;
    std::string path_;
    std::vector<uint8_t> buffer_;
    int64_t base_ = 0;       // file position of buffer_[0]
    size_t readLength_ = 0;  // valid bytes read ahead into buffer_
    size_t readPos_ = 0;     // next of those to hand out
    size_t pending_ = 0;     // bytes written into buffer_, not yet in the file
};

// Deletes path; false when it could not be removed.
bool RemoveFile(const std::string& path);

}  // namespace meridel
