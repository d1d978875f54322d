#pragma once

#include <cstdint>
#include <vector>

#include "engine/trace_reader.h"
#include "engine/trace_writer.h"

namespace translator {

// On-disk layout of FireBerd 500 ProbeApps packet files (little-endian): a
// header, packet records, and behind them a table of record offsets.
namespace fireberd {

constexpr char kApplication[10] = {'P', 'r', 'o', 'b', 'e', 'A', 'p', 'p', 's', 0};
constexpr char kDescription[] = "Captured Packets";
constexpr char kLogName[] = "Packet Log";

// File header, 76 bytes.
struct FileHeader {
    static constexpr int kSize = 76;
    static constexpr int kApplication = 2;
    static constexpr int kApplicationCheck = 9;  // "ProbeApps" without its NUL
    static constexpr int kDescription = 12;
    static constexpr int kDescriptionLength = 40;
    static constexpr int kLogName = 52;
    static constexpr int kRecordCount = 72;
};

// Packet record header, 10 bytes, before the frame bytes.
struct RecordHeader {
    static constexpr int kSize = 10;
    static constexpr int kLength = 0;
    static constexpr int kFlags = 2;
    static constexpr int kNumber = 4;
    static constexpr int kTimestamp = 6;  // milliseconds since midnight
};

enum RecordFlags : uint16_t {
    kFlagShort = 0x0080,
    kFlagLong = 0x0200,
    kFlagAlignmentError = 0x0400,
    kFlagCrcError = 0x0800,
};

// Either of these record flags leaves the FCS of a frame zero.
constexpr uint16_t kFlagsWithoutFcs = 0xC000;

constexpr int kMaxCaptured = 1514;
constexpr size_t kMaxComment = 39;

}  // namespace fireberd

class FireBerdReader : public FileTraceReader {
public:
    static constexpr FormatId kFormats[] = {FMT_FB};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Open(const std::string& path) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool ReadNextFrame() override;

    bool ParseHeader(const uint8_t* header);
    void DetectMedia();
    // Reads one record into frame; its time stamp into *milliseconds.
    bool ReadRecord(uint16_t* flags, uint32_t* milliseconds);

    uint32_t dayBase_ = 0;
    int64_t recordsRead_ = 0;
};

class FireBerdWriter : public BinaryTraceWriter {
public:
    // One length for the line and the bytes stored.
    bool HoldsEmptyFrames() const override { return false; }
    bool KeepsEthernetFcs() const override { return false; }
    static constexpr FormatId kFormats[] = {FMT_FB};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool WriteHeader(const TraceInfo& info) override;
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override;
    bool FinishFile(const TraceInfo& info) override;
    bool Close() override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;
    void DropLastFrame() override;
    int64_t LastFrameStart() const override;
    int64_t FinishSize() const override;

private:
    std::vector<uint32_t> frameOffsets_;
};

}  // namespace translator
