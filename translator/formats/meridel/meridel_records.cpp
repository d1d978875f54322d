#include "meridel_records.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "engine/time_base.h"

namespace translator {

using namespace byte_order;

namespace {

constexpr size_t kCellSize = 64;
constexpr size_t kCellBytes = 53;
constexpr size_t kLayout1Header = 40;
constexpr size_t kLayout12Header = 36;
constexpr size_t kLayout3Header = 10;
constexpr size_t kLayout3Overhead = 13;  // header and the 3-byte trailer
constexpr uint64_t kTicksPerSecond = 10000000;

constexpr uint8_t kStatusCrc = 0x10;
constexpr uint8_t kStatusWanCrc = 0x02;
constexpr uint8_t kStatusOther = 0x04;

uint64_t LoadTicks(const uint8_t* low, const uint8_t* high) {
    return LoadLE32(low) | (uint64_t{LoadLE16(high)} << 32);
}

void SetTickTime(FrameRecord& frame, uint32_t startTime, uint64_t ticks) {
    frame.seconds = startTime + static_cast<uint32_t>(ticks / kTicksPerSecond);
    frame.microseconds = static_cast<uint32_t>((ticks / 10) % 1000000);
    frame.nanoseconds = static_cast<uint32_t>(ticks % 10) * 100;
}

void SetNanoTime(FrameRecord& frame, TraceInfo& info, const uint8_t* seconds) {
    frame.seconds = LoadLE32(seconds);
    if (info.startTime == 0) {
        info.startTime = frame.seconds;
    }
    const uint32_t nanos = LoadLE32(seconds + 4);
    frame.microseconds = nanos / 1000;
    frame.nanoseconds = nanos % 1000;
}

void SetData(FrameRecord& frame, const uint8_t* data, uint32_t captured, uint32_t wire) {
    frame.SetData(data, static_cast<int32_t>(captured));
    frame.capturedLength = static_cast<int32_t>(captured);
    // Keeps the record's promise that no more bytes are present than were on the line.
    frame.frameLength = static_cast<int32_t>(wire < captured ? captured : wire);
}

ParsedRecord ParseCell(const uint8_t* p, size_t available, const TraceInfo& info,
                       FrameRecord& frame) {
    if (available < kCellSize) {
        return {ParsedRecord::kBlockEnd, 0};
    }
    SetData(frame, p, kCellBytes, kCellBytes);
    SetTickTime(frame, info.startTime, LoadTicks(p + 53, p + 57));
    frame.flags = (p[61] & 0x80) ? FRAME_DIR_LN : FRAME_DIR_EQ;
    return {ParsedRecord::kFrame, kCellSize};
}

ParsedRecord ParseLayout1(const uint8_t* p, size_t available, TraceInfo& info, FrameRecord& frame) {
    if (available < kLayout1Header) {
        return {ParsedRecord::kBlockEnd, 0};
    }
    if (p[0] != 1) {
        frame.nonData = true;
        return {ParsedRecord::kFrame, kLayout1Header};
    }
    const uint32_t captured = LoadLE32(p + 16);
    if (FrameTooLong(captured)) {
        return {ParsedRecord::kTooLong, captured};
    }
    if (available - kLayout1Header < captured) {
        return {ParsedRecord::kBlockEnd, 0};
    }
    const uint8_t status = p[24];
    uint16_t flags = 0;
    if ((info.interfaceType == IF_ETHERNET || info.interfaceType == IF_TOKEN_RING) &&
        (status & kStatusCrc)) {
        flags |= FRAME_CRC_ERROR;
    }
    if (info.wanType != WAN_NONE) {
        if (status & kStatusWanCrc) {
            flags |= FRAME_CRC_ERROR;
        }
        if (status & kStatusOther) {
            flags |= FRAME_OTHER_ERROR;
        }
    }
    flags |= p[1] == 1 ? FRAME_DIR_LN : FRAME_DIR_EQ;
    frame.flags = flags;
    SetNanoTime(frame, info, p + 8);
    SetData(frame, p + kLayout1Header, captured, LoadLE16(p + 20));
    return {ParsedRecord::kFrame, kLayout1Header + captured};
}

ParsedRecord ParseLayout12(const uint8_t* p, size_t available, TraceInfo& info,
                           FrameRecord& frame) {
    if (available < kLayout12Header) {
        return {ParsedRecord::kBlockEnd, 0};
    }
    const uint32_t captured = LoadLE16(p + 14);
    if (available - kLayout12Header < captured) {
        return {ParsedRecord::kBlockEnd, 0};
    }
    const uint8_t status = p[17];
    uint16_t flags = (status & kStatusCrc) ? FRAME_CRC_ERROR : 0;
    // Serial lines in these records (HSSI) mark errors as layout 1 does.
    if (info.wanType != WAN_NONE) {
        if (status & kStatusWanCrc) {
            flags |= FRAME_CRC_ERROR;
        }
        if (status & kStatusOther) {
            flags |= FRAME_OTHER_ERROR;
        }
    }
    frame.flags = flags;
    SetNanoTime(frame, info, p + 20);
    SetData(frame, p + kLayout12Header, captured, LoadLE16(p + 12));
    return {ParsedRecord::kFrame, kLayout12Header + captured};
}

ParsedRecord ParseLayout3(const uint8_t* p, size_t available, const TraceInfo& info,
                          FrameRecord& frame) {
    if (available < 2) {
        return {ParsedRecord::kBlockEnd, 0};
    }
    // A length that cannot hold the record's own header and trailer, or runs
    // past the block, leaves no way to find the next record.
    const size_t total = LoadLE16(p);
    if (total < kLayout3Overhead || total > available) {
        return {ParsedRecord::kBlockEnd, 0};
    }
    const uint32_t captured = static_cast<uint32_t>(total - kLayout3Overhead);
    const uint8_t status = p[2];
    uint16_t flags = (status & 0x10) ? FRAME_DIR_EQ : FRAME_DIR_LN;
    if (status & 0x02) {
        flags |= FRAME_OTHER_ERROR;
    }
    if (status & 0x01) {
        flags |= FRAME_CRC_ERROR;
    }
    frame.flags = flags;
    frame.nonData = (status & 0x0C) != 0;
    SetTickTime(frame, info.startTime, LoadTicks(p + 4, p + 8));
    SetData(frame, p + kLayout3Header, captured, captured);
    return {ParsedRecord::kFrame, total};
}

uint8_t StatusBits(const TraceInfo& info, const FrameRecord& frame) {
    if (frame.flags & FRAME_OTHER_ERROR) {
        return kStatusOther;
    }
    if (frame.flags & FRAME_CRC_ERROR) {
        return info.wanType == WAN_NONE ? kStatusCrc : kStatusWanCrc;
    }
    return 0;
}

// 100 ns ticks since the capture start; false when the frame lies before it
// or beyond what 48 bits can count.
bool TicksOf(const TraceInfo& info, const FrameRecord& frame, uint64_t* ticks) {
    const uint64_t micros = frame.TimestampMicros();
    const uint64_t start = SecondsToMicros(info.startTime);
    if (micros < start || micros - start > uint64_t{kMaxTickOffsetMicros}) {
        return false;
    }
    *ticks = (micros - start) * 10;
    return true;
}

int32_t LineCode(int interfaceType) {
    switch (interfaceType) {
        case IF_ETHERNET:
            return 10;
        case IF_TOKEN_RING:
            return 13;
        case IF_FDDI:
            return 15;
        case IF_WAN:
        case IF_T1:
        case IF_T_SERIES:
        case IF_ATM_T1:
        case IF_ATM_DS1:
            return 3;
        case IF_E3:
        case IF_ATM_E3:
            return 2;
        case IF_E1:
        case IF_E_SERIES:
        case IF_ATM_E1:
            return 4;
        case IF_V_SERIES:
            return 5;
        case IF_ATM:
        case IF_ATM_OC3:
        case IF_ATM_25M:
            return 7;
        case IF_ATM_DS3:
            return 1;
        case IF_HSSI:
            return 16;
        case IF_DDS:
            return 14;
        case IF_OC12:
            return 19;
        default:
            return 0;
    }
}

uint32_t MediaCode(const TraceInfo& info) {
    switch (info.interfaceType) {
        case IF_ETHERNET:
            return info.lineRate == 100000000 ? 7 : 2;
        case IF_TOKEN_RING:
            return info.lineRate == 16000000 ? 4 : 3;
        case IF_FDDI:
            return 6;
        default:
            return 0;
    }
}

struct WanCodes {
    int32_t wanType;
    int32_t fileType;
    int32_t interfaceCode;
};

constexpr WanCodes kWanCodes[] = {
    {WAN_HDLC, 3, 204}, {WAN_SDLC, 3, 205}, {WAN_X25, 2, 303},  {WAN_ISDN, 4, 305},
    {WAN_PPP, 5, 304},  {WAN_LAPB, 4, 202}, {WAN_LAPD, 4, 203}, {WAN_FRAME_RELAY, 1, 400},
};

int32_t AtmInterface(int32_t lineCode) {
    switch (lineCode) {
        case 1:
            return IF_ATM_DS3;
        case 2:
            return IF_ATM_E3;
        case 3:
            return IF_ATM_T1;
        case 4:
            return IF_ATM_E1;
        case 7:
            return IF_ATM_OC3;
        default:
            // Unknown line codes keep the interface a fresh TraceInfo has.
            return lineCode < 26 ? IF_ATM : IF_UNKNOWN;
    }
}

int32_t LineInterface(int32_t lineCode, bool atmFile) {
    switch (lineCode) {
        case 1:
            return atmFile ? IF_ATM_DS3 : IF_DS3;
        case 2:
            return atmFile ? IF_ATM_E3 : IF_E3;
        case 3:
        case 24:
            return IF_T1;
        case 4:
        case 25:
            return atmFile ? IF_ATM_E1 : IF_E1;
        case 5:
        case 22:
            return IF_V_SERIES;
        case 7:
            return IF_ATM_OC3;
        case 10:
        case 11:
        case 12:
            return IF_ETHERNET;
        case 13:
            return IF_TOKEN_RING;
        case 14:
            return IF_DDS;
        case 15:
            return IF_FDDI;
        case 16:
            return IF_HSSI;
        case 19:
            return IF_OC12;
        case 21:
            return IF_STM1E;
        default:
            return IF_WAN;
    }
}

int32_t WanTypeOf(int32_t fileType, int32_t code) {
    if (fileType == 1 || code == 400) {
        return WAN_FRAME_RELAY;
    }
    if (fileType == 2 || code == 303) {
        return WAN_X25;
    }
    if (fileType == 3 || code == 204) {
        return WAN_HDLC;
    }
    if (code == 205) {
        return WAN_SDLC;
    }
    if (fileType == 4 || code == 305) {
        return WAN_ISDN;
    }
    if (code == 202) {
        return WAN_LAPB;
    }
    if (code == 203) {
        return WAN_LAPD;
    }
    if (fileType == 5 || code == 304 || code == 206 || code == 207) {
        return WAN_PPP;
    }
    return WAN_NONE;
}

}  // namespace

MeridelRecord RecordShapeFor(int formatId, const TraceInfo& info) {
    // Every ATM interface is written as cells: the library cuts the frame
    // stream of ATM files into 64-byte units whatever the records hold.
    if (formatId == FMT_OS && IsAtm(info)) {
        return MeridelRecord::kCell;
    }
    if (formatId == FMT_TL) {
        return MeridelRecord::kLayout1;
    }
    // Ostrel HSSI files are of the LAN file type, whose records the library
    // cuts as layout 12.
    if (IsLanGroup(info) || (formatId == FMT_OS && info.interfaceType == IF_HSSI)) {
        return MeridelRecord::kLayout12;
    }
    return MeridelRecord::kLayout3;
}

ParsedRecord ParseRecord(MeridelRecord shape, const uint8_t* record, size_t available,
                         TraceInfo& info, FrameRecord& frame) {
    switch (shape) {
        case MeridelRecord::kCell:
            return ParseCell(record, available, info, frame);
        case MeridelRecord::kLayout1:
            return ParseLayout1(record, available, info, frame);
        case MeridelRecord::kLayout12:
            return ParseLayout12(record, available, info, frame);
        case MeridelRecord::kLayout3:
            break;
    }
    return ParseLayout3(record, available, info, frame);
}

int64_t MaxRecordedLength(MeridelRecord shape) {
    switch (shape) {
        case MeridelRecord::kCell:
            return INT64_MAX;
        case MeridelRecord::kLayout1:
        case MeridelRecord::kLayout12:
            return UINT16_MAX;
        case MeridelRecord::kLayout3:
            break;
    }
    return UINT16_MAX - kLayout3Overhead;
}

bool BuildRecord(MeridelRecord shape, const TraceInfo& info, const FrameRecord& frame,
                 std::vector<uint8_t>& out) {
    const uint32_t captured =
        static_cast<uint32_t>(frame.capturedLength < 0 ? 0 : frame.capturedLength);
    const uint8_t* data = frame.Bytes();
    const uint32_t frameNumber = static_cast<uint32_t>(info.framesRead);
    const uint32_t nanos = frame.microseconds * 1000 + frame.nanoseconds;
    uint64_t ticks = 0;
    switch (shape) {
        case MeridelRecord::kCell: {
            if (!TicksOf(info, frame, &ticks)) {
                return false;
            }
            out.assign(kCellSize, 0);
            if (data != nullptr) {
                memcpy(out.data(), data, captured < kCellBytes ? captured : kCellBytes);
            }
            StoreLE32(&out[53], static_cast<uint32_t>(ticks));
            StoreLE16(&out[57], static_cast<uint16_t>(ticks >> 32));
            out[61] = (frame.flags & FRAME_DIR_LN) ? 0x80 : 0;
            return true;
        }
        case MeridelRecord::kLayout1: {
            if (frame.frameLength < 0 || captured > UINT16_MAX) {
                return false;
            }
            out.assign(kLayout1Header + captured, 0);
            out[0] = 1;
            out[1] = (frame.flags & FRAME_DIR_LN) ? 1 : 2;
            StoreLE32(&out[4], frameNumber);
            StoreLE32(&out[8], frame.seconds);
            StoreLE32(&out[12], nanos);
            StoreLE32(&out[16], captured);
            // Readers take the wire length from its low 16 bits.
            StoreLE32(&out[20],
                      static_cast<uint32_t>(std::min<int32_t>(frame.frameLength, UINT16_MAX)));
            StoreLE32(&out[24], StatusBits(info, frame));
            out[36] = IsAtm(info) ? 1 : 0;
            if (captured > 0) {
                memcpy(&out[kLayout1Header], data, captured);
            }
            return true;
        }
        case MeridelRecord::kLayout12: {
            if (frame.frameLength < 0 || captured > UINT16_MAX) {
                return false;
            }
            out.assign(kLayout12Header + captured, 0);
            StoreLE32(&out[4], frameNumber);
            StoreLE16(&out[12],
                      static_cast<uint16_t>(std::min<int32_t>(frame.frameLength, UINT16_MAX)));
            StoreLE16(&out[14], static_cast<uint16_t>(captured));
            out[17] = StatusBits(info, frame);
            out[18] = info.interfaceType == IF_ETHERNET ? 0x40 : 0;
            StoreLE32(&out[20], frame.seconds);
            StoreLE32(&out[24], nanos);
            if (captured > 0) {
                memcpy(&out[kLayout12Header], data, captured);
            }
            return true;
        }
        case MeridelRecord::kLayout3:
            break;
    }
    const uint32_t total = captured + kLayout3Overhead;
    if (total > 0xFFFF || !TicksOf(info, frame, &ticks)) {
        return false;
    }
    uint8_t status = 0;
    if (frame.flags & FRAME_OTHER_ERROR) {
        status |= 0x02;
    } else if (frame.flags & FRAME_CRC_ERROR) {
        status |= 0x01;
    }
    if (frame.flags & FRAME_DIR_EQ) {
        status |= 0x10;
    }
    out.assign(total, 0);
    StoreLE16(&out[0], static_cast<uint16_t>(total));
    out[2] = status;
    StoreLE32(&out[4], static_cast<uint32_t>(ticks));
    StoreLE16(&out[8], static_cast<uint16_t>(ticks >> 32));
    if (captured > 0) {
        memcpy(&out[kLayout3Header], data, captured);
    }
    StoreLE16(&out[total - 3], static_cast<uint16_t>(total));
    out[total - 1] = status;
    return true;
}

bool ConfigToTraceInfo(const FileConfigInfo& config, TraceInfo& info) {
    if (config.fileKind == 3) {
        info.format = FMT_OS;
    } else if (config.fileKind == 0) {
        info.format = FMT_TL;
    } else {
        return false;
    }
    if (config.interfaceCode == 200) {
        info.interfaceType = AtmInterface(config.lineCode);
    } else {
        info.interfaceType = LineInterface(config.lineCode, config.fileType == 7);
        info.wanType = WanTypeOf(config.fileType, config.interfaceCode);
    }
    info.lineRate = DefaultLineRate(info.interfaceType, static_cast<int32_t>(config.lineRate));
    memcpy(info.comment, config.description,
           strnlen(config.description, sizeof config.description));
    info.startTime = config.startTime;
    return true;
}

void TraceInfoToConfig(const TraceInfo& info, int formatId, int32_t sliceBytes, bool slice,
                       FileConfigInfo& config, uint8_t* extension) {
    memset(&config, 0, sizeof config);
    const bool ostrel = formatId == FMT_OS;
    config.fileKind = ostrel ? 3 : 0;
    if (ostrel) {
        if (IsLanGroup(info)) {
            config.fileType = 8;
        } else if (IsAtm(info)) {
            config.fileType = 7;
            config.interfaceCode = 200;
        }
    } else {
        config.fileType = 8;
        config.interfaceCode = IsLanGroup(info) ? 401 : IsAtm(info) ? 200 : 0;
    }
    for (const auto& wan : kWanCodes) {
        if (wan.wanType == info.wanType) {
            if (ostrel) {
                config.fileType = wan.fileType;
            }
            config.interfaceCode = wan.interfaceCode;
        }
    }
    if (ostrel && info.interfaceType == IF_HSSI) {
        config.fileType = 8;
    }
    config.lineCode = LineCode(info.interfaceType);
    if (!ostrel && (info.interfaceType == IF_HSSI || info.interfaceType == IF_DDS ||
                    info.interfaceType == IF_OC12)) {
        config.lineCode = 0;
    }
    config.lineRate = static_cast<uint32_t>(info.lineRate);
    config.startTime = info.startTime;
    snprintf(config.description, sizeof config.description, "Converted From %s",
             FormatName(info.format));

    memset(extension, 0, kMeridelExtensionSize);
    StoreLE32(extension, 1);
    StoreLE32(extension + 4, info.startTime);
    StoreLE32(extension + 12, 0x8000);
    StoreLE32(extension + 16, MediaCode(info));
    StoreLE32(extension + 20, static_cast<uint32_t>(slice ? sliceBytes : info.maxTruncatedLength));
    StoreLE32(extension + 24, 0x2000000);
    StoreLE32(extension + 28, 1);
    config.extensionLength = kMeridelExtensionSize;
    config.extension = extension;
}

}  // namespace translator
