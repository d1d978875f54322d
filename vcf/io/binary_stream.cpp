#include "binary_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/emptied_file.h"

namespace vcf {

namespace {

constexpr size_t kBufferSize = 64 * 1024;

}  // namespace

CVcfBinaryInputStream::~CVcfBinaryInputStream() {
    Close();
}

bool CVcfBinaryInputStream::Open(const std::string& path) {
    Close();
    // Non-blocking so that naming a FIFO cannot hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    if (!buffer_) {
        buffer_ = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
    }
    bufferLength_ = 0;
    bufferStart_ = 0;
    position_ = 0;
    return true;
}

void CVcfBinaryInputStream::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    bufferLength_ = 0;
    bufferStart_ = 0;
    position_ = 0;
}

bool CVcfBinaryInputStream::Fill() {
    ssize_t n;
    do {
        n = pread(fd_, buffer_.get(), kBufferSize, position_);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        return false;
    }
    bufferStart_ = position_;
    bufferLength_ = static_cast<size_t>(n);
    return true;
}

bool CVcfBinaryInputStream::Read(void* buffer, size_t n) {
    if (fd_ < 0) {
        return false;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    while (n > 0) {
        const int64_t end = bufferStart_ + static_cast<int64_t>(bufferLength_);
        if (position_ < bufferStart_ || position_ >= end) {
            if (!Fill()) {
                return false;
            }
            continue;
        }
        const size_t offset = static_cast<size_t>(position_ - bufferStart_);
        const size_t chunk = std::min(n, bufferLength_ - offset);
        memcpy(out, buffer_.get() + offset, chunk);
        out += chunk;
        n -= chunk;
        position_ += static_cast<int64_t>(chunk);
    }
    return true;
}

bool CVcfBinaryInputStream::Seek(int64_t position) {
    if (fd_ < 0 || position < 0) {
        return false;
    }
    position_ = position;
    return true;
}

int64_t CVcfBinaryInputStream::Size() const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) {
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

CVcfBinaryOutputStream::~CVcfBinaryOutputStream() {
    Close();
}

bool CVcfBinaryOutputStream::Create(const std::string& path) {
    Close();
    const int fd = emptied_file::OpenEmptied(path.c_str(), 0644);
    if (fd < 0) {
        return false;
    }
    fd_ = fd;
    if (!buffer_) {
        buffer_ = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
    }
    pending_ = 0;
    position_ = 0;
    failed_ = false;
    return true;
}

bool CVcfBinaryOutputStream::Close() {
    if (fd_ < 0) {
        return true;
    }
    const bool ok = Flush();
    ::close(fd_);
    fd_ = -1;
    return ok;
}

bool CVcfBinaryOutputStream::Flush() {
    if (fd_ < 0) {
        return false;
    }
    size_t done = 0;
    while (!failed_ && done < pending_) {
        const ssize_t n = pwrite(fd_, buffer_.get() + done, pending_ - done,
                                 position_ + static_cast<int64_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            failed_ = true;
            break;
        }
        done += static_cast<size_t>(n);
    }
    position_ += static_cast<int64_t>(pending_);
    pending_ = 0;
    return !failed_;
}

bool CVcfBinaryOutputStream::Write(const void* data, size_t n) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    const auto* in = static_cast<const uint8_t*>(data);
    while (n > 0) {
        if (pending_ == kBufferSize && !Flush()) {
            return false;
        }
        const size_t chunk = std::min(n, kBufferSize - pending_);
        memcpy(buffer_.get() + pending_, in, chunk);
        pending_ += chunk;
        in += chunk;
        n -= chunk;
    }
    return true;
}

bool CVcfBinaryOutputStream::Seek(int64_t position) {
    if (fd_ < 0 || position < 0 || !Flush()) {
        return false;
    }
    position_ = position;
    return true;
}

}  // namespace vcf
