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

private:
    // Room for the blank line, comment line and date line before a frame.
    static constexpr size_t kHeadingRoom = 96;
    static constexpr int kSecondTextLength = 20;

    // Puts the text before the frame's lines at p; returns its end.
    char* PutHeading(char* p, const TraceInfo& info, const FrameRecord& frame);
    // Keeps the local date text of seconds, or none where it has none.
    void DateSecond(uint32_t seconds);

    bool secondDated_ = false;
    uint32_t datedSecond_ = 0;
    char secondText_[kSecondTextLength] = {};
};

// Room one dump line needs: a few bytes more than its text, stored in
// fixed-size pieces.
constexpr int kDumpLineRoom = 96;

// One dump line: offset, 16 hex positions and the printable characters.
// Returns the length of the text put into line (kDumpLineRoom bytes of room).
int FormatDumpLine(char* line, int offset, const uint8_t* bytes, int count);

}  // namespace translator
