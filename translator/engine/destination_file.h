#pragma once

#include <string>

namespace translator {

// Where a conversion writes its output: a hidden file beside the
// destination, renamed over it only once the output is finished, so that a
// refused or broken conversion never destroys what was there and an output
// is never seen half-written under its final name. Destinations that are
// not regular files (devices, FIFOs) and the ones a temporary file cannot be
// made beside are written in place.
class DestinationFile {
public:
    // Resolves destination (following symbolic links, so that the file they
    // point to is the one replaced) and creates the temporary file.
    explicit DestinationFile(const std::string& destination);
    // Removes the temporary file unless it was committed.
    ~DestinationFile();
    DestinationFile(const DestinationFile&) = delete;
    DestinationFile& operator=(const DestinationFile&) = delete;

    // The path the writer creates.
    const std::string& WritePath() const { return staged_ ? temporary_ : target_; }
    // Renames the finished output, and its ".offset" side file when there is
    // one, into place; false with errno set when the rename fails.
    bool Commit();
    // Removes the output, leaving the destination as it was.
    void Discard();

private:
    std::string target_;
    std::string temporary_;
    bool staged_ = false;
};

}  // namespace translator
