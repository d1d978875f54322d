#pragma once

#include <memory>
#include <string>
#include <vector>

#include "convert_options.h"
#include "sink_user.h"
#include "trace_reader.h"
#include "trace_writer.h"

namespace translator {

// Outcome of recognising a file: the reader that knows it and the formats it
// can be converted to.
struct DetectResult {
    std::string path;
    TraceReader* reader = nullptr;
    TraceInfo* info = nullptr;
    std::vector<int> targets;

    int TargetCount() const { return static_cast<int>(targets.size()); }
    const char* TargetName(int i) const;
    void Reset();
};

// Owns one instance of every format module; recognises files and converts them.
class TranslatorEngine : public SinkUser {
public:
    TranslatorEngine();
    ~TranslatorEngine() override;

    // Null for an empty path, an unrecognised file, or one no writer can take.
    // The file is opened once and held until the next Detect: its probes and
    // its conversion read that one file.
    DetectResult* Detect(const std::string& path);
    // Why the last Detect could not read its file (the system's error
    // number); 0 when it read it, recognised or not.
    int DetectError() const { return detectError_; }
    // Recognises source, then converts it as below.
    bool ConvertFile(const std::string& source, const std::string& destination, int format,
                     const ConvertOptions& options);
    // Converts the file of the last detection without recognising it again.
    bool ConvertFile(const DetectResult& detected, const std::string& destination, int format,
                     const ConvertOptions& options);
    bool ReaderSupports(int format, const TraceInfo& info) const;
    bool WriterSupports(int format, const TraceInfo& info) const;
    // The registered module that declares format among its Formats, or null.
    // No two readers, and no two writers, declare the same format.
    TraceReader* ReaderOf(int format) const;
    TraceWriter* WriterOf(int format) const;

    const std::vector<std::unique_ptr<TraceReader>>& Readers() const { return readers_; }
    const std::vector<std::unique_ptr<TraceWriter>>& Writers() const { return writers_; }

private:
    std::vector<std::unique_ptr<TraceReader>> readers_;
    std::vector<std::unique_ptr<TraceWriter>> writers_;
    DetectResult detected_;
    HeldSource source_;
    int detectError_ = 0;
};

// The format modules in registration order, which is also the detection order.
std::vector<std::unique_ptr<TraceReader>> CreateReaders();
std::vector<std::unique_ptr<TraceWriter>> CreateWriters();

}  // namespace translator
