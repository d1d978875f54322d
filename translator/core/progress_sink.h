#pragma once

#include <cstdint>

namespace translator {

struct TraceInfo;

// Receives the messages, progress and final report of one conversion and
// carries the cancel request.
class ProgressSink {
public:
    // Longest text one AddMessage call formats.
    static constexpr int kMessageLimit = 10240;

    virtual ~ProgressSink() = default;
    // Accumulated message text, or null when there is none.
    virtual const char* Messages() const = 0;
    virtual void AddMessage(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;
    virtual void ClearMessages() = 0;
    virtual void Finished(const TraceInfo& info, const char* text) = 0;
    virtual void Progress(const TraceInfo& info, const char* text) = 0;
    virtual void SetCanceled(bool canceled) = 0;
    virtual bool IsCanceled() const = 0;
};

}  // namespace translator
