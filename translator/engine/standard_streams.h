#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace translator {

class OutputFile;

// "-" as a source or destination: standard input or standard output.
inline constexpr char kStandardStream[] = "-";

// $TMPDIR, or /tmp when it is unset or empty.
std::string TemporaryFolder();

// A file in TemporaryFolder, removed with the object. Readers probe and seek
// and writers patch their headers, so a pipe passes through one of these.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates an empty file readable by its owner only; false with errno set.
    bool Create();
    const std::string& path() const { return path_; }
    int fd() const { return fd_; }

private:
    std::string path_;
    int fd_ = -1;
};

// Standard input as the source that InputFile and DecompressingInput open as
// "-" while an object of this class exists. Its first bytes, up to a limit,
// are kept, so that every reader's probe can read them again from the start;
// once streaming, the bytes after them are handed out as they arrive, front
// to back, and none is kept.
class StandardInput {
public:
    explicit StandardInput(size_t headLimit);
    ~StandardInput();
    StandardInput(const StandardInput&) = delete;
    StandardInput& operator=(const StandardInput&) = delete;

    // The one that "-" opens, or null.
    static StandardInput* Active();

    // Up to n bytes from position; fewer when no more have arrived yet, 0 at
    // the end or on an interrupt, -1 with errno set on a failure. Before
    // Stream, a read past the limit fails and marks the input Overran; after
    // it, bytes past the head come once only, so a position behind the last
    // one read there fails.
    ssize_t ReadAt(void* buffer, size_t n, int64_t position);
    void Stream() { streaming_ = true; }
    // Whether a read before Stream found the end of the input.
    bool Ended() const { return ended_; }
    // Whether a read before Stream needed bytes past the limit.
    bool Overran() const { return overran_; }
    // Writes the head to fd, then copies the rest of standard input until
    // its end or Interrupted(); false with errno set on a failure.
    bool SpoolTo(int fd);

private:
    // One read() of standard input, after passing on the output that waits
    // for it; 0 at the end and on an interrupt.
    ssize_t ReadLive(void* buffer, size_t n);

    std::unique_ptr<uint8_t[]> head_;
    size_t limit_;
    size_t length_ = 0;  // bytes kept in head_
    int64_t live_ = 0;   // next position of standard input
    bool streaming_ = false;
    bool ended_ = false;
    bool overran_ = false;
};

// The file writing "-" in place: its buffered bytes go out whenever standard
// input keeps the conversion waiting, so a live capture flows through frame
// by frame. Null when there is none.
void SetStandardOutputFile(OutputFile* file);
// The errno of the first failed write to standard output; 0 while none failed.
int StandardOutputError();
void NoteStandardOutputError(int error);
// Copies the file at path to standard output; false with errno set on a failure.
bool CopyToStandardOutput(const std::string& path);

}  // namespace translator
