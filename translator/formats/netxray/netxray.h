#pragma once

#include <cstdint>

#include "engine/trace_reader.h"
#include "engine/trace_writer.h"

namespace translator {

// On-disk layout of SnifferPro/NetXRay capture files; integers little-endian.
namespace netxray {

constexpr char kMagic[3] = {'X', 'C', 'P'};
// Files of this version or later carry the longer record header.
constexpr uint8_t kVersion2[8] = {'0', '0', '2', '.', '0', '0', '0', 0};
constexpr uint8_t kWrittenVersion[8] = {'0', '0', '2', '.', '0', '0', '1', 0};

// File header, 128 bytes.
struct FileHeader {
    static constexpr int kSize = 128;
    static constexpr int kMagic = 0;
    static constexpr int kVersion = 4;
    static constexpr int kStartTime = 12;
    static constexpr int kFrameCount = 16;
    static constexpr int kDataEnd = 20;
    static constexpr int kFirstRecord = 24;
    // Reserved by the format, yet other readers take the end of the data from
    // here; without it they wrap round and read every frame twice.
    static constexpr int kDataEndForOthers = 28;
    static constexpr int kDataEndCopy = 40;
    static constexpr int kNetworkType = 44;
    static constexpr int kTimeMode = 48;
    static constexpr int kTimeOrigin = 52;
    static constexpr int kLineRate = 60;
    static constexpr int kSingleLength = 68;
    static constexpr int kWanEncapsulation = 84;
};

// Record header: 28 bytes, 40 in version 2 files.
struct RecordHeader {
    static constexpr int kSize = 28;
    static constexpr int kVersion2Size = 40;
    static constexpr int kTimeStamp = 0;
    static constexpr int kFrameLength = 8;
    static constexpr int kCapturedLength = 10;
    static constexpr int kStatus = 20;
    static constexpr int kFrameInfo = 24;
    // 802.11 radio values inside the frame info.
    static constexpr int kChannel = 24;
    static constexpr int kRate = 25;
    static constexpr int kSignal = 26;
};

enum NetworkType : uint32_t {
    NET_ETHERNET = 0,
    NET_TOKEN_RING = 1,
    NET_FDDI = 2,
    NET_WAN = 3,
    NET_ATM = 8,
    NET_802_11 = 9,
};

enum WanEncapsulation : uint16_t {
    ENC_PPP = 0,
    ENC_FRAME_RELAY = 4,
    ENC_HDLC_ISDN_PPP = 6,
    ENC_SDLC = 7,
    ENC_X25 = 8,
};

constexpr uint32_t kTimeModeTicks = 2;
constexpr uint32_t kStatusCodeMask = 0x0F;
constexpr uint32_t kStatusOtherDirection = 0x00800000;
constexpr uint32_t kFrameInfoDirection = 0x0001;
constexpr uint32_t kFrameInfoPpp = 0x0108;
constexpr uint32_t kFrameInfoIsdn = 0x1818;
constexpr int32_t kGigabit = 1000000000;

// One tick of the 1.193182 MHz PC timer, in microseconds.
constexpr double TICK_MICROSECONDS = 0.8380953449883128;

// LAN and WAN captures, in both directions.
bool IsNetXRayInterface(const TraceInfo& info);

// The header's line-rate field as bit/s; 0 when it gives none.
int32_t LineRateFromHeader(uint32_t rate);

}  // namespace netxray

class NetXRayReader : public GzTraceReader {
public:
    static constexpr FormatId kFormats[] = {FMT_XR};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Open(const std::string& path) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool ReadNextFrame() override;

    bool ParseHeader(const uint8_t* header);
    void TakeRadioValues(const uint8_t* record);
    void TakeWanMarks(uint32_t frameInfo, uint32_t status);
    void TakeStatus(uint32_t status);
    void SetTime(uint64_t timeStamp);
    bool ReadData(int32_t lineLength, int32_t storedLength);

    int recordHeaderSize_ = netxray::RecordHeader::kVersion2Size;
    bool tickMode_ = false;
    uint64_t timeOrigin_ = 0;  // microseconds, taken modulo 2^64
    bool singleLength_ = false;
    bool scaledSignal_ = false;
};

class NetXRayWriter : public BinaryTraceWriter {
public:
    bool KeepsEthernetFcs() const override { return false; }
    static constexpr FormatId kFormats[] = {FMT_XR};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool WriteHeader(const TraceInfo& info) override;
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override;
    bool FinishFile(const TraceInfo& info) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;
};

}  // namespace translator
