#pragma once

#include <cstdint>

#include "engine/trace_reader.h"
#include "engine/trace_writer.h"

namespace translator {

// On-disk layout of Observer packet buffer files (little-endian): a text
// header, then a chain of packets each pointing to the next.
namespace observer {

constexpr char kMagic[8] = {'O', 'b', 's', 'e', 'r', 'v', 'e', 'r'};
// The header text the writer puts at the start of the file.
constexpr char kHeaderText[] =
    "ObserverPktBufferVersion=4.00LocalAddressTable\\Local Address Table.adr";

// File header, 113 bytes.
struct FileHeader {
    static constexpr int kSize = 113;
    static constexpr int kVersionSearch = 112;  // the '=' is looked for in these bytes
    static constexpr int kFileLength = 109;
};

// Packet header, 44 bytes, before the radio block (802.11) and the frame bytes.
struct PacketHeader {
    static constexpr int kSize = 44;
    static constexpr int kMarker = 0;
    static constexpr int kNumber = 4;
    static constexpr int kPrevious = 8;
    static constexpr int kNext = 12;
    static constexpr int kNetworkType = 20;
    static constexpr int kLineLength = 28;
    static constexpr int kFlags = 32;
    static constexpr int kTimestamp = 36;  // milliseconds since midnight
    static constexpr int kCapturedLength = 40;
};

// Radio block of 802.11 packets, 8 bytes.
struct RadioBlock {
    static constexpr int kSize = 8;
    static constexpr int kRate = 2;
    static constexpr int kChannel = 3;
    static constexpr int kNoise = 4;
    static constexpr int kSignal = 5;
};

constexpr uint32_t kMarker = 0x88888888u;
constexpr int kTrailerSize = 4;  // zero bytes behind the frame bytes

enum NetworkType : uint8_t {
    kNetEthernet = 0,
    kNetTokenRing = 1,
    kNetFddi = 2,
    kNet80211 = 9,
};

enum PacketFlags : uint32_t {
    kFlagAlignmentError = 0x1,
    kFlagCrcError = 0x2,
    kFlagRunt = 0x4,
};

constexpr int kVersion4 = 4;
constexpr int kVersion15 = 15;

// Version 15 replaces the fixed header by the version text, the offset of the
// first packet and information elements (TLVs); packets carry their own offsets
// and a date.
struct FileHeader15 {
    static constexpr int kSize = 36;
    static constexpr int kFirstPacketHigh = 31;  // bits 16..23 of the offset
    static constexpr int kFirstPacket = 32;      // u16, bits 0..15
    static constexpr int kTlvCount = 35;
};

// Information element: u16 type, u16 length counting this head, the value.
struct Tlv {
    static constexpr int kHeadSize = 4;
    static constexpr int kType = 0;
    static constexpr int kLength = 2;
};

constexpr uint16_t kTlvTimeInfo = 4;
// The time format, the element's last four bytes: 0 local time, 1 UTC.
constexpr uint32_t kTimeLocal = 0;

struct PacketHeader15 {
    static constexpr int kSize = 48;
    static constexpr int kCapturedLength = 8;  // u16
    static constexpr int kLineLength = 10;     // u16, with the FCS on Ethernet
    static constexpr int kDataOffset = 12;     // u16, from the packet start
    static constexpr int kNextOffset = 14;     // u16, from the packet start
    static constexpr int kNetworkType = 16;
    static constexpr int kPacketType = 19;
    static constexpr int kTimestamp = 40;  // u64, nanoseconds since 2000-01-01
};

constexpr uint8_t kPacketData = 0;  // other packet types carry no frame
constexpr uint32_t kSeconds1970To2000 = 946684800u;

}  // namespace observer

class ObserverReader : public FileTraceReader {
public:
    static constexpr FormatId kFormats[] = {FMT_OB};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Open(const std::string& path) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool ReadNextFrame() override;

    bool ParseFirstPacket(const uint8_t* packet);
    bool OpenVersion15(const uint8_t* header);
    bool ReadsLocalTime(const uint8_t* header, uint32_t firstPacket);
    bool ReadPacket15();
    void TimeOfPacket15(uint64_t nanoseconds);
    void CompleteEthernetFrame(uint32_t lineLength, uint32_t stored);

    int64_t nextOffset_ = 0;  // 0: the chain has ended
    uint32_t backLink_ = 0;   // a link of the last packet that points back
    int version_ = 0;
    bool version4_ = false;
    bool localTime_ = false;  // version 15 packet times are local, not UTC
    uint32_t dayBase_ = 0;
    uint32_t now_ = 0;  // the conversion's clock, taken at Open
};

class ObserverWriter : public BinaryTraceWriter {
public:
    bool KeepsEthernetFcs() const override { return false; }
    static constexpr FormatId kFormats[] = {FMT_OB};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool WriteHeader(const TraceInfo& info) override;
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override;
    bool FinishFile(const TraceInfo& info) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;
    void ForgetFramesFrom(int64_t position) override;

private:
    uint8_t packet_[observer::PacketHeader::kSize] = {};
    int64_t lastPacket_ = 0;  // offset of the last packet header written; 0: none
};

// The version number after the first '=' of the header text; 0 without one.
int ObserverVersion(const uint8_t* header);

}  // namespace translator
