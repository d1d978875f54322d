#include "fireberd.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "common/byte_order.h"
#include "engine/ethernet.h"
#include "engine/time_base.h"

namespace translator {

using namespace byte_order;

namespace {

bool IsFireBerdInterface(int interfaceType) {
    return interfaceType == IF_ETHERNET || interfaceType == IF_TOKEN_RING;
}

// The file does not name its LAN. A Token Ring frame starts with its access
// and frame control bytes, which have bit 0x10 set; Ethernet destinations
// that look alike are broadcasts and a few known multicast prefixes.
bool LooksLikeEthernet(uint8_t b0, uint8_t b1, uint8_t b2) {
    return (b0 & 0x10) == 0 || b0 == 0xFF ||
           (b0 == 0x10 && b1 == 0 && (b2 == 0x5A || b2 == 0x5D || b2 == 0xE0));
}

}  // namespace

bool FireBerdReader::SupportsInterface(int, const TraceInfo& info) const {
    return IsFireBerdInterface(info.interfaceType);
}

bool FireBerdReader::Open(const std::string& path) {
    info.Reset();
    recordsRead_ = 0;
    dayBase_ = DayBase(static_cast<uint32_t>(time(nullptr)));
    if (!FileTraceReader::Open(path)) {
        return false;
    }
    uint8_t header[fireberd::FileHeader::kSize];
    uint16_t flags = 0;
    uint32_t milliseconds = 0;
    if (!ReadBytes(header, sizeof header) || !ParseHeader(header) ||
        !ReadRecord(&flags, &milliseconds) || !file.Seek(fireberd::FileHeader::kSize)) {
        Close();
        return false;
    }
    DetectMedia();
    info.format = FMT_FB;
    info.lineRate = DefaultLineRate(info.interfaceType, 0);
    info.startTime = dayBase_ + milliseconds / 1000;
    return true;
}

bool FireBerdReader::ParseHeader(const uint8_t* h) {
    using fireberd::FileHeader;
    if (memcmp(h + FileHeader::kApplication, fireberd::kApplication,
               FileHeader::kApplicationCheck) != 0) {
        return false;
    }
    memcpy(info.comment, h + FileHeader::kDescription, fireberd::kMaxComment);
    info.comment[fireberd::kMaxComment] = '\0';
    info.totalFrames = LoadLE32(h + FileHeader::kRecordCount);
    return true;
}

void FireBerdReader::DetectMedia() {
    uint8_t first[3] = {};
    memcpy(first, frame.Bytes(), std::min<size_t>(sizeof first, frame.capturedLength));
    info.interfaceType =
        LooksLikeEthernet(first[0], first[1], first[2]) ? IF_ETHERNET : IF_TOKEN_RING;
}

bool FireBerdReader::ReadRecord(uint16_t* flags, uint32_t* milliseconds) {
    using fireberd::RecordHeader;
    frame.Reset();
    uint8_t record[RecordHeader::kSize];
    if (!ReadPart(record, sizeof record, "record header")) {
        return false;
    }
    const uint16_t length = LoadLE16(record + RecordHeader::kLength);
    if (file.Tell() + length > fileSize) {
        return CutShort("data", length, fileSize - file.Tell());
    }
    uint8_t* bytes = frame.SetData(nullptr, length + kEthernetFcsSize);
    if (!ReadPart(bytes, length, "data")) {
        return false;
    }
    frame.frameLength = frame.capturedLength = length;
    *flags = LoadLE16(record + RecordHeader::kFlags);
    *milliseconds = LoadLE32(record + RecordHeader::kTimestamp);
    return true;
}

bool FireBerdReader::ReadNextFrame() {
    if (recordsRead_ >= info.totalFrames) {
        return false;
    }
    uint16_t flags = 0;
    uint32_t milliseconds = 0;
    if (!ReadRecord(&flags, &milliseconds)) {
        return false;
    }
    ++recordsRead_;
    const bool ethernet = info.interfaceType == IF_ETHERNET;
    if (ethernet) {
        if (flags & fireberd::kFlagCrcError) {
            frame.flags |= FRAME_CRC_ERROR;
        }
        if (flags & fireberd::kFlagAlignmentError) {
            frame.flags |= FRAME_ALIGNMENT_ERROR;
        }
    }
    // A record longer than the probe captures is delivered cut to that limit.
    if (frame.frameLength > fireberd::kMaxCaptured) {
        frame.capturedLength = fireberd::kMaxCaptured;
    }
    if (ethernet) {
        // Runts stay as the probe stored them; a cut frame gains the FCS on
        // its line length only.
        AddEthernetFcs(frame,
                       (flags & fireberd::kFlagsWithoutFcs) == 0 ? KeptFcs() : FcsBytes::kZeros,
                       Runts::kAsCaptured);
    }
    frame.seconds = dayBase_ + milliseconds / 1000;
    frame.microseconds = static_cast<uint32_t>(TimesThousand(milliseconds) % 1000000);
    return true;
}

bool FireBerdWriter::SupportsInterface(int, const TraceInfo& info) const {
    return IsFireBerdInterface(info.interfaceType);
}

bool FireBerdWriter::WriteHeader(const TraceInfo&) {
    frameOffsets_.clear();
    return ReserveHeader(fireberd::FileHeader::kSize);
}

bool FireBerdWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    using fireberd::RecordHeader;
    const int64_t position = file.Tell();
    const int32_t length = info.interfaceType == IF_ETHERNET ? CapturedWithoutFcs(frame)
                                                             : std::max(frame.capturedLength, 0);
    // One 16-bit length: 0 to 65535 bytes stored.
    // The table after the frames holds their 32-bit offsets.
    if (!LengthFits(format, info, length, UINT16_MAX) || !PositionFits(info, position)) {
        return false;
    }
    frameOffsets_.push_back(static_cast<uint32_t>(position));
    uint16_t flags = 0;
    if (length > fireberd::kMaxCaptured) {
        flags |= fireberd::kFlagLong;
    }
    if (length < kEthernetMinFrameNoFcs) {
        flags |= fireberd::kFlagShort;
    }
    if (frame.flags & FRAME_CRC_ERROR) {
        flags |= fireberd::kFlagCrcError;
    }
    if (frame.flags & FRAME_ALIGNMENT_ERROR) {
        flags |= fireberd::kFlagAlignmentError;
    }
    uint8_t record[RecordHeader::kSize];
    StoreLE16(record + RecordHeader::kLength, static_cast<uint16_t>(length));
    StoreLE16(record + RecordHeader::kFlags, flags);
    StoreLE16(record + RecordHeader::kNumber, static_cast<uint16_t>(info.framesWritten));
    // Milliseconds of the UTC day: the reader dates it to the conversion's day.
    StoreLE32(record + RecordHeader::kTimestamp,
              static_cast<uint32_t>(TimesThousand(SecondsOfDay(frame.seconds)) +
                                    DivThousand(frame.microseconds)));
    MarkField(record, record + RecordHeader::kTimestamp, 4);
    return WriteBytes(record, sizeof record) && WriteBytes(frame.Bytes(), length) && file.Flush();
}

void FireBerdWriter::DropLastFrame() {
    frameOffsets_.pop_back();
}

int64_t FireBerdWriter::LastFrameStart() const {
    return frameOffsets_.empty() ? -1 : int64_t{frameOffsets_.back()};
}

int64_t FireBerdWriter::FinishSize() const {
    return 4 * static_cast<int64_t>(frameOffsets_.size());
}

bool FireBerdWriter::FinishFile(const TraceInfo& info) {
    using fireberd::FileHeader;
    if (!file.IsOpen() || info.framesWritten > UINT32_MAX) {
        return false;
    }
    if (!WriteLE32s(frameOffsets_)) {
        return false;
    }
    uint8_t h[FileHeader::kSize] = {};
    memcpy(h + FileHeader::kApplication, fireberd::kApplication, sizeof fireberd::kApplication);
    memcpy(h + FileHeader::kDescription, fireberd::kDescription, sizeof fireberd::kDescription);
    memcpy(h + FileHeader::kLogName, fireberd::kLogName, sizeof fireberd::kLogName);
    StoreLE32(h + FileHeader::kRecordCount, static_cast<uint32_t>(info.framesWritten));
    return PatchHeader(h, sizeof h);
}

bool FireBerdWriter::Close() {
    frameOffsets_.clear();
    frameOffsets_.shrink_to_fit();
    return BinaryTraceWriter::Close();
}

}  // namespace translator
