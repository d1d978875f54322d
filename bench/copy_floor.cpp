// The user-space copy floor for bench/compare: copies SOURCE to DESTINATION
// through one 1 MiB buffer with read and write, as a converter must move its
// bytes, where cp lets the kernel copy them.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

constexpr size_t kBufferSize = 1024 * 1024;

bool WriteAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        const ssize_t done = write(fd, data, n);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        data += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: copy_floor SOURCE DESTINATION\n");
        return 2;
    }
    const int in = open(argv[1], O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        perror(argv[1]);
        return 1;
    }
    const int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        perror(argv[2]);
        return 1;
    }
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
    for (;;) {
        const ssize_t got = read(in, buffer.get(), kBufferSize);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            perror(argv[1]);
            return 1;
        }
        if (got == 0) {
            break;
        }
        if (!WriteAll(out, buffer.get(), static_cast<size_t>(got))) {
            perror(argv[2]);
            return 1;
        }
    }
    if (close(out) != 0) {
        perror(argv[2]);
        return 1;
    }
    close(in);
    return 0;
}
