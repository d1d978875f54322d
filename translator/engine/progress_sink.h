#pragma once

#include <cstdint>
#include <string>

namespace translator {

struct TraceInfo;

// The final text of a conversion that a cancel cut short.
inline constexpr char kCanceledText[] = "Canceled by user";

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
    // Keeps why the source of the current conversion turned out damaged or
    // cut short (the conversion still ends as at the end of the data); null
    // clears it, as every conversion does first.
    virtual void NoteDamage(const char* reason) { damage_ = reason != nullptr ? reason : ""; }
    // The reason kept by NoteDamage; empty when the source was read to its end.
    virtual const char* Damage() const { return damage_.c_str(); }

private:
    std::string damage_;
};

// A sink that keeps every message it is given, in order, until cleared.
class AccumulatingSink : public ProgressSink {
public:
    const char* Messages() const override { return hasMessages_ ? messages_.c_str() : nullptr; }
    void AddMessage(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void ClearMessages() override;

private:
    std::string messages_;
    bool hasMessages_ = false;
};

// A sink that keeps messages and cancels only when asked: what a reader or
// writer reports to when it is lent none.
class SilentSink : public AccumulatingSink {
public:
    void Finished(const TraceInfo&, const char*) override {}
    void Progress(const TraceInfo&, const char*) override {}
    void SetCanceled(bool canceled) override { canceled_ = canceled; }
    bool IsCanceled() const override { return canceled_; }

private:
    bool canceled_ = false;
};

}  // namespace translator
