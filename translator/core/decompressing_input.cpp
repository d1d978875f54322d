#include "decompressing_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace translator {

namespace {

constexpr uint8_t kGzipMagic[] = {0x1F, 0x8B};
constexpr uint8_t kZstdMagic[] = {0x28, 0xB5, 0x2F, 0xFD};
// 8 MiB: the largest window the zstd format asks every decoder to support,
// which covers every standard compression level. A frame that asks for more
// is refused rather than allowed to size memory.
constexpr int kZstdWindowLogMax = 23;

template <size_t N>
bool StartsWith(const uint8_t* head, size_t length, const uint8_t (&magic)[N]) {
    return length >= N && memcmp(head, magic, N) == 0;
}

// Opens a regular file only: a FIFO or device would block or never end.
int OpenRegular(const std::string& path, int64_t* size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *size = st.st_size;
    return fd;
}

ssize_t ReadAt(int fd, uint8_t* buffer, size_t n, int64_t offset) {
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, n, offset);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

}  // namespace

void DecompressingInput::ZstdFreer::operator()(ZSTD_DCtx_s* context) const {
    ZSTD_freeDCtx(context);
}

DecompressingInput::~DecompressingInput() {
    Close();
}

bool DecompressingInput::Open(const std::string& path) {
    Close();
    const int fd = OpenRegular(path, &storedSize_);
    if (fd < 0) {
        return false;
    }
    uint8_t head[sizeof kZstdMagic];
    const ssize_t got = ReadAt(fd, head, sizeof head, 0);
    const size_t length = got > 0 ? static_cast<size_t>(got) : 0;
    if (StartsWith(head, length, kGzipMagic)) {
        gz_ = gzdopen(fd, "rb");
        if (gz_ == nullptr) {
            ::close(fd);
            return false;
        }
        compression_ = COMPRESSION_GZIP;
        return true;
    }
    if (StartsWith(head, length, kZstdMagic)) {
        fd_ = fd;
        compression_ = COMPRESSION_ZSTD;
        if (RestartZstd()) {
            return true;
        }
        Close();
        return false;
    }
    ::close(fd);
    if (!plain_.Open(path)) {
        return false;
    }
    compression_ = COMPRESSION_NONE;
    return true;
}

void DecompressingInput::Close() {
    plain_.Close();
    if (gz_ != nullptr) {
        gzclose(gz_);
        gz_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    // The decoder and its buffers go with the file: a reader that waits for
    // its next file holds no memory for it.
    decoder_.reset();
    compressed_.reset();
    decoded_.reset();
    compression_ = kClosed;
    storedSize_ = 0;
}

SourceCompression DecompressingInput::Compression() const {
    return compression_ == kClosed ? COMPRESSION_NONE
                                   : static_cast<SourceCompression>(compression_);
}

bool DecompressingInput::Read(void* buffer, size_t n) {
    auto* out = static_cast<uint8_t*>(buffer);
    switch (compression_) {
        case COMPRESSION_NONE:
            return plain_.Read(out, n);
        case COMPRESSION_ZSTD:
            return ReadZstd(out, n);
        case COMPRESSION_GZIP:
            while (n > 0) {
                const unsigned chunk = n > INT_MAX ? INT_MAX : static_cast<unsigned>(n);
                const int got = gzread(gz_, out, chunk);
                if (got <= 0) {
                    return false;
                }
                out += got;
                n -= static_cast<size_t>(got);
            }
            return true;
        default:
            return false;
    }
}

bool DecompressingInput::Seek(int64_t position) {
    if (position < 0) {
        return false;
    }
    switch (compression_) {
        case COMPRESSION_NONE:
            return plain_.Seek(position);
        case COMPRESSION_ZSTD:
            return SeekZstd(position);
        case COMPRESSION_GZIP:
            // zlib refuses every seek once it met damage; going back decodes
            // again from the start, where the damage no longer stands in the way.
            if (position <= Tell()) {
                gzclearerr(gz_);
            }
            return gzseek(gz_, static_cast<z_off_t>(position), SEEK_SET) == position;
        default:
            return false;
    }
}

bool DecompressingInput::Skip(int64_t n) {
    return n >= 0 && IsOpen() && n <= INT64_MAX - Tell() && Seek(Tell() + n);
}

int64_t DecompressingInput::Tell() const {
    switch (compression_) {
        case COMPRESSION_NONE:
            return plain_.Tell();
        case COMPRESSION_ZSTD:
            return decodedStart_ + static_cast<int64_t>(decodedPos_);
        case COMPRESSION_GZIP:
            return static_cast<int64_t>(gztell(gz_));
        default:
            return -1;
    }
}

int64_t DecompressingInput::StoredPosition() const {
    switch (compression_) {
        case COMPRESSION_NONE:
            return plain_.Tell();
        case COMPRESSION_ZSTD:
            return storedRead_;
        case COMPRESSION_GZIP:
            return static_cast<int64_t>(gzoffset(gz_));
        default:
            return 0;
    }
}

bool DecompressingInput::Broken() const {
    if (compression_ == COMPRESSION_ZSTD) {
        return zstdBroken_;
    }
    int code = Z_OK;
    if (compression_ == COMPRESSION_GZIP) {
        gzerror(gz_, &code);
    }
    return code != Z_OK;
}

bool DecompressingInput::RestartZstd() {
    if (!decoder_) {
        decoder_.reset(ZSTD_createDCtx());
        if (!decoder_ || ZSTD_isError(ZSTD_DCtx_setParameter(decoder_.get(), ZSTD_d_windowLogMax,
                                                             kZstdWindowLogMax))) {
            return false;
        }
        compressedCapacity_ = ZSTD_DStreamInSize();
        compressed_ = std::make_unique_for_overwrite<uint8_t[]>(compressedCapacity_);
        decodedCapacity_ = ZSTD_DStreamOutSize();
        decoded_ = std::make_unique_for_overwrite<uint8_t[]>(decodedCapacity_);
    } else {
        ZSTD_DCtx_reset(decoder_.get(), ZSTD_reset_session_only);
    }
    compressedLength_ = compressedUsed_ = 0;
    storedRead_ = 0;
    storedEnd_ = false;
    decodedLength_ = decodedPos_ = 0;
    decodedStart_ = 0;
    frameOpen_ = false;
    zstdBroken_ = false;
    return true;
}

// Replaces decoded_ by the next decoded bytes; false at the end of the data
// or when the data is damaged (zstdBroken_ tells which).
bool DecompressingInput::DecodeZstd() {
    decodedStart_ += static_cast<int64_t>(decodedLength_);
    decodedLength_ = decodedPos_ = 0;
    if (zstdBroken_) {
        return false;
    }
    for (;;) {
        if (compressedUsed_ == compressedLength_ && !storedEnd_) {
            const ssize_t got = ReadAt(fd_, compressed_.get(), compressedCapacity_, storedRead_);
            if (got < 0) {
                zstdBroken_ = true;
                return false;
            }
            compressedLength_ = static_cast<size_t>(got);
            compressedUsed_ = 0;
            storedRead_ += got;
            storedEnd_ = got == 0;
        }
        ZSTD_inBuffer in{compressed_.get(), compressedLength_, compressedUsed_};
        ZSTD_outBuffer out{decoded_.get(), decodedCapacity_, 0};
        const size_t result = ZSTD_decompressStream(decoder_.get(), &out, &in);
        if (ZSTD_isError(result)) {
            zstdBroken_ = true;
            return false;
        }
        // A call that moved nothing tells nothing: after a whole frame the
        // decoder asks for the next one's header even at the end of the data.
        if (out.pos > 0 || in.pos > compressedUsed_) {
            frameOpen_ = result != 0;
        }
        compressedUsed_ = in.pos;
        if (out.pos > 0) {
            decodedLength_ = out.pos;
            return true;
        }
        if (storedEnd_ && compressedUsed_ == compressedLength_) {
            zstdBroken_ = frameOpen_;
            return false;
        }
    }
}

bool DecompressingInput::ReadZstd(uint8_t* out, size_t n) {
    while (n > 0) {
        if (decodedPos_ == decodedLength_ && !DecodeZstd()) {
            return false;
        }
        const size_t take = std::min(n, decodedLength_ - decodedPos_);
        memcpy(out, decoded_.get() + decodedPos_, take);
        decodedPos_ += take;
        out += take;
        n -= take;
    }
    return true;
}

bool DecompressingInput::SeekZstd(int64_t position) {
    if (position < decodedStart_ && !RestartZstd()) {
        return false;
    }
    while (position > decodedStart_ + static_cast<int64_t>(decodedLength_)) {
        if (!DecodeZstd()) {
            return false;
        }
    }
    decodedPos_ = static_cast<size_t>(position - decodedStart_);
    return true;
}

}  // namespace translator
