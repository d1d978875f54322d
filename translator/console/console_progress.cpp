#include "console_progress.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "engine/trace_info.h"

namespace translator {

void ConsoleProgress::EndProgressLine() {
    if (dotColumn_ > 0 || shownPercent_ >= 0) {
        fputs("\r\n", out_);
        dotColumn_ = 0;
        shownPercent_ = -1;
    }
}

void ConsoleProgress::ShowPercent(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent != shownPercent_) {
        fprintf(out_, "\r%s %d%%", statusText_.c_str(), percent);
        fflush(out_);
        shownPercent_ = percent;
    }
}

void ConsoleProgress::Progress(const TraceInfo& info, const char* text) {
    if (style_ == ProgressStyle::kSilent) {
        return;
    }
    const bool hasText = text != nullptr && *text != '\0';
    if (style_ == ProgressStyle::kPercentLine) {
        if (hasText) {
            EndProgressLine();
            statusText_ = text;
            ShowPercent(info.percentDone);
        } else if (shownPercent_ >= 0) {
            ShowPercent(info.percentDone);
        }
        return;
    }
    if (hasText) {
        EndProgressLine();
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

void ConsoleProgress::Finished(const TraceInfo& info, const char* text) {
    if (style_ == ProgressStyle::kSilent) {
        return;
    }
    EndProgressLine();
    // A conversion cut short says so where a finished one says it completed.
    const bool canceled = text != nullptr && strcmp(text, kCanceledText) == 0;
    fprintf(out_, "%s\r\n", canceled ? kCanceledText : "Conversion completed:");
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
