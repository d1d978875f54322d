#include "standard_streams.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "buffered_file.h"
#include "interruption.h"

namespace translator {

namespace {

constexpr size_t kCopyBlock = 1 << 20;

StandardInput* activeInput = nullptr;
OutputFile* waitingOutput = nullptr;
int outputError = 0;

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

StandardInput::StandardInput(size_t headLimit)
    : head_(std::make_unique_for_overwrite<uint8_t[]>(headLimit)), limit_(headLimit) {
    activeInput = this;
}

StandardInput::~StandardInput() {
    activeInput = nullptr;
}

StandardInput* StandardInput::Active() {
    return activeInput;
}

ssize_t StandardInput::ReadLive(void* buffer, size_t n) {
    pollfd ready{STDIN_FILENO, POLLIN, 0};
    if (waitingOutput != nullptr && poll(&ready, 1, 0) == 0) {
        waitingOutput->Commit();
    }
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, buffer, n);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
        if (Interrupted()) {
            return 0;
        }
    }
}

ssize_t StandardInput::ReadAt(void* buffer, size_t n, int64_t position) {
    if (position < 0) {
        errno = EINVAL;
        return -1;
    }
    // Before streaming the head grows as probes ask for more, never past the
    // limit: nothing read then may be lost, since it all goes into the spool
    // when the conversion cannot stream.
    while (!streaming_ && position >= static_cast<int64_t>(length_) && !ended_) {
        if (length_ == limit_) {
            overran_ = true;
            errno = ESPIPE;
            return -1;
        }
        const ssize_t got = ReadLive(head_.get() + length_, limit_ - length_);
        if (got <= 0) {
            ended_ = got == 0 && !Interrupted();
            return got;
        }
        length_ += static_cast<size_t>(got);
        live_ = static_cast<int64_t>(length_);
    }
    if (position < static_cast<int64_t>(length_)) {
        const size_t take = std::min(n, length_ - static_cast<size_t>(position));
        memcpy(buffer, head_.get() + position, take);
        return static_cast<ssize_t>(take);
    }
    if (!streaming_) {
        return 0;
    }
    if (position < live_) {
        errno = ESPIPE;
        return -1;
    }
    // A forward seek past bytes not yet read: they are read and dropped.
    while (live_ < position) {
        const ssize_t got =
            ReadLive(buffer, static_cast<size_t>(std::min<int64_t>(position - live_, n)));
        if (got <= 0) {
            return got;
        }
        live_ += got;
    }
    const ssize_t got = ReadLive(buffer, n);
    if (got > 0) {
        live_ += got;
    }
    return got;
}

bool StandardInput::SpoolTo(int fd) {
    return WriteAll(fd, head_.get(), length_) && CopyStream(STDIN_FILENO, fd, true);
}

void SetStandardOutputFile(OutputFile* file) {
    waitingOutput = file;
}

int StandardOutputError() {
    return outputError;
}

void NoteStandardOutputError(int error) {
    if (outputError == 0) {
        outputError = error;
    }
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
