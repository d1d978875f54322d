#include "gz_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <climits>

namespace translator {

GzInputFile::~GzInputFile() {
    Close();
}

bool GzInputFile::Open(const std::string& path) {
    Close();
    // Only regular files: a FIFO or device would block or never end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    handle_ = gzdopen(fd, "rb");
    if (handle_ == nullptr) {
        ::close(fd);
        return false;
    }
    return true;
}

void GzInputFile::Close() {
    if (handle_ != nullptr) {
        gzclose(handle_);
        handle_ = nullptr;
    }
}

bool GzInputFile::Read(void* buffer, size_t n) {
    if (handle_ == nullptr) {
        return false;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    while (n > 0) {
        const unsigned chunk = n > INT_MAX ? INT_MAX : static_cast<unsigned>(n);
        const int got = gzread(handle_, out, chunk);
        if (got <= 0) {
            return false;
        }
        out += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool GzInputFile::Seek(int64_t position) {
    return handle_ != nullptr && position >= 0 &&
           gzseek(handle_, static_cast<z_off_t>(position), SEEK_SET) == position;
}

bool GzInputFile::Skip(int64_t n) {
    if (handle_ == nullptr || n < 0) {
        return false;
    }
    const int64_t target = Tell() + n;
    return gzseek(handle_, static_cast<z_off_t>(n), SEEK_CUR) == target;
}

int64_t GzInputFile::Tell() const {
    return handle_ == nullptr ? -1 : static_cast<int64_t>(gztell(handle_));
}

bool GzInputFile::Broken() const {
    int code = Z_OK;
    if (handle_ != nullptr) {
        gzerror(handle_, &code);
    }
    return code != Z_OK;
}

}  // namespace translator
