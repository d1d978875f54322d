#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "buffered_file.h"
#include "convert_options.h"
#include "frame_record.h"
#include "gz_input.h"
#include "sink_user.h"
#include "trace_info.h"

namespace translator {

class TraceWriter;

// Base of every reader. A reader serves any number of files in turn: Open,
// ReadFrame until false, Close.
class TraceReader : public SinkUser {
public:
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
    // Whether this module reads formatId on the interface and WAN type of info.
    bool Supports(int formatId, const TraceInfo& info) const;
    // Passes text on only while the sink has no message yet: the first error stays.
    void ReportError(const char* text);

    virtual bool Open(const std::string& path);
    virtual void Close();
    virtual bool ReadFrame();
    virtual bool UpdateProgress();

    TraceInfo info;
    FrameRecord frame;
    ConvertOptions options;

protected:
    // The module's interface and WAN rules, asked only for one of its formats.
    virtual bool SupportsInterface(int formatId, const TraceInfo& info) const;
    // Progress by frame count; false when no usable total is known.
    bool UpdateProgressByFrames();
    // For ReadFrame when the source announced frames it then failed to hand
    // out: the conversion still finishes its output but reports failure, with
    // text or else "Error reading frame N".
    void ReportReadFailure(const char* text = nullptr);

private:
    bool readFailed_ = false;
};

// Base of the readers that parse a file themselves.
class FileTraceReader : public TraceReader {
public:
    ~FileTraceReader() override { FileTraceReader::Close(); }

    bool Open(const std::string& path) override;
    void Close() override;
    bool UpdateProgress() override;

    bool ReadBytes(void* buffer, size_t n) { return file.Read(buffer, n); }

    InputFile file;
    int64_t fileSize = 0;
};

// Base of the readers that read plain and gzip-compressed files alike.
class GzTraceReader : public TraceReader {
public:
    ~GzTraceReader() override { file.Close(); }

    void Close() override { file.Close(); }

    GzInputFile file;
};

}  // namespace translator
