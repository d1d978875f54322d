#pragma once

#include <string>

namespace translator {

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

// Copies standard input into file until its end, or until Interrupted();
// false with errno set when reading or writing fails.
bool SpoolStandardInput(const TemporaryFile& file);
// Copies the file at path to standard output; false with errno set on a failure.
bool CopyToStandardOutput(const std::string& path);

}  // namespace translator
