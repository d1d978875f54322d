#include "engine.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "destination_file.h"
#include "format_table.h"
#include "standard_streams.h"

namespace translator {

const char* DetectResult::TargetName(int i) const {
    return i >= 0 && i < TargetCount() ? FormatName(targets[i]) : FormatName(FMT_UN);
}

void DetectResult::Reset() {
    path.clear();
    reader = nullptr;
    info = nullptr;
    targets.clear();
}

TranslatorEngine::TranslatorEngine() : readers_(CreateReaders()), writers_(CreateWriters()) {}

TranslatorEngine::~TranslatorEngine() {
    readers_.clear();
    writers_.clear();
}

DetectResult* TranslatorEngine::Detect(const std::string& path) {
    detected_.Reset();
    source_.Release();
    detectError_ = 0;
    if (path.empty()) {
        return nullptr;
    }
    if (path != kStandardStream) {
        detectError_ = source_.Hold(path);
        if (detectError_ != 0) {
            return nullptr;
        }
    }
    for (auto& reader : readers_) {
        if (TraceInfo* info = reader->Probe(path)) {
            detected_.path = path;
            detected_.reader = reader.get();
            detected_.info = info;
            break;
        }
    }
    if (detected_.reader == nullptr) {
        return nullptr;
    }
    for (int id = 1; id < kFormatCount; ++id) {
        if (id != detected_.info->format && WriterSupports(id, *detected_.info)) {
            detected_.targets.push_back(id);
        }
    }
    return detected_.targets.empty() ? nullptr : &detected_;
}

bool TranslatorEngine::ReaderSupports(int format, const TraceInfo& info) const {
    for (const auto& reader : readers_) {
        if (reader->Supports(format, info)) {
            return true;
        }
    }
    return false;
}

bool TranslatorEngine::WriterSupports(int format, const TraceInfo& info) const {
    for (const auto& writer : writers_) {
        if (writer->Supports(format, info)) {
            return true;
        }
    }
    return false;
}

namespace {

const char kUnrecognisedSource[] =
    "Source file does not exist, or the translator cannot recognize its format.\r\n";

template <typename Module>
Module* DeclaringModule(const std::vector<std::unique_ptr<Module>>& modules, int format) {
    for (const auto& module : modules) {
        if (HasFormat(module->Formats(), format)) {
            return module.get();
        }
    }
    return nullptr;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// Writes the opened source into destination through a file beside it. The
// output replaces the destination once it is finished, which a conversion
// that stopped early (damage, a frame the format cannot hold, a cancel)
// also leaves; one that wrote no frame because it failed leaves the
// destination as it was.
bool ConvertInto(TraceReader& reader, TraceWriter& writer, const std::string& destination,
                 int format, const ConvertOptions& options) {
    ProgressSink& sink = reader.Sink();
    DestinationFile output(destination);
    writer.NameOutput(destination);
    if (!writer.Create(output.WritePath(), format, options)) {
        reader.Close();
        return false;
    }
    bool ok = reader.ConvertOpened(writer);
    if (!writer.Close()) {
        if (ok) {
            sink.AddMessage("Error writing file %s.\r\n", destination.c_str());
        }
        return false;
    }
    if (!ok && reader.info.framesWritten == 0 && !sink.IsCanceled()) {
        return false;
    }
    if (!output.Commit()) {
        sink.AddMessage("Error writing file %s (%s).\r\n", destination.c_str(), strerror(errno));
        return false;
    }
    return ok;
}

}  // namespace

TraceReader* TranslatorEngine::ReaderOf(int format) const {
    return DeclaringModule(readers_, format);
}

TraceWriter* TranslatorEngine::WriterOf(int format) const {
    return DeclaringModule(writers_, format);
}

bool TranslatorEngine::ConvertFile(const std::string& source, const std::string& destination,
                                   int format, const ConvertOptions& options) {
    Sink().ClearMessages();
    Sink().NoteDamage(nullptr);
    DetectResult* detected = Detect(source);
    if (detected == nullptr) {
        Sink().AddMessage("%s", kUnrecognisedSource);
        return false;
    }
    return ConvertFile(*detected, destination, format, options);
}

bool TranslatorEngine::ConvertFile(const DetectResult& detected, const std::string& destination,
                                   int format, const ConvertOptions& options) {
    ProgressSink& sink = Sink();
    sink.ClearMessages();
    sink.NoteDamage(nullptr);
    TraceWriter* writer = nullptr;
    // Writers declare disjoint formats: at most one matches, so "last" never has to choose.
    for (auto& candidate : writers_) {
        if (candidate->Supports(format, *detected.info)) {
            writer = candidate.get();
        }
    }
    if (writer == nullptr) {
        sink.AddMessage("The source format is not compatible with %s.\r\n", FormatName(format));
        return false;
    }
    const std::string& source = detected.path;
    TraceReader* reader = detected.reader;
    writer->SetSink(&sink);
    reader->SetSink(&sink);
    sink.ClearMessages();
    bool ok = false;
    // Creating the destination would truncate the source when both are one file.
    if (SameFile(source, destination)) {
        sink.AddMessage("Destination file name must be different from source file name.\r\n");
    } else if (!reader->OpenSource(source, options)) {
        // Gone or changed since it was recognised: reported as never recognised.
        sink.ClearMessages();
        sink.AddMessage("%s", kUnrecognisedSource);
    } else {
        ok = ConvertInto(*reader, *writer, destination, format, options);
    }
    writer->SetSink(nullptr);
    reader->SetSink(nullptr);
    return ok;
}

}  // namespace translator
