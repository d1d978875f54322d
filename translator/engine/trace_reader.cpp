#include "trace_reader.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "trace_writer.h"

namespace translator {

TraceInfo* TraceReader::Probe(const std::string& path) {
    ResetReadStatus();
    if (!Open(path)) {
        return nullptr;
    }
    Close();
    return &info;
}

bool TraceReader::Supports(int formatId, const TraceInfo& info) const {
    return HasFormat(Formats(), formatId) && SupportsInterface(formatId, info);
}

const std::vector<SourceInterface>& TraceReader::Interfaces() const {
    static const std::vector<SourceInterface> kNone;
    return kNone;
}

bool TraceReader::SupportsInterface(int, const TraceInfo&) const {
    return true;
}

void TraceReader::ReportReadFailure(const char* text) {
    char standard[64];
    if (text == nullptr) {
        snprintf(standard, sizeof standard, "Error reading frame %" PRId64 "\r\n",
                 info.framesRead + 1);
        text = standard;
    }
    ReportError(text);
    readFailed_ = true;
}

bool TraceReader::Open(const std::string&) {
    return false;
}
void TraceReader::Close() {}
bool TraceReader::ReadNextFrame() {
    return false;
}

bool TraceReader::ReadFrame() {
    ResetReadStatus();
    if (!ReadNextFrame()) {
        return false;
    }
    status_ = ReadStatus::Frame;
    return true;
}

void TraceReader::ResetReadStatus() {
    status_ = ReadStatus::End;
    damageReason_.clear();
}

bool TraceReader::Damaged(const char* format, ...) {
    char text[ProgressSink::kMessageLimit];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    status_ = ReadStatus::Damaged;
    damageReason_ = text;
    return false;
}

bool TraceReader::CutShort(const char* what, int64_t needed, int64_t left) {
    const int64_t number = info.framesRead + 1;
    if (left <= 0) {
        return Damaged("the file ends before frame %" PRId64 ", whose %s needs %" PRId64 " bytes",
                       number, what, needed);
    }
    return Damaged("the file ends inside frame %" PRId64 ": its %s needs %" PRId64
                   " bytes, %" PRId64 " %s left",
                   number, what, needed, left, left == 1 ? "is" : "are");
}

bool TraceReader::TooLong(int64_t length) {
    return Damaged("frame %" PRId64 " is %" PRId64 " bytes long, too long to read",
                   info.framesRead + 1, length);
}
bool TraceReader::UpdateProgress() {
    return UpdateProgressByFrames();
}

bool TraceReader::UpdateProgressByFrames() {
    int64_t total =
        options.convertall ? info.totalFrames : options.convertto - options.convertfrom + 1;
    if (!options.convertall && options.convertto < options.convertfrom) {
        return false;
    }
    if (total <= 0) {
        return false;
    }
    int64_t done = info.framesRead - options.convertfrom;
    if (done > 0) {
        info.percentDone = static_cast<int32_t>(done * 100 / total);
    }
    return true;
}

bool TraceReader::Convert(const std::string& source, TraceWriter& writer,
                          const ConvertOptions& convertOptions) {
    return OpenSource(source, convertOptions) && ConvertOpened(writer);
}

bool TraceReader::OpenSource(const std::string& source, const ConvertOptions& convertOptions) {
    ProgressSink& sink = Sink();
    sink.ClearMessages();
    sink.NoteDamage(nullptr);
    options = convertOptions;
    readFailed_ = false;
    ResetReadStatus();
    return Open(source);
}

bool TraceReader::ConvertOpened(TraceWriter& writer) {
    ProgressSink& sink = Sink();
    sink.Progress(info, "Converting ...");
    if (!writer.WriteHeader(info)) {
        ReportError("Error writing file header.\r\n");
        Close();
        return false;
    }
    writer.Checkpoint();
    const int64_t max = writer.MaxFrames();
    fcsKept_ = writer.KeepsEthernetFcs();
    const bool holdsEmptyFrames = writer.HoldsEmptyFrames();
    bool ok = true;
    bool canceled = false;
    for (;;) {
        if (!options.convertall && info.framesRead >= options.convertto) {
            break;
        }
        if (sink.IsCanceled()) {
            canceled = true;
            break;
        }
        if (max <= 0 || info.framesRead >= max || !ReadFrame()) {
            break;
        }
        info.Accumulate(frame);
        if (options.slice && frame.capturedLength > options.bytes) {
            frame.capturedLength = options.bytes;
        }
        bool inRange = options.convertall || (options.convertfrom <= info.framesRead &&
                                              info.framesRead <= options.convertto);
        if (inRange && !frame.nonData && frame.capturedLength == 0 && !holdsEmptyFrames) {
            ++info.emptyFramesLeftOut;
        } else if (inRange && !frame.nonData) {
            ok = writer.WriteFrame(info, frame);
            if (ok) {
                ++info.framesWritten;
                writer.Checkpoint();
            } else {
                const std::string refusal = writer.TakeRefusal();
                char text[64];
                snprintf(text, sizeof text, "Error writing frame %" PRId64 "\r\n", info.framesRead);
                ReportError(refusal.empty() ? text : refusal.c_str());
            }
        }
        UpdateProgress();
        sink.Progress(info, nullptr);
        if (!ok) {
            break;
        }
    }
    // A damaged source ends the loop like the end of the data; the front ends
    // learn why from the sink.
    if (status_ == ReadStatus::Damaged) {
        sink.NoteDamage(damageReason_.c_str());
    }
    // However the loop ended, the output is finished as a capture of the
    // frames that reached it whole; a frame that could not be written still
    // fails the conversion.
    if (!ok) {
        info.framesWritten -= writer.CutBack();
    }
    const bool finished = writer.FinishFile(info);
    if (!finished) {
        ReportError("Error writing file header.\r\n");
        // A disk that filled up meanwhile: the conversion has failed, and the
        // file is finished once more with the frames that reached it whole.
        if (writer.WriteFailed()) {
            info.framesWritten -= writer.CutBack();
            writer.FinishFile(info);
        }
    }
    ok = ok && finished && !readFailed_;
    Close();
    const char* text = canceled                ? kCanceledText
                       : info.framesRead < max ? "Done"
                                               : "Done (reached maximum frame count)";
    sink.Finished(info, text);
    return ok;
}

bool FileTraceReader::Open(const std::string& path) {
    FileTraceReader::Close();
    if (!file.Open(path)) {
        return false;
    }
    fileSize = file.Size();
    if (fileSize < 0) {
        fileSize = 0;
    }
    return true;
}

void FileTraceReader::Close() {
    file.Close();
    fileSize = 0;
}

bool FileTraceReader::ReadPart(void* buffer, size_t n, const char* what) {
    const int64_t start = file.Tell();
    return file.Read(buffer, n) || CutShort(what, static_cast<int64_t>(n), file.Tell() - start);
}

bool FileTraceReader::ReadRecordStart(void* buffer, size_t n, const char* what) {
    const int64_t start = file.Tell();
    if (file.Read(buffer, n)) {
        return true;
    }
    const int64_t got = file.Tell() - start;
    return got > 0 && CutShort(what, static_cast<int64_t>(n), got);
}

bool FileTraceReader::UpdateProgress() {
    if (UpdateProgressByFrames()) {
        return true;
    }
    if (fileSize > 0) {
        info.percentDone = static_cast<int32_t>(file.Tell() * 100 / fileSize);
    }
    return false;
}

bool GzTraceReader::OpenFile(const std::string& path) {
    if (!file.Open(path)) {
        return false;
    }
    info.compression = file.Compression();
    return true;
}

bool GzTraceReader::UpdateProgress() {
    if (UpdateProgressByFrames()) {
        return true;
    }
    if (file.StoredSize() > 0) {
        info.percentDone = static_cast<int32_t>(file.StoredPosition() * 100 / file.StoredSize());
    }
    return false;
}

bool GzTraceReader::ReadPart(void* buffer, size_t n, const char* what) {
    return ReadRecordBytes(buffer, n, what, false);
}

bool GzTraceReader::ReadRecordStart(void* buffer, size_t n, const char* what) {
    return ReadRecordBytes(buffer, n, what, true);
}

bool GzTraceReader::ReadRecordBytes(void* buffer, size_t n, const char* what, bool mayEndBefore) {
    const int64_t start = file.Tell();
    if (file.Read(buffer, n)) {
        return true;
    }
    if (file.Broken()) {
        return BrokenOff();
    }
    const int64_t got = file.Tell() - start;
    return (!mayEndBefore || got > 0) && CutShort(what, static_cast<int64_t>(n), got);
}

bool GzTraceReader::BrokenOff() {
    return Damaged("the %s stream is damaged after %" PRId64 " bytes",
                   CompressionName(file.Compression()), file.Tell());
}

}  // namespace translator
