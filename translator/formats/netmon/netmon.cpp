#include "netmon.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "engine/ethernet.h"
#include "engine/time_base.h"

namespace translator {

using namespace byte_order;

namespace {

// Room for the written comment, "Converted From " and a format name.
constexpr int64_t kMaxCommentSize = 128;

}  // namespace

bool NetMonReader::SupportsInterface(int, const TraceInfo& info) const {
    return IsLanGroup(info);
}

bool NetMonReader::Open(const std::string& path) {
    info.Reset();
    frameTable_.clear();
    nextEntry_ = 0;
    if (!FileTraceReader::Open(path)) {
        return false;
    }
    uint8_t header[netmon::FileHeader::kSize];
    if (!ReadBytes(header, sizeof header) || !ParseHeader(header) ||
        !file.Seek(netmon::FileHeader::kSize)) {
        Close();
        return false;
    }
    info.format = FMT_N2;
    return true;
}

bool NetMonReader::ParseHeader(const uint8_t* h) {
    using netmon::FileHeader;
    if (memcmp(h + FileHeader::kMagic, netmon::kMagic, sizeof netmon::kMagic) != 0) {
        return false;
    }
    switch (LoadLE16(h + FileHeader::kMacType)) {
        case netmon::kMacEthernet:
            info.interfaceType = IF_ETHERNET;
            break;
        case netmon::kMacTokenRing:
            info.interfaceType = IF_TOKEN_RING;
            break;
        case netmon::kMacFddi:
            info.interfaceType = IF_FDDI;
            break;
        default:
            return false;
    }
    info.lineRate = DefaultLineRate(info.interfaceType, 0);
    if (const int year = LoadLE16(h + FileHeader::kYear); year != 0) {
        info.startTime =
            LocalTimeToUnix(year, LoadLE16(h + FileHeader::kMonth), LoadLE16(h + FileHeader::kDay),
                            LoadLE16(h + FileHeader::kHour), LoadLE16(h + FileHeader::kMinute),
                            LoadLE16(h + FileHeader::kSecond));
    }
    startMicros_ = uint64_t{LoadLE16(h + FileHeader::kMilliseconds)} * 1000;
    return ReadFrameTable(LoadLE32(h + FileHeader::kTableOffset),
                          LoadLE32(h + FileHeader::kTableLength)) &&
           ReadComment(LoadLE32(h + FileHeader::kCommentOffset),
                       LoadLE32(h + FileHeader::kCommentLength));
}

// The table must lie inside the file: its length sizes an allocation.
bool NetMonReader::ReadFrameTable(uint32_t offset, uint32_t length) {
    if (int64_t{offset} + length > fileSize || !file.Seek(offset)) {
        return false;
    }
    const size_t count = length / 4;
    // Read in place and turned into host order entry by entry: the table is
    // the reader's largest allocation, and it exists once.
    frameTable_.resize(count);
    if (!ReadBytes(frameTable_.data(), count * 4)) {
        return false;
    }
    for (uint32_t& entry : frameTable_) {
        entry = LoadLE32(reinterpret_cast<const uint8_t*>(&entry));
    }
    tableOffset_ = offset;
    info.totalFrames = static_cast<int64_t>(count);
    return true;
}

bool NetMonReader::ReadComment(uint32_t offset, uint32_t length) {
    const size_t take = std::min<size_t>(length, netmon::kMaxComment);
    if (!file.Seek(offset) || !ReadBytes(info.comment, take)) {
        return false;
    }
    info.comment[take] = '\0';
    return true;
}

void NetMonReader::Close() {
    frameTable_.clear();
    frameTable_.shrink_to_fit();
    nextEntry_ = 0;
    FileTraceReader::Close();
}

bool NetMonReader::ReadNextFrame() {
    using netmon::RecordHeader;
    if (info.framesRead >= info.totalFrames || nextEntry_ >= frameTable_.size()) {
        return false;
    }
    const uint32_t offset = frameTable_[nextEntry_++];
    if (offset == 0) {
        return Damaged("the frame table gives no offset for frame %" PRId64, info.framesRead + 1);
    }
    uint8_t record[RecordHeader::kSize];
    if (!file.Seek(offset) || !ReadPart(record, sizeof record, "record header")) {
        return false;
    }
    frame.Reset();
    const uint32_t storedFrame = LoadLE32(record + RecordHeader::kFrameLength);
    const uint32_t storedCaptured = LoadLE32(record + RecordHeader::kCapturedLength);
    const bool ethernet = info.interfaceType == IF_ETHERNET;
    int64_t frameLength = storedFrame;
    int64_t capturedLength = storedCaptured;
    if (ethernet) {
        frameLength += kEthernetFcsSize;
        if (storedCaptured >= storedFrame) {
            capturedLength = frameLength;
        }
    }
    // The frame bytes proper; an Ethernet FCS is computed, not read.
    const int64_t stored = std::min<int64_t>(storedCaptured, capturedLength);
    if (FrameTooLong(capturedLength)) {
        return TooLong(capturedLength);
    }
    const int64_t recordEnd = int64_t{offset} + RecordHeader::kSize + stored;
    if (offset < tableOffset_ && recordEnd > tableOffset_) {
        return Damaged("frame %" PRId64 " runs into the frame table at offset %" PRIu32,
                       info.framesRead + 1, tableOffset_);
    }
    if (recordEnd > fileSize) {
        return CutShort("data", stored, fileSize - offset - RecordHeader::kSize);
    }
    // Lent from the input buffer where nothing is added to the bytes: no
    // runt padding, no FCS computed over them.
    const bool lendable = !ethernet || (KeptFcs() == FcsBytes::kZeros &&
                                        storedFrame >= uint32_t{kEthernetMinFrameNoFcs});
    const uint8_t* lent = lendable ? file.Borrow(static_cast<size_t>(stored)) : nullptr;
    if (lent != nullptr) {
        frame.Lend(lent);
    } else {
        uint8_t* bytes = frame.SetData(
            nullptr, static_cast<int32_t>(std::max<int64_t>(capturedLength, kEthernetMinFrame) +
                                          kEthernetFcsSize));
        if (!ReadPart(bytes, static_cast<size_t>(stored), "data")) {
            return false;
        }
    }
    // Signed: a clock that stepped back puts frames before the capture start.
    const __int128 t =
        __int128{static_cast<int64_t>(LoadLE64(record + RecordHeader::kTimestamp))} + startMicros_;
    __int128 seconds = t / 1000000;
    __int128 micros = t % 1000000;
    if (micros < 0) {
        micros += 1000000;
        --seconds;
    }
    seconds += info.startTime;
    if (seconds < 0 || seconds > UINT32_MAX) {
        return Damaged("frame %" PRId64 " is stamped outside the years 1970 to 2106",
                       info.framesRead + 1);
    }
    frame.seconds = static_cast<uint32_t>(seconds);
    frame.microseconds = static_cast<uint32_t>(micros);
    if (ethernet) {
        frame.frameLength =
            static_cast<int32_t>(std::min<uint32_t>(storedFrame, INT32_MAX - kEthernetFcsSize));
        frame.capturedLength = static_cast<int32_t>(std::min(storedCaptured, storedFrame));
        // NetMon pads cut runts as well, which then count as whole.
        frame.ExtendRunt(kEthernetMinFrameNoFcs);
        AddEthernetFcs(frame, KeptFcs(), Runts::kPadded);
    } else {
        frame.frameLength = static_cast<int32_t>(std::min<int64_t>(frameLength, INT32_MAX));
        frame.capturedLength = static_cast<int32_t>(std::min(capturedLength, frameLength));
    }
    return true;
}

bool NetMonWriter::SupportsInterface(int, const TraceInfo& info) const {
    return IsLanGroup(info);
}

bool NetMonWriter::WriteHeader(const TraceInfo&) {
    frameOffsets_.clear();
    MarkOffsets(netmon::FileHeader::kHour, 8);
    return ReserveHeader(netmon::FileHeader::kSize);
}

bool NetMonWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    using netmon::RecordHeader;
    const int64_t position = file.Tell();
    const bool ethernet = info.interfaceType == IF_ETHERNET;
    const int32_t frameLength =
        ethernet ? LineLengthWithoutFcs(frame) : std::max(frame.frameLength, 0);
    const int32_t capturedLength =
        ethernet ? CapturedWithoutFcs(frame) : std::max(frame.capturedLength, 0);
    // The header gives the frame table's and the comment's 32-bit offsets:
    // both still start within reach after this frame.
    const int64_t commentOffset = position + RecordHeader::kSize + capturedLength +
                                  4 * (static_cast<int64_t>(frameOffsets_.size()) + 1);
    if (!PositionFits(info, commentOffset)) {
        return false;
    }
    // Unsigned 64-bit microseconds from the start: every later 32-bit Unix
    // time fits, an earlier one does not.
    const int64_t timestamp =
        (int64_t{frame.seconds} - info.startTime) * 1000000 + frame.microseconds;
    if (!OffsetFits(format, info, timestamp, INT64_MAX)) {
        return false;
    }
    frameOffsets_.push_back(static_cast<uint32_t>(position));
    uint8_t record[RecordHeader::kSize];
    StoreLE64(record + RecordHeader::kTimestamp, static_cast<uint64_t>(timestamp));
    // 32-bit lengths: every frame a reader hands on.
    StoreLE32(record + RecordHeader::kFrameLength, static_cast<uint32_t>(frameLength));
    StoreLE32(record + RecordHeader::kCapturedLength, static_cast<uint32_t>(capturedLength));
    MarkField(record, record + RecordHeader::kTimestamp, 8);
    return WriteBytes(record, sizeof record) && WriteBytes(frame.Bytes(), capturedLength) &&
           file.Flush();
}

void NetMonWriter::DropLastFrame() {
    frameOffsets_.pop_back();
}

int64_t NetMonWriter::LastFrameStart() const {
    return frameOffsets_.empty() ? -1 : int64_t{frameOffsets_.back()};
}

int64_t NetMonWriter::FinishSize() const {
    return 4 * static_cast<int64_t>(frameOffsets_.size()) + kMaxCommentSize;
}

bool NetMonWriter::WriteFrameTable(uint32_t* offset) {
    const int64_t position = file.Tell();
    if (position > UINT32_MAX) {
        return false;
    }
    *offset = static_cast<uint32_t>(position);
    return WriteLE32s(frameOffsets_);
}

bool NetMonWriter::WriteComment(const TraceInfo& info, uint32_t* offset, uint32_t* length) {
    const int64_t position = file.Tell();
    if (position > UINT32_MAX) {
        return false;
    }
    char comment[kMaxCommentSize];
    const int n = snprintf(comment, sizeof comment, "Converted From %s", FormatName(info.format));
    *offset = static_cast<uint32_t>(position);
    *length = static_cast<uint32_t>(n + 1);
    return WriteBytes(comment, n + 1);
}

bool NetMonWriter::FinishFile(const TraceInfo& info) {
    using netmon::FileHeader;
    uint32_t tableOffset = 0;
    uint32_t commentOffset = 0;
    uint32_t commentLength = 0;
    if (!file.IsOpen() || info.framesWritten > UINT32_MAX / 4 || !WriteFrameTable(&tableOffset) ||
        !WriteComment(info, &commentOffset, &commentLength)) {
        return false;
    }
    uint8_t h[FileHeader::kSize] = {};
    memcpy(h + FileHeader::kMagic, netmon::kMagic, sizeof netmon::kMagic);
    h[FileHeader::kMinorVersion] = 0;
    h[FileHeader::kMajorVersion] = 2;
    const uint16_t mac = info.interfaceType == IF_ETHERNET     ? netmon::kMacEthernet
                         : info.interfaceType == IF_TOKEN_RING ? netmon::kMacTokenRing
                         : info.interfaceType == IF_FDDI       ? netmon::kMacFddi
                                                               : 0;
    StoreLE16(h + FileHeader::kMacType, mac);
    struct tm local {};
    if (UnixToLocalTime(info.startTime, &local)) {
        StoreLE16(h + FileHeader::kYear, static_cast<uint16_t>(local.tm_year + 1900));
        StoreLE16(h + FileHeader::kMonth, static_cast<uint16_t>(local.tm_mon + 1));
        StoreLE16(h + FileHeader::kDay, static_cast<uint16_t>(local.tm_mday));
        StoreLE16(h + FileHeader::kHour, static_cast<uint16_t>(local.tm_hour));
        StoreLE16(h + FileHeader::kMinute, static_cast<uint16_t>(local.tm_min));
        StoreLE16(h + FileHeader::kSecond, static_cast<uint16_t>(local.tm_sec));
    }
    StoreLE16(h + FileHeader::kDayOfWeek, 2);
    StoreLE32(h + FileHeader::kTableOffset, tableOffset);
    StoreLE32(h + FileHeader::kTableLength, static_cast<uint32_t>(info.framesWritten * 4));
    StoreLE32(h + FileHeader::kCommentOffset, commentOffset);
    StoreLE32(h + FileHeader::kCommentLength, commentLength);
    return PatchHeader(h, sizeof h);
}

bool NetMonWriter::Close() {
    frameOffsets_.clear();
    frameOffsets_.shrink_to_fit();
    return BinaryTraceWriter::Close();
}

}  // namespace translator
