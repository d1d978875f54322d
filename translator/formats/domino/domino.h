#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/trace_reader.h"
#include "engine/trace_writer.h"

namespace translator {

// On-disk layout of Domino and LinkView PRO capture files (little-endian): a
// header, a list of tagged file sections, the frame data, and a frame index
// at the end.
namespace domino {

constexpr char kMagic[4] = {'W', 'I', 'N', 'C'};
constexpr char kLinkView[12] = {'L', 'i', 'n', 'k', 'V', 'i', 'e', 'w', ' ', 'P', 'R', 'O'};

// File header, 78 bytes.
struct FileHeader {
    static constexpr int kSize = 78;
    static constexpr int kMagic = 0;
    static constexpr int kDescription = 4;
    static constexpr int kDescriptionLength = 40;
    static constexpr int kWriterMark = 44;
    static constexpr int kStartTime = 54;  // Unix seconds
    static constexpr int kHour = 58;
    static constexpr int kMinute = 59;
    static constexpr int kSecond = 60;
    static constexpr int kStartTimeBytes = 7;  // start time, hour, minute, second
    static constexpr int kAdapter = 62;
    static constexpr int kLine = 64;
};

// A byte 4 of 0x0A starts Domino descriptions one byte later, and shorter.
constexpr uint8_t kShiftedDescription = 0x0A;
constexpr size_t kDescriptionText = 39;
constexpr size_t kShiftedDescriptionText = 38;

// File sections from offset 78: a 4-character tag and a u32 value each.
struct Section {
    static constexpr int kSize = 8;
    static constexpr int kTag = 0;
    static constexpr int kValue = 4;
};
constexpr char kTagFrames[4] = {'F', 'R', 'A', 'M'};
constexpr char kTagStop[4] = {'S', 'T', 'O', 'P'};
// The tags the writer lists, in order, before 12 empty entries.
constexpr std::array<const char*, 8> kWrittenTags = {"FRAM", "NWST", "PRCL", "STAT",
                                                     "DWIN", "STRC", "PTRL", "STOP"};
constexpr int kSectionsSize = 160;
constexpr int kFrameDataStart = FileHeader::kSize + kSectionsSize;  // 238

// Frame index entry, 20 bytes; the index starts with the position of the
// count and the count.
struct IndexEntry {
    static constexpr int kSize = 20;
    static constexpr int kDataOffset = 0;
    static constexpr int kStoredLength = 4;
    static constexpr int kTruncatedLength = 6;  // the line length of a cut frame, else 0
    static constexpr int kFrameNumber = 8;
    static constexpr int kTimestamp = 12;  // microseconds since the start / 32
    static constexpr int kFlags = 16;
};
constexpr int kIndexHeaderSize = 8;
constexpr uint32_t kMicrosPerTick = 32;

enum EntryFlags : uint32_t {
    kFlagGood1 = 0x08,
    kFlagGood2 = 0x10,
    kFlagDirLn = 0x40,
    kFlagDirEq = 0x80,
    kFlagAtmDirEq = 0x10000000,
};
constexpr uint32_t kWrittenGood = kFlagGood1 | kFlagGood2;
constexpr uint32_t kWrittenDirEq = kFlagDirEq | kFlagGood2;

// Adapter and line codes.
constexpr uint16_t kAdapterEthernet = 358;
constexpr uint16_t kAdapterDualLan = 739;  // the line code tells Ethernet from Token Ring
constexpr uint16_t kAdapterGigabit = 936;
constexpr uint16_t kAdapterTokenRing = 363;
constexpr uint16_t kAdapterFddi = 313;
constexpr uint16_t kAdapterVSeries = 359;
constexpr uint16_t kAdapterESeries = 360;
constexpr uint16_t kAdapterTSeries = 361;
constexpr uint16_t kAdapterAtm = 943;
constexpr uint16_t kAdapterAtmOc3 = 747;
constexpr uint16_t kLineEthernet = 4;
constexpr uint16_t kLineTokenRing = 6;
constexpr uint16_t kLineAtmOther = 322;

// ATM PDUs are handed out as 53-byte cells.
constexpr int kCellSize = 53;
constexpr int kCellHeader = 5;
constexpr int kCellPayload = 48;
constexpr int kFirstPayload = 54;
constexpr int kPtiByte = 3;
constexpr uint8_t kLastCellBit = 0x02;

}  // namespace domino

// Hands out a stored ATM PDU cell by cell, reusing the first cell's header.
struct CellSplitter {
    int32_t payloadOffset = 0;
    int32_t total = 0;  // stored length being handed out; 0: idle

    bool Busy() const { return total != 0; }
    // Turns the frame (the whole PDU) into its first cell.
    void Start(FrameRecord& frame);
    // Copies the next payload over the cell; the last one sets the last-cell bit.
    void Next(FrameRecord& frame);
};

class DominoReader : public FileTraceReader {
public:
    static constexpr FormatId kFormats[] = {FMT_DM, FMT_LV};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Open(const std::string& path) override;
    void Close() override;

private:
    bool ReadNextFrame() override;

    bool ParseHeader(const uint8_t* header);
    void MapAdapter(uint16_t adapter, uint16_t line);
    void MapLine(uint16_t line);
    void ReadStartTime(const uint8_t* header);
    bool FindFrameIndex();
    bool ReadIndexEntry(uint8_t* entry);
    void ApplyEntry(const uint8_t* entry);

    int64_t cursor_ = 0;  // next index entry; 0: no more
    int64_t entriesRead_ = 0;
    // Index entries read ahead: the index lies apart from the frames, and
    // fetching one entry at a time would refill the input buffer twice a frame.
    std::vector<uint8_t> entries_;
    size_t entryPos_ = 0;
    uint16_t adapter_ = 0;
    uint16_t line_ = 0;
    CellSplitter cells_;
};

class DominoWriter : public BinaryTraceWriter {
public:
    static constexpr FormatId kFormats[] = {FMT_DM, FMT_LV};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool WriteHeader(const TraceInfo& info) override;
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override;
    bool FinishFile(const TraceInfo& info) override;
    bool Close() override;

protected:
    void DropLastFrame() override;
    int64_t LastFrameStart() const override;
    int64_t FinishSize() const override;

private:
    bool WriteIndex(uint32_t* indexOffset);
    bool WriteFileHeader(const TraceInfo& info);
    bool WriteSections(uint32_t indexOffset);

    std::vector<std::array<uint8_t, domino::IndexEntry::kSize>> entries_;
};

// The adapter and line codes the writer records for an interface and WAN type.
void DominoCodes(int interfaceType, int wanType, uint16_t* adapter, uint16_t* line);

}  // namespace translator
