#include "netxray.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "engine/ethernet.h"
#include "engine/time_base.h"

namespace translator {

using namespace byte_order;

namespace netxray {

int32_t LineRateFromHeader(uint32_t rate) {
    if (rate > 1000000000u) {
        return 10000000;
    }
    if (rate >= 10000u || rate % 12 == 0) {
        return static_cast<int32_t>(rate);
    }
    // Small values other than the serial rates are megabit/s.
    return static_cast<int32_t>(std::min<int64_t>(int64_t{rate} * 1000000, INT32_MAX));
}

namespace {

struct NetworkRow {
    uint32_t networkType;
    int32_t interfaceType;
};

constexpr NetworkRow kReadNetworks[] = {
    {NET_ETHERNET, IF_ETHERNET}, {NET_TOKEN_RING, IF_TOKEN_RING},
    {NET_FDDI, IF_FDDI},         {NET_802_11, IF_802_11},
    {NET_WAN, IF_WAN},
};

struct WanRow {
    uint16_t encapsulation;
    int32_t wanType;
};

constexpr WanRow kReadWans[] = {
    {ENC_PPP, WAN_PPP},
    {ENC_FRAME_RELAY, WAN_FRAME_RELAY},
    {ENC_HDLC_ISDN_PPP, WAN_ISDN},
    {ENC_SDLC, WAN_SDLC},
    {ENC_X25, WAN_X25},
};

uint32_t NetworkTypeFor(const TraceInfo& info) {
    const int type = info.interfaceType;
    if (type == IF_ETHERNET)
        return NET_ETHERNET;
    if (type == IF_802_11)
        return NET_802_11;
    if (type == IF_TOKEN_RING)
        return NET_TOKEN_RING;
    if (type == IF_FDDI)
        return NET_FDDI;
    if (IsWanFamily(info))
        return NET_WAN;
    if (IsAtm(info))
        return NET_ATM;
    return NET_ETHERNET;
}

uint16_t EncapsulationFor(int wanType) {
    switch (wanType) {
        case WAN_FRAME_RELAY:
            return ENC_FRAME_RELAY;
        case WAN_HDLC:
        case WAN_ISDN:
        case WAN_PPP:
            return ENC_HDLC_ISDN_PPP;
        case WAN_X25:
            return ENC_X25;
        default:
            return 0;
    }
}

// Truncates like the PC-timer arithmetic of the format; never above 2^64.
uint64_t TicksToMicros(uint64_t ticks) {
    return static_cast<uint64_t>(static_cast<double>(ticks) * TICK_MICROSECONDS);
}

}  // namespace
}  // namespace netxray

bool netxray::IsNetXRayInterface(const TraceInfo& info) {
    return IsLanGroup(info) || IsWanFamily(info);
}

bool NetXRayReader::SupportsInterface(int, const TraceInfo& info) const {
    return netxray::IsNetXRayInterface(info);
}

bool NetXRayReader::Open(const std::string& path) {
    using netxray::FileHeader;
    Close();
    info.Reset();
    scaledSignal_ = false;
    if (!OpenFile(path)) {
        return false;
    }
    uint8_t header[FileHeader::kSize];
    if (!file.Read(header, sizeof header) || !ParseHeader(header)) {
        Close();
        return false;
    }
    // Encapsulation 6 stands for several WAN types; the first record tells which.
    const bool probe =
        info.interfaceType == IF_WAN &&
        LoadLE16(header + FileHeader::kWanEncapsulation) == netxray::ENC_HDLC_ISDN_PPP;
    if ((probe && !ReadFrame()) || !file.Seek(LoadLE32(header + FileHeader::kFirstRecord))) {
        Close();
        return false;
    }
    return true;
}

bool NetXRayReader::ParseHeader(const uint8_t* header) {
    using namespace netxray;
    if (memcmp(header + FileHeader::kMagic, kMagic, sizeof kMagic) != 0) {
        return false;
    }
    recordHeaderSize_ = memcmp(header + FileHeader::kVersion, kVersion2, sizeof kVersion2) >= 0
                            ? RecordHeader::kVersion2Size
                            : RecordHeader::kSize;
    info.format = FMT_XR;
    info.startTime = LoadLE32(header + FileHeader::kStartTime);

    const uint32_t network = LoadLE32(header + FileHeader::kNetworkType);
    const auto row = std::find_if(std::begin(kReadNetworks), std::end(kReadNetworks),
                                  [&](const NetworkRow& r) { return r.networkType == network; });
    if (row == std::end(kReadNetworks)) {
        return false;
    }
    info.interfaceType = row->interfaceType;
    if (network == NET_WAN) {
        const uint16_t encapsulation = LoadLE16(header + FileHeader::kWanEncapsulation);
        for (const WanRow& wan : kReadWans) {
            if (wan.encapsulation == encapsulation) {
                info.wanType = wan.wanType;
            }
        }
    }
    info.lineRate = DefaultLineRate(info.interfaceType,
                                    LineRateFromHeader(LoadLE32(header + FileHeader::kLineRate)));

    const uint64_t origin = LoadLE64(header + FileHeader::kTimeOrigin);
    tickMode_ = LoadLE32(header + FileHeader::kTimeMode) == kTimeModeTicks;
    if (tickMode_) {
        timeOrigin_ = info.lineRate == kGigabit ? 0 : TicksToMicros(origin);
    } else {
        timeOrigin_ = origin;
    }
    singleLength_ = LoadLE32(header + FileHeader::kSingleLength) != 0;
    info.totalFrames = LoadLE32(header + FileHeader::kFrameCount);
    return true;
}

bool NetXRayReader::ReadNextFrame() {
    using netxray::RecordHeader;
    if (info.framesRead >= info.totalFrames) {
        return false;
    }
    uint8_t record[RecordHeader::kVersion2Size];
    if (!ReadPart(record, static_cast<size_t>(recordHeaderSize_), "record header")) {
        return false;
    }
    frame.Reset();
    const uint32_t status = LoadLE32(record + RecordHeader::kStatus) & netxray::kStatusCodeMask;
    if (info.interfaceType == IF_802_11) {
        TakeRadioValues(record);
    }
    if (info.wanType != WAN_NONE) {
        TakeWanMarks(LoadLE32(record + RecordHeader::kFrameInfo), status);
    }
    TakeStatus(status);
    SetTime(LoadLE64(record + RecordHeader::kTimeStamp));
    return ReadData(LoadLE16(record + RecordHeader::kFrameLength),
                    LoadLE16(record + RecordHeader::kCapturedLength));
}

void NetXRayReader::TakeRadioValues(const uint8_t* record) {
    using netxray::RecordHeader;
    frame.wlanRate = record[RecordHeader::kRate];
    frame.wlanChannel = record[RecordHeader::kChannel];
    const uint8_t signal = record[RecordHeader::kSignal];
    // Once a record shows the scaled form, the whole file uses it.
    if (!scaledSignal_ && record[RecordHeader::kChannel] <= 100) {
        frame.wlanSignal = signal;
    } else {
        frame.wlanSignal = static_cast<uint8_t>(signal * 100 / 128);
        scaledSignal_ = true;
    }
    frame.wlanNoise = 0;
}

void NetXRayReader::TakeWanMarks(uint32_t frameInfo, uint32_t status) {
    const uint32_t marks = frameInfo & ~netxray::kFrameInfoDirection;
    if (marks == netxray::kFrameInfoPpp) {
        info.wanType = WAN_PPP;
    } else if (marks == netxray::kFrameInfoIsdn) {
        info.wanType = WAN_ISDN;
    }
    frame.flags |= (frameInfo & netxray::kFrameInfoDirection) ? FRAME_DIR_EQ : FRAME_DIR_LN;
    if (status == 1) {
        frame.flags |= FRAME_CRC_ERROR;
    } else if (status == 2) {
        frame.flags |= FRAME_OTHER_ERROR;
    }
}

void NetXRayReader::TakeStatus(uint32_t status) {
    if (status == 1 || status == 4 || status == 6) {
        frame.flags |= FRAME_CRC_ERROR;
    } else if (status == 7) {
        frame.flags = FRAME_ALIGNMENT_ERROR;
    }
}

void NetXRayReader::SetTime(uint64_t timeStamp) {
    uint64_t t;
    if (!tickMode_) {
        t = timeOrigin_ + timeStamp;
    } else if (info.lineRate == netxray::kGigabit) {
        t = timeStamp * 32 / 1000;  // 32 ns ticks
    } else {
        t = timeOrigin_ + netxray::TicksToMicros(timeStamp);
    }
    // Taken as signed, so that frames stamped before the capture start keep their time.
    const auto offset = static_cast<int64_t>(t);
    int64_t seconds = offset / 1000000;
    int64_t micros = offset % 1000000;
    if (micros < 0) {
        micros += 1000000;
        seconds -= 1;
    }
    frame.seconds = info.startTime + static_cast<uint32_t>(seconds);
    frame.microseconds = static_cast<uint32_t>(micros);
}

bool NetXRayReader::ReadData(int32_t lineLength, int32_t storedLength) {
    int32_t count = storedLength;
    // Ethernet records leave the FCS out unless they keep one length only.
    const bool addFcs = info.interfaceType == IF_ETHERNET && !singleLength_;
    if (singleLength_) {
        // Only the line length is valid, and the record stores all of it.
        frame.frameLength = frame.capturedLength = count = lineLength;
    } else {
        // The line length can be no shorter than what was stored of it.
        lineLength = std::max(lineLength, storedLength);
        const bool whole = storedLength == lineLength;
        if (addFcs) {
            frame.frameLength = lineLength;
            frame.capturedLength = storedLength;
        } else if (info.wanType == WAN_NONE) {
            frame.frameLength = lineLength + 4;
            frame.capturedLength = whole ? storedLength + 4 : storedLength;
        } else {
            const bool other = frame.flags & FRAME_OTHER_ERROR;
            frame.frameLength = other ? lineLength : lineLength + 2;
            frame.capturedLength = whole && !other ? storedLength + 2 : storedLength;
        }
    }
    // Lent from the input buffer where only an FCS that the destination
    // leaves out is added to the bytes.
    const bool lendable = addFcs && KeptFcs() == FcsBytes::kZeros;
    const uint8_t* lent = lendable ? file.Borrow(static_cast<size_t>(count)) : nullptr;
    if (lent != nullptr) {
        frame.Lend(lent);
    } else {
        uint8_t* bytes = frame.SetData(nullptr, count + 64);
        if (!ReadPart(bytes, static_cast<size_t>(count), "data")) {
            return false;
        }
    }
    if (addFcs) {
        // Runts stay as the capture stored them.
        const bool good = !(frame.flags & FRAME_CRC_ERROR);
        AddEthernetFcs(frame, good ? KeptFcs() : FcsBytes::kZeros, Runts::kAsCaptured);
    } else if (frame.frameLength == frame.capturedLength) {
        if (info.interfaceType == IF_ETHERNET) {
            frame.StoreCrc32(frame.flags & FRAME_CRC_ERROR ? FcsBytes::kZeros
                                                           : FcsBytes::kComputed);
        } else if (info.wanType != WAN_NONE && !(frame.flags & FRAME_OTHER_ERROR)) {
            frame.StoreFcs16(frame.flags & FRAME_CRC_ERROR ? FcsBytes::kZeros
                                                           : FcsBytes::kComputed);
        } else if (info.wanType == WAN_NONE) {
            // Token Ring, FDDI and 802.11 get their FCS room zeroed, never the
            // bytes of an earlier frame.
            frame.StoreCrc32(FcsBytes::kZeros);
        }
    }
    return true;
}

bool NetXRayWriter::SupportsInterface(int, const TraceInfo& info) const {
    return netxray::IsNetXRayInterface(info);
}

bool NetXRayWriter::WriteHeader(const TraceInfo&) {
    return ReserveHeader(netxray::FileHeader::kSize);
}

bool NetXRayWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    using netxray::RecordHeader;
    // The FCS travels inside the frame but is not stored; a truncated frame
    // never reached it, so only its line length loses those bytes.
    int32_t fcsSize = 0;
    if (info.interfaceType == IF_ETHERNET || info.interfaceType == IF_802_11) {
        fcsSize = 4;
    } else if (info.wanType != WAN_NONE && frame.frameLength > 2 &&
               !(frame.flags & FRAME_OTHER_ERROR)) {
        fcsSize = 2;
    }
    const int32_t lineLength = std::max(frame.frameLength - fcsSize, 0);
    const int32_t storedLength = std::clamp(frame.capturedLength, 0, lineLength);
    // Both lengths are 16-bit: 0 to 65535 bytes. A cut frame longer on the
    // line keeps the largest line length, so it still reads back as cut.
    // Microseconds from the start, which other readers take as unsigned: a
    // frame before the first cannot be stored.
    const int64_t timeStamp =
        (int64_t{frame.seconds} - info.startTime) * 1000000 + frame.microseconds;
    if (!LengthFits(format, info, storedLength, UINT16_MAX) ||
        !OffsetFits(format, info, timeStamp, INT64_MAX) ||
        !PositionFits(info, file.Tell() + RecordHeader::kVersion2Size + storedLength)) {
        return false;
    }

    uint8_t record[RecordHeader::kVersion2Size] = {};
    StoreLE64(record + RecordHeader::kTimeStamp, static_cast<uint64_t>(timeStamp));
    StoreLE16(record + RecordHeader::kFrameLength,
              static_cast<uint16_t>(std::min<int32_t>(lineLength, UINT16_MAX)));
    StoreLE16(record + RecordHeader::kCapturedLength, static_cast<uint16_t>(storedLength));

    uint32_t status = 0;
    if (frame.flags & FRAME_CRC_ERROR)
        status |= 0x1;
    if (frame.flags & FRAME_OTHER_ERROR)
        status |= 0x2;
    if (frame.flags & FRAME_DIR_EQ)
        status = netxray::kStatusOtherDirection;
    StoreLE32(record + RecordHeader::kStatus, status);

    if (info.interfaceType == IF_802_11) {
        record[RecordHeader::kChannel] = frame.wlanChannel;
        record[RecordHeader::kRate] = frame.wlanRate;
        // Stored scaled to 128; percentages above 100 would not fit the byte.
        record[RecordHeader::kSignal] =
            static_cast<uint8_t>(std::min(std::floor(frame.wlanSignal * 1.28 + 0.5), 255.0));
    }
    if (frame.flags & FRAME_DIR_EQ)
        record[RecordHeader::kFrameInfo] |= netxray::kFrameInfoDirection;
    // Encapsulation 6 covers ISDN and PPP alike: the mark tells the reader which.
    const uint32_t wanMark = info.wanType == WAN_ISDN  ? netxray::kFrameInfoIsdn
                             : info.wanType == WAN_PPP ? netxray::kFrameInfoPpp
                                                       : 0;
    StoreLE32(record + RecordHeader::kFrameInfo,
              LoadLE32(record + RecordHeader::kFrameInfo) | wanMark);

    MarkField(record, record + RecordHeader::kTimeStamp, 8);
    return WriteBytes(record, sizeof record) && WriteBytes(frame.Bytes(), storedLength) &&
           file.Flush();
}

bool NetXRayWriter::FinishFile(const TraceInfo& info) {
    using netxray::FileHeader;
    if (!file.IsOpen()) {
        return false;
    }
    const auto end = static_cast<uint32_t>(file.Tell());
    const uint32_t network = netxray::NetworkTypeFor(info);
    uint8_t header[FileHeader::kSize] = {};
    memcpy(header + FileHeader::kMagic, netxray::kMagic, sizeof netxray::kMagic);
    memcpy(header + FileHeader::kVersion, netxray::kWrittenVersion,
           sizeof netxray::kWrittenVersion);
    StoreLE32(header + FileHeader::kStartTime, info.startTime);
    StoreLE32(header + FileHeader::kFrameCount, static_cast<uint32_t>(info.framesWritten));
    StoreLE32(header + FileHeader::kDataEnd, end);
    StoreLE32(header + FileHeader::kFirstRecord, FileHeader::kSize);
    StoreLE32(header + FileHeader::kDataEndForOthers, end);
    StoreLE32(header + FileHeader::kDataEndCopy, end);
    StoreLE32(header + FileHeader::kNetworkType, network);
    StoreLE32(header + FileHeader::kLineRate, static_cast<uint32_t>(info.lineRate));
    if (network == netxray::NET_WAN) {
        StoreLE16(header + FileHeader::kWanEncapsulation, netxray::EncapsulationFor(info.wanType));
    }
    return PatchHeader(header, sizeof header);
}

}  // namespace translator
