#include "console_progress.h"

#include <cinttypes>
#include <cstdarg>

#include "trace_info.h"

namespace translator {

void ConsoleProgress::AddMessage(const char* format, ...) {
    char text[kMessageLimit];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    messages_ += text;
    hasMessages_ = true;
}

void ConsoleProgress::ClearMessages() {
    messages_.clear();
    hasMessages_ = false;
}

void ConsoleProgress::EndDotLine() {
    if (dotColumn_ > 0) {
        fputs("\r\n", out_);
        dotColumn_ = 0;
    }
}

void ConsoleProgress::Progress(const TraceInfo&, const char* text) {
    if (text != nullptr && *text != '\0') {
        EndDotLine();
        fprintf(out_, "%s\r\n", text);
    }
    ++progressCalls_;
    if (progressCalls_ % 83 == 0) {
        fputc('.', out_);
        if (++dotColumn_ > 60) {
            fputs("\r\n", out_);
            dotColumn_ = 0;
        }
    }
}

bool FormatDuration(const TraceInfo& info, char* text, size_t size) {
    if (info.lastSeconds < info.firstSeconds ||
        (info.lastSeconds == info.firstSeconds && info.lastMicros < info.firstMicros)) {
        return false;
    }
    uint32_t d = info.lastSeconds - info.firstSeconds;
    int64_t u = int64_t{info.lastMicros} - int64_t{info.firstMicros};
    if (u < 0) {
        d -= 1;
        u += 1000000;
    }
    snprintf(text, size, "%02u:%02u:%02u.%06u", d / 3600, (d / 60) % 60, d % 60,
             static_cast<unsigned>(u));
    return true;
}

void ConsoleProgress::Finished(const TraceInfo& info, const char*) {
    EndDotLine();
    fputs("Conversion completed:\r\n", out_);
    fprintf(out_, "Data Frames Written:  \t%" PRId64 "\r\n", info.framesWritten);
    fprintf(out_, "Non Data Frames Read: \t%" PRId64 "\r\n", info.nonDataFrames);
    fprintf(out_, "Frame Bytes Read:     \t%" PRId64 " bytes\r\n", info.bytesRead);
    char duration[64];
    if (FormatDuration(info, duration, sizeof duration)) {
        fprintf(out_, "Trace Duration:       \t%s\r\n", duration);
    }
    fflush(out_);
}

}  // namespace translator
