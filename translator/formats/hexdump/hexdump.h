#pragma once

#include "engine/trace_writer.h"

namespace translator {

// Text dump of every frame in the form text2pcap reads back.
class HexDumpWriter : public FileTraceWriter {
public:
    // A dump without bytes is no frame to text2pcap.
    bool HoldsEmptyFrames() const override { return false; }
    bool KeepsEthernetFcs() const override { return false; }
    static constexpr FormatId kFormats[] = {FMT_TX};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool NeverSeeksBack(const ConvertOptions&) const override { return true; }
    bool WriteHeader(const TraceInfo& info) override;
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override;
};

// One dump line: offset, 16 hex positions and the printable characters.
// Returns the length of the text put into line (at least 80 bytes of room).
int FormatDumpLine(char* line, int offset, const uint8_t* bytes, int count);

}  // namespace translator
