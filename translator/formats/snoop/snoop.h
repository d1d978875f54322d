#pragma once

#include <cstdint>

#include "engine/trace_reader.h"
#include "engine/trace_writer.h"

namespace translator {

// On-disk layout of snoop files and of the extended records that carry a
// status trailer (big-endian).
namespace snoop {

constexpr char kMagic[8] = {'s', 'n', 'o', 'o', 'p', 0, 0, 0};

// File header, 16 bytes.
struct FileHeader {
    static constexpr int kSize = 16;
    static constexpr int kMagic = 0;
    static constexpr int kVersion = 8;
    static constexpr int kDataLink = 12;
};

// Record header, 24 bytes, before the frame bytes and their padding.
struct RecordHeader {
    static constexpr int kSize = 24;
    static constexpr int kLineLength = 0;
    static constexpr int kIncludedLength = 4;
    static constexpr int kRecordLength = 8;
    static constexpr int kDrops = 12;
    static constexpr int kSeconds = 16;
    static constexpr int kMicroseconds = 20;
};

// Trailer of an extended record, 16 bytes, behind the padded frame bytes.
struct Trailer {
    static constexpr int kSize = 16;
    static constexpr int kStatus = 2;
    static constexpr int kTimeLow = 4;
    static constexpr int kTimeHigh = 8;
    static constexpr int kSequence = 12;
};

enum TrailerStatus : uint16_t {
    kStatusCrcError = 0x0002,
    kStatusRunt = 0x0008,
    kStatusOversize = 0x0010,
    kStatusLength12 = 0x0020,
    kStatusNoCrcError = 0x0040,
};

// Data link types written; reading maps more.
constexpr uint32_t kLinkEthernet = 4;
constexpr uint32_t kLinkTokenRing = 2;
constexpr uint32_t kLinkFddi = 8;

constexpr uint32_t kFirstSequenceFlag = 0x80000000u;

}  // namespace snoop

class SnoopReader : public FileTraceReader {
public:
    static constexpr FormatId kFormats[] = {FMT_SO, FMT_SH};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool ReadsFrontToBack() const override { return true; }
    bool Open(const std::string& path) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool ReadNextFrame() override;

    void MapDataLink(uint32_t dataLink);
    bool DetectVariant();
    void ApplyTrailer(const uint8_t* trailer);
};

class SnoopWriter : public BinaryTraceWriter {
public:
    bool KeepsEthernetFcs() const override { return Extended(); }
    static constexpr FormatId kFormats[] = {FMT_SO, FMT_SH, FMT_PR, FMT_FP, FMT_PL};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool NeverSeeksBack(const ConvertOptions&) const override { return true; }
    bool WriteHeader(const TraceInfo& info) override;
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool Extended() const { return format != FMT_SO; }
    bool WriteTrailer(const TraceInfo& info, const FrameRecord& frame, int32_t lineLength,
                      uint32_t recordLength);
};

}  // namespace translator
