#include "console_progress.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <csignal>
#include <cstdarg>
#include <cstring>

#include "trace_info.h"

namespace translator {

namespace {

// Set by the signal handler, read by every thread of a folder run.
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

void OnInterrupt(int signal) {
    int none = 0;
    interruptSignal.compare_exchange_strong(none, signal);
}

}  // namespace

void CancelOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Without SA_RESTART a wait for standard input ends at once.
    action.sa_flags = SA_RESETHAND;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

bool Interrupted() {
    return interruptSignal != 0;
}

int InterruptSignal() {
    return interruptSignal;
}

void AccumulatingSink::AddMessage(const char* format, ...) {
    char text[kMessageLimit];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    messages_ += text;
    hasMessages_ = true;
}

void AccumulatingSink::ClearMessages() {
    messages_.clear();
    hasMessages_ = false;
}

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
