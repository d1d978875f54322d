#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/convert_options.h"
#include "engine/engine.h"

namespace translator {

// What a folder run got through.
struct FolderTotals {
    int files = 0;
    int converted = 0;
    bool canceled = false;
};

// The part of a folder's listing one of several runs converts: the entries
// whose position is index modulo count.
struct Shard {
    size_t index = 0;
    size_t count = 1;

    bool Holds(size_t position) const { return position % count == index; }
};

// The files of a folder run and where they go. Entries are paths below the
// source folder ("sub/a.pcap"), in listing order; the run converts those of
// its shard.
struct FolderPlan {
    std::string source;
    std::string destination;
    std::vector<std::string> entries;
    int format = 0;
    Shard shard;

    // The positions of the entries the run converts, in listing order.
    std::vector<size_t> Converted() const;
};

// The destination names of a folder run, decided in listing order whatever
// order the entries are converted in. A name's first use keeps it; a name
// already written in this run, or one that is a source of the run, gives
// way to the entry's whole name with the format's suffix, then with a
// counter before the suffix. Entries outside the plan's shard take part as
// they would in the whole run, so every shard names its files alike.
class DestinationNames {
public:
    // The destination name of an entry's file name at its first use.
    using FirstUse = std::function<std::string(const std::string& name)>;
    // Whether the conversion of an entry outside the shard would create its
    // destination.
    using WritesElsewhere = std::function<bool(size_t index)>;

    DestinationNames(const FolderPlan& plan, FirstUse firstUse, WritesElsewhere writesElsewhere);

    struct Choice {
        std::string path;
        std::string note;  // why the first-use name gave way; empty when it did not
    };
    // Names entry index once every earlier entry has been named. writes:
    // whether the entry's conversion creates its destination, which then
    // holds the name for the rest of the run.
    Choice Choose(size_t index, bool writes);

private:
    // Whether some name each entry may get could also be another entry's;
    // the names of an entry for which it is not never decide another's.
    std::vector<bool> NamesThatMayMeet() const;
    bool Taken(const std::string& relative) const;
    // Names entry next_ and moves on past the entries outside the shard.
    Choice Name(bool writes);

    const FolderPlan& plan_;
    FirstUse firstUse_;
    std::vector<bool> writesElsewhere_;
    std::set<std::pair<dev_t, ino_t>> sources_;
    std::set<std::string> written_;
    std::mutex mutex_;
    std::condition_variable turn_;
    size_t next_ = 0;
};

// How one file of a run ended.
struct FileOutcome {
    enum Kind { kConverted, kSkipped, kFailed, kCanceled };
    Kind kind = kFailed;
    std::string destination;  // the file written; empty when none was
    int format = 0;           // the source's, as recognised; 0 when it was not
    int64_t frames = 0;       // written
};

// The per-file procedure and the folder run of both front ends, with their
// reports. Subclasses say where the texts go and what differs between the
// console and the window.
class ConversionRun {
public:
    ConversionRun(TranslatorEngine& engine, const ConvertOptions& options)
        : engine_(engine), options_(options) {}
    virtual ~ConversionRun() = default;

    // Recognises source, reports its summary and converts it unless it is
    // already in format; a warning about a damaged source and a failed
    // conversion's accumulated messages follow.
    bool ConvertOne(const std::string& source, const std::string& destination, int format);
    // The same for a source already recognised (detected may be null).
    bool ConvertDetected(DetectResult* detected, const std::string& source,
                         const std::string& destination, int format);
    // The same for entry index of a folder run, named by names once it is
    // recognised.
    bool ConvertEntry(const FolderPlan& plan, size_t index, DestinationNames& names);
    // The destination names of plan; entries outside its shard are
    // recognised here, as whether they write decides the names after them.
    DestinationNames Names(const FolderPlan& plan);
    // Converts the entries of plan one after another, one section each, then
    // reports the totals. A cancel seen by the engine's sink ends the run
    // before the next file, without totals.
    FolderTotals ConvertFolder(const FolderPlan& plan);
    void ReportTotals(const FolderTotals& totals, int format);

    // Failures, refusals and warnings.
    virtual void Report(const std::string& text) = 0;
    // What describes the run rather than a fault in it: the summaries, the
    // sections, renamed outputs and the totals.
    virtual void ReportDetail(const std::string& text) { Report(text); }
    // Reports text and counts it as a warning.
    virtual void Warn(const std::string& text);
    // The folder entry whose texts follow, until the next call.
    virtual void NoteFile(const std::string& /*source*/) {}
    // How the file whose texts came last ended.
    virtual void NoteOutcome(const FileOutcome& /*outcome*/) {}
    int Warnings() const { return warnings_; }
    // The destination file name of the folder entry name.
    virtual std::string DestinationName(const std::string& name, int format) const = 0;
    // Opens each file's section, and the totals.
    virtual const char* SectionLine() const = 0;
    // Closes each file's section.
    virtual const char* SectionEnd() const = 0;

    TranslatorEngine& Engine() { return engine_; }
    const ConvertOptions& Options() const { return options_; }

private:
    // Whether converting detected into format would change it: always for
    // another format; for its own, when the options or the source's storage
    // make the output differ from a copy.
    bool Rewrites(const DetectResult& detected, int format) const;
    // Whether converting detected into format creates the destination.
    bool Writes(const DetectResult* detected, int format) const;
    bool Convert(DetectResult* detected, const std::string& source, const std::string& destination,
                 int format, FileOutcome& outcome);
    void Reportf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    TranslatorEngine& engine_;
    const ConvertOptions& options_;
    int warnings_ = 0;
};

// The warning about a source that broke off after framesWritten frames.
std::string DamageWarning(const std::string& damage, int64_t framesWritten);

// The source path of entry index of plan.
std::string EntryPath(const FolderPlan& plan, size_t index);

// The summary of a recognised file, one "\r\n"-ended line per item, the
// destination last.
std::string FileSummaryText(const std::string& source, const std::string& destination,
                            const TraceInfo& info);
// The same without the destination line.
std::string SourceSummaryText(const std::string& source, const TraceInfo& info);

}  // namespace translator
