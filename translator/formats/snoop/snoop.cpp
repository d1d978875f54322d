#include "snoop.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstring>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "engine/ethernet.h"

namespace translator {

using namespace byte_order;

namespace {

int32_t PaddedRecordLength(int32_t includedLength) {
    return (snoop::RecordHeader::kSize + includedLength + 3) & ~3;
}

}  // namespace

bool SnoopReader::SupportsInterface(int, const TraceInfo& info) const {
    return IsLanGroup(info);
}

bool SnoopReader::Open(const std::string& path) {
    info.Reset();
    if (!FileTraceReader::Open(path)) {
        return false;
    }
    uint8_t header[snoop::FileHeader::kSize];
    if (!file.Seek(0) || !ReadBytes(header, sizeof header) ||
        memcmp(header + snoop::FileHeader::kMagic, snoop::kMagic, sizeof snoop::kMagic) != 0) {
        Close();
        return false;
    }
    MapDataLink(LoadBE32(header + snoop::FileHeader::kDataLink));
    if (!DetectVariant() || !file.Seek(snoop::FileHeader::kSize)) {
        Close();
        return false;
    }
    return true;
}

void SnoopReader::MapDataLink(uint32_t dataLink) {
    switch (dataLink & 0xFF) {
        case 0:
        case 4:
            info.interfaceType = IF_ETHERNET;
            info.lineRate = 10000000;
            break;
        case 10:
            info.interfaceType = IF_ETHERNET;
            info.lineRate = 100000000;
            break;
        case 12:
            info.interfaceType = IF_ETHERNET;
            info.lineRate = 1000000000;
            break;
        case 2:
            info.interfaceType = IF_TOKEN_RING;
            break;
        case 8:
            info.interfaceType = IF_FDDI;
            break;
        default:
            info.interfaceType = IF_UNKNOWN;
            break;
    }
    info.lineRate = DefaultLineRate(info.interfaceType, info.lineRate);
}

// Extended records leave at least 40 bytes of record beside the frame bytes:
// the header and the trailer.
bool SnoopReader::DetectVariant() {
    uint8_t record[snoop::RecordHeader::kSize];
    if (!ReadBytes(record, sizeof record)) {
        // A file that ends with its header holds no frames; it is plain snoop.
        info.format = FMT_SO;
        return file.Tell() == snoop::FileHeader::kSize && fileSize == snoop::FileHeader::kSize;
    }
    const uint32_t recordLength = LoadBE32(record + snoop::RecordHeader::kRecordLength);
    const uint32_t included = LoadBE32(record + snoop::RecordHeader::kIncludedLength);
    info.format = recordLength - included >= 40 ? FMT_SH : FMT_SO;
    return true;
}

bool SnoopReader::ReadNextFrame() {
    using snoop::RecordHeader;
    frame.Reset();
    uint8_t copy[RecordHeader::kSize];
    const uint8_t* record = RecordStart(copy, sizeof copy, "record header");
    if (record == nullptr) {
        return false;
    }
    const uint32_t lineLength = LoadBE32(record + RecordHeader::kLineLength);
    const uint32_t included = LoadBE32(record + RecordHeader::kIncludedLength);
    const uint32_t recordLength = LoadBE32(record + RecordHeader::kRecordLength);
    frame.seconds = LoadBE32(record + RecordHeader::kSeconds);
    frame.microseconds = LoadBE32(record + RecordHeader::kMicroseconds);
    const bool surveyor = info.format == FMT_SH;
    const int64_t overhead = RecordHeader::kSize + (surveyor ? snoop::Trailer::kSize : 0);
    // The record length decides what is consumed; it must hold the frame bytes
    // and stay inside the file.
    const int64_t body = int64_t{recordLength} - overhead;
    if (body < 0 || included > body) {
        return Damaged("frame %" PRId64 " has a record length of %" PRIu32
                       " bytes, too short for its headers and %" PRIu32 " captured bytes",
                       info.framesRead + 1, recordLength, included);
    }
    if (FrameTooLong(included)) {
        return TooLong(included);
    }
    // Standard input has no size: a short read tells the same.
    if (!file.IsStream() && file.Tell() + body > fileSize) {
        return CutShort("data", body, fileSize - file.Tell());
    }
    // Lent from the input buffer where nothing is added to the bytes: no
    // trailer read after them, no runt padding, no FCS computed over them.
    const bool ethernet = info.interfaceType == IF_ETHERNET;
    const bool lendable =
        !surveyor &&
        (!ethernet || (KeptFcs() == FcsBytes::kZeros &&
                       std::min(lineLength, included) >= uint32_t{kEthernetMinFrameNoFcs}));
    const uint8_t* lent = lendable ? file.Borrow(static_cast<size_t>(body)) : nullptr;
    if (lent != nullptr) {
        frame.Lend(lent);
    } else {
        uint8_t* bytes = frame.SetData(
            nullptr,
            static_cast<int32_t>(std::max<int64_t>(body, kEthernetMinFrame) + kEthernetFcsSize));
        if (!ReadPart(bytes, static_cast<size_t>(body), "data")) {
            return false;
        }
    }
    // Only the stored bytes are limited; the line length just describes the
    // frame, with room left for the FCS that plain snoop frames get back.
    frame.frameLength =
        static_cast<int32_t>(std::min<uint32_t>(lineLength, INT32_MAX - kEthernetFcsSize));
    frame.capturedLength = static_cast<int32_t>(included);
    if (surveyor) {
        uint8_t trailer[snoop::Trailer::kSize];
        if (!ReadPart(trailer, sizeof trailer, "trailer")) {
            return false;
        }
        ApplyTrailer(trailer);
    }
    // Plain snoop stores Ethernet frames without FCS; extended records keep it.
    if (ethernet && !surveyor) {
        AddEthernetFcs(frame, KeptFcs(), Runts::kPadded);
    }
    if (frame.capturedLength > frame.frameLength) {
        frame.capturedLength = frame.frameLength;
    }
    return true;
}

void SnoopReader::ApplyTrailer(const uint8_t* trailer) {
    if (LoadBE16(trailer + snoop::Trailer::kStatus) & snoop::kStatusCrcError) {
        frame.flags |= FRAME_CRC_ERROR;
    }
    if (frame.frameLength - frame.capturedLength == kEthernetFcsSize) {
        frame.frameLength = frame.capturedLength;  // the FCS was not stored
    }
    if (info.interfaceType == IF_ETHERNET) {
        frame.ExtendRunt(kEthernetMinFrame);
    }
}

bool SnoopWriter::SupportsInterface(int, const TraceInfo& info) const {
    return IsLanGroup(info);
}

// The header depends on the interface only, so it is final from the start.
bool SnoopWriter::WriteHeader(const TraceInfo& info) {
    using snoop::FileHeader;
    const uint32_t dataLink = info.interfaceType == IF_ETHERNET     ? snoop::kLinkEthernet
                              : info.interfaceType == IF_TOKEN_RING ? snoop::kLinkTokenRing
                              : info.interfaceType == IF_FDDI       ? snoop::kLinkFddi
                                                                    : 0;
    uint8_t header[FileHeader::kSize] = {};
    memcpy(header + FileHeader::kMagic, snoop::kMagic, sizeof snoop::kMagic);
    StoreBE32(header + FileHeader::kVersion, 2);
    StoreBE32(header + FileHeader::kDataLink, dataLink);
    return WriteBytes(header, sizeof header);
}

bool SnoopWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    using snoop::RecordHeader;
    // The trailer's unsigned count runs from the earliest frame so far, which
    // only an unstamped frame precedes; its 64 bits outlast any later time.
    const int64_t sinceFirst =
        (int64_t{frame.seconds} - info.firstSeconds) * 1000000 + frame.microseconds;
    if (Extended() && !OffsetFits(format, info, sinceFirst, INT64_MAX)) {
        return false;
    }
    const bool ethernet = info.interfaceType == IF_ETHERNET;
    // Plain snoop stores Ethernet frames without their FCS, Surveyor records with it.
    const bool dropFcs = ethernet && !Extended();
    const int32_t lineLength =
        dropFcs ? LineLengthWithoutFcs(frame) : std::max(frame.frameLength, 0);
    const int32_t included =
        dropFcs ? CapturedWithoutFcs(frame) : std::clamp(frame.capturedLength, 0, lineLength);
    const int32_t padded = PaddedRecordLength(included);
    const int32_t pad = padded - RecordHeader::kSize - included;
    const uint32_t recordLength =
        static_cast<uint32_t>(padded + (Extended() ? snoop::Trailer::kSize : 0));

    // Encoded in place in the output buffer.
    uint8_t* record = file.Reserve(RecordHeader::kSize);
    if (record == nullptr) {
        return false;
    }
    memset(record, 0, RecordHeader::kSize);
    // 32-bit lengths: every frame a reader hands on.
    StoreBE32(record + RecordHeader::kLineLength, static_cast<uint32_t>(lineLength));
    StoreBE32(record + RecordHeader::kIncludedLength, static_cast<uint32_t>(included));
    StoreBE32(record + RecordHeader::kRecordLength, recordLength);
    // Unsigned 32-bit Unix seconds: every frame time, 1970 to 2106.
    StoreBE32(record + RecordHeader::kSeconds, frame.seconds);
    StoreBE32(record + RecordHeader::kMicroseconds, frame.microseconds);
    MarkField(record, record + RecordHeader::kSeconds, 4);
    MarkField(record, record + RecordHeader::kMicroseconds, 4);
    file.Advance(RecordHeader::kSize);
    // Extended records list the last 16 data bytes with the pad: the side file's
    // own rule for these formats, which comparisons of earlier outputs rely on.
    if (Extended()) {
        MarkOffsets(included - snoop::Trailer::kSize, pad + snoop::Trailer::kSize);
    } else {
        MarkOffsets(included, pad);
    }
    static const uint8_t kPad[3] = {};
    if (!WriteBytes(frame.Bytes(), included) || !WriteBytes(kPad, pad)) {
        return false;
    }
    if (Extended() && !WriteTrailer(info, frame, lineLength, recordLength)) {
        return false;
    }
    return file.Flush();
}

bool SnoopWriter::WriteTrailer(const TraceInfo& info, const FrameRecord& frame, int32_t lineLength,
                               uint32_t recordLength) {
    using snoop::Trailer;
    const bool ethernet = info.interfaceType == IF_ETHERNET;
    uint16_t status =
        (frame.flags & FRAME_CRC_ERROR) ? snoop::kStatusCrcError : snoop::kStatusNoCrcError;
    if (ethernet && lineLength < kEthernetMinFrame)
        status |= snoop::kStatusRunt;
    if (ethernet && lineLength > 1518)
        status |= snoop::kStatusOversize;
    if (lineLength >= 12)
        status |= snoop::kStatusLength12;
    // 40-ns units (25 per microsecond), counted from the first frame's second
    // plus that second's number: the format defines it so and its readers expect it.
    const int64_t micros = (int64_t{frame.seconds} - info.firstSeconds) * 1000000 +
                           frame.microseconds + info.firstSeconds;
    const uint64_t time = static_cast<uint64_t>(micros) * 25u;
    const uint32_t sequence =
        info.framesWritten == 0 ? (recordLength + snoop::Trailer::kSize) | snoop::kFirstSequenceFlag
                                : static_cast<uint32_t>(info.framesWritten);
    uint8_t trailer[Trailer::kSize] = {};
    StoreBE16(trailer + Trailer::kStatus, status);
    StoreBE32(trailer + Trailer::kTimeLow, static_cast<uint32_t>(time));
    StoreBE32(trailer + Trailer::kTimeHigh, static_cast<uint32_t>(time >> 32));
    StoreBE32(trailer + Trailer::kSequence, sequence);
    MarkField(trailer, trailer + Trailer::kTimeLow, 4);
    MarkField(trailer, trailer + Trailer::kTimeHigh, 4);
    return WriteBytes(trailer, sizeof trailer);
}

}  // namespace translator
