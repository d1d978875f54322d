// Preloaded in place of pread: a read that covers the byte at
// FAULT_READ_OFFSET fails with EIO, as a bad sector would, from whichever
// thread reads it.
#include <dlfcn.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdlib>

namespace {

using Pread = ssize_t (*)(int, void*, size_t, off_t);

bool CoversBadByte(size_t n, off_t offset) {
    static const char* const setting = std::getenv("FAULT_READ_OFFSET");
    if (setting == nullptr) {
        return false;
    }
    const long long bad = std::atoll(setting);
    return offset <= bad && bad < offset + static_cast<long long>(n);
}

ssize_t ReadOrFail(const char* name, int fd, void* buffer, size_t n, off_t offset) {
    if (CoversBadByte(n, offset)) {
        errno = EIO;
        return -1;
    }
    return reinterpret_cast<Pread>(dlsym(RTLD_NEXT, name))(fd, buffer, n, offset);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) ssize_t pread(int fd, void* buffer, size_t n, off_t offset) {
    return ReadOrFail("pread", fd, buffer, n, offset);
}
__attribute__((visibility("default"))) ssize_t pread64(int fd, void* buffer, size_t n,
                                                       off_t offset) {
    return ReadOrFail("pread64", fd, buffer, n, offset);
}
}
