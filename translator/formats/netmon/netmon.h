#pragma once

#include <cstdint>
#include <vector>

#include "engine/trace_reader.h"
#include "engine/trace_writer.h"

namespace translator {

// On-disk layout of NetMon 2.x capture files (little-endian).
namespace netmon {

constexpr char kMagic[4] = {'G', 'M', 'B', 'U'};

// File header, 128 bytes.
struct FileHeader {
    static constexpr int kSize = 128;
    static constexpr int kMagic = 0;
    static constexpr int kMinorVersion = 4;
    static constexpr int kMajorVersion = 5;
    static constexpr int kMacType = 6;
    static constexpr int kYear = 8;
    static constexpr int kMonth = 10;
    static constexpr int kDayOfWeek = 12;
    static constexpr int kDay = 14;
    static constexpr int kHour = 16;
    static constexpr int kMinute = 18;
    static constexpr int kSecond = 20;
    static constexpr int kMilliseconds = 22;
    static constexpr int kTableOffset = 24;
    static constexpr int kTableLength = 28;
    static constexpr int kCommentOffset = 40;
    static constexpr int kCommentLength = 44;
};

// Frame record header, 16 bytes, before the captured bytes.
struct RecordHeader {
    static constexpr int kSize = 16;
    static constexpr int kTimestamp = 0;  // microseconds since the capture start
    static constexpr int kFrameLength = 8;
    static constexpr int kCapturedLength = 12;
};

constexpr uint16_t kMacEthernet = 1;
constexpr uint16_t kMacTokenRing = 2;
constexpr uint16_t kMacFddi = 3;
constexpr size_t kMaxComment = 299;

}  // namespace netmon

class NetMonReader : public FileTraceReader {
public:
    static constexpr FormatId kFormats[] = {FMT_N2};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Open(const std::string& path) override;
    void Close() override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool ReadNextFrame() override;

    bool ParseHeader(const uint8_t* header);
    bool ReadFrameTable(uint32_t offset, uint32_t length);
    bool ReadComment(uint32_t offset, uint32_t length);

    std::vector<uint32_t> frameTable_;
    size_t nextEntry_ = 0;
    uint32_t tableOffset_ = 0;
    uint64_t startMicros_ = 0;  // the header's milliseconds
};

class NetMonWriter : public BinaryTraceWriter {
public:
    bool KeepsEthernetFcs() const override { return false; }
    static constexpr FormatId kFormats[] = {FMT_N2};
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
    bool WriteFrameTable(uint32_t* offset);
    bool WriteComment(const TraceInfo& info, uint32_t* offset, uint32_t* length);

    std::vector<uint32_t> frameOffsets_;
};

}  // namespace translator
