#include "trace_reader.h"

#include <cinttypes>
#include <cstdio>

#include "trace_writer.h"

namespace translator {

TraceInfo* TraceReader::Probe(const std::string& path) {
    if (!Open(path)) {
        return nullptr;
    }
    Close();
    return &info;
}

bool TraceReader::Supports(int formatId, const TraceInfo& info) const {
    return HasFormat(Formats(), formatId) && SupportsInterface(formatId, info);
}

bool TraceReader::SupportsInterface(int, const TraceInfo&) const {
    return true;
}

void TraceReader::ReportError(const char* text) {
    ProgressSink& sink = Sink();
    if (sink.Messages() == nullptr || *sink.Messages() == '\0') {
        sink.AddMessage("%s", text);
    }
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
bool TraceReader::ReadFrame() {
    return false;
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
    Sink().ClearMessages();
    options = convertOptions;
    readFailed_ = false;
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
    const int64_t max = writer.MaxFrames();
    bool ok = true;
    for (;;) {
        if (!options.convertall && info.framesRead >= options.convertto) {
            break;
        }
        if (max <= 0 || info.framesRead >= max || sink.IsCanceled() || !ReadFrame()) {
            break;
        }
        info.Accumulate(frame);
        if (options.slice && frame.capturedLength > options.bytes) {
            frame.capturedLength = options.bytes;
        }
        bool inRange = options.convertall || (options.convertfrom <= info.framesRead &&
                                              info.framesRead <= options.convertto);
        if (inRange && !frame.nonData) {
            ok = writer.WriteFrame(info, frame);
            if (ok) {
                ++info.framesWritten;
            } else {
                char text[64];
                snprintf(text, sizeof text, "Error writing frame %" PRId64 "\r\n", info.framesRead);
                ReportError(text);
            }
        }
        UpdateProgress();
        sink.Progress(info, nullptr);
        if (!ok) {
            break;
        }
    }
    if (ok && !sink.IsCanceled()) {
        ok = writer.FinishFile(info);
        if (!ok) {
            ReportError("Error writing file header.\r\n");
        }
    }
    ok = ok && !readFailed_;
    Close();
    const char* text = sink.IsCanceled()       ? "Canceled by user"
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

bool FileTraceReader::UpdateProgress() {
    if (UpdateProgressByFrames()) {
        return true;
    }
    if (fileSize > 0) {
        info.percentDone = static_cast<int32_t>(file.Tell() * 100 / fileSize);
    }
    return false;
}

}  // namespace translator
