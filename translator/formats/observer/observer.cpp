#include "observer.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
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

int InterfaceOfNetwork(uint8_t network) {
    switch (network) {
        case observer::kNetEthernet:
            return IF_ETHERNET;
        case observer::kNetTokenRing:
            return IF_TOKEN_RING;
        case observer::kNetFddi:
            return IF_FDDI;
        case observer::kNet80211:
            return IF_802_11;
        default:
            return IF_UNKNOWN;
    }
}

uint8_t NetworkOfInterface(int interfaceType) {
    switch (interfaceType) {
        case IF_TOKEN_RING:
            return observer::kNetTokenRing;
        case IF_FDDI:
            return observer::kNetFddi;
        case IF_802_11:
            return observer::kNet80211;
        default:
            return observer::kNetEthernet;
    }
}

bool IsObserverInterface(int interfaceType) {
    return interfaceType == IF_ETHERNET || interfaceType == IF_TOKEN_RING ||
           interfaceType == IF_FDDI || interfaceType == IF_802_11;
}

}  // namespace

static_assert(sizeof observer::kHeaderText == 71, "70 characters and a NUL");

int ObserverVersion(const uint8_t* header) {
    const auto* end = header + observer::FileHeader::kVersionSearch;
    const auto* equals = std::find(header, end, '=');
    if (equals == end) {
        return 0;
    }
    // Digits may run to the end of the header, never past it.
    int version = 0;
    for (const auto* p = equals + 1; p < header + observer::FileHeader::kSize; ++p) {
        if (*p < '0' || *p > '9' || version > (INT_MAX - 9) / 10) {
            break;
        }
        version = version * 10 + (*p - '0');
    }
    return version;
}

bool ObserverReader::SupportsInterface(int, const TraceInfo& info) const {
    return IsObserverInterface(info.interfaceType);
}

bool ObserverReader::Open(const std::string& path) {
    info.Reset();
    nextOffset_ = 0;
    backLink_ = 0;
    localTime_ = false;
    if (!FileTraceReader::Open(path)) {
        return false;
    }
    // A version-15 header can be shorter than the older fixed one.
    uint8_t header[observer::FileHeader::kSize] = {};
    const auto headerBytes = static_cast<size_t>(std::min<int64_t>(fileSize, sizeof header));
    if (headerBytes < sizeof observer::kMagic || !ReadBytes(header, headerBytes) ||
        memcmp(header, observer::kMagic, sizeof observer::kMagic) != 0) {
        Close();
        return false;
    }
    now_ = static_cast<uint32_t>(time(nullptr));
    dayBase_ = DayBase(now_);
    version_ = ObserverVersion(header);
    version4_ = version_ >= observer::kVersion4;
    if (version_ == observer::kVersion15) {
        if (!OpenVersion15(header)) {
            Close();
            return false;
        }
        return true;
    }
    if (version_ > observer::kVersion4) {
        // Recognised, so that the first read can refuse it by name.
        info.format = FMT_OB;
        info.interfaceType = IF_ETHERNET;
        info.lineRate = DefaultLineRate(info.interfaceType, 0);
        info.startTime = dayBase_;
        return true;
    }
    uint8_t packet[observer::PacketHeader::kSize];
    if (headerBytes < sizeof header || !ReadBytes(packet, sizeof packet) ||
        !ParseFirstPacket(packet)) {
        Close();
        return false;
    }
    nextOffset_ = observer::FileHeader::kSize;
    return true;
}

bool ObserverReader::OpenVersion15(const uint8_t* header) {
    using observer::FileHeader15;
    using observer::PacketHeader15;
    const uint32_t firstPacket = (uint32_t{header[FileHeader15::kFirstPacketHigh]} << 16) |
                                 LoadLE16(header + FileHeader15::kFirstPacket);
    uint8_t packet[PacketHeader15::kSize];
    if (firstPacket < FileHeader15::kSize || firstPacket + int64_t{sizeof packet} > fileSize ||
        !ReadsLocalTime(header, firstPacket) || !file.Seek(firstPacket) ||
        !ReadBytes(packet, sizeof packet)) {
        return false;
    }
    info.interfaceType = InterfaceOfNetwork(packet[PacketHeader15::kNetworkType]);
    if (info.interfaceType == IF_UNKNOWN) {
        return false;
    }
    info.format = FMT_OB;
    info.lineRate = DefaultLineRate(info.interfaceType, 0);
    TimeOfPacket15(LoadLE64(packet + PacketHeader15::kTimestamp));
    info.startTime = frame.seconds;
    frame.Reset();
    nextOffset_ = firstPacket;
    return true;
}

// Walks the header's information elements, which must all end before the
// first packet; the time-information element tells local time from UTC.
bool ObserverReader::ReadsLocalTime(const uint8_t* header, uint32_t firstPacket) {
    using observer::Tlv;
    int64_t offset = observer::FileHeader15::kSize;
    for (int i = 0; i < header[observer::FileHeader15::kTlvCount]; ++i) {
        uint8_t head[Tlv::kHeadSize];
        if (offset + Tlv::kHeadSize > firstPacket || !file.Seek(offset) ||
            !ReadBytes(head, sizeof head)) {
            return false;
        }
        const uint16_t length = LoadLE16(head + Tlv::kLength);
        if (length < Tlv::kHeadSize || offset + length > firstPacket) {
            return false;
        }
        uint8_t format[4];
        if (LoadLE16(head + Tlv::kType) == observer::kTlvTimeInfo &&
            length >= Tlv::kHeadSize + int{sizeof format}) {
            if (!file.Seek(offset + length - int{sizeof format}) ||
                !ReadBytes(format, sizeof format)) {
                return false;
            }
            localTime_ = LoadLE32(format) == observer::kTimeLocal;
        }
        offset += length;
    }
    return true;
}

void ObserverReader::TimeOfPacket15(uint64_t nanoseconds) {
    constexpr uint64_t kBillion = 1000000000ull;
    // Writers count frames before 2000 from 1970, which the field cannot tell
    // from a count since 2000: a count that would date the frame after the
    // conversion can only be the former.
    const uint64_t seconds = nanoseconds / kBillion;
    const bool since1970 =
        seconds < observer::kSeconds1970To2000 && observer::kSeconds1970To2000 + seconds > now_;
    const auto sinceEpoch =
        static_cast<uint32_t>(seconds + (since1970 ? 0 : observer::kSeconds1970To2000));
    frame.seconds = sinceEpoch;
    if (localTime_) {
        // The stored clock reading, taken as a local date and time.
        const time_t wall = sinceEpoch;
        struct tm t {};
        if (gmtime_r(&wall, &t) != nullptr) {
            frame.seconds = LocalTimeToUnix(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                                            t.tm_min, t.tm_sec);
        }
    }
    const uint64_t fraction = nanoseconds % kBillion;
    frame.microseconds = static_cast<uint32_t>(fraction / 1000);
    frame.nanoseconds = static_cast<uint32_t>(fraction % 1000);
}

bool ObserverReader::ParseFirstPacket(const uint8_t* packet) {
    using observer::PacketHeader;
    info.interfaceType = InterfaceOfNetwork(packet[PacketHeader::kNetworkType]);
    if (info.interfaceType == IF_UNKNOWN) {
        return false;
    }
    info.format = FMT_OB;
    info.lineRate = DefaultLineRate(info.interfaceType, 0);
    info.startTime = dayBase_ + LoadLE32(packet + PacketHeader::kTimestamp) / 1000;
    return true;
}

bool ObserverReader::ReadNextFrame() {
    using observer::PacketHeader;
    using observer::RadioBlock;
    if (version_ == observer::kVersion15) {
        return ReadPacket15();
    }
    if (version_ > observer::kVersion4) {
        char text[64];
        snprintf(text, sizeof text, "Observer file version %d is not supported.\r\n", version_);
        ReportReadFailure(text);
        return false;
    }
    frame.Reset();
    const int64_t offset = nextOffset_;
    nextOffset_ = 0;
    if (backLink_ != 0) {
        return Damaged("the packet before frame %" PRId64 " links back to offset %" PRIu32,
                       info.framesRead + 1, backLink_);
    }
    // The chain ends with a zero link, or with one to the end of the file.
    if (offset == 0 || offset == fileSize) {
        return false;
    }
    uint8_t packet[PacketHeader::kSize];
    if (!file.Seek(offset) || !ReadPart(packet, sizeof packet, "packet header")) {
        return false;
    }
    if (info.interfaceType == IF_802_11) {
        uint8_t radio[RadioBlock::kSize];
        if (!ReadPart(radio, sizeof radio, "radio block")) {
            return false;
        }
        frame.wlanRate = radio[RadioBlock::kRate];
        frame.wlanChannel = radio[RadioBlock::kChannel];
        frame.wlanSignal = radio[RadioBlock::kSignal];
        frame.wlanNoise = radio[RadioBlock::kNoise];
    }
    const uint32_t stored = LoadLE32(packet + PacketHeader::kCapturedLength);
    if (FrameTooLong(stored)) {
        return TooLong(stored);
    }
    if (file.Tell() + stored > fileSize) {
        return CutShort("data", stored, fileSize - file.Tell());
    }
    uint8_t* bytes =
        frame.SetData(nullptr, std::max<int32_t>(static_cast<int32_t>(stored), kEthernetMinFrame) +
                                   kEthernetFcsSize);
    if (!ReadPart(bytes, stored, "data")) {
        return false;
    }
    const uint32_t flags = LoadLE32(packet + PacketHeader::kFlags);
    if (flags & observer::kFlagCrcError) {
        frame.flags |= FRAME_CRC_ERROR;
    }
    if (flags & observer::kFlagAlignmentError) {
        frame.flags |= FRAME_ALIGNMENT_ERROR;
    }
    const uint32_t milliseconds = LoadLE32(packet + PacketHeader::kTimestamp);
    frame.seconds = dayBase_ + milliseconds / 1000;
    frame.microseconds = static_cast<uint32_t>(TimesThousand(milliseconds) % 1000000);
    if (info.interfaceType == IF_ETHERNET) {
        CompleteEthernetFrame(LoadLE32(packet + PacketHeader::kLineLength), stored);
    } else {
        frame.frameLength = frame.capturedLength = static_cast<int32_t>(stored);
    }
    // The chain only moves forward, so a corrupt link cannot loop.
    const uint32_t next = LoadLE32(packet + PacketHeader::kNext);
    if (next > offset) {
        nextOffset_ = next;
    } else {
        backLink_ = next;
    }
    return true;
}

bool ObserverReader::ReadPacket15() {
    using observer::PacketHeader15;
    frame.Reset();
    const int64_t offset = nextOffset_;
    // The last packet links to the end of the file.
    if (offset == 0 || offset == fileSize) {
        return false;
    }
    nextOffset_ = 0;
    uint8_t packet[PacketHeader15::kSize];
    if (!file.Seek(offset) || !ReadPart(packet, sizeof packet, "packet header")) {
        return false;
    }
    const int64_t number = info.framesRead + 1;
    const uint16_t dataOffset = LoadLE16(packet + PacketHeader15::kDataOffset);
    const uint16_t next = LoadLE16(packet + PacketHeader15::kNextOffset);
    const uint16_t stored = LoadLE16(packet + PacketHeader15::kCapturedLength);
    if (dataOffset < PacketHeader15::kSize) {
        return Damaged("the data of frame %" PRId64 " starts at %u, inside its %d-byte header",
                       number, dataOffset, PacketHeader15::kSize);
    }
    if (next < dataOffset + stored) {
        return Damaged("frame %" PRId64 " links to the next packet at %u, inside its %u bytes",
                       number, next, dataOffset + stored);
    }
    if (FrameTooLong(stored)) {
        return TooLong(stored);
    }
    if (offset + dataOffset + stored > fileSize) {
        return CutShort("data", stored, fileSize - offset - dataOffset);
    }
    if (offset + next > fileSize) {
        return Damaged("frame %" PRId64 " links to the next packet at %" PRId64
                       ", past the end of the file",
                       number, offset + next);
    }
    uint8_t* bytes =
        frame.SetData(nullptr, std::max<int32_t>(stored, kEthernetMinFrame) + kEthernetFcsSize);
    if (!file.Seek(offset + dataOffset) || !ReadPart(bytes, stored, "data")) {
        return false;
    }
    TimeOfPacket15(LoadLE64(packet + PacketHeader15::kTimestamp));
    frame.nonData = packet[PacketHeader15::kPacketType] != observer::kPacketData;
    if (info.interfaceType == IF_ETHERNET) {
        CompleteEthernetFrame(LoadLE16(packet + PacketHeader15::kLineLength), stored);
    } else {
        frame.frameLength = frame.capturedLength = stored;
    }
    nextOffset_ = offset + next;
    return true;
}

// Older versions never store the FCS of an Ethernet frame, version 4 leaves
// it out where the line length says so; otherwise the stored bytes end with a
// slot for it.
void ObserverReader::CompleteEthernetFrame(uint32_t lineLength, uint32_t stored) {
    const bool errored = frame.flags & (FRAME_CRC_ERROR | FRAME_ALIGNMENT_ERROR);
    if (!version4_ || int64_t{lineLength} - stored == kEthernetFcsSize) {
        frame.frameLength = frame.capturedLength = static_cast<int32_t>(stored);
        // A frame marked bad keeps its length.
        AddEthernetFcs(frame, errored ? FcsBytes::kZeros : KeptFcs(),
                       errored ? Runts::kAsCaptured : Runts::kPadded);
        return;
    }
    frame.frameLength = static_cast<int32_t>(std::min<uint32_t>(lineLength, INT32_MAX));
    frame.capturedLength = std::min(static_cast<int32_t>(stored), frame.frameLength);
    if (!errored) {
        frame.ExtendRunt(kEthernetMinFrame);
    }
    frame.StoreCrc32(errored ? FcsBytes::kZeros : FcsBytes::kComputed);
}

bool ObserverWriter::SupportsInterface(int, const TraceInfo& info) const {
    return IsObserverInterface(info.interfaceType);
}

bool ObserverWriter::WriteHeader(const TraceInfo&) {
    memset(packet_, 0, sizeof packet_);
    lastPacket_ = 0;
    return ReserveHeader(observer::FileHeader::kSize);
}

bool ObserverWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    using observer::PacketHeader;
    const bool wireless = info.interfaceType == IF_802_11;
    const bool dropFcs = info.interfaceType == IF_ETHERNET || wireless;
    const int32_t stored = dropFcs ? CapturedWithoutFcs(frame) : std::max(frame.capturedLength, 0);
    const int64_t position = file.Tell();
    const int64_t next = position + PacketHeader::kSize +
                         (wireless ? observer::RadioBlock::kSize : 0) + stored +
                         observer::kTrailerSize;
    // The chain holds 32-bit offsets.
    if (frame.frameLength < 0 || !PositionFits(info, next)) {
        return false;
    }
    memset(packet_, 0, sizeof packet_);
    StoreLE32(packet_ + PacketHeader::kMarker, observer::kMarker);
    StoreLE32(packet_ + PacketHeader::kNumber, static_cast<uint32_t>(info.framesWritten));
    StoreLE32(packet_ + PacketHeader::kPrevious, static_cast<uint32_t>(lastPacket_));
    StoreLE32(packet_ + PacketHeader::kNext, static_cast<uint32_t>(next));
    packet_[PacketHeader::kNetworkType] = NetworkOfInterface(info.interfaceType);
    uint32_t flags = 0;
    if (frame.flags & FRAME_CRC_ERROR) {
        flags |= observer::kFlagCrcError;
    }
    if (frame.flags & FRAME_ALIGNMENT_ERROR) {
        flags |= observer::kFlagAlignmentError;
    }
    if (info.interfaceType == IF_ETHERNET && frame.frameLength < kEthernetMinFrame) {
        flags |= observer::kFlagRunt;
    }
    StoreLE32(packet_ + PacketHeader::kFlags, flags);
    // Milliseconds of the UTC day: the reader dates it to the conversion's day.
    StoreLE32(packet_ + PacketHeader::kTimestamp,
              static_cast<uint32_t>(TimesThousand(SecondsOfDay(frame.seconds)) +
                                    DivThousand(frame.microseconds)));
    // 32-bit lengths: every frame a reader hands on.
    StoreLE32(packet_ + PacketHeader::kLineLength, static_cast<uint32_t>(frame.frameLength));
    StoreLE32(packet_ + PacketHeader::kCapturedLength, static_cast<uint32_t>(stored));
    lastPacket_ = position;
    MarkField(packet_, packet_ + PacketHeader::kTimestamp, 4);
    if (!WriteBytes(packet_, sizeof packet_)) {
        return false;
    }
    if (wireless) {
        uint8_t radio[observer::RadioBlock::kSize] = {};
        radio[observer::RadioBlock::kRate] = frame.wlanRate;
        radio[observer::RadioBlock::kChannel] = frame.wlanChannel;
        radio[observer::RadioBlock::kNoise] =
            frame.wlanNoise != 0 ? frame.wlanNoise : frame.wlanSignal;
        radio[observer::RadioBlock::kSignal] = frame.wlanSignal;
        if (!WriteBytes(radio, sizeof radio)) {
            return false;
        }
    }
    return WriteBytes(frame.Bytes(), stored) && file.WriteZeros(observer::kTrailerSize) &&
           file.Flush();
}

// The chain then ends with the last kept packet's link to the end of the file.
void ObserverWriter::ForgetFramesFrom(int64_t position) {
    if (lastPacket_ >= position) {
        lastPacket_ = 0;
    }
}

bool ObserverWriter::FinishFile(const TraceInfo&) {
    using observer::FileHeader;
    if (!file.IsOpen()) {
        return false;
    }
    const int64_t length = file.Tell();
    if (length > UINT32_MAX) {
        return false;
    }
    // The last packet ends the chain.
    if (lastPacket_ != 0) {
        StoreLE32(packet_ + observer::PacketHeader::kNext, 0);
        if (!PatchHeader(packet_, sizeof packet_, lastPacket_)) {
            return false;
        }
    }
    uint8_t header[FileHeader::kSize] = {};
    memcpy(header, observer::kHeaderText, sizeof observer::kHeaderText);
    StoreLE32(header + FileHeader::kFileLength, static_cast<uint32_t>(length));
    return PatchHeader(header, sizeof header);
}

}  // namespace translator
