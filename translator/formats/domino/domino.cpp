#include "domino.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "engine/ethernet.h"
#include "engine/time_base.h"

namespace translator {

using namespace byte_order;

namespace {

constexpr int32_t kEthernetRate = 10000000;
// Index entries fetched in one read (80 KiB).
constexpr int64_t kIndexEntriesAhead = 4096;
constexpr int32_t kGigabitRate = 1000000000;

struct LineCode {
    uint16_t code;
    int wanType;
};

// Line codes of WAN captures as read; SDLC is written as 14, which reads as PPP.
constexpr LineCode kLinesRead[] = {
    {240, WAN_HDLC}, {15, WAN_X25},  {333, WAN_ISDN}, {0, WAN_PPP},           {14, WAN_PPP},
    {305, WAN_PPP},  {11, WAN_LAPB}, {12, WAN_LAPD},  {278, WAN_FRAME_RELAY},
};
constexpr LineCode kLinesWritten[] = {
    {240, WAN_HDLC}, {14, WAN_SDLC}, {15, WAN_X25},  {333, WAN_ISDN},
    {305, WAN_PPP},  {11, WAN_LAPB}, {12, WAN_LAPD}, {278, WAN_FRAME_RELAY},
};

}  // namespace

void CellSplitter::Start(FrameRecord& frame) {
    total = frame.capturedLength;
    payloadOffset = domino::kFirstPayload;
    frame.frameLength = frame.capturedLength = domino::kCellSize;
    frame.data[domino::kPtiByte] &= static_cast<uint8_t>(~domino::kLastCellBit);
}

// The stored length need not be a whole number of cells: only bytes that
// exist are copied, the rest of the last cell is zero, and the splitter stops
// once the offset reaches or passes the end.
void CellSplitter::Next(FrameRecord& frame) {
    uint8_t* cell = frame.data.get();
    const int32_t available = std::clamp(total - payloadOffset, 0, domino::kCellPayload);
    memcpy(cell + domino::kCellHeader, cell + payloadOffset, static_cast<size_t>(available));
    memset(cell + domino::kCellHeader + available, 0,
           static_cast<size_t>(domino::kCellPayload - available));
    frame.frameLength = frame.capturedLength = domino::kCellSize;
    payloadOffset += domino::kCellPayload;
    if (payloadOffset >= total) {
        cell[domino::kPtiByte] |= domino::kLastCellBit;
        total = 0;
    }
}

bool DominoReader::Open(const std::string& path) {
    info.Reset();
    cursor_ = 0;
    entriesRead_ = 0;
    entries_.clear();
    entryPos_ = 0;
    cells_ = {};
    if (!FileTraceReader::Open(path)) {
        return false;
    }
    uint8_t header[domino::FileHeader::kSize];
    if (!file.Seek(0) || !ReadBytes(header, sizeof header) || !ParseHeader(header) ||
        !FindFrameIndex()) {
        Close();
        return false;
    }
    return true;
}

void DominoReader::Close() {
    cursor_ = 0;
    cells_ = {};
    FileTraceReader::Close();
}

bool DominoReader::ParseHeader(const uint8_t* h) {
    using domino::FileHeader;
    if (memcmp(h + FileHeader::kMagic, domino::kMagic, sizeof domino::kMagic) != 0) {
        return false;
    }
    const uint8_t* end = h + FileHeader::kSize;
    const bool linkView =
        std::search(h, end, std::begin(domino::kLinkView), std::end(domino::kLinkView)) != end;
    info.format = linkView ? FMT_LV : FMT_DM;
    const bool shifted = !linkView && h[FileHeader::kDescription] == domino::kShiftedDescription;
    const size_t length = shifted ? domino::kShiftedDescriptionText : domino::kDescriptionText;
    memcpy(info.comment, h + FileHeader::kDescription + (shifted ? 1 : 0), length);
    info.comment[length] = '\0';
    adapter_ = LoadLE16(h + FileHeader::kAdapter);
    line_ = LoadLE16(h + FileHeader::kLine);
    MapAdapter(adapter_, line_);
    if (IsWanFamily(info)) {
        MapLine(line_);
    }
    ReadStartTime(h);
    return true;
}

void DominoReader::MapAdapter(uint16_t adapter, uint16_t line) {
    switch (adapter) {
        case 4:
        case domino::kAdapterEthernet:
        case 880:
        case 984:
            info.interfaceType = IF_ETHERNET;
            info.lineRate = kEthernetRate;
            break;
        case domino::kAdapterDualLan:
            if (line == domino::kLineEthernet) {
                info.interfaceType = IF_ETHERNET;
                info.lineRate = kEthernetRate;
            } else if (line == domino::kLineTokenRing) {
                info.interfaceType = IF_TOKEN_RING;
            }
            break;
        case domino::kAdapterGigabit:
            info.interfaceType = IF_ETHERNET;
            info.lineRate = kGigabitRate;
            break;
        case domino::kAdapterTokenRing:
            info.interfaceType = IF_TOKEN_RING;
            break;
        case domino::kAdapterFddi:
            info.interfaceType = IF_FDDI;
            break;
        case domino::kAdapterVSeries:
            info.interfaceType = IF_V_SERIES;
            break;
        case domino::kAdapterESeries:
            info.interfaceType = IF_E_SERIES;
            break;
        case domino::kAdapterTSeries:
            info.interfaceType = IF_T_SERIES;
            break;
        case domino::kAdapterAtm:
            info.interfaceType = IF_ATM;
            break;
        case domino::kAdapterAtmOc3:
            info.interfaceType = IF_ATM_OC3;
            break;
        case 855:
            info.interfaceType = IF_ATM_E1;
            break;
        case 378:
        case 938:
            info.interfaceType = IF_ATM_E3;
            break;
        case 940:
            info.interfaceType = IF_ATM_DS1;
            break;
        case 335:
        case 939:
            info.interfaceType = IF_ATM_DS3;
            break;
        case 941:
            info.interfaceType = IF_ATM_25M;
            break;
        default:
            break;
    }
}

void DominoReader::MapLine(uint16_t line) {
    for (const LineCode& entry : kLinesRead) {
        if (entry.code == line) {
            info.wanType = entry.wanType;
            return;
        }
    }
}

// The header keeps the start both as Unix seconds and as local hour, minute
// and second; the latter win.
void DominoReader::ReadStartTime(const uint8_t* h) {
    using domino::FileHeader;
    const uint32_t stored = LoadLE32(h + FileHeader::kStartTime);
    struct tm local {};
    if (stored != 0 && UnixToLocalTime(stored, &local)) {
        info.startTime =
            LocalTimeToUnix(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                            h[FileHeader::kHour], h[FileHeader::kMinute], h[FileHeader::kSecond]);
    }
    if (info.startTime == 0) {
        info.startTime = static_cast<uint32_t>(time(nullptr));
    }
}

// Offsets from the file are followed only when what they point to lies
// inside the file.
bool DominoReader::FindFrameIndex() {
    using domino::Section;
    for (int64_t position = domino::FileHeader::kSize;; position += Section::kSize) {
        uint8_t section[Section::kSize];
        if (!file.Seek(position) || !ReadBytes(section, sizeof section)) {
            return false;
        }
        if (memcmp(section + Section::kTag, domino::kTagStop, 4) == 0) {
            return false;
        }
        if (memcmp(section + Section::kTag, domino::kTagFrames, 4) != 0) {
            continue;
        }
        const uint32_t index = LoadLE32(section + Section::kValue);
        if (index == 0) {
            info.totalFrames = 0;
            return true;
        }
        uint8_t field[4];
        if (!file.Seek(index) || !ReadBytes(field, sizeof field)) {
            return false;
        }
        const uint32_t countPosition = LoadLE32(field);
        if (!file.Seek(countPosition) || !ReadBytes(field, sizeof field)) {
            return false;
        }
        info.totalFrames = LoadLE32(field);
        cursor_ = int64_t{countPosition} + 4;
        return true;
    }
}

// Writers may announce more frames than they index, so an index that ends
// with the file ends the frames; a part of an entry is damage only while
// announced frames are still missing.
bool DominoReader::ReadIndexEntry(uint8_t* entry) {
    using domino::IndexEntry;
    if (entryPos_ == entries_.size()) {
        const int64_t left = fileSize - cursor_;
        if (left < IndexEntry::kSize) {
            return left != 0 && entriesRead_ < info.totalFrames &&
                   CutShort("index entry", IndexEntry::kSize, left);
        }
        const int64_t whole = std::min<int64_t>(left / IndexEntry::kSize, kIndexEntriesAhead);
        entries_.resize(static_cast<size_t>(whole) * IndexEntry::kSize);
        entryPos_ = 0;
        if (!file.Seek(cursor_) || !ReadPart(entries_.data(), entries_.size(), "index entry")) {
            entries_.clear();
            return false;
        }
        cursor_ += static_cast<int64_t>(entries_.size());
    }
    memcpy(entry, entries_.data() + entryPos_, IndexEntry::kSize);
    entryPos_ += IndexEntry::kSize;
    ++entriesRead_;
    return true;
}

bool DominoReader::ReadNextFrame() {
    using domino::IndexEntry;
    if (cursor_ <= 0) {
        return false;
    }
    if (cells_.Busy()) {
        cells_.Next(frame);
        return true;
    }
    frame.Reset();
    uint8_t entry[IndexEntry::kSize];
    if (!ReadIndexEntry(entry)) {
        cursor_ = 0;
        return false;
    }
    ApplyEntry(entry);
    const uint32_t dataOffset = LoadLE32(entry + IndexEntry::kDataOffset);
    const uint16_t stored = LoadLE16(entry + IndexEntry::kStoredLength);
    const bool ethernet = info.interfaceType == IF_ETHERNET;
    // Dual-LAN adapters store Ethernet frames without their FCS.
    const bool addFcs = ethernet && adapter_ == domino::kAdapterDualLan;
    if (int64_t{dataOffset} + stored > fileSize) {
        cursor_ = 0;
        return Damaged("frame %" PRId64 " has %u bytes at offset %" PRIu32
                       ", past the end of the file at %" PRId64,
                       info.framesRead + 1, unsigned{stored}, dataOffset, fileSize);
    }
    uint8_t* bytes = frame.SetData(nullptr, stored + kEthernetFcsSize);
    if (!file.Seek(dataOffset) || !ReadPart(bytes, stored, "data")) {
        cursor_ = 0;
        return false;
    }
    const bool good = (frame.flags & (FRAME_CRC_ERROR | FRAME_ALIGNMENT_ERROR)) == 0;
    if (addFcs) {
        // Only LinkView PRO computes it; runts stay as stored.
        AddEthernetFcs(frame, info.format == FMT_LV && good ? KeptFcs() : FcsBytes::kZeros,
                       Runts::kAsCaptured);
    } else if (info.format == FMT_LV && ethernet && line_ == domino::kLineEthernet) {
        // The other LinkView PRO Ethernet adapters store a slot for it.
        frame.StoreCrc32(good ? FcsBytes::kComputed : FcsBytes::kZeros);
    }
    if (IsAtm(info) && stored > domino::kCellSize) {
        cells_.Start(frame);
    }
    return true;
}

void DominoReader::ApplyEntry(const uint8_t* entry) {
    using domino::IndexEntry;
    const uint32_t flags = LoadLE32(entry + IndexEntry::kFlags);
    if ((flags & domino::kWrittenGood) == 0) {
        frame.flags |= FRAME_CRC_ERROR;
    }
    // At most one direction mark.
    if (flags & domino::kFlagDirLn) {
        frame.flags |= FRAME_DIR_LN;
    } else if (flags & (domino::kFlagDirEq | domino::kFlagAtmDirEq)) {
        frame.flags |= FRAME_DIR_EQ;
    }
    const uint64_t micros =
        uint64_t{LoadLE32(entry + IndexEntry::kTimestamp)} * domino::kMicrosPerTick;
    frame.seconds = info.startTime + static_cast<uint32_t>(MicrosToSeconds(micros));
    frame.microseconds = MicrosRemainder(micros);
    const uint16_t stored = LoadLE16(entry + IndexEntry::kStoredLength);
    const uint16_t truncated = LoadLE16(entry + IndexEntry::kTruncatedLength);
    frame.frameLength = truncated != 0 ? truncated : stored;
    frame.capturedLength = std::min<int32_t>(stored, frame.frameLength);
}

void DominoCodes(int interfaceType, int wanType, uint16_t* adapter, uint16_t* line) {
    *adapter = 0;
    *line = 0;
    switch (interfaceType) {
        case IF_ETHERNET:
            *adapter = domino::kAdapterEthernet;
            *line = domino::kLineEthernet;
            break;
        case IF_TOKEN_RING:
            *adapter = domino::kAdapterTokenRing;
            *line = domino::kLineTokenRing;
            break;
        case IF_FDDI:
            *adapter = domino::kAdapterFddi;
            break;
        case IF_V_SERIES:
            *adapter = domino::kAdapterVSeries;
            break;
        case IF_E3:
        case IF_E1:
        case IF_E_SERIES:
            *adapter = domino::kAdapterESeries;
            break;
        case IF_T1:
        case IF_T_SERIES:
            *adapter = domino::kAdapterTSeries;
            break;
        case IF_ATM:
            *adapter = domino::kAdapterAtm;
            break;
        default:
            if (IsAtmInterface(interfaceType)) {
                *adapter = domino::kAdapterAtmOc3;
                *line = domino::kLineAtmOther;
            }
            break;
    }
    if (IsWanFamilyInterface(interfaceType)) {
        for (const LineCode& entry : kLinesWritten) {
            if (entry.wanType == wanType) {
                *line = entry.code;
            }
        }
    }
}

bool DominoWriter::WriteHeader(const TraceInfo&) {
    entries_.clear();
    MarkOffsets(domino::FileHeader::kStartTime, domino::FileHeader::kStartTimeBytes);
    return ReserveHeader(domino::kFrameDataStart);
}

bool DominoWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    using domino::IndexEntry;
    const int64_t position = file.Tell();
    const bool cut = frame.frameLength > frame.capturedLength;
    const int32_t stored = std::max(frame.capturedLength, 0);
    // 16-bit lengths: 0 to 65535 bytes stored. A cut frame longer on the line
    // keeps the largest line length, so it still reads back as cut.
    const int32_t truncated = cut ? std::min<int32_t>(frame.frameLength, UINT16_MAX) : 0;
    // 32-bit offsets of the frames and of the index after them.
    if (!LengthFits(format, info, stored, UINT16_MAX) || position <= 0 ||
        !PositionFits(info, position + stored + domino::kIndexHeaderSize)) {
        return false;
    }
    // Unsigned 32-bit count of 32-us ticks from the start: 0 to 38:10:38.95.
    const int64_t micros = (int64_t{frame.seconds} - info.startTime) * 1000000 + frame.microseconds;
    constexpr int64_t kMaxMicros = (int64_t{UINT32_MAX} + 1) * domino::kMicrosPerTick - 1;
    if (!OffsetFits(format, info, micros, kMaxMicros)) {
        return false;
    }
    std::array<uint8_t, IndexEntry::kSize> entry{};
    StoreLE32(entry.data() + IndexEntry::kDataOffset, static_cast<uint32_t>(position));
    StoreLE16(entry.data() + IndexEntry::kStoredLength, static_cast<uint16_t>(stored));
    StoreLE16(entry.data() + IndexEntry::kTruncatedLength, static_cast<uint16_t>(truncated));
    StoreLE32(entry.data() + IndexEntry::kFrameNumber, static_cast<uint32_t>(info.framesRead - 1));
    StoreLE32(entry.data() + IndexEntry::kTimestamp,
              static_cast<uint32_t>(micros / domino::kMicrosPerTick));
    uint32_t flags = 0;
    if (IsAtm(info)) {
        flags = (frame.flags & FRAME_DIR_EQ) ? uint32_t{domino::kFlagAtmDirEq} : 0u;
    } else {
        flags =
            (frame.flags & FRAME_CRC_ERROR) ? uint32_t{domino::kFlagGood1} : domino::kWrittenGood;
        if (frame.flags & FRAME_DIR_LN) {
            flags |= domino::kFlagDirLn;
        }
        if (frame.flags & FRAME_DIR_EQ) {
            flags |= domino::kWrittenDirEq;
        }
    }
    StoreLE32(entry.data() + IndexEntry::kFlags, flags);
    if (!WriteBytes(frame.Bytes(), stored) || !file.Flush()) {
        return false;
    }
    entries_.push_back(entry);
    return true;
}

void DominoWriter::DropLastFrame() {
    entries_.pop_back();
}

int64_t DominoWriter::LastFrameStart() const {
    return entries_.empty()
               ? -1
               : int64_t{LoadLE32(entries_.back().data() + domino::IndexEntry::kDataOffset)};
}

int64_t DominoWriter::FinishSize() const {
    return domino::kIndexHeaderSize +
           domino::IndexEntry::kSize * static_cast<int64_t>(entries_.size());
}

bool DominoWriter::WriteIndex(uint32_t* indexOffset) {
    *indexOffset = 0;
    if (entries_.empty()) {
        return true;
    }
    const int64_t position = file.Tell();
    if (position + domino::kIndexHeaderSize > UINT32_MAX || entries_.size() > UINT32_MAX) {
        return false;
    }
    uint8_t head[domino::kIndexHeaderSize];
    StoreLE32(head, static_cast<uint32_t>(position + 4));
    StoreLE32(head + 4, static_cast<uint32_t>(entries_.size()));
    if (!WriteBytes(head, sizeof head)) {
        return false;
    }
    for (const auto& entry : entries_) {
        MarkField(entry.data(), entry.data() + domino::IndexEntry::kTimestamp, 4);
        if (!WriteBytes(entry.data(), entry.size())) {
            return false;
        }
    }
    *indexOffset = static_cast<uint32_t>(position);
    return true;
}

bool DominoWriter::WriteFileHeader(const TraceInfo& info) {
    using domino::FileHeader;
    uint8_t h[FileHeader::kSize] = {};
    memcpy(h + FileHeader::kMagic, domino::kMagic, sizeof domino::kMagic);
    char description[FileHeader::kDescriptionLength + 1] = {};
    snprintf(description, sizeof description, "Converted From %s", FormatName(info.format));
    // Cut to the field, without a terminator when it fills it.
    memcpy(h + FileHeader::kDescription, description, FileHeader::kDescriptionLength);
    h[FileHeader::kWriterMark] = 1;
    struct tm local {};
    if (UnixToLocalTime(info.startTime, &local)) {
        StoreLE32(h + FileHeader::kStartTime, info.startTime);
        h[FileHeader::kHour] = static_cast<uint8_t>(local.tm_hour);
        h[FileHeader::kMinute] = static_cast<uint8_t>(local.tm_min);
        h[FileHeader::kSecond] = static_cast<uint8_t>(local.tm_sec);
    }
    uint16_t adapter = 0;
    uint16_t line = 0;
    DominoCodes(info.interfaceType, info.wanType, &adapter, &line);
    StoreLE16(h + FileHeader::kAdapter, adapter);
    StoreLE16(h + FileHeader::kLine, line);
    return PatchHeader(h, sizeof h);
}

bool DominoWriter::WriteSections(uint32_t indexOffset) {
    using domino::Section;
    uint8_t sections[domino::kSectionsSize] = {};
    for (size_t i = 0; i < domino::kWrittenTags.size(); ++i) {
        memcpy(sections + i * Section::kSize + Section::kTag, domino::kWrittenTags[i], 4);
    }
    StoreLE32(sections + Section::kValue, indexOffset);
    return PatchHeader(sections, sizeof sections, domino::FileHeader::kSize);
}

bool DominoWriter::FinishFile(const TraceInfo& info) {
    uint32_t indexOffset = 0;
    if (!file.IsOpen() || !WriteIndex(&indexOffset)) {
        ReportError("Error writing Domino index entries.\r\n");
        return false;
    }
    if (!WriteFileHeader(info)) {
        ReportError("Error writing Domino header.\r\n");
        return false;
    }
    if (!WriteSections(indexOffset)) {
        ReportError("Error writing Domino file sections.\r\n");
        return false;
    }
    return true;
}

bool DominoWriter::Close() {
    entries_.clear();
    entries_.shrink_to_fit();
    return BinaryTraceWriter::Close();
}

}  // namespace translator
