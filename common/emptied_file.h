#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace emptied_file {

// Opens path for writing, created or emptied, as O_TRUNC would; -1 with errno
// set. A file that is already empty is not truncated: ext4 takes any
// truncation as the sign of a file rewritten in place and then forces the
// whole new content to disk when it is closed, which for the fresh temporary
// file of every conversion would double its time.
inline int OpenEmptied(const char* path, mode_t mode) {
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC, mode);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && ::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace emptied_file
