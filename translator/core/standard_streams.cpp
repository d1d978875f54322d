#include "standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "console_progress.h"

namespace translator {

namespace {

constexpr size_t kCopyBlock = 1 << 20;

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Copies from one descriptor to another up to the end of from, or up to an
// interrupt when interruptible; false when a read or a write fails.
bool CopyStream(int from, int to, bool interruptible) {
    const auto block = std::make_unique_for_overwrite<uint8_t[]>(kCopyBlock);
    while (!(interruptible && Interrupted())) {
        const ssize_t got = read(from, block.get(), kCopyBlock);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        if (!WriteAll(to, block.get(), static_cast<size_t>(got))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string TemporaryFolder() {
    const char* folder = getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

TemporaryFile::~TemporaryFile() {
    if (fd_ >= 0) {
        close(fd_);
        unlink(path_.c_str());
    }
}

bool TemporaryFile::Create() {
    std::string pattern = TemporaryFolder() + "/translator-XXXXXX";
    fd_ = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        return false;
    }
    path_ = pattern;
    return true;
}

bool SpoolStandardInput(const TemporaryFile& file) {
    return CopyStream(STDIN_FILENO, file.fd(), true);
}

bool CopyToStandardOutput(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = CopyStream(fd, STDOUT_FILENO, false);
    const int error = errno;
    close(fd);
    errno = error;
    return ok;
}

}  // namespace translator
