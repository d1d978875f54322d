#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "buffered_file.h"
#include "convert_options.h"
#include "frame_record.h"
#include "sink_user.h"
#include "trace_info.h"

namespace translator {

// Base of every writer. Calling order for one file: Create, WriteHeader,
// WriteFrame per frame, FinishFile, Close.
class TraceWriter : public SinkUser {
public:
    static constexpr int64_t kDefaultMaxFrames = 0x7FFFFFFF;

    ~TraceWriter() override = default;

    // The formats this module writes; it supports no other.
    virtual std::span<const FormatId> Formats() const { return {}; }
    // Whether the output with these options can be written front to back and
    // never patched, as it is on standard output, so that it goes down a pipe
    // as it is written.
    virtual bool NeverSeeksBack(const ConvertOptions&) const { return false; }
    // Whether this module writes formatId for the interface and WAN type of info.
    bool Supports(int formatId, const TraceInfo& info) const;
    virtual bool Create(const std::string& path, int formatId, const ConvertOptions& options);
    virtual bool WriteHeader(const TraceInfo& info);
    virtual bool WriteFrame(const TraceInfo& info, const FrameRecord& frame);
    // Marks a point the output can be cut back to; the conversion loop calls
    // it after the header and after every frame written.
    virtual void Checkpoint() {}
    // After a failed write: cuts the output back to the last checkpoint that
    // reached it whole, so that FinishFile finishes a capture of the frames
    // before it. Returns how many frames written since were lost.
    virtual int64_t CutBack() { return 0; }
    // Whether a write to the output failed in the system (a full disk), so
    // that only a CutBack makes it writable again.
    virtual bool WriteFailed() const { return false; }
    // Writes what depends on the whole trace. Called after the last frame,
    // after a cancel and after a failed frame (once cut back).
    virtual bool FinishFile(const TraceInfo& info);
    virtual bool Close();
    virtual int64_t MaxFrames() const { return kDefaultMaxFrames; }
    // Whether the file keeps an Ethernet frame's FCS; asked after Create.
    virtual bool KeepsEthernetFcs() const { return true; }
    // Whether the format holds a frame of which no byte was captured; the
    // conversion leaves such frames out of the others and counts them.
    virtual bool HoldsEmptyFrames() const { return true; }
    // Why the last failed WriteFrame refused its frame (its time, its length
    // or its place in a file of 32-bit offsets), cleared by the call; empty
    // after any other failure. A refusal writes nothing, so the file can still
    // be finished with the frames before it.
    std::string TakeRefusal() { return std::exchange(refusal_, {}); }
    // The name messages give the output, where the writer creates a file
    // beside it that becomes the output once finished; empty: the file's own.
    // Holds until named again.
    void NameOutput(const std::string& name) { outputName_ = name; }

protected:
    // The name messages give the file created at path.
    const std::string& OutputName(const std::string& path) const {
        return outputName_.empty() ? path : outputName_;
    }
    // The module's interface and WAN rules, asked only for one of its formats.
    virtual bool SupportsInterface(int formatId, const TraceInfo& info) const;
    // Whether a field that counts 0 to maxMicros from the capture start holds
    // the frame at offsetMicros; otherwise keeps the refusal for the frame
    // being converted.
    bool OffsetFits(int formatId, const TraceInfo& info, int64_t offsetMicros, int64_t maxMicros);
    // Whether the format's length fields hold a frame of length bytes (as the
    // format stores it); otherwise keeps the refusal for the frame being converted.
    bool LengthFits(int formatId, const TraceInfo& info, int64_t length, int64_t maxLength);
    // The creation message, then the system's reason for error (an errno value).
    void ReportCreateFailure(const std::string& path, int error);
    // Whether a 32-bit field holds position, the furthest file position that
    // the frame being converted and what FinishFile writes after it would
    // need; otherwise keeps a refusal in the words of any failed frame.
    bool PositionFits(const TraceInfo& info, int64_t position);

private:
    std::string refusal_;
    std::string outputName_;
};

// Base of the writers that write a file themselves.
class FileTraceWriter : public TraceWriter {
public:
    ~FileTraceWriter() override { file.Close(); }

    bool Create(const std::string& path, int formatId, const ConvertOptions& options) override;
    // Passes everything buffered to the system, so that a full disk shows
    // here rather than at Close.
    bool FinishFile(const TraceInfo& info) override;
    bool Close() override;
    void Checkpoint() override;
    int64_t CutBack() override;
    bool WriteFailed() const override { return file.Failed(); }

    bool WriteBytes(const void* data, int64_t n);
    // Writes values as little-endian 32-bit words, in pieces: a frame table
    // is never held twice.
    bool WriteLE32s(std::span<const uint32_t> values);
    // Writes n zero bytes; a failure adds "Error writing file header.\r\n".
    bool WriteZeros(int64_t n);
    // Zeros in place of the header that FinishFile patches, once counts and
    // offsets are known.
    bool ReserveHeader(int64_t size) { return WriteZeros(size); }
    // Overwrites bytes already written at offset and passes everything
    // buffered to the system, so a failure shows in FinishFile's result.
    bool PatchHeader(const void* bytes, size_t size, int64_t offset = 0);

    OutputFile file;
    const ConvertOptions* options = nullptr;
    int format = FMT_UN;

protected:
    // Forgets what the writer keeps of the frames from position on, which a
    // cut has removed from the file: by default its table entries, last first.
    virtual void ForgetFramesFrom(int64_t position);
    // Writers that append a table of their frames in FinishFile: where the
    // last frame kept starts (-1: none), and how many bytes FinishFile then
    // appends. After a full disk, frames are dropped from the end until
    // those bytes fit within what the disk held.
    virtual int64_t LastFrameStart() const { return -1; }
    virtual int64_t FinishSize() const { return 0; }
    // Removes the last frame's entry from that table.
    virtual void DropLastFrame() {}
    // Removes the frames from position, a frame's start, on.
    bool CutFramesFrom(int64_t position);
    // Frames dropped to make room for what FinishFile appends within limit.
    int64_t MakeRoom(int64_t limit);

private:
    // Positions of the checkpoints since the last one that reached the
    // system, that one first.
    std::vector<int64_t> checkpoints_;
};

// Base of binary writers: adds the ".offset" side file that lists the byte
// positions whose content differs from run to run.
class BinaryTraceWriter : public FileTraceWriter {
public:
    ~BinaryTraceWriter() override { offsetStream.Close(); }

    bool Create(const std::string& path, int formatId, const ConvertOptions& options) override;
    bool Close() override;

    // Lists count positions, starting offsetInRecord bytes past the current
    // write position. Called for fields of every frame: without a side file
    // it costs one test.
    void MarkOffsets(int64_t offsetInRecord, int count) {
        if (offsetStream.IsOpen()) {
            ListOffsets(offsetInRecord, count);
        }
    }
    void MarkField(const void* recordStart, const void* fieldAddress, int count) {
        MarkOffsets(
            static_cast<const uint8_t*>(fieldAddress) - static_cast<const uint8_t*>(recordStart),
            count);
    }

    OutputFile offsetStream;

private:
    void ListOffsets(int64_t offsetInRecord, int count);
};

}  // namespace translator
