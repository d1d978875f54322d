#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "progress_sink.h"

namespace translator {

// The console sink: keeps messages, prints a dot every 83 frames and the
// closing report.
class ConsoleProgress : public ProgressSink {
public:
    explicit ConsoleProgress(FILE* out = stdout) : out_(out) {}

    const char* Messages() const override { return hasMessages_ ? messages_.c_str() : nullptr; }
    void AddMessage(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void ClearMessages() override;
    void Finished(const TraceInfo& info, const char* text) override;
    void Progress(const TraceInfo& info, const char* text) override;
    void SetCanceled(bool canceled) override { canceled_ = canceled; }
    bool IsCanceled() const override { return canceled_; }

private:
    void EndDotLine();

    FILE* out_;
    std::string messages_;
    bool hasMessages_ = false;
    // Also read by the threads that convert the files of a folder at once.
    std::atomic<bool> canceled_ = false;
    int dotColumn_ = 0;
    int64_t progressCalls_ = 0;
};

// "hh:mm:ss.uuuuuu" span from the first to the last timestamp; false when the
// last is earlier than the first.
bool FormatDuration(const TraceInfo& info, char* text, size_t size);

}  // namespace translator
