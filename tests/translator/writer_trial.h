#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "console/console_progress.h"
#include "engine/engine.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "translator/frames.h"

namespace translator {

// A pcap of two short frames and a given third one, converted to one format
// in a fresh folder: how a writer takes a frame near one of its limits.
struct WriterTrial {
    static constexpr uint32_t kStart = 1000000000;

    // Converts the trial; messages holds the sink's text.
    bool Convert(int format, uint32_t linkType, const testsupport::PcapRecord& third,
                 const ConvertOptions& options = {}) {
        const std::vector<testsupport::PcapRecord> records = {
            {kStart, 0, testsupport::RampFrame(60), 0},
            {kStart + 1, 0, testsupport::RampFrame(60), 0},
            third};
        testsupport::WriteFile(dir.file("in.pcap"),
                               testsupport::PcapFile(0xA1B2C3D4, false, linkType, records).data());
        TranslatorEngine engine;
        ConsoleProgress quiet(fopen("/dev/null", "w"));
        engine.SetSink(&quiet);
        DetectResult* detected = engine.Detect(dir.file("in.pcap"));
        const bool ok = engine.ConvertFile(*detected, dir.file("out"), format, options);
        emptyFramesLeftOut = detected->info->emptyFramesLeftOut;
        messages = quiet.Messages() != nullptr ? quiet.Messages() : "";
        engine.SetSink(nullptr);
        return ok;
    }
    // The output's frames as the reader of its format gives them.
    std::vector<FrameSummary> Output() {
        TranslatorEngine engine;
        DetectResult* detected = engine.Detect(dir.file("out"));
        return detected != nullptr ? ReadFrames(*detected->reader, dir.file("out"))
                                   : std::vector<FrameSummary>{};
    }

    testsupport::TempDir dir;
    std::string messages;
    int64_t emptyFramesLeftOut = 0;
};

}  // namespace translator
