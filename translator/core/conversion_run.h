#pragma once

#include <string>
#include <vector>

#include "convert_options.h"
#include "engine.h"

namespace translator {

// What a folder run got through.
struct FolderTotals {
    int files = 0;
    int converted = 0;
    bool canceled = false;
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
    // already in format; a failed conversion's accumulated messages follow.
    bool ConvertOne(const std::string& source, const std::string& destination, int format);
    // Converts the entries names of folder source into folder destination,
    // one section each, then reports the totals. A cancel seen by the
    // engine's sink ends the run before the next file, without totals.
    FolderTotals ConvertFolder(const std::string& source, const std::vector<std::string>& names,
                               const std::string& destination, int format);

protected:
    // Failures, refusals and warnings.
    virtual void Report(const std::string& text) = 0;
    // What describes the run rather than a fault in it: the summaries, the
    // sections and the totals.
    virtual void ReportDetail(const std::string& text) { Report(text); }
    // The destination file name of the folder entry name.
    virtual std::string DestinationName(const std::string& name, int format) const = 0;
    // Opens each file's section, and the totals.
    virtual const char* SectionLine() const = 0;
    // Closes each file's section.
    virtual const char* SectionEnd() const = 0;

private:
    void Reportf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    TranslatorEngine& engine_;
    const ConvertOptions& options_;
};

// The summary of a recognised file, one "\r\n"-ended line per item, the
// destination last.
std::string FileSummaryText(const std::string& source, const std::string& destination,
                            const TraceInfo& info);
// The same without the destination line.
std::string SourceSummaryText(const std::string& source, const TraceInfo& info);

}  // namespace translator
