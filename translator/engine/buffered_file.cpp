#include "buffered_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

#include "common/emptied_file.h"
#include "standard_streams.h"

namespace translator {

namespace {

constexpr size_t kInputBufferSize = 1024 * 1024;
constexpr size_t kSmallInputBufferSize = 64 * 1024;
constexpr size_t kOutputBufferSize = 4 * 1024 * 1024;
constexpr size_t kFlushThreshold = 1024 * 1024;

// A second thread only pays for itself past a few blocks: smaller files,
// and the first blocks of an output, are read and written the plain way.
constexpr int64_t kSmallestOverlappedInput = 8 * static_cast<int64_t>(kInputBufferSize);
constexpr int64_t kFirstWrittenBehind = 4 * static_cast<int64_t>(kFlushThreshold);

// This thread's held source; a folder run's threads each hold their own.
thread_local std::string heldPath;
thread_local int heldFd = -1;

std::atomic<bool> overlappedTransfers{[] {
    const char* setting = std::getenv("TRANSLATOR_OVERLAP");
    return setting == nullptr || std::strcmp(setting, "0") != 0;
}()};

// Writes n bytes at fd's position, going on after a signal; the bytes that
// reached the file, with errno set where that is fewer than n.
size_t WriteAll(int fd, const uint8_t* data, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t wrote = ::write(fd, data + done, n - done);
        if (wrote < 0 && errno != EINTR) {
            break;
        }
        done += wrote > 0 ? static_cast<size_t>(wrote) : 0;
    }
    return done;
}

}  // namespace

ssize_t ReadFileAt(int fd, void* buffer, size_t n, int64_t position) {
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, n, position);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

bool OverlappedTransfers() {
    return overlappedTransfers.load(std::memory_order_relaxed);
}

void SetOverlappedTransfers(bool on) {
    overlappedTransfers.store(on, std::memory_order_relaxed);
}

// A thread that carries out one transfer of a file at a time while the
// conversion goes on. Signals stay with the conversion's thread, so a
// cancel is seen where it is today and a transfer is never interrupted.
class BackgroundTransfer {
public:
    BackgroundTransfer() {
        sigset_t all, previous;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous);
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            pthread_sigmask(SIG_SETMASK, &previous, nullptr);
            throw;
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    ~BackgroundTransfer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    BackgroundTransfer(const BackgroundTransfer&) = delete;
    BackgroundTransfer& operator=(const BackgroundTransfer&) = delete;

    // Only after the transfer before it has been waited for.
    void Start(std::function<void()> transfer) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            transfer_ = std::move(transfer);
            busy_ = true;
        }
        changed_.notify_all();
    }

    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
    }

    // A thread, or nullptr when the system will not give one: the file is
    // then read or written the plain way.
    static std::unique_ptr<BackgroundTransfer> Make() {
        try {
            return std::make_unique<BackgroundTransfer>();
        } catch (const std::system_error&) {
            return nullptr;
        }
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return busy_ || stopping_; });
            if (!busy_) {
                return;
            }
            std::function<void()> transfer = std::move(transfer_);
            lock.unlock();
            transfer();
            lock.lock();
            busy_ = false;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> transfer_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

int HeldSource::Hold(const std::string& path) {
    Release();
    const int fd = OpenRegularFile(path);
    if (fd < 0) {
        return errno == ENODEV ? 0 : errno;
    }
    uint8_t first = 0;
    if (::pread(fd, &first, 1, 0) < 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    fd_ = heldFd = fd;
    heldPath = path;
    return 0;
}

void HeldSource::Release() {
    if (fd_ >= 0) {
        ::close(fd_);
        if (heldFd == fd_) {
            heldFd = -1;
            heldPath.clear();
        }
        fd_ = -1;
    }
}

int OpenRegularFile(const std::string& path, int64_t* size) {
    int fd = -1;
    if (heldFd >= 0 && path == heldPath) {
        // Its own descriptor, at the start: the zlib reader reads from there.
        fd = ::fcntl(heldFd, F_DUPFD_CLOEXEC, 0);
        if (fd >= 0 && ::lseek(fd, 0, SEEK_SET) < 0) {
            ::close(fd);
            fd = -1;
        }
    } else {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    }
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    // Only regular files: a FIFO or device would block or never end.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = ENODEV;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (size != nullptr) {
        *size = st.st_size;
    }
    return fd;
}

InputFile::InputFile() = default;

InputFile::~InputFile() {
    Close();
}

bool InputFile::Open(const std::string& path) {
    Close();
    if (path == kStandardStream && StandardInput::Active() != nullptr) {
        // Reads hand out what has arrived, so a small buffer serves.
        stream_ = StandardInput::Active();
        if (!buffer_) {
            buffer_ = std::make_unique_for_overwrite<uint8_t[]>(kSmallInputBufferSize);
            bufferCapacity_ = kSmallInputBufferSize;
        }
        return true;
    }
    int64_t size = 0;
    const int fd = OpenRegularFile(path, &size);
    if (fd < 0) {
        return false;
    }
    Open(fd, size);
    return true;
}

void InputFile::Open(int fd, int64_t size) {
    Close();
    fd_ = fd;
    size_ = size;
    // Small files get a small buffer, kept for the next file that fits; a
    // large one goes with its file (Close). Left uninitialised: only bytes the
    // file filled in are handed out.
    const size_t wanted = size > static_cast<int64_t>(kSmallInputBufferSize)
                              ? kInputBufferSize
                              : kSmallInputBufferSize;
    if (!buffer_ || bufferCapacity_ < wanted) {
        buffer_ = std::make_unique_for_overwrite<uint8_t[]>(wanted);
        bufferCapacity_ = wanted;
    }
}

void InputFile::Close() {
    DropReadAhead();
    transfer_.reset();
    ahead_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    size_ = 0;
    stream_ = nullptr;
    bufferLength_ = bufferPos_ = 0;
    bufferStart_ = 0;
    fills_ = 0;
    // Detection opens a file with every reader until one knows it: each would
    // otherwise hold a filled megabyte for the rest of the run.
    if (bufferCapacity_ > kSmallInputBufferSize) {
        buffer_.reset();
        bufferCapacity_ = 0;
    }
}

bool InputFile::Fill() {
    const int64_t position = bufferStart_ + static_cast<int64_t>(bufferLength_);
    bufferStart_ = position;
    bufferLength_ = bufferPos_ = 0;
    ssize_t got = 0;
    if (TakeReadAhead(position, &got)) {
        bufferStart_ = aheadStart_;
        bufferPos_ = static_cast<size_t>(position - aheadStart_);
    } else {
        do {
            got = ReadAt(buffer_.get(), bufferCapacity_, position);
        } while (got < 0 && errno == EINTR);
    }
    if (got <= 0) {
        return false;
    }
    bufferLength_ = static_cast<size_t>(got);
    ++fills_;
    ReadAhead();
    return true;
}

void InputFile::ReadAhead() {
    const int64_t next = bufferStart_ + static_cast<int64_t>(bufferLength_);
    // Detection's probes, small files and a reader that jumps about read the plain way.
    if (stream_ != nullptr || fills_ < 2 || size_ < kSmallestOverlappedInput || next >= size_ ||
        bufferLength_ < bufferCapacity_ || !OverlappedTransfers()) {
        return;
    }
    if (!transfer_) {
        transfer_ = BackgroundTransfer::Make();
        if (!transfer_) {
            return;
        }
        ahead_ = std::make_unique_for_overwrite<uint8_t[]>(bufferCapacity_);
    }
    aheadPending_ = true;
    aheadStart_ = next;
    transfer_->Start([this, fd = fd_, block = ahead_.get(), size = bufferCapacity_, next] {
        aheadGot_ = ReadFileAt(fd, block, size, next);
        aheadError_ = errno;
    });
}

void InputFile::DropReadAhead() {
    if (aheadPending_) {
        transfer_->Wait();
        aheadPending_ = false;
    }
}

bool InputFile::TakeReadAhead(int64_t position, ssize_t* got) {
    if (!aheadPending_) {
        return false;
    }
    DropReadAhead();
    // A failed read is made again here, so that it fails as it would have
    // without reading ahead.
    if (aheadGot_ <= 0 || position < aheadStart_ || position >= aheadStart_ + aheadGot_) {
        return false;
    }
    std::swap(buffer_, ahead_);
    *got = aheadGot_;
    return true;
}

ssize_t InputFile::ReadAt(void* buffer, size_t n, int64_t position) {
    return stream_ != nullptr ? stream_->ReadAt(buffer, n, position)
                              : ::pread(fd_, buffer, n, position);
}

bool InputFile::ReadBuffered(void* buffer, size_t n) {
    if (!IsOpen()) {
        return false;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    while (n > 0) {
        if (bufferPos_ == bufferLength_) {
            // Large blocks go straight to the caller's buffer.
            if (n >= bufferCapacity_) {
                DropReadAhead();
                fills_ = 0;
                bufferStart_ += static_cast<int64_t>(bufferLength_);
                bufferLength_ = bufferPos_ = 0;
                ssize_t got = ReadAt(out, n, bufferStart_);
                if (got < 0 && errno == EINTR) {
                    continue;
                }
                if (got <= 0) {
                    return false;
                }
                bufferStart_ += got;
                out += got;
                n -= static_cast<size_t>(got);
                continue;
            }
            if (!Fill()) {
                return false;
            }
        }
        size_t take = bufferLength_ - bufferPos_;
        if (take > n) {
            take = n;
        }
        memcpy(out, buffer_.get() + bufferPos_, take);
        bufferPos_ += take;
        out += take;
        n -= take;
    }
    return true;
}

bool InputFile::Seek(int64_t position) {
    if (!IsOpen() || position < 0) {
        return false;
    }
    if (position >= bufferStart_ &&
        position <= bufferStart_ + static_cast<int64_t>(bufferLength_)) {
        bufferPos_ = static_cast<size_t>(position - bufferStart_);
        return true;
    }
    // A skip into the next block keeps reading ahead; a jump starts over.
    const int64_t end = bufferStart_ + static_cast<int64_t>(bufferLength_);
    if (position < end || position >= end + static_cast<int64_t>(bufferCapacity_)) {
        fills_ = 0;
    }
    bufferStart_ = position;
    bufferLength_ = bufferPos_ = 0;
    return true;
}

int64_t InputFile::Size() const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) {
        return -1;
    }
    return st.st_size;
}

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    Close();
}

bool OutputFile::Create(const std::string& path) {
    Close();
    standardOutput_ = path == kStandardStream;
    fd_ = standardOutput_ ? fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0)
                          : emptied_file::OpenEmptied(path.c_str(), 0666);
    if (fd_ < 0) {
        return false;
    }
    if (standardOutput_) {
        SetStandardOutputFile(this);
    }
    if (!buffer_) {
        buffer_ = std::make_unique_for_overwrite<uint8_t[]>(kOutputBufferSize);
    }
    pending_ = 0;
    position_ = 0;
    failed_ = false;
    struct stat st {};
    writesBehind_ =
        !standardOutput_ && OverlappedTransfers() && fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    struct rlimit limit {};
    sizeLimit_ = getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                     ? static_cast<int64_t>(limit.rlim_cur)
                     : -1;
    return true;
}

bool OutputFile::Close() {
    if (fd_ < 0) {
        return true;
    }
    bool ok = Commit();
    // A write that failed behind leaves nothing in flight either.
    Drain();
    transfer_.reset();
    behind_.reset();
    if (::close(fd_) != 0) {
        ok = false;
    }
    fd_ = -1;
    if (standardOutput_) {
        SetStandardOutputFile(nullptr);
    }
    return ok;
}

bool OutputFile::WriteThrough(const uint8_t* data, size_t n) {
    const size_t done = WriteAll(fd_, data, n);
    if (done == n) {
        return true;
    }
    if (standardOutput_) {
        NoteStandardOutputError(errno);
    }
    failed_ = true;
    failedAt_ = position_ + static_cast<int64_t>(done);
    return false;
}

bool OutputFile::Commit() {
    if (!Drain()) {
        return false;
    }
    if (pending_ > 0) {
        if (!WriteThrough(buffer_.get(), pending_)) {
            return false;
        }
        position_ += static_cast<int64_t>(pending_);
        pending_ = 0;
    }
    return true;
}

bool OutputFile::Flush() {
    if (pending_ < kFlushThreshold) {
        return !failed_ && fd_ >= 0;
    }
    return writesBehind_ && position_ >= kFirstWrittenBehind ? WriteBehind() : Commit();
}

bool OutputFile::WriteBehind() {
    if (!Drain()) {
        return false;
    }
    const int64_t end = position_ + static_cast<int64_t>(pending_);
    // Reserving the blocks first makes a full disk or a quota fail here, at
    // this frame, with the bytes written up to where the disk filled.
    if (sizeLimit_ >= 0 && end > sizeLimit_) {
        return Commit();
    }
    if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, position_, static_cast<off_t>(pending_)) != 0) {
        if (errno == EOPNOTSUPP || errno == ENOSYS) {
            writesBehind_ = false;
        }
        return Commit();
    }
    if (!transfer_) {
        transfer_ = BackgroundTransfer::Make();
        if (!transfer_) {
            writesBehind_ = false;
            return Commit();
        }
        behind_ = std::make_unique_for_overwrite<uint8_t[]>(kOutputBufferSize);
    }
    std::swap(buffer_, behind_);
    inFlight_ = pending_;
    position_ = end;
    pending_ = 0;
    transfer_->Start([this, fd = fd_, block = behind_.get(), n = inFlight_,
                      at = end - static_cast<int64_t>(inFlight_)] {
        const size_t done = WriteAll(fd, block, n);
        behindFailedAt_ = done == n ? -1 : at + static_cast<int64_t>(done);
        behindError_ = errno;
    });
    return true;
}

bool OutputFile::Drain() {
    if (fd_ < 0 || failed_) {
        return false;
    }
    if (inFlight_ == 0) {
        return true;
    }
    transfer_->Wait();
    inFlight_ = 0;
    if (behindFailedAt_ >= 0) {
        failed_ = true;
        failedAt_ = behindFailedAt_;
        errno = behindError_;
        return false;
    }
    return true;
}

bool OutputFile::Write(const void* data, size_t n) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    const auto* in = static_cast<const uint8_t*>(data);
    if (pending_ + n > kOutputBufferSize) {
        if (!Commit()) {
            return false;
        }
        if (n > kOutputBufferSize) {
            if (!WriteThrough(in, n)) {
                return false;
            }
            position_ += static_cast<int64_t>(n);
            return true;
        }
    }
    memcpy(buffer_.get() + pending_, in, n);
    pending_ += n;
    return true;
}

bool OutputFile::WriteZeros(size_t n) {
    static const uint8_t kZeros[4096] = {};
    while (n > 0) {
        size_t chunk = n < sizeof kZeros ? n : sizeof kZeros;
        if (!Write(kZeros, chunk)) {
            return false;
        }
        n -= chunk;
    }
    return true;
}

bool OutputFile::CutBack(int64_t position) {
    Drain();
    if (fd_ < 0 || position < 0 || position > Kept()) {
        return false;
    }
    if (position >= position_ && !failed_) {
        pending_ = static_cast<size_t>(position - position_);
        return true;
    }
    pending_ = 0;
    if (::ftruncate(fd_, position) != 0 || ::lseek(fd_, position, SEEK_SET) < 0) {
        return false;
    }
    position_ = position;
    failed_ = false;
    return true;
}

bool OutputFile::Seek(int64_t position) {
    if (position < 0 || !Commit() || ::lseek(fd_, position, SEEK_SET) < 0) {
        return false;
    }
    position_ = position;
    return true;
}

uint8_t* OutputFile::Reserve(size_t n) {
    if (fd_ < 0 || failed_ || n > kOutputBufferSize) {
        return nullptr;
    }
    if (pending_ + n > kOutputBufferSize && !Commit()) {
        return nullptr;
    }
    return buffer_.get() + pending_;
}

void OutputFile::Advance(size_t n) {
    pending_ += n;
}

}  // namespace translator
