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
    const auto block = std::make_unique_for_overwrite<uint8_t[]>(kCopyBlock);
    while (!Interrupted()) {
        const ssize_t got = read(STDIN_FILENO, block.get(), kCopyBlock);
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (!WriteAll(file.fd(), block.get(), static_cast<size_t>(got))) {
            return false;
        }
    }
    return true;
}

bool CopyToStandardOutput(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const auto block = std::make_unique_for_overwrite<uint8_t[]>(kCopyBlock);
    bool ok = true;
    for (;;) {
        const ssize_t got = read(fd, block.get(), kCopyBlock);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (!WriteAll(STDOUT_FILENO, block.get(), static_cast<size_t>(got))) {
            ok = false;
            break;
        }
    }
    const int error = errno;
    close(fd);
    errno = error;
    return ok;
}

}  // namespace translator
