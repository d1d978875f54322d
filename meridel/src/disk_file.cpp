#include "disk_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/emptied_file.h"

namespace meridel {

namespace {

bool WriteAll(int fd, const uint8_t* data, size_t n, int64_t position) {
    while (n > 0) {
        const ssize_t done = pwrite(fd, data, n, position);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        data += done;
        n -= static_cast<size_t>(done);
        position += done;
    }
    return true;
}

// Bytes read, fewer only at the end of the file; -1 on error.
ssize_t ReadSome(int fd, uint8_t* out, size_t n, int64_t position) {
    size_t total = 0;
    while (total < n) {
        const ssize_t done = pread(fd, out + total, n - total, position + total);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done < 0) {
            return -1;
        }
        if (done == 0) {
            break;
        }
        total += static_cast<size_t>(done);
    }
    return static_cast<ssize_t>(total);
}

}  // namespace

DiskFile::~DiskFile() {
    Close();
}

bool DiskFile::OpenRead(const std::string& path) {
    Abort();
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    path_ = path;
    return fd_ >= 0;
}

bool DiskFile::Create(const std::string& path) {
    Abort();
    fd_ = emptied_file::OpenEmptied(path.c_str(), 0666);
    path_ = path;
    return fd_ >= 0;
}

bool DiskFile::CreateNew(const std::string& path) {
    Abort();
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    path_ = path;
    return fd_ >= 0;
}

bool DiskFile::Flush() {
    if (pending_ == 0) {
        return true;
    }
    const bool ok = WriteAll(fd_, buffer_.data(), pending_, base_);
    base_ += static_cast<int64_t>(pending_);
    pending_ = 0;
    return ok;
}

bool DiskFile::Read(void* out, size_t n) {
    if (fd_ < 0 || !Flush()) {
        return false;
    }
    auto* dest = static_cast<uint8_t*>(out);
    while (n > 0) {
        if (readPos_ < readLength_) {
            const size_t take = std::min(n, readLength_ - readPos_);
            memcpy(dest, buffer_.data() + readPos_, take);
            readPos_ += take;
            dest += take;
            n -= take;
            continue;
        }
        base_ += static_cast<int64_t>(readPos_);
        readLength_ = readPos_ = 0;
        if (n >= kBufferSize) {
            const ssize_t got = ReadSome(fd_, dest, n, base_);
            if (got < 0) {
                return false;
            }
            base_ += got;
            return static_cast<size_t>(got) == n;
        }
        buffer_.resize(kBufferSize);
        const ssize_t got = ReadSome(fd_, buffer_.data(), kBufferSize, base_);
        if (got <= 0) {
            return false;
        }
        readLength_ = static_cast<size_t>(got);
    }
    return true;
}

bool DiskFile::Write(const void* data, size_t n) {
    if (fd_ < 0) {
        return false;
    }
    if (readLength_ > 0) {
        base_ += static_cast<int64_t>(readPos_);
        readLength_ = readPos_ = 0;
    }
    const auto* src = static_cast<const uint8_t*>(data);
    if (pending_ + n > kBufferSize) {
        if (!Flush()) {
            return false;
        }
        if (n >= kBufferSize) {
            if (!WriteAll(fd_, src, n, base_)) {
                return false;
            }
            base_ += static_cast<int64_t>(n);
            return true;
        }
    }
    buffer_.resize(kBufferSize);
    memcpy(buffer_.data() + pending_, src, n);
    pending_ += n;
    return true;
}

bool DiskFile::Seek(int64_t position) {
    if (fd_ < 0 || position < 0 || !Flush()) {
        return false;
    }
    base_ = position;
    readLength_ = readPos_ = 0;
    return true;
}

int64_t DiskFile::Size() const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) {
        return -1;
    }
    return std::max<int64_t>(st.st_size, base_ + static_cast<int64_t>(pending_));
}

bool DiskFile::Close() {
    if (fd_ < 0) {
        return true;
    }
    const bool flushed = Flush();
    const bool closed = close(fd_) == 0;
    fd_ = -1;
    base_ = 0;
    readLength_ = readPos_ = 0;
    return flushed && closed;
}

void DiskFile::Abort() {
    pending_ = 0;
    Close();
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

}  // namespace meridel
