#include "conversion_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "engine/format_table.h"
#include "engine/time_base.h"

namespace translator {

namespace {

// Room for one summary line: a label and a path or comment of the longest kind.
constexpr size_t kMaxSummaryLine = 8192;

std::string InFolder(const std::string& folder, const std::string& name) {
    const bool separated = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    return separated ? folder + name : folder + "/" + name;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string PrintfV(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int length = vsnprintf(nullptr, 0, format, args);
    std::string text(length > 0 ? length : 0, '\0');
    vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

__attribute__((format(printf, 1, 2))) std::string Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = PrintfV(format, args);
    va_end(args);
    return text;
}

// name without a trailing counter (".2"), as a renamed destination has one.
std::string WithoutCounter(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 == name.size() ||
        name.find_first_not_of("0123456789", dot + 1) != std::string::npos) {
        return name;
    }
    return name.substr(0, dot);
}

}  // namespace

std::vector<size_t> FolderPlan::Converted() const {
    std::vector<size_t> positions;
    for (size_t position = shard.index; position < entries.size(); position += shard.count) {
        positions.push_back(position);
    }
    return positions;
}

DestinationNames::DestinationNames(const FolderPlan& plan, FirstUse firstUse,
                                   WritesElsewhere writesElsewhere)
    : plan_(plan), firstUse_(std::move(firstUse)), writesElsewhere_(plan.entries.size()) {
    for (const std::string& entry : plan.entries) {
        struct stat st {};
        if (stat(InFolder(plan.source, entry).c_str(), &st) == 0) {
            sources_.emplace(st.st_dev, st.st_ino);
        }
    }
    // Only the entries before the shard's last one can change its names, and
    // only those whose names may meet another's.
    const std::vector<size_t> converted = plan.Converted();
    const size_t end = converted.empty() ? 0 : converted.back();
    if (plan.shard.count > 1) {
        const std::vector<bool> meets = NamesThatMayMeet();
        for (size_t index = 0; index < end; ++index) {
            if (!plan.shard.Holds(index) && meets[index]) {
                writesElsewhere_[index] = writesElsewhere(index);
            }
        }
    }
    while (next_ < end && !plan.shard.Holds(next_)) {
        Name(writesElsewhere_[next_]);
    }
}

std::vector<bool> DestinationNames::NamesThatMayMeet() const {
    // Every name an entry may get is its first-use name, or its own name with
    // a counter and the suffix; names compare as their roots without either.
    const std::string suffix = FormatSuffix(plan_.format);
    std::vector<std::set<std::string>> roots;
    std::map<std::string, int> entriesOfRoot;
    for (const std::string& entry : plan_.entries) {
        const size_t slash = entry.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : entry.substr(0, slash + 1);
        const std::string name = entry.substr(folder.size());
        std::string firstUse = firstUse_(name);
        if (firstUse.size() > suffix.size() &&
            firstUse.compare(firstUse.size() - suffix.size(), suffix.size(), suffix) == 0) {
            firstUse.resize(firstUse.size() - suffix.size());
        }
        std::set<std::string> own;
        for (const std::string& root : {name, firstUse}) {
            own.insert(folder + root);
            own.insert(folder + WithoutCounter(root));
        }
        for (const std::string& root : own) {
            ++entriesOfRoot[root];
        }
        roots.push_back(std::move(own));
    }
    std::vector<bool> meets;
    for (const std::set<std::string>& own : roots) {
        meets.push_back(std::any_of(own.begin(), own.end(), [&](const std::string& root) {
            return entriesOfRoot[root] > 1;
        }));
    }
    return meets;
}

bool DestinationNames::Taken(const std::string& relative) const {
    if (written_.count(relative) != 0) {
        return true;
    }
    struct stat st {};
    return stat(InFolder(plan_.destination, relative).c_str(), &st) == 0 &&
           sources_.count({st.st_dev, st.st_ino}) != 0;
}

DestinationNames::Choice DestinationNames::Choose(size_t index, bool writes) {
    std::unique_lock<std::mutex> lock(mutex_);
    turn_.wait(lock, [&] { return next_ == index; });
    const Choice choice = Name(writes);
    while (next_ < writesElsewhere_.size() && !plan_.shard.Holds(next_)) {
        Name(writesElsewhere_[next_]);
    }
    lock.unlock();
    turn_.notify_all();
    return choice;
}

DestinationNames::Choice DestinationNames::Name(bool writes) {
    const std::string& entry = plan_.entries[next_];
    const size_t slash = entry.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : entry.substr(0, slash + 1);
    const std::string name = entry.substr(folder.size());
    std::string chosen = folder + firstUse_(name);
    std::string note;
    if (writes) {
        if (Taken(chosen)) {
            const char* suffix = FormatSuffix(plan_.format);
            std::string instead = folder + name + suffix;
            for (int counter = 2; Taken(instead); ++counter) {
                instead = folder + name + "." + std::to_string(counter) + suffix;
            }
            note = BaseName(chosen) +
                   (written_.count(chosen) != 0 ? " is already written in this run"
                                                : " is a source file of this run") +
                   "; writing " + BaseName(instead) + " instead.\r\n";
            chosen = instead;
        }
        written_.insert(chosen);
    }
    ++next_;
    return {InFolder(plan_.destination, chosen), note};
}

void ConversionRun::Reportf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = PrintfV(format, args);
    va_end(args);
    Report(text);
}

void ConversionRun::Warn(const std::string& text) {
    ++warnings_;
    Report(text);
}

bool ConversionRun::Rewrites(const DetectResult& detected, int format) const {
    const TraceInfo& info = *detected.info;
    if (info.format != format) {
        return true;
    }
    return info.compression != COMPRESSION_NONE || !options_.convertall || options_.slice ||
           info.frameOrigin != ORIGIN_AS_STORED || !detected.reader->StoresAlike(options_);
}

bool ConversionRun::ConvertOne(const std::string& source, const std::string& destination,
                               int format) {
    return ConvertDetected(engine_.Detect(source), source, destination, format);
}

std::string EntryPath(const FolderPlan& plan, size_t index) {
    return InFolder(plan.source, plan.entries[index]);
}

bool ConversionRun::Writes(const DetectResult* detected, int format) const {
    return detected != nullptr &&
           (std::find(detected->targets.begin(), detected->targets.end(), format) !=
                detected->targets.end() ||
            (detected->info->format == format && Rewrites(*detected, format)));
}

DestinationNames ConversionRun::Names(const FolderPlan& plan) {
    return DestinationNames(
        plan, [this, &plan](const std::string& name) { return DestinationName(name, plan.format); },
        [this, &plan](size_t index) {
            return Writes(engine_.Detect(EntryPath(plan, index)), plan.format);
        });
}

bool ConversionRun::ConvertEntry(const FolderPlan& plan, size_t index, DestinationNames& names) {
    const std::string source = EntryPath(plan, index);
    NoteFile(source);
    DetectResult* detected = engine_.Detect(source);
    const DestinationNames::Choice choice = names.Choose(index, Writes(detected, plan.format));
    if (!choice.note.empty()) {
        ReportDetail(choice.note);
    }
    return ConvertDetected(detected, source, choice.path, plan.format);
}

bool ConversionRun::ConvertDetected(DetectResult* detected, const std::string& source,
                                    const std::string& destination, int format) {
    FileOutcome outcome;
    const bool converted = Convert(detected, source, destination, format, outcome);
    NoteOutcome(outcome);
    return converted;
}

bool ConversionRun::Convert(DetectResult* detected, const std::string& source,
                            const std::string& destination, int format, FileOutcome& outcome) {
    if (detected == nullptr) {
        if (const int error = engine_.DetectError(); error != 0) {
            Reportf("%s cannot be read (%s).\r\n", source.c_str(), strerror(error));
        } else {
            Reportf("%s is not a recognized data file format.\r\n", source.c_str());
        }
        return false;
    }
    ReportDetail(FileSummaryText(source, destination, *detected->info));
    outcome.format = detected->info->format;
    if (!Rewrites(*detected, format)) {
        Reportf("%s is already in %s file format.\r\n", source.c_str(), FormatName(format));
        outcome.kind = FileOutcome::kSkipped;
        return false;
    }
    const bool converted = engine_.ConvertFile(*detected, destination, format, options_);
    outcome.frames = detected->info->framesWritten;
    const bool canceled = engine_.Sink().IsCanceled();
    // A conversion cut short still finishes its output with the frames it wrote.
    if (converted || canceled || outcome.frames > 0) {
        outcome.destination = destination;
    }
    if (canceled) {
        outcome.kind = FileOutcome::kCanceled;
    } else if (converted) {
        outcome.kind = FileOutcome::kConverted;
    }
    if (const int64_t empty = detected->info->emptyFramesLeftOut; empty > 0) {
        Reportf("%" PRId64 " frame%s without captured bytes %s left out.\r\n", empty,
                empty == 1 ? "" : "s", empty == 1 ? "was" : "were");
    }
    // A source that broke off converts what it held; the report says so.
    const std::string damage = engine_.Sink().Damage();
    if (!damage.empty()) {
        Warn(DamageWarning(damage, detected->info->framesWritten));
    }
    const TraceInfo& info = *detected->info;
    if (converted && damage.empty() && !engine_.Sink().IsCanceled() && !options_.convertall &&
        info.framesRead < options_.convertfrom) {
        const std::string end =
            options_.convertto == INT64_MAX ? std::string() : std::to_string(options_.convertto);
        Warn(Printf("Warning: the range %" PRId64 "-%s selects no frame; the source holds %" PRId64
                    ".\r\n",
                    options_.convertfrom, end.c_str(), info.framesRead));
    }
    if (converted) {
        return true;
    }
    if (const char* messages = engine_.Sink().Messages()) {
        Report(messages);
    }
    return false;
}

FolderTotals ConversionRun::ConvertFolder(const FolderPlan& plan) {
    DestinationNames names = Names(plan);
    FolderTotals totals;
    for (const size_t index : plan.Converted()) {
        if (engine_.Sink().IsCanceled()) {
            break;
        }
        ReportDetail(SectionLine());
        ++totals.files;
        if (ConvertEntry(plan, index, names)) {
            ++totals.converted;
        }
        ReportDetail(SectionEnd());
    }
    if (engine_.Sink().IsCanceled()) {
        totals.canceled = true;
        return totals;
    }
    ReportTotals(totals, plan.format);
    return totals;
}

void ConversionRun::ReportTotals(const FolderTotals& totals, int format) {
    const int failed = totals.files - totals.converted;
    ReportDetail(SectionLine());
    ReportDetail(Printf("%d file%s converted to %s format successfully.\r\n", totals.converted,
                        totals.converted < 2 ? " is" : "s are", FormatName(format)));
    ReportDetail(Printf("%d file%s not converted.\r\n", failed, failed < 2 ? " is" : "s are"));
}

std::string DamageWarning(const std::string& damage, int64_t framesWritten) {
    return "Warning: " + damage + "; " + std::to_string(framesWritten) +
           (framesWritten == 1 ? " frame was" : " frames were") + " converted.\r\n";
}

std::string FileSummaryText(const std::string& source, const std::string& destination,
                            const TraceInfo& info) {
    std::string text = SourceSummaryText(source, info);
    text += "Dest. File:           \t" + destination + "\r\n";
    return text;
}

std::string SourceSummaryText(const std::string& source, const TraceInfo& info) {
    std::string text;
    auto line = [&text](const char* format, auto... values) {
        char buffer[kMaxSummaryLine];
        snprintf(buffer, sizeof buffer, format, values...);
        text += buffer;
    };
    line("Source File:          \t%s\r\n", source.c_str());
    line("Analyzer:             \t%s\r\n", FormatName(info.format));
    // Rebuilt frames name their origin after the interface, whose WAN name is empty.
    line("Interface:            \t%s %s%s\r\n", InterfaceName(info.interfaceType),
         WanName(info.wanType), FrameOriginNote(info.frameOrigin));
    if (info.lineRate > 0) {
        line("Line Rate:            \t%d\r\n", info.lineRate);
    }
    if (info.totalFrames >= 0) {
        line("Total Frames:         \t%" PRId64 "\r\n", info.totalFrames);
    }
    struct stat st {};
    if (stat(source.c_str(), &st) == 0) {
        line("File Size:            \t%" PRId64 " bytes%s\r\n", static_cast<int64_t>(st.st_size),
             CompressionNote(info.compression));
    }
    if (info.startTime != 0) {
        line("Start Time:           \t%s\r\n", FormatDate(info.startTime).c_str());
    }
    if (info.comment[0] != '\0') {
        line("Comment:              \t%s\r\n", info.comment);
    }
    if (info.notes[0] != '\0') {
        text += "Notes:                \r\n\r\n";
        text += info.notes;
        text += "\r\n";
    }
    return text;
}

}  // namespace translator
