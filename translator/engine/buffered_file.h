#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace translator {

class StandardInput;
class BackgroundTransfer;

// Whether large regular files are read ahead and written behind by a second
// thread while the conversion works on the bytes in between. On by default;
// the environment variable TRANSLATOR_OVERLAP=0 turns it off, and a folder
// run whose jobs already fill every core turns it off for itself.
bool OverlappedTransfers();
void SetOverlappedTransfers(bool on);

// The source file of the detection or conversion under way on this thread,
// opened once: probes and the conversion that open the same path read it
// through a duplicate of its descriptor, never opening the path again.
class HeldSource {
public:
    HeldSource() = default;
    ~HeldSource() { Release(); }
    HeldSource(const HeldSource&) = delete;
    HeldSource& operator=(const HeldSource&) = delete;

    // Opens path, which then stands for this file on this thread; 0, or the
    // system's error number when it cannot be opened or its first byte read.
    // A path that is not a regular file is held as nothing, with 0.
    int Hold(const std::string& path);
    void Release();

private:
    int fd_ = -1;
};

// pread, made again when a signal interrupts it.
ssize_t ReadFileAt(int fd, void* buffer, size_t n, int64_t position);

// Opens a regular file for reading, or duplicates the held source where path
// names it; -1 with errno set. *size, when given, gets the file's size.
int OpenRegularFile(const std::string& path, int64_t* size = nullptr);

// Buffered binary input with 64-bit positions. Reads are exact: a request is
// either filled whole or fails.
class InputFile {
public:
    InputFile();
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // "-" opens StandardInput::Active(), when there is one.
    bool Open(const std::string& path);
    // Reads the regular file open on fd, of size bytes, and closes it with itself.
    void Open(int fd, int64_t size);
    void Close();
    bool IsOpen() const { return fd_ >= 0 || stream_ != nullptr; }
    // Whether the input is standard input, read front to back.
    bool IsStream() const { return stream_ != nullptr; }

    bool Read(void* buffer, size_t n) {
        // Most reads lie whole in the buffer: those cost no call.
        if (n != 0 && n <= bufferLength_ - bufferPos_) {
            memcpy(buffer, buffer_.get() + bufferPos_, n);
            bufferPos_ += n;
            return true;
        }
        return ReadBuffered(buffer, n);
    }
    bool Skip(int64_t n) { return Seek(Tell() + n); }
    bool Seek(int64_t position);
    int64_t Tell() const { return bufferStart_ + static_cast<int64_t>(bufferPos_); }
    // Size reported by the file system; -1 when it cannot be had.
    int64_t Size() const;
    // The next n bytes where the buffer holds them all, which the read
    // position then passes; nullptr, with nothing read, where it does not.
    // Valid until the next call on this file.
    const uint8_t* Borrow(size_t n) {
        if (bufferLength_ - bufferPos_ < n) {
            return nullptr;
        }
        const uint8_t* bytes = buffer_.get() + bufferPos_;
        bufferPos_ += n;
        return bytes;
    }

private:
    bool ReadBuffered(void* buffer, size_t n);
    bool Fill();
    ssize_t ReadAt(void* buffer, size_t n, int64_t position);
    // Starts reading the block after the buffer into the spare buffer.
    void ReadAhead();
    // Waits for the block being read ahead; true when it holds position, and
    // then it is the buffer, with its length in *got.
    bool TakeReadAhead(int64_t position, ssize_t* got);
    void DropReadAhead();

    int fd_ = -1;
    int64_t size_ = 0;
    StandardInput* stream_ = nullptr;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t bufferCapacity_ = 0;
    size_t bufferLength_ = 0;  // valid bytes in buffer_
    size_t bufferPos_ = 0;     // next byte to hand out
    int64_t bufferStart_ = 0;  // file position of buffer_[0]
    int fills_ = 0;            // blocks read since the open or the last seek

    // Read-ahead: the block at aheadStart_ goes into ahead_ while the
    // conversion works on buffer_; aheadGot_ and aheadError_ are the result
    // of its pread, valid once the transfer has been waited for.
    std::unique_ptr<BackgroundTransfer> transfer_;
    std::unique_ptr<uint8_t[]> ahead_;
    bool aheadPending_ = false;
    int64_t aheadStart_ = 0;
    ssize_t aheadGot_ = 0;
    int aheadError_ = 0;
};

// Buffered binary output with 64-bit positions. Bytes collect in memory and
// reach the operating system in large blocks; Flush decides when.
class OutputFile {
public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates path; "-" writes standard output in place.
    bool Create(const std::string& path);
    // False when bytes still buffered could not be written.
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }
    // Whether this writes standard output, where nothing written can be patched.
    bool IsStandardOutput() const { return standardOutput_; }
    // Whether a write to the system failed; writes fail from then on.
    bool Failed() const { return failed_; }

    bool Write(const void* data, size_t n);
    bool WriteZeros(size_t n);
    // Called after every record: passes the buffer on once it is large enough,
    // so that a conversion costs few system calls yet keeps little in memory.
    bool Flush();
    // Writes out everything buffered.
    bool Commit();
    bool Seek(int64_t position);
    int64_t Tell() const { return position_ + static_cast<int64_t>(pending_); }
    // Bytes from the start that have reached the system; after a failed
    // write, those before the failure.
    int64_t Committed() const {
        return failed_ ? failedAt_ : position_ - static_cast<int64_t>(inFlight_);
    }
    // Bytes from the start that the file keeps: all written so far, or after
    // a failed write only those before the failure.
    int64_t Kept() const { return failed_ ? failedAt_ : Tell(); }
    // Drops every byte from position on, in the file and in the buffer, and
    // clears a write failure: writing goes on from there. position must not
    // exceed Kept().
    bool CutBack(int64_t position);
    // Room for n bytes (at most a buffer's worth) at the write position, for
    // text built in place; nullptr when the output has failed. Advance then
    // keeps the bytes used, before any other call.
    uint8_t* Reserve(size_t n);
    void Advance(size_t n);

private:
    // Writes n bytes at the system's file position; a failure marks the file
    // failed at the first byte that did not reach it.
    bool WriteThrough(const uint8_t* data, size_t n);
    // Hands the buffer to the background thread once the disk has room for
    // it reserved; otherwise writes it here, as a failure must be met at
    // the frame that filled the buffer.
    bool WriteBehind();
    // Waits for the block being written behind and takes its result.
    bool Drain();

    int fd_ = -1;
    bool standardOutput_ = false;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t pending_ = 0;    // buffered bytes not yet written
    int64_t position_ = 0;  // file position of buffer_[0]
    bool failed_ = false;   // a write to the system failed; later writes fail too
    int64_t failedAt_ = 0;  // with failed_: the first position not written

    // Write-behind: the inFlight_ bytes before position_ are being written
    // from behind_ by the background thread; behindFailedAt_ is where that
    // write stopped short (-1: it did not), valid once waited for.
    std::unique_ptr<BackgroundTransfer> transfer_;
    std::unique_ptr<uint8_t[]> behind_;
    bool writesBehind_ = false;
    size_t inFlight_ = 0;
    int64_t behindFailedAt_ = -1;
    int behindError_ = 0;
    int64_t sizeLimit_ = -1;  // the process's file size limit, -1 for none
};

}  // namespace translator
