#include "command_line.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/conversion_run.h"
#include "app/folder_jobs.h"
#include "app/folders.h"
#include "app/option_table.h"
#include "app/settings.h"
#include "console_arguments.h"
#include "console_info.h"
#include "console_progress.h"
#include "engine/format_table.h"
#include "engine/standard_streams.h"
#include "json_report.h"

namespace translator {

namespace {

const char kDashLine[] = "------------------------------------------------------------------\r\n";

// The documented usage ends its lines with CR LF; --help, which scripts
// read, with LF alone.
void PrintUsage(const char* end = "\r\n") {
    printf("Usage: Translator [source file or dir] [dest file or dir] [format]%s", end);
    printf("  Formats:%s", end);
    for (int id = 1; id < kFormatCount; ++id) {
        if (*FormatCode(id) != '\0') {
            printf("    %s = %s (%s)%s", FormatCode(id), FormatName(id), FormatExtension(id), end);
        }
    }
    printf("Examples:%s", end);
    printf("  Translator c:\\data\\decnet_eth.dat c:\\data_conversion\\decnet_eth.pcap TD%s", end);
    printf("  Translator c:\\data_dir c:\\converted_data TL%s", end);
}

void PrintHelp() {
    PrintUsage("\n");
    printf(
        "Options (before or after the operands; each overrides its setting for this run):\n"
        "%s"
        "  --no-settings         ignore the settings file\n"
        "  --strict              exit 2 on any warning or any file not converted\n"
        "  --quiet, -q           print errors and warnings only, each naming its file\n"
        "  --recursive, -r       convert the subfolders of a source folder too, into the\n"
        "                        same tree: each folder's files, then its subfolders, in\n"
        "                        name order\n"
        "  --shard K/N           convert only the files of a folder whose place in the\n"
        "                        listing is K modulo N (K from 0), named as in the\n"
        "                        whole run: N runs share a folder without talking\n"
        "  --report-json FILE    write one JSON line a file: source, destination,\n"
        "                        format, frames, outcome, warnings\n"
        "  --info FILE...        describe files without converting (--json: as JSON)\n"
        "  --list-formats        list the formats and whether they are read and written\n"
        "  --version             print the version\n"
        "  --help, -h            print this help\n"
        "A switch flag takes =0 or =1 to set it either way. \"-\" as the source reads\n"
        "standard input; as the destination, writes standard output. A destination is\n"
        "replaced only once its conversion has finished.\n"
        "Exit status: 0 done, 255 failed or refused, 2 a warning with --strict, 130\n"
        "interrupted (129 hung up, 143 terminated).\n",
        OptionHelp().c_str());
}

void PrintVersion() {
    printf("translator (Veltrix Translator) %s\n", TRANSLATOR_VERSION);
}

void PrintFormatList(const TranslatorEngine& engine) {
    printf("CODE\tNAME\tEXTENSION\tREAD\tWRITE\n");
    for (int id = 1; id < kFormatCount; ++id) {
        printf("%s\t%s\t%s\t%s\t%s\n", FormatCode(id), FormatName(id), FormatExtension(id),
               engine.ReaderOf(id) != nullptr ? "yes" : "no",
               engine.WriterOf(id) != nullptr ? "yes" : "no");
    }
}

// A destination format that no writer takes is refused by name up front;
// true when it was.
bool RefuseUnwritableFormat(FILE* out, const TranslatorEngine& engine, const std::string& code,
                            int format) {
    if (format == FMT_UN) {
        fprintf(out, "Unknown format '%s'. translator --list-formats lists the formats.\r\n",
                code.c_str());
    } else if (engine.WriterOf(format) == nullptr) {
        fprintf(out,
                engine.ReaderOf(format) != nullptr
                    ? "%s files can be read but not written.\r\n"
                    : "%s files can be neither read nor written.\r\n",
                FormatName(format));
    } else {
        return false;
    }
    return true;
}

// Where a console conversion's texts go, and which of them.
struct ConsoleReport {
    FILE* stream = stdout;
    bool quiet = false;
    ConsoleProgress* progress = nullptr;
    // The JSON lines of the run's files; null when not asked for.
    JsonReport* json = nullptr;
    // Temporary files standing for standard input or output; the texts name
    // them "-", as they were given.
    std::vector<std::string> standIns;
};

// text with every occurrence of from replaced by to.
std::string ReplacedAll(const std::string& text, const std::string& from, const char* to) {
    if (from.empty()) {
        return text;
    }
    std::string result;
    size_t start = 0;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
        result.append(text, start, at - start);
        result.append(to);
        start = at + from.size();
    }
    result.append(text, start, std::string::npos);
    return result;
}

// The console's texts go to the report stream as they come, ahead of the
// conversion's own progress lines.
class ConsoleRun : public ConversionRun {
public:
    ConsoleRun(TranslatorEngine& engine, const ConvertOptions& options, const ConsoleReport& report)
        : ConversionRun(engine, options), report_(report) {}

    void Report(const std::string& text) override {
        std::string shown = Shown(text);
        if (report_.json != nullptr) {
            for (size_t start = 0; start < shown.size();) {
                const size_t end = std::min(shown.find("\r\n", start), shown.size());
                texts_.push_back(shown.substr(start, end - start));
                start = end + 2;
            }
        }
        // Quiet folder runs print no sections, so each text names its file.
        if (report_.quiet && !file_.empty() && shown.rfind(file_, 0) != 0) {
            shown = file_ + ": " + shown;
        }
        Print(shown);
    }
    void ReportDetail(const std::string& text) override {
        if (!report_.quiet) {
            Print(Shown(text));
        }
    }
    std::string DestinationName(const std::string& name, int format) const override {
        return ConvertedName(name, FormatSuffix(format));
    }
    const char* SectionLine() const override { return kDashLine; }
    const char* SectionEnd() const override { return "\r\n"; }
    void NoteFile(const std::string& source) override { file_ = source; }
    void NoteOutcome(const FileOutcome& outcome) override {
        outcome_ = outcome;
        // A single file's line waits for its copy to standard output.
        if (!file_.empty()) {
            WriteOutcome(file_, true);
        }
    }
    // The JSON line of the file whose outcome came last; delivered: whether
    // its output reached where it goes.
    void WriteOutcome(const std::string& source, bool delivered) {
        if (report_.json == nullptr) {
            return;
        }
        if (!delivered && outcome_.kind == FileOutcome::kConverted) {
            outcome_.kind = FileOutcome::kFailed;
        }
        outcome_.destination = Shown(outcome_.destination);
        report_.json->Write(Shown(source), outcome_, texts_);
        texts_.clear();
    }

private:
    std::string Shown(const std::string& text) const {
        std::string shown = text;
        for (const std::string& path : report_.standIns) {
            shown = ReplacedAll(shown, path, kStandardStream);
        }
        return shown;
    }
    void Print(const std::string& text) {
        // A conversion that fails before its closing report leaves the progress line open.
        report_.progress->EndProgressLine();
        fputs(text.c_str(), report_.stream);
        fflush(report_.stream);
    }

    const ConsoleReport& report_;
    std::string file_;
    FileOutcome outcome_;
    std::vector<std::string> texts_;
};

// What the exit status depends on besides the conversions themselves: with
// --strict, any warning printed in the run (any part of it may set warned)
// and any file of a folder not converted make it 2.
struct ConsoleOutcome {
    bool strict = false;
    bool warned = false;

    // The status of a run whose conversions succeeded; clean when every file
    // of it was converted.
    int Status(bool clean) const { return strict && (warned || !clean) ? 2 : 0; }
};

// Opens the JSON report the run was asked for; false, having said why,
// when it cannot be written.
bool OpenJsonReport(const ConsoleArguments& arguments, const ConsoleReport& report) {
    if (report.json == nullptr || report.json->Open(arguments.reportJson)) {
        return true;
    }
    fprintf(report.stream, "Error creating the report file %s (%s).\r\n",
            arguments.reportJson.c_str(), strerror(errno));
    return false;
}

int RunFolder(TranslatorEngine& engine, const ConsoleArguments& arguments, int format,
              const ConvertOptions& options, const ConsoleReport& report, ConsoleOutcome& outcome) {
    // The listing is taken before anything is written, so that a run into the
    // source folder never converts its own output.
    FolderPlan plan{arguments.operands[0],
                    arguments.operands[1],
                    {},
                    format,
                    arguments.shard.value_or(Shard())};
    if (!ListFolderFiles(plan.source, &plan.entries, arguments.recursive)) {
        fputs(
            "The source file or directory does not exist, or it does not have any data "
            "files.\r\n",
            report.stream);
        return -1;
    }
    // Opened once the folder is listed, so that a report written into the
    // source folder is not one of its files.
    if (!OpenJsonReport(arguments, report)) {
        return -1;
    }
    if (!CreateFolderWithParents(plan.destination)) {
        fprintf(report.stream, "Destination directory %s not found or cannot be created.\r\n",
                plan.destination.c_str());
        return -1;
    }
    // Subfolders that hold files are made up front; one that cannot be made
    // fails its files' conversions with the documented message.
    const std::vector<size_t> converted = plan.Converted();
    for (const size_t index : converted) {
        const std::string& entry = plan.entries[index];
        const size_t slash = entry.rfind('/');
        if (slash != std::string::npos) {
            CreateFolderWithParents(WithSeparator(plan.destination) + entry.substr(0, slash));
        }
    }
    ConsoleRun run(engine, options, report);
    const int jobs = options.jobs > 0 ? options.jobs : DefaultJobs();
    const FolderTotals totals = jobs > 1 && converted.size() > 1
                                    ? ConvertFolderInJobs(run, plan, jobs)
                                    : run.ConvertFolder(plan);
    if (report.json != nullptr) {
        // Files a cancel kept from being begun have their lines too.
        FileOutcome notBegun;
        notBegun.kind = FileOutcome::kCanceled;
        for (size_t begun = report.json->Lines(); begun < converted.size(); ++begun) {
            report.json->Write(EntryPath(plan, converted[begun]), notBegun, {});
        }
    }
    outcome.warned = outcome.warned || run.Warnings() > 0;
    return outcome.Status(totals.converted == totals.files);
}

void ReportTemporaryFileFailure(const ConsoleReport& report) {
    fprintf(report.stream, "Error creating a temporary file in %s (%s).\r\n",
            TemporaryFolder().c_str(), strerror(errno));
}

// Standard input's first bytes kept for detection: a source whose probes
// need more, or whose reader looks further, goes through a temporary file.
constexpr size_t kStandardInputHead = 1 << 20;

// Whether standard input, as detected, converts straight to standard output
// as it arrives. A file named "-" here would stand in for either stream in
// the conversion's checks.
bool StreamsThrough(const TranslatorEngine& engine, const DetectResult* detected,
                    const StandardInput& input, int format, const ConvertOptions& options) {
    const TraceWriter* writer = engine.WriterOf(format);
    struct stat st {};
    return detected != nullptr && !input.Overran() && !input.Ended() &&
           detected->reader->ReadsFrontToBack() && writer != nullptr &&
           writer->NeverSeeksBack(options) && lstat(kStandardStream, &st) != 0;
}

// "-" stands for standard input or output. A source read front to back
// converts to a writer that never seeks back as it arrives; any other pair
// passes through temporary files, since readers seek and writers patch their
// headers.
int RunFile(TranslatorEngine& engine, const std::string& source, const std::string& destination,
            int format, const ConvertOptions& options, ConsoleReport report,
            ConsoleOutcome& outcome) {
    // A reader that goes away is a failed write, not the end of the program.
    if (destination == kStandardStream) {
        signal(SIGPIPE, SIG_IGN);
    }
    TemporaryFile input;
    TemporaryFile output;
    std::string sourcePath = source;
    std::string destinationPath = destination;
    bool streaming = false;
    std::optional<StandardInput> standardInput;
    // A streamed source is converted as this detection recognised it.
    DetectResult* detected = nullptr;
    if (source == kStandardStream) {
        standardInput.emplace(kStandardInputHead);
        if (destination == kStandardStream) {
            detected = engine.Detect(kStandardStream);
            streaming = StreamsThrough(engine, detected, *standardInput, format, options);
        }
        if (Interrupted()) {
            return -1;
        }
        if (streaming) {
            standardInput->Stream();
        } else if (!input.Create()) {
            ReportTemporaryFileFailure(report);
            return -1;
        } else if (!standardInput->SpoolTo(input.fd())) {
            fprintf(report.stream, "Error reading standard input (%s).\r\n", strerror(errno));
            return -1;
        } else if (Interrupted()) {
            return -1;
        } else {
            sourcePath = input.path();
            report.standIns.push_back(sourcePath);
        }
    }
    if (destination == kStandardStream && !streaming) {
        if (!output.Create()) {
            ReportTemporaryFileFailure(report);
            return -1;
        }
        destinationPath = output.path();
        report.standIns.push_back(destinationPath);
    }
    ConsoleRun run(engine, options, report);
    bool ok = streaming ? run.ConvertDetected(detected, sourcePath, destinationPath, format)
                        : run.ConvertOne(sourcePath, destinationPath, format);
    outcome.warned = outcome.warned || run.Warnings() > 0;
    if (destination == kStandardStream) {
        if (!streaming && !CopyToStandardOutput(destinationPath)) {
            NoteStandardOutputError(errno);
        }
        if (const int error = StandardOutputError(); error != 0) {
            run.Report(std::string("Error writing standard output (") + strerror(error) + ").\r\n");
            ok = false;
        }
    }
    run.WriteOutcome(source, ok);
    if (!report.quiet) {
        fputs("\r\n", report.stream);
    }
    return ok ? outcome.Status(true) : -1;
}

// One file or a folder. SIGINT, SIGTERM and SIGHUP cancel the conversion
// under way: its output is finished and no further file is begun.
int RunConversion(TranslatorEngine& engine, const ConsoleArguments& arguments,
                  const ConvertOptions& options, FILE* stream, ConsoleOutcome& outcome) {
    const std::string& source = arguments.operands[0];
    const std::string& destination = arguments.operands[1];
    const int format = FindFormat(arguments.operands[2].c_str());
    ConsoleProgress progress(stream, arguments.quiet          ? ProgressStyle::kSilent
                                     : isatty(fileno(stream)) ? ProgressStyle::kPercentLine
                                                              : ProgressStyle::kDots);
    JsonReport json;
    const ConsoleReport report{
        stream, arguments.quiet, &progress, arguments.reportJson.empty() ? nullptr : &json, {}};
    const bool singleFile = source == kStandardStream || IsRegularFile(source);
    // A file cannot be shared between runs: a shard of one would either
    // convert it or silently not, and neither is what was meant.
    if (arguments.shard && singleFile) {
        fputs("Option --shard goes with a source folder.\r\n", stream);
        return -1;
    }
    engine.SetSink(&progress);
    CancelOnInterrupt();
    // A single file goes on to fail with the documented message; a folder
    // run is not begun, so that nothing is created.
    const bool refused = RefuseUnwritableFormat(stream, engine, arguments.operands[2], format);
    int status = -1;
    if (destination == kStandardStream && options.offsetFile) {
        fputs("The offset file needs a destination file; - writes standard output.\r\n", stream);
    } else if (singleFile) {
        if (OpenJsonReport(arguments, report)) {
            status = RunFile(engine, source, destination, format, options, report, outcome);
            // A file that failed before it was read has its line too.
            if (report.json != nullptr && json.Lines() == 0) {
                FileOutcome unread;
                unread.kind = Interrupted() ? FileOutcome::kCanceled : FileOutcome::kFailed;
                json.Write(source, unread, {});
            }
        }
    } else if (destination == kStandardStream && IsFolder(source)) {
        fprintf(stream, "%s is a folder; standard output (-) takes a single file.\r\n",
                source.c_str());
    } else if (!refused) {
        status = RunFolder(engine, arguments, format, options, report, outcome);
    }
    engine.SetSink(nullptr);
    if (Interrupted()) {
        fprintf(stream, "%s\r\n", kCanceledText);
        // The shell's status for a program ended by that signal.
        return 128 + InterruptSignal();
    }
    return status;
}

// With the capture on standard output, every text of the run goes to
// standard error.
FILE* ReportStream(const ConsoleArguments& arguments) {
    const bool captureOnStandardOutput = arguments.action == ConsoleAction::kConvert &&
                                         arguments.operands.size() >= 2 &&
                                         arguments.operands[1] == kStandardStream;
    return captureOnStandardOutput ? stderr : stdout;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    TranslatorEngine engine;
    ConsoleArguments arguments;
    std::string error;
    if (!ParseConsoleArguments(argc, argv, &arguments, &error)) {
        fputs(error.c_str(), ReportStream(arguments));
        return -1;
    }
    switch (arguments.action) {
        case ConsoleAction::kUsage:
            PrintUsage();
            return -1;
        case ConsoleAction::kHelp:
            PrintHelp();
            return 0;
        case ConsoleAction::kVersion:
            PrintVersion();
            return 0;
        case ConsoleAction::kListFormats:
            PrintFormatList(engine);
            return 0;
        case ConsoleAction::kInfo:
        case ConsoleAction::kConvert:
            break;
    }
    ConsoleOutcome outcome{arguments.strict};
    ConvertOptions options;
    if (!arguments.noSettings) {
        std::vector<std::string> warnings;
        LoadSettings(ActiveSettingsPath(SettingsPath(ProgramPath())), options, &warnings);
        if (arguments.action == ConsoleAction::kConvert) {
            for (const std::string& warning : warnings) {
                fputs(warning.c_str(), ReportStream(arguments));
            }
            outcome.warned = !warnings.empty();
        }
    }
    arguments.options.ApplyTo(options);
    if (arguments.action == ConsoleAction::kInfo) {
        return DescribeFiles(engine, arguments.operands, arguments.json, options);
    }
    return RunConversion(engine, arguments, options, ReportStream(arguments), outcome);
}

}  // namespace translator
