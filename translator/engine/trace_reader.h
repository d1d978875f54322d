#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "buffered_file.h"
#include "convert_options.h"
#include "decompressing_input.h"
#include "frame_record.h"
#include "sink_user.h"
#include "trace_info.h"

namespace translator {

class TraceWriter;

// One interface of a recording whose reader converts one interface at a
// time: the one selected.
struct SourceInterface {
    bool selected = false;
    int index = 0;
    char name[256] = {};
    char limtype[256] = {};  // the kind of line, as the recording names it
};

// Base of every reader. A reader serves any number of files in turn: Open,
// ReadFrame until false, Close.
class TraceReader : public SinkUser {
public:
    // How the last ReadFrame ended: with a frame, at the end of the data, or
    // on a source that is damaged or cut short.
    enum class ReadStatus { Frame, End, Damaged };

    ~TraceReader() override = default;

    // Opens and closes path; the reader's info when it is of this format, else null.
    virtual TraceInfo* Probe(const std::string& path);
    // The conversion loop: streams every frame of source into writer.
    bool Convert(const std::string& source, TraceWriter& writer, const ConvertOptions& options);
    // Convert in two steps, so that a caller can refuse a source that no
    // longer opens before it creates the destination: OpenSource, then
    // ConvertOpened, which closes the source.
    bool OpenSource(const std::string& source, const ConvertOptions& options);
    bool ConvertOpened(TraceWriter& writer);
    // The formats this module reads; it supports no other.
    virtual std::span<const FormatId> Formats() const { return {}; }
    // Whether the reader takes standard input as it arrives: its Open looks
    // no further than the first frames, and reading never goes back.
    virtual bool ReadsFrontToBack() const { return false; }
    // Whether this module reads formatId on the interface and WAN type of info.
    bool Supports(int formatId, const TraceInfo& info) const;
    // The interfaces of the last file opened that a conversion chooses
    // between; empty for readers that convert every interface.
    virtual const std::vector<SourceInterface>& Interfaces() const;
    virtual void SetInterfaces(std::vector<SourceInterface> /*interfaces*/) {}
    // Whether the writer of the last probed file's own format, given options,
    // would store its frames in the layout the file holds them in. The range,
    // slicing, compression and rebuilt link headers are the caller's to check.
    virtual bool StoresAlike(const ConvertOptions& /*options*/) const { return true; }

    virtual bool Open(const std::string& path);
    virtual void Close();
    // Fills frame with the next frame; false at the end of the data and on a
    // damaged source, which LastReadStatus tells apart.
    bool ReadFrame();
    virtual bool UpdateProgress();

    ReadStatus LastReadStatus() const { return status_; }
    // Why the source counts as damaged; empty unless LastReadStatus is Damaged.
    const std::string& DamageReason() const { return damageReason_; }

    TraceInfo info;
    FrameRecord frame;
    ConvertOptions options;

protected:
    // The module's interface and WAN rules, asked only for one of its formats.
    virtual bool SupportsInterface(int formatId, const TraceInfo& info) const;
    // The reader's own frame reading, behind ReadFrame.
    virtual bool ReadNextFrame();
    // Marks the source damaged with a reason (lower-case, no line end) and
    // returns false, so that a reader can end with `return Damaged(...)`.
    bool Damaged(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Damage of a file that ends while the next frame still needs bytes: what
    // names the part that needed them, left is how many there were.
    bool CutShort(const char* what, int64_t needed, int64_t left);
    // Damage of a frame longer than the frame record takes.
    bool TooLong(int64_t length);
    // The FCS bytes a frame received good gains: its checksum where the
    // destination keeps the FCS, zeros where nobody writes them.
    FcsBytes KeptFcs() const { return fcsKept_ ? FcsBytes::kComputed : FcsBytes::kZeros; }
    // Progress by frame count; false when no usable total is known.
    bool UpdateProgressByFrames();
    // For ReadFrame when the source announced frames it then failed to hand
    // out: the conversion still finishes its output but reports failure, with
    // text or else "Error reading frame N".
    void ReportReadFailure(const char* text = nullptr);

private:
    void ResetReadStatus();

    bool readFailed_ = false;
    // Whether the destination keeps the Ethernet FCS: the writer's answer,
    // asked once a conversion.
    bool fcsKept_ = true;
    ReadStatus status_ = ReadStatus::End;
    std::string damageReason_;
};

// Base of the readers that parse a file themselves.
class FileTraceReader : public TraceReader {
public:
    ~FileTraceReader() override { FileTraceReader::Close(); }

    bool Open(const std::string& path) override;
    void Close() override;
    bool UpdateProgress() override;

    bool ReadBytes(void* buffer, size_t n) { return file.Read(buffer, n); }
    // Reads n bytes of the next frame's record; a file that ends first is
    // damage, with what naming the part read.
    bool ReadPart(void* buffer, size_t n, const char* what);
    // The same for the first bytes of a record, where a file that ends right
    // there simply ends.
    bool ReadRecordStart(void* buffer, size_t n, const char* what);
    // The first n bytes of a record where the input buffer holds them, else
    // read into copy as by ReadRecordStart; nullptr where that fails. Valid
    // until the next read.
    const uint8_t* RecordStart(uint8_t* copy, size_t n, const char* what) {
        if (const uint8_t* bytes = file.Borrow(n)) {
            return bytes;
        }
        return ReadRecordStart(copy, n, what) ? copy : nullptr;
    }

    InputFile file;
    int64_t fileSize = 0;
};

// Base of the readers that read plain and compressed files alike.
class GzTraceReader : public TraceReader {
public:
    ~GzTraceReader() override { file.Close(); }

    void Close() override { file.Close(); }
    // Progress as in FileTraceReader, by the position in the file as stored.
    bool UpdateProgress() override;

    // Opens path into file and notes its compression in info; readers call it
    // after resetting info.
    bool OpenFile(const std::string& path);
    // As in FileTraceReader; compressed data that breaks off is damage too.
    bool ReadPart(void* buffer, size_t n, const char* what);
    bool ReadRecordStart(void* buffer, size_t n, const char* what);
    // The first n bytes of a record where the input buffer holds them, else
    // read into copy as by ReadRecordStart; nullptr where that fails. Valid
    // until the next read.
    const uint8_t* RecordStart(uint8_t* copy, size_t n, const char* what) {
        if (const uint8_t* bytes = file.Borrow(n)) {
            return bytes;
        }
        return ReadRecordStart(copy, n, what) ? copy : nullptr;
    }

    DecompressingInput file;

private:
    // Reads n bytes of a record; mayEndBefore: whether a file that ends
    // before the first of them simply ends.
    bool ReadRecordBytes(void* buffer, size_t n, const char* what, bool mayEndBefore);
    // Damage of compressed data that broke off or is corrupt.
    bool BrokenOff();
};

}  // namespace translator
