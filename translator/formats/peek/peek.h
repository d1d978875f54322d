#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/trace_reader.h"
#include "engine/trace_writer.h"

namespace translator {

// On-disk layout of the Peek family: versions 6 and 7 (big-endian header and
// fixed records) and version 9 (tagged sections and packets, little-endian).
namespace peek {

// Version 6 and 7 file header, 50 bytes.
struct FileHeader {
    static constexpr int kSize = 50;
    static constexpr int kVersion = 0;
    static constexpr int kFileLength = 2;
    static constexpr int kPacketCount = 6;
    static constexpr int kCaptureDate = 10;
    static constexpr int kStartTime = 14;
    static constexpr int kStopTime = 18;
    static constexpr int kMediaType = 22;
    static constexpr int kPhysicalMedium = 26;
    static constexpr int kAppVersion = 30;
    static constexpr int kLineRate = 34;
};

struct RecordV6 {
    static constexpr int kSize = 26;
    static constexpr int kFrameLength = 0;
    static constexpr int kCapturedLength = 2;
    static constexpr int kFlags = 4;
    static constexpr int kTimeStamp = 6;
};

struct RecordV7 {
    static constexpr int kSize = 16;
    static constexpr int kProtocol = 0;
    static constexpr int kFrameLength = 2;
    static constexpr int kSliceLength = 4;
    static constexpr int kFlags = 6;
    static constexpr int kStatus = 7;
    static constexpr int kTimeStamp = 8;
};

// rate, channel, signal, noise: before the bytes of an 802.11 packet.
constexpr int kRadioSize = 4;

// Version 9 section header, 12 bytes.
struct SectionHeader {
    static constexpr int kSize = 12;
    static constexpr int kTag = 0;
    static constexpr int kLength = 4;
    static constexpr int kFlags = 8;
};
constexpr uint32_t kSectionFlags = 512;
constexpr char kVersionTag[4] = {0x7F, 'v', 'e', 'r'};
constexpr char kSessionTag[4] = {'s', 'e', 's', 's'};
constexpr char kPacketsTag[4] = {'p', 'k', 't', 's'};

enum PacketFlags : uint8_t {
    FLAG_CRC_ERROR = 0x02,
    FLAG_ALIGNMENT_ERROR = 0x04,
    FLAG_OVERSIZE = 0x10,
    FLAG_RUNT = 0x20,
    FLAG_SNAP = 0x80,
};

// Version 9 packet tags.
enum PacketTag : uint16_t {
    TAG_FRAME_LENGTH = 0,
    TAG_TIME_LOW = 1,
    TAG_TIME_HIGH = 2,
    TAG_FLAGS_STATUS = 3,
    TAG_CHANNEL = 4,
    TAG_RATE = 5,
    TAG_SIGNAL = 6,
    TAG_LAST_IGNORED = 10,
    TAG_ENCAPSULATION = 11,
    TAG_DIRECTION = 12,
    TAG_CAPTURED_LENGTH = 0xFFFF,
};

enum Encapsulation : uint32_t {
    ENC_HDLC_PPP = 16,
    ENC_FRAME_RELAY = 35,
    ENC_X25 = 37,
    ENC_ISDN = 49,
    ENC_OTHER = 2,
};

constexpr int kVersion6 = 6;
constexpr int kVersion7 = 7;
constexpr int kVersion9 = 9;
constexpr uint8_t kVersion9FirstByte = 0x7F;
// The written packet count keeps eight characters so that the session
// section keeps its length when it is rewritten.
constexpr int64_t kMaxVersion9Packets = 99999999;

// Values of the version 9 session section.
struct Session {
    int32_t mediaType = 0;
    int32_t subType = 0;
    int32_t timeZoneBias = 0;  // minutes west of UTC
    int32_t linkSpeed = 0;
};

// The link types each format of the family reads and writes.
bool FamilySupports(int formatId, const TraceInfo& info);

// The value after tag in text, as "%d" reads it: 0 when it does not parse;
// false when the tag is missing.
bool FindTagValue(std::string_view text, std::string_view tag, int32_t* value);

}  // namespace peek

class PeekReader : public GzTraceReader {
public:
    static constexpr FormatId kFormats[] = {FMT_EP, FMT_TP, FMT_WP, FMT_AP};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Open(const std::string& path) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool ReadNextFrame() override;

    struct Section {
        char tag[4];
        uint32_t length;
    };
    struct PacketTags;

    bool PreCheck(const std::string& path);
    void ParseFixedHeader(const uint8_t* header, int32_t* mediaType, int32_t* subType,
                          uint32_t* lineRate);
    bool ParseSections(int32_t* mediaType, int32_t* subType, uint32_t* lineRate);
    bool ReadSection(Section* section);
    bool ReadSectionText(uint32_t length, std::string* text);
    bool Classify(int32_t mediaType, int32_t subType);
    bool ProbeWanType();
    bool ReadFixedRecord();
    bool ReadTaggedPacket();
    bool ReadTags(PacketTags* tags);
    void TakeEncapsulation(const PacketTags& tags);
    bool ReadPacketBytes(int32_t count);

    int version_ = 0;
    int64_t tagListsRead_ = 0;
};

class PeekWriter : public BinaryTraceWriter {
public:
    // A slice length of 0 means the whole frame.
    bool HoldsEmptyFrames() const override { return false; }
    static constexpr FormatId kFormats[] = {FMT_EP, FMT_TP, FMT_WP, FMT_AP};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool WriteHeader(const TraceInfo& info) override;
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override;
    bool FinishFile(const TraceInfo& info) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool WriteFixedRecord(const TraceInfo& info, const FrameRecord& frame);
    bool WriteTaggedPacket(const TraceInfo& info, const FrameRecord& frame);
    bool FinishFixedHeader(const TraceInfo& info);

    peek::Session written_;
};

}  // namespace translator
