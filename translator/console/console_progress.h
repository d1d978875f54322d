#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "engine/interruption.h"
#include "engine/progress_sink.h"

namespace translator {

// How the console shows a conversion going on.
enum class ProgressStyle {
    kDots,         // a dot every 83 frames, then the closing report
    kPercentLine,  // one line whose percentage is rewritten in place, for a terminal
    kSilent,       // nothing: neither progress nor the closing report
};

// The console sink: keeps messages, shows progress and prints the closing
// report. It is canceled by SetCanceled or by an interrupt (CancelOnInterrupt).
class ConsoleProgress : public AccumulatingSink {
public:
    explicit ConsoleProgress(FILE* out = stdout, ProgressStyle style = ProgressStyle::kDots)
        : out_(out), style_(style) {}

    void Finished(const TraceInfo& info, const char* text) override;
    void Progress(const TraceInfo& info, const char* text) override;
    void SetCanceled(bool canceled) override { canceled_ = canceled; }
    bool IsCanceled() const override { return canceled_ || Interrupted(); }
    // Ends a progress line left open, so that other text starts a line of its own.
    void EndProgressLine();

private:
    void ShowPercent(int percent);

    FILE* out_;
    ProgressStyle style_;
    // Also read by the threads that convert the files of a folder at once.
    std::atomic<bool> canceled_ = false;
    int dotColumn_ = 0;
    int64_t progressCalls_ = 0;
    std::string statusText_;  // the text the percentage follows
    int shownPercent_ = -1;   // -1: no percentage line is open
};

}  // namespace translator
