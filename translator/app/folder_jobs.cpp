#include "folder_jobs.h"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/buffered_file.h"
#include "engine/trace_info.h"

namespace translator {

namespace {

// One thing a file's conversion reported, to be reported again in order.
struct Event {
    enum Kind { kReport, kDetail, kWarning, kProgress, kFinished, kOutcome };
    Kind kind;
    std::string text;
    // kProgress without text: that many calls in a row, as a frame loop makes them.
    int64_t calls = 1;
    std::unique_ptr<TraceInfo> info;
    std::unique_ptr<FileOutcome> outcome;
};

using Section = std::vector<Event>;

// The sink of one worker's engine: keeps the messages of the conversion in
// hand and records everything meant for the console into the current
// section. Cancelling is the console sink's.
class RecordingSink : public AccumulatingSink {
public:
    explicit RecordingSink(ProgressSink& console) : console_(console) {}

    // Starts recording into section; null ends the current section.
    void RecordInto(Section* section) {
        EndCalls();
        section_ = section;
    }
    void Add(Event::Kind kind, const std::string& text, const TraceInfo* info = nullptr,
             const FileOutcome* outcome = nullptr) {
        EndCalls();
        section_->push_back(
            {kind, text, 1, info != nullptr ? std::make_unique<TraceInfo>(*info) : nullptr,
             outcome != nullptr ? std::make_unique<FileOutcome>(*outcome) : nullptr});
    }

    void Progress(const TraceInfo& info, const char* text) override {
        if (text != nullptr && *text != '\0') {
            Add(Event::kProgress, text, &info);
        } else if (counting_ != nullptr) {
            ++section_->back().calls;
        } else {
            section_->push_back({Event::kProgress, std::string(), 1, nullptr, nullptr});
            counting_ = &info;
        }
    }
    void Finished(const TraceInfo& info, const char* text) override {
        Add(Event::kFinished, text != nullptr ? text : "", &info);
    }
    void SetCanceled(bool canceled) override { console_.SetCanceled(canceled); }
    bool IsCanceled() const override { return console_.IsCanceled(); }

private:
    // A run of progress calls ends: it keeps the state the trace reached.
    void EndCalls() {
        if (counting_ != nullptr) {
            section_->back().info = std::make_unique<TraceInfo>(*counting_);
            counting_ = nullptr;
        }
    }

    ProgressSink& console_;
    Section* section_ = nullptr;
    const TraceInfo* counting_ = nullptr;
};

// A worker's run: its texts go into the section being recorded; names and
// section lines are the console run's.
class RecordingRun : public ConversionRun {
public:
    RecordingRun(TranslatorEngine& engine, const ConversionRun& console, RecordingSink& sink)
        : ConversionRun(engine, console.Options()), console_(console), sink_(sink) {}

    void Report(const std::string& text) override { sink_.Add(Event::kReport, text); }
    void ReportDetail(const std::string& text) override { sink_.Add(Event::kDetail, text); }
    void Warn(const std::string& text) override { sink_.Add(Event::kWarning, text); }
    void NoteOutcome(const FileOutcome& outcome) override {
        sink_.Add(Event::kOutcome, std::string(), nullptr, &outcome);
    }
    std::string DestinationName(const std::string& name, int format) const override {
        return console_.DestinationName(name, format);
    }
    const char* SectionLine() const override { return console_.SectionLine(); }
    const char* SectionEnd() const override { return console_.SectionEnd(); }

private:
    const ConversionRun& console_;
    RecordingSink& sink_;
};

void Replay(const Section& section, ConversionRun& run, ProgressSink& sink) {
    for (const Event& event : section) {
        switch (event.kind) {
            case Event::kReport:
                run.Report(event.text);
                break;
            case Event::kDetail:
                run.ReportDetail(event.text);
                break;
            case Event::kWarning:
                run.Warn(event.text);
                break;
            case Event::kProgress:
                for (int64_t call = 0; call < event.calls; ++call) {
                    sink.Progress(*event.info, event.text.empty() ? nullptr : event.text.c_str());
                }
                break;
            case Event::kFinished:
                sink.Finished(*event.info, event.text.c_str());
                break;
            case Event::kOutcome:
                run.NoteOutcome(*event.outcome);
                break;
        }
    }
}

}  // namespace

int DefaultJobs() {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (sched_getaffinity(0, sizeof cpus, &cpus) == 0 && CPU_COUNT(&cpus) > 0) {
        return std::min(CPU_COUNT(&cpus), kMaxJobs);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(std::min<unsigned>(cores, kMaxJobs)) : 1;
}

// Files converted side by side already keep every core busy, so each
// conversion reads and writes on its own thread while the run lasts.
class PlainTransfersWhileBusy {
public:
    explicit PlainTransfersWhileBusy(int jobs) : before_(OverlappedTransfers()) {
        if (jobs >= DefaultJobs()) {
            SetOverlappedTransfers(false);
        }
    }
    ~PlainTransfersWhileBusy() { SetOverlappedTransfers(before_); }
    PlainTransfersWhileBusy(const PlainTransfersWhileBusy&) = delete;
    PlainTransfersWhileBusy& operator=(const PlainTransfersWhileBusy&) = delete;

private:
    const bool before_;
};

FolderTotals ConvertFolderInJobs(ConversionRun& run, const FolderPlan& plan, int jobs) {
    const PlainTransfersWhileBusy plainTransfers(jobs);
    ProgressSink& console = run.Engine().Sink();
    DestinationNames names = run.Names(plan);
    const std::vector<size_t> positions = plan.Converted();
    struct Slot {
        Section section;
        bool converted = false;
        bool done = false;
    };
    const size_t count = positions.size();
    std::vector<Slot> slots(count);
    std::mutex mutex;
    std::condition_variable progress;
    size_t taken = 0;
    int running = 0;

    auto work = [&] {
        RecordingSink sink(console);
        TranslatorEngine engine;
        engine.SetSink(&sink);
        RecordingRun worker(engine, run, sink);
        for (;;) {
            size_t index = 0;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (taken == count || console.IsCanceled()) {
                    break;
                }
                index = taken++;
            }
            sink.RecordInto(&slots[index].section);
            const bool converted = worker.ConvertEntry(plan, positions[index], names);
            sink.RecordInto(nullptr);
            {
                std::lock_guard<std::mutex> lock(mutex);
                slots[index].converted = converted;
                slots[index].done = true;
            }
            progress.notify_all();
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            --running;
        }
        progress.notify_all();
    };

    std::vector<std::thread> workers;
    for (int job = 0; job < jobs && static_cast<size_t>(job) < count; ++job) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++running;
        }
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> lock(mutex);
            --running;
            break;
        }
    }
    if (workers.empty()) {
        return run.ConvertFolder(plan);
    }

    FolderTotals totals;
    for (size_t index = 0; index < count; ++index) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            progress.wait(lock, [&] { return slots[index].done || running == 0; });
            if (!slots[index].done) {
                break;
            }
        }
        run.ReportDetail(run.SectionLine());
        ++totals.files;
        run.NoteFile(EntryPath(plan, positions[index]));
        Replay(slots[index].section, run, console);
        if (slots[index].converted) {
            ++totals.converted;
        }
        run.ReportDetail(run.SectionEnd());
        Section().swap(slots[index].section);
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    if (console.IsCanceled()) {
        totals.canceled = true;
        return totals;
    }
    run.ReportTotals(totals, plan.format);
    return totals;
}

}  // namespace translator
