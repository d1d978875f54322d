#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "console/console_progress.h"
#include "engine/engine.h"
#include "formats/tcpdump/tcpdump.h"
#include "support/bytes.h"
#include "support/files.h"
#include "translator/frames.h"

namespace translator {

// Converts a byte-built source with the engine, quietly, in a fresh folder.
struct Conversion {
    testsupport::TempDir dir;
    ConvertOptions options;
    TranslatorEngine engine;
    ConsoleProgress quiet{fopen("/dev/null", "w")};

    Conversion() { engine.SetSink(&quiet); }
    bool Run(const testsupport::Bytes& source, int format = FMT_TD) {
        testsupport::WriteFile(dir.file("in.pcap"), source.data());
        return Convert(dir.file("in.pcap"), format);
    }
    bool Convert(const std::string& source, int format) {
        return engine.ConvertFile(source, dir.file("out"), format, options);
    }
    std::vector<uint8_t> Output() const { return testsupport::ReadFile(dir.file("out")); }
    // The output's frames as the tcpdump reader sees them.
    std::vector<FrameSummary> OutputFrames() {
        TcpdumpReader reader;
        return ReadFrames(reader, dir.file("out"));
    }
};

// How many frames path holds, read to its end as a conversion reads them; -1
// when no reader recognises it or it turns out damaged or cut short.
inline int64_t FramesReadBack(const std::string& path) {
    TranslatorEngine engine;
    DetectResult* detected = engine.Detect(path);
    if (detected == nullptr || !detected->reader->Open(path)) {
        return -1;
    }
    TraceReader& reader = *detected->reader;
    while (reader.ReadFrame()) {
        reader.info.Accumulate(reader.frame);
    }
    const bool whole = reader.LastReadStatus() == TraceReader::ReadStatus::End;
    reader.Close();
    return whole ? reader.info.framesRead : -1;
}

}  // namespace translator
