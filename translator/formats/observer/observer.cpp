#include "observer.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstring>
#include <ctime>

#include "common/byte_order.h"
#include "core/checksum.h"
#include "core/ethernet.h"
#include "core/time_base.h"

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
    if (!FileTraceReader::Open(path)) {
        return false;
    }
    uint8_t header[observer::FileHeader::kSize];
    uint8_t packet[observer::PacketHeader::kSize];
    if (!ReadBytes(header, sizeof header) ||
        memcmp(header, observer::kMagic, sizeof observer::kMagic) != 0 ||
        !ReadBytes(packet, sizeof packet)) {
        Close();
        return false;
    }
    dayBase_ = DayBase(static_cast<uint32_t>(time(nullptr)));
    version_ = ObserverVersion(header);
    version4_ = version_ >= observer::kVersion4;
    if (!ParseFirstPacket(packet)) {
        Close();
        return false;
    }
    nextOffset_ = observer::FileHeader::kSize;
    return true;
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

// Older versions never store the FCS of an Ethernet frame, version 4 leaves
// it out where the line length says so; otherwise the stored bytes end with a
// slot for it.
void ObserverReader::CompleteEthernetFrame(uint32_t lineLength, uint32_t stored) {
    const bool errored = frame.flags & (FRAME_CRC_ERROR | FRAME_ALIGNMENT_ERROR);
    if (!version4_ || int64_t{lineLength} - stored == kEthernetFcsSize) {
        frame.frameLength = frame.capturedLength = static_cast<int32_t>(stored);
        // A frame marked bad keeps its length.
        AddEthernetFcs(frame, !errored, !errored);
        return;
    }
    frame.frameLength = static_cast<int32_t>(std::min<uint32_t>(lineLength, INT32_MAX));
    frame.capturedLength = std::min(static_cast<int32_t>(stored), frame.frameLength);
    if (!errored) {
        frame.ExtendRunt(kEthernetMinFrame);
    }
    frame.StoreCrc32(!errored);
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
    const int32_t stored = std::max(frame.capturedLength - (dropFcs ? kEthernetFcsSize : 0), 0);
    const int64_t position = file.Tell();
    const int64_t next = position + PacketHeader::kSize +
                         (wireless ? observer::RadioBlock::kSize : 0) + stored +
                         observer::kTrailerSize;
    if (frame.frameLength < 0 || next > UINT32_MAX) {
        return false;  // the chain holds 32-bit offsets
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
    return WriteBytes(frame.data.get(), stored) && file.WriteZeros(observer::kTrailerSize) &&
           file.Flush();
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
