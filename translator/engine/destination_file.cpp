#include "destination_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "convert_options.h"

namespace translator {

namespace {

const char kOffsetSuffix[] = ".offset";

// The file a chain of symbolic links ends at; path itself when it is none.
std::string Resolved(std::string path) {
    // As many links as the system itself follows before it gives up.
    for (int hop = 0; hop < 40; ++hop) {
        char target[4096];
        const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) {
            break;
        }
        const std::string link(target, static_cast<size_t>(n));
        const size_t slash = path.rfind('/');
        path =
            link[0] == '/' || slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
    }
    return path;
}

// Six letters or digits that differ between calls, threads and processes.
std::string UniqueTag() {
    static std::atomic<uint64_t> counter{0};
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    uint64_t seed =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<uint64_t>(getpid()) << 32) ^ (counter++ * 0x9E3779B97F4A7C15ull);
    std::string tag;
    for (int i = 0; i < 6; ++i) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        tag += kDigits[(seed >> 33) % 62];
    }
    return tag;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace

DestinationFile::DestinationFile(const std::string& destination) : target_(Resolved(destination)) {
    struct stat st {};
    if (destination == "-" || (stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode))) {
        return;
    }
    const size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string name = target_.substr(folder.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + "." + name + "." + UniqueTag();
        // A name the writers would refuse as too long: written in place, as before.
        if (name.empty() || candidate.size() + sizeof kOffsetSuffix > kMaxOptionText) {
            return;
        }
        // Mode 0666 under the umask: the permissions a new destination gets.
        const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            temporary_ = std::move(candidate);
            staged_ = true;
            return;
        }
        if (errno != EEXIST) {
            // The writer meets the same fault on the destination and reports it.
            return;
        }
    }
}

DestinationFile::~DestinationFile() {
    if (staged_) {
        Discard();
    }
}

bool DestinationFile::Commit() {
    if (!staged_) {
        return true;
    }
    // A writer that leaves no file (the Tervo library for a capture without
    // frames) leaves none under the destination's name either.
    if (!Exists(temporary_)) {
        staged_ = false;
        return unlink(target_.c_str()) == 0 || errno == ENOENT;
    }
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        Discard();
        errno = error;
        return false;
    }
    staged_ = false;
    const std::string offsets = temporary_ + kOffsetSuffix;
    if (Exists(offsets) && rename(offsets.c_str(), (target_ + kOffsetSuffix).c_str()) != 0) {
        const int error = errno;
        unlink(offsets.c_str());
        errno = error;
        return false;
    }
    return true;
}

void DestinationFile::Discard() {
    if (!staged_) {
        return;
    }
    unlink(temporary_.c_str());
    unlink((temporary_ + kOffsetSuffix).c_str());
    staged_ = false;
}

}  // namespace translator
