#pragma once

#include <cstdint>

#include "engine/trace_reader.h"

namespace translator {

// On-disk layout of Quillon trace files (big-endian): a header pointing to a
// description block and to a directory of blocks of frame records.
namespace quillon {

constexpr uint32_t kMagic = 0x00006476;
constexpr uint32_t kVersion = 4;

// File header, the first 32 bytes.
struct FileHeader {
    static constexpr int kSize = 32;
    static constexpr int kMagic = 0;
    static constexpr int kVersion = 4;
    static constexpr int kDescription = 16;
    static constexpr int kDirectory = 24;
};

// Description block, 144 bytes.
struct Description {
    static constexpr int kSize = 144;
    static constexpr int kFrameCount = 60;
    static constexpr int kMedia = 92;
    static constexpr int kStartTime = 128;  // Unix seconds
};

// Block directory entry, 16 bytes.
struct DirectoryEntry {
    static constexpr int kSize = 16;
    static constexpr int kRunningCount = 4;  // frames in this and all earlier blocks
    static constexpr int kFirstRecord = 8;
};

// Frame record header, 32 bytes, before the record's data.
struct RecordHeader {
    static constexpr int kSize = 32;
    static constexpr int kError = 0;
    static constexpr int kSeconds = 4;
    static constexpr int kMicroseconds = 8;
    static constexpr int kRecordLength = 16;  // header included
    static constexpr int kFrameLength = 20;
    static constexpr int kStoredLength = 24;  // without FCS
};

enum MediaCode : uint32_t {
    kMediaEthernet = 0,
    kMediaTokenRing = 1,
    kMediaFddi = 2,
    kMediaEthernetToo = 44,
};

}  // namespace quillon

class QuillonReader : public FileTraceReader {
public:
    static constexpr FormatId kFormats[] = {FMT_QL};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Open(const std::string& path) override;
    void Close() override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool ReadNextFrame() override;

    bool ParseHeader();
    bool ParseDescription(uint32_t offset);
    // Moves to the next block when the current one has handed out its frames.
    bool EnterBlockIfDue();
    bool ReadRecord();

    int64_t directory_ = 0;
    uint8_t entry_[quillon::DirectoryEntry::kSize] = {};
    int64_t afterEntry_ = 0;  // position after the current directory entry; 0: none yet
    int64_t recordsEnd_ = 0;  // end of the last record read; blocks may not start before it
    int64_t framesDelivered_ = 0;
};

}  // namespace translator
