#include "conversion_run.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "format_table.h"
#include "time_base.h"

namespace translator {

namespace {

// Room for one summary line: a label and a path or comment of the longest kind.
constexpr size_t kMaxSummaryLine = 8192;

std::string InFolder(const std::string& folder, const std::string& name) {
    const bool separated = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    return separated ? folder + name : folder + "/" + name;
}

std::string FormattedV(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int length = vsnprintf(nullptr, 0, format, args);
    std::string text(length > 0 ? length : 0, '\0');
    vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

__attribute__((format(printf, 1, 2))) std::string Formatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormattedV(format, args);
    va_end(args);
    return text;
}

}  // namespace

void ConversionRun::Reportf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormattedV(format, args);
    va_end(args);
    Report(text);
}

bool ConversionRun::ConvertOne(const std::string& source, const std::string& destination,
                               int format) {
    DetectResult* detected = engine_.Detect(source);
    if (detected == nullptr) {
        Reportf("%s is not a recognized data file format.\r\n", source.c_str());
        return false;
    }
    ReportDetail(FileSummaryText(source, destination, *detected->info));
    if (detected->info->format == format) {
        Reportf("%s is already in %s file format.\r\n", source.c_str(), FormatName(format));
        return false;
    }
    if (engine_.ConvertFile(*detected, destination, format, options_)) {
        return true;
    }
    if (const char* messages = engine_.Sink().Messages()) {
        Report(messages);
    }
    return false;
}

FolderTotals ConversionRun::ConvertFolder(const std::string& source,
                                          const std::vector<std::string>& names,
                                          const std::string& destination, int format) {
    FolderTotals totals;
    for (const std::string& name : names) {
        if (engine_.Sink().IsCanceled()) {
            break;
        }
        ReportDetail(SectionLine());
        ++totals.files;
        if (ConvertOne(InFolder(source, name), InFolder(destination, DestinationName(name, format)),
                       format)) {
            ++totals.converted;
        }
        ReportDetail(SectionEnd());
    }
    if (engine_.Sink().IsCanceled()) {
        totals.canceled = true;
        return totals;
    }
    const int failed = totals.files - totals.converted;
    ReportDetail(SectionLine());
    ReportDetail(Formatted("%d file%s converted to %s format successfully.\r\n", totals.converted,
                           totals.converted < 2 ? " is" : "s are", FormatName(format)));
    ReportDetail(Formatted("%d file%s not converted.\r\n", failed, failed < 2 ? " is" : "s are"));
    return totals;
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
