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
#include <utility>

#include "standard_streams.h"

namespace translator {

namespace {

constexpr uint8_t kGzipMagic[] = {0x1F, 0x8B};
constexpr uint8_t kZstdMagic[] = {0x28, 0xB5, 0x2F, 0xFD};
// 8 MiB: the largest window the zstd format asks every decoder to support,
// which covers every standard compression level. A frame that asks for more
// is refused rather than allowed to size memory.
constexpr int kZstdWindowLogMax = 23;
// zlib's window bits for gzip data alone, with the largest window.
constexpr int kGzipWindowBits = 16 + MAX_WBITS;
constexpr size_t kInflateBlock = 64 * 1024;

template <size_t N>
bool StartsWith(const uint8_t* head, size_t length, const uint8_t (&magic)[N]) {
    return length >= N && memcmp(head, magic, N) == 0;
}

}  // namespace

void DecompressingInput::ZstdFreer::operator()(ZSTD_DCtx_s* context) const {
    ZSTD_freeDCtx(context);
}

void DecompressingInput::InflaterFreer::operator()(z_stream_s* stream) const {
    inflateEnd(stream);
    delete stream;
}

DecompressingInput::~DecompressingInput() {
    Close();
}

bool DecompressingInput::Open(const std::string& path) {
    Close();
    if (path == kStandardStream && StandardInput::Active() != nullptr) {
        stream_ = StandardInput::Active();
    } else if (fd_ = OpenRegularFile(path, &storedSize_); fd_ < 0) {
        return false;
    }
    uint8_t head[sizeof kZstdMagic];
    size_t length = 0;
    // Standard input may hand out the magic in pieces.
    while (length < sizeof head) {
        const ssize_t got =
            ReadStored(head + length, sizeof head - length, static_cast<int64_t>(length));
        if (got <= 0) {
            break;
        }
        length += static_cast<size_t>(got);
    }
    const bool gzip = StartsWith(head, length, kGzipMagic);
    if (gzip && stream_ == nullptr) {
        gz_ = gzdopen(fd_, "rb");
        if (gz_ == nullptr) {
            Close();
            return false;
        }
        fd_ = -1;
        compression_ = COMPRESSION_GZIP;
        return true;
    }
    if (gzip || StartsWith(head, length, kZstdMagic)) {
        compression_ = gzip ? COMPRESSION_GZIP : COMPRESSION_ZSTD;
        if (Restart()) {
            return true;
        }
        Close();
        return false;
    }
    compression_ = COMPRESSION_NONE;
    if (stream_ != nullptr) {
        stream_ = nullptr;
        return plain_.Open(path);
    }
    // The plain reader takes the descriptor over: the file is opened once.
    plain_.Open(std::exchange(fd_, -1), storedSize_);
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
    inflater_.reset();
    stream_ = nullptr;
    compressed_.reset();
    decoded_.reset();
    compression_ = kClosed;
    storedSize_ = 0;
}

SourceCompression DecompressingInput::Compression() const {
    return compression_ == kClosed ? COMPRESSION_NONE
                                   : static_cast<SourceCompression>(compression_);
}

bool DecompressingInput::ReadDecompressed(void* buffer, size_t n) {
    auto* out = static_cast<uint8_t*>(buffer);
    switch (compression_) {
        case COMPRESSION_ZSTD:
            return ReadDecoded(out, n);
        case COMPRESSION_GZIP:
            if (Decoding()) {
                return ReadDecoded(out, n);
            }
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
            return SeekDecoded(position);
        case COMPRESSION_GZIP:
            if (Decoding()) {
                return SeekDecoded(position);
            }
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
            return Decoding() ? decodedStart_ + static_cast<int64_t>(decodedPos_)
                              : static_cast<int64_t>(gztell(gz_));
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
            return Decoding() ? storedRead_ : static_cast<int64_t>(gzoffset(gz_));
        default:
            return 0;
    }
}

bool DecompressingInput::Broken() const {
    if (Decoding()) {
        return decodeBroken_;
    }
    int code = Z_OK;
    if (compression_ == COMPRESSION_GZIP) {
        gzerror(gz_, &code);
    }
    return code != Z_OK;
}

ssize_t DecompressingInput::ReadStored(uint8_t* buffer, size_t n, int64_t offset) const {
    return stream_ != nullptr ? stream_->ReadAt(buffer, n, offset)
                              : ReadFileAt(fd_, buffer, n, offset);
}

bool DecompressingInput::Restart() {
    if (compressed_) {
        if (compression_ == COMPRESSION_ZSTD) {
            ZSTD_DCtx_reset(decoder_.get(), ZSTD_reset_session_only);
        } else {
            inflateReset(inflater_.get());
        }
    } else if (compression_ == COMPRESSION_ZSTD) {
        decoder_.reset(ZSTD_createDCtx());
        if (!decoder_ || ZSTD_isError(ZSTD_DCtx_setParameter(decoder_.get(), ZSTD_d_windowLogMax,
                                                             kZstdWindowLogMax))) {
            return false;
        }
        compressedCapacity_ = ZSTD_DStreamInSize();
        decodedCapacity_ = ZSTD_DStreamOutSize();
    } else {
        inflater_.reset(new z_stream_s{});
        if (inflateInit2(inflater_.get(), kGzipWindowBits) != Z_OK) {
            return false;
        }
        compressedCapacity_ = decodedCapacity_ = kInflateBlock;
    }
    if (!compressed_) {
        compressed_ = std::make_unique_for_overwrite<uint8_t[]>(compressedCapacity_);
        decoded_ = std::make_unique_for_overwrite<uint8_t[]>(decodedCapacity_);
    }
    compressedLength_ = compressedUsed_ = 0;
    storedRead_ = 0;
    storedEnd_ = false;
    decodedLength_ = decodedPos_ = 0;
    decodedStart_ = 0;
    frameOpen_ = false;
    memberEnded_ = false;
    decodeBroken_ = false;
    return true;
}

bool DecompressingInput::DecodeStep(size_t* used, size_t* produced, bool* frameOpen) {
    if (compression_ == COMPRESSION_ZSTD) {
        ZSTD_inBuffer in{compressed_.get(), compressedLength_, *used};
        ZSTD_outBuffer out{decoded_.get(), decodedCapacity_, 0};
        const size_t result = ZSTD_decompressStream(decoder_.get(), &out, &in);
        *used = in.pos;
        *produced = out.pos;
        *frameOpen = result != 0;
        return !ZSTD_isError(result);
    }
    z_stream& z = *inflater_;
    *produced = 0;
    *frameOpen = false;
    if (memberEnded_) {
        if (*used == compressedLength_) {
            return true;
        }
        // After a member, data that is not another one is ignored, as the gz
        // functions do.
        if (compressed_[*used] != kGzipMagic[0]) {
            *used = compressedLength_;
            storedEnd_ = true;
            return true;
        }
        inflateReset(&z);
        memberEnded_ = false;
    }
    z.next_in = compressed_.get() + *used;
    z.avail_in = static_cast<uInt>(compressedLength_ - *used);
    z.next_out = decoded_.get();
    z.avail_out = static_cast<uInt>(decodedCapacity_);
    const int result = inflate(&z, Z_NO_FLUSH);
    *used = compressedLength_ - z.avail_in;
    *produced = decodedCapacity_ - z.avail_out;
    memberEnded_ = result == Z_STREAM_END;
    *frameOpen = !memberEnded_;
    return result == Z_OK || result == Z_STREAM_END || result == Z_BUF_ERROR;
}

// Replaces decoded_ by the next decoded bytes; false at the end of the data
// or when the data is damaged (decodeBroken_ tells which).
bool DecompressingInput::Decode() {
    decodedStart_ += static_cast<int64_t>(decodedLength_);
    decodedLength_ = decodedPos_ = 0;
    if (decodeBroken_) {
        return false;
    }
    for (;;) {
        if (compressedUsed_ == compressedLength_ && !storedEnd_) {
            const ssize_t got = ReadStored(compressed_.get(), compressedCapacity_, storedRead_);
            if (got < 0) {
                decodeBroken_ = true;
                return false;
            }
            compressedLength_ = static_cast<size_t>(got);
            compressedUsed_ = 0;
            storedRead_ += got;
            storedEnd_ = got == 0;
        }
        size_t used = compressedUsed_;
        size_t produced = 0;
        bool frameOpen = false;
        if (!DecodeStep(&used, &produced, &frameOpen)) {
            decodeBroken_ = true;
            return false;
        }
        // A call that moved nothing tells nothing: after a whole frame the
        // decoder asks for the next one's header even at the end of the data.
        if (produced > 0 || used > compressedUsed_) {
            frameOpen_ = frameOpen;
        }
        compressedUsed_ = used;
        if (produced > 0) {
            decodedLength_ = produced;
            return true;
        }
        if (storedEnd_ && compressedUsed_ == compressedLength_) {
            decodeBroken_ = frameOpen_;
            return false;
        }
    }
}

bool DecompressingInput::ReadDecoded(uint8_t* out, size_t n) {
    while (n > 0) {
        if (decodedPos_ == decodedLength_ && !Decode()) {
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

bool DecompressingInput::SeekDecoded(int64_t position) {
    if (position < decodedStart_ && !Restart()) {
        return false;
    }
    while (position > decodedStart_ + static_cast<int64_t>(decodedLength_)) {
        if (!Decode()) {
            return false;
        }
    }
    decodedPos_ = static_cast<size_t>(position - decodedStart_);
    return true;
}

}  // namespace translator
