#include "peek.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "engine/time_base.h"

namespace translator {

using namespace byte_order;

namespace peek {

namespace {

// Header sections are short texts; a longer one is not a capture header.
constexpr uint32_t kMaxSectionText = 1u << 20;
constexpr size_t kReadChunk = 4096;

constexpr char kVersionText[] =
    "<VersionInfo><FileVersion>9</FileVersion><AppVersion>5.4.0.1</AppVersion>"
    "<ProdVersion>1.0.0.0</ProdVersion></VersionInfo>\r\n";
constexpr char kSessionFormat[] =
    "<Session><RawTime> </RawTime><Time> </Time><MediaType>%d</MediaType>"
    "<MediaSubType>%d</MediaSubType><TimeZoneBias>%d</TimeZoneBias>"
    "<LinkSpeed>%d</LinkSpeed><PacketCount>%8d</PacketCount></Session>\r\n";

// One "%d" conversion: optional blanks, an optional sign, at least one digit.
bool ScanInt(std::string_view* text, int32_t* value) {
    std::string_view s = *text;
    while (!s.empty() && isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int64_t v = 0;
    size_t digits = 0;
    while (digits < s.size() && isdigit(static_cast<unsigned char>(s[digits]))) {
        v = v * 10 + (s[digits] - '0');
        if (v > int64_t{INT32_MAX} + 1) {
            return false;
        }
        ++digits;
    }
    v = negative ? -v : v;
    if (digits == 0 || v > INT32_MAX) {
        return false;
    }
    *value = static_cast<int32_t>(v);
    text->remove_prefix(text->size() - s.size() + digits);
    return true;
}

// The application version: four dotted numbers, none above 256.
bool AppVersionValid(std::string_view text) {
    constexpr std::string_view kTag = "<AppVersion>";
    const size_t at = text.find(kTag);
    if (at == std::string_view::npos) {
        return false;
    }
    std::string_view value = text.substr(at + kTag.size());
    value = value.substr(0, value.find('<'));
    if (value.empty()) {
        return false;
    }
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (value.empty() || value.front() != '.') {
                return false;
            }
            value.remove_prefix(1);
        }
        int32_t number = 0;
        if (!ScanInt(&value, &number) || number > 256) {
            return false;
        }
    }
    return true;
}

bool TagIs(const char* tag, const char (&expected)[4]) {
    return memcmp(tag, expected, sizeof expected) == 0;
}

uint8_t FlagsFor(const TraceInfo& info, const FrameRecord& frame) {
    uint8_t flags = 0;
    if (frame.flags & FRAME_CRC_ERROR)
        flags |= FLAG_CRC_ERROR;
    if (frame.flags & FRAME_ALIGNMENT_ERROR)
        flags |= FLAG_ALIGNMENT_ERROR;
    if (info.interfaceType == IF_ETHERNET) {
        if (frame.frameLength > 1518)
            flags |= FLAG_OVERSIZE;
        if (frame.frameLength < 64)
            flags |= FLAG_RUNT;
    }
    // An 802.3 length field followed by a SNAP header.
    if ((info.interfaceType == IF_ETHERNET || info.interfaceType == IF_802_11) &&
        frame.capturedLength >= 16 && LoadBE16(frame.Bytes() + 12) <= 1500 &&
        LoadBE16(frame.Bytes() + 14) == 0xAAAA) {
        flags |= FLAG_SNAP;
    }
    return flags;
}

uint16_t FrameFlagsFrom(uint16_t flags) {
    uint16_t result = 0;
    if (flags & FLAG_CRC_ERROR)
        result |= FRAME_CRC_ERROR;
    if (flags & FLAG_ALIGNMENT_ERROR)
        result |= FRAME_ALIGNMENT_ERROR;
    return result;
}

uint64_t MicrosSince1904(const FrameRecord& frame) {
    return SecondsToMicros(uint64_t{frame.seconds} + kSeconds1904To1970) + frame.microseconds;
}

uint64_t NanosSince1601(const FrameRecord& frame) {
    return TimesThousand(SecondsToMicros(UnixTo1601(frame.seconds)) + frame.microseconds);
}

uint32_t EncapsulationFor(int wanType) {
    switch (wanType) {
        case WAN_HDLC:
        case WAN_PPP:
            return ENC_HDLC_PPP;
        case WAN_FRAME_RELAY:
            return ENC_FRAME_RELAY;
        case WAN_X25:
            return ENC_X25;
        case WAN_ISDN:
            return ENC_ISDN;
        default:
            return ENC_OTHER;
    }
}

Session SessionFor(const TraceInfo& info) {
    struct Row {
        int32_t code;
        int32_t mediaType;
        int32_t subType;
    };
    static constexpr Row kInterfaces[] = {
        {IF_ETHERNET, 0, 0}, {IF_TOKEN_RING, 1, 0}, {IF_802_11, 9, 3}, {IF_FDDI, 2, 0}};
    static constexpr Row kWans[] = {{WAN_HDLC, 12, 4},  {WAN_PPP, 12, 4},         {WAN_X25, 12, 6},
                                    {WAN_ISDN, 12, 10}, {WAN_FRAME_RELAY, 12, 5}, {WAN_NONE, 0, 0}};
    Session session;
    session.timeZoneBias = info.TimeZoneBiasSeconds() / 60;
    session.linkSpeed = info.lineRate;
    for (const Row& row : kInterfaces) {
        if (row.code == info.interfaceType) {
            session.mediaType = row.mediaType;
            session.subType = row.subType;
            return session;
        }
    }
    session.mediaType = 12;
    for (const Row& row : kWans) {
        if (row.code == info.wanType) {
            session.mediaType = row.mediaType;
            session.subType = row.subType;
        }
    }
    return session;
}

std::string SessionText(const Session& session, int64_t packetCount) {
    char text[sizeof kSessionFormat + 64];
    snprintf(text, sizeof text, kSessionFormat, session.mediaType, session.subType,
             session.timeZoneBias, session.linkSpeed, static_cast<int>(packetCount));
    return text;
}

// The sections that open a version-9 file; the packets follow the last one.
std::vector<uint8_t> Sections(const Session& session, int64_t packetCount) {
    std::vector<uint8_t> bytes;
    auto section = [&bytes](const char(&tag)[4], std::string_view content) {
        uint8_t header[SectionHeader::kSize];
        memcpy(header + SectionHeader::kTag, tag, sizeof tag);
        StoreLE32(header + SectionHeader::kLength, static_cast<uint32_t>(content.size()));
        StoreLE32(header + SectionHeader::kFlags, kSectionFlags);
        bytes.insert(bytes.end(), header, header + sizeof header);
        bytes.insert(bytes.end(), content.begin(), content.end());
    };
    section(kVersionTag, kVersionText);
    section(kSessionTag, SessionText(session, packetCount));
    section(kPacketsTag, "");
    return bytes;
}

}  // namespace

bool FamilySupports(int formatId, const TraceInfo& info) {
    switch (formatId) {
        case FMT_EP:
            return info.interfaceType == IF_ETHERNET;
        case FMT_TP:
            return info.interfaceType == IF_TOKEN_RING;
        case FMT_AP:
            return info.interfaceType == IF_802_11;
        case FMT_WP:
            return info.wanType == WAN_HDLC || info.wanType == WAN_SDLC ||
                   info.wanType == WAN_X25 || info.wanType == WAN_PPP ||
                   info.wanType == WAN_FRAME_RELAY;
        default:
            return false;
    }
}

bool FindTagValue(std::string_view text, std::string_view tag, int32_t* value) {
    const size_t at = text.find(tag);
    if (at == std::string_view::npos) {
        return false;
    }
    std::string_view rest = text.substr(at + tag.size());
    if (!ScanInt(&rest, value)) {
        *value = 0;
    }
    return true;
}

}  // namespace peek

struct PeekReader::PacketTags {
    uint32_t frameLength = 0;
    uint32_t timeLow = 0;
    uint32_t timeHigh = 0;
    uint16_t flags = 0;
    uint32_t channel = 0;
    uint32_t rate = 0;
    uint32_t signal = 0;
    bool hasEncapsulation = false;
    uint32_t encapsulation = 0;
    uint32_t direction = 0;
    uint32_t capturedLength = 0;
};

bool PeekReader::SupportsInterface(int formatId, const TraceInfo& info) const {
    return peek::FamilySupports(formatId, info);
}

bool PeekReader::PreCheck(const std::string& path) {
    DecompressingInput probe;
    uint8_t head[4];
    return probe.Open(path) && probe.Read(head, sizeof head) &&
           (head[0] == peek::kVersion6 || head[0] == peek::kVersion7 ||
            head[0] == peek::kVersion9FirstByte);
}

bool PeekReader::Open(const std::string& path) {
    Close();
    info.Reset();
    version_ = 0;
    tagListsRead_ = 0;
    if (!PreCheck(path) || !OpenFile(path)) {
        return false;
    }
    uint8_t header[peek::FileHeader::kSize];
    int32_t mediaType = 0;
    int32_t subType = 0;
    uint32_t lineRate = 0;
    bool ok = file.Read(header, sizeof header);
    if (ok && (header[0] == peek::kVersion6 || header[0] == peek::kVersion7)) {
        version_ = header[0];
        ParseFixedHeader(header, &mediaType, &subType, &lineRate);
    } else if (ok) {
        version_ = peek::kVersion9;
        ok = ParseSections(&mediaType, &subType, &lineRate);
    }
    ok = ok && Classify(mediaType, subType);
    if (ok) {
        info.lineRate = DefaultLineRate(info.interfaceType, static_cast<int32_t>(lineRate));
    }
    // A WAN file whose header leaves the encapsulation open is named by its
    // first packet; without this it could not be converted at all.
    if (ok && version_ == peek::kVersion9 && info.interfaceType == IF_T_SERIES &&
        info.wanType == WAN_NONE) {
        ok = ProbeWanType();
    }
    if (!ok) {
        Close();
    }
    return ok;
}

void PeekReader::ParseFixedHeader(const uint8_t* header, int32_t* mediaType, int32_t* subType,
                                  uint32_t* lineRate) {
    using peek::FileHeader;
    info.totalFrames = LoadBE32(header + FileHeader::kPacketCount);
    *mediaType = static_cast<int32_t>(LoadBE32(header + FileHeader::kMediaType));
    *subType = static_cast<int32_t>(LoadBE32(header + FileHeader::kPhysicalMedium));
    *lineRate = LoadBE32(header + FileHeader::kLineRate);
}

bool PeekReader::ReadSection(Section* section) {
    uint8_t header[peek::SectionHeader::kSize];
    if (!file.Read(header, sizeof header)) {
        return false;
    }
    memcpy(section->tag, header + peek::SectionHeader::kTag, sizeof section->tag);
    section->length = LoadLE32(header + peek::SectionHeader::kLength);
    return true;
}

bool PeekReader::ReadSectionText(uint32_t length, std::string* text) {
    if (length > peek::kMaxSectionText) {
        return false;
    }
    // Grows with what was actually read, never with what the length claims.
    text->clear();
    char chunk[peek::kReadChunk];
    while (text->size() < length) {
        const size_t n = std::min(sizeof chunk, length - text->size());
        if (!file.Read(chunk, n)) {
            return false;
        }
        text->append(chunk, n);
    }
    return true;
}

bool PeekReader::ParseSections(int32_t* mediaType, int32_t* subType, uint32_t* lineRate) {
    Section section{};
    std::string text;
    if (!file.Seek(0) || !ReadSection(&section) || section.length <= 1 ||
        !ReadSectionText(section.length, &text) || !peek::AppVersionValid(text)) {
        return false;
    }
    const int64_t afterVersion = peek::SectionHeader::kSize + int64_t{section.length};
    if (!ReadSection(&section)) {
        return false;
    }
    const bool packetsFirst = peek::TagIs(section.tag, peek::kPacketsTag);
    while (!peek::TagIs(section.tag, peek::kSessionTag)) {
        if (!file.Skip(section.length) || !ReadSection(&section)) {
            return false;
        }
    }
    int32_t packetCount = 0;
    int32_t linkSpeed = 0;
    int32_t rawTime = 0;
    if (section.length < 1 || !ReadSectionText(section.length, &text) ||
        !peek::FindTagValue(text, "<PacketCount>", &packetCount) ||
        !peek::FindTagValue(text, "<LinkSpeed>", &linkSpeed) ||
        !peek::FindTagValue(text, "<RawTime>", &rawTime) ||
        !peek::FindTagValue(text, "<MediaType>", mediaType) ||
        !peek::FindTagValue(text, "<MediaSubType>", subType)) {
        return false;
    }
    info.totalFrames = packetCount;
    info.startTime = static_cast<uint32_t>(rawTime);
    *lineRate = static_cast<uint32_t>(linkSpeed);
    if (packetsFirst && !file.Seek(afterVersion)) {
        return false;
    }
    for (;;) {
        if (!ReadSection(&section)) {
            return false;
        }
        if (peek::TagIs(section.tag, peek::kPacketsTag)) {
            return true;
        }
        if (!file.Skip(section.length)) {
            return false;
        }
    }
}

bool PeekReader::Classify(int32_t mediaType, int32_t subType) {
    if (subType >= 1 && subType <= 3) {
        info.format = FMT_AP;
        info.interfaceType = IF_802_11;
    } else if (mediaType == 0) {
        info.format = FMT_EP;
        info.interfaceType = IF_ETHERNET;
    } else if (mediaType == 1) {
        info.format = FMT_TP;
        info.interfaceType = IF_TOKEN_RING;
    } else if (mediaType == 3 || mediaType == 12 || subType == 4 || subType == 5 || subType == 6 ||
               subType == 8 || subType == 9) {
        info.format = FMT_WP;
        switch (subType) {
            case 0:
            case 4:
                info.interfaceType = IF_T_SERIES;
                break;
            case 5:
                info.interfaceType = IF_T_SERIES;
                info.wanType = WAN_FRAME_RELAY;
                break;
            case 6:
                info.interfaceType = IF_T_SERIES;
                info.wanType = WAN_X25;
                break;
            case 10:
                info.interfaceType = IF_T_SERIES;
                info.wanType = WAN_ISDN;
                break;
            default:
                break;
        }
    } else {
        return false;
    }
    return true;
}

bool PeekReader::ProbeWanType() {
    const int64_t firstPacket = file.Tell();
    PacketTags tags;
    if (ReadTags(&tags)) {
        TakeEncapsulation(tags);
    }
    tagListsRead_ = 0;
    return file.Seek(firstPacket);
}

bool PeekReader::ReadNextFrame() {
    frame.Reset();
    switch (version_) {
        case peek::kVersion6:
        case peek::kVersion7:
            return ReadFixedRecord();
        case peek::kVersion9:
            return ReadTaggedPacket();
        default:
            Sink().AddMessage("File version %d is not supported.\r\n", version_);
            return false;
    }
}

bool PeekReader::ReadFixedRecord() {
    uint8_t record[peek::RecordV6::kSize];
    uint32_t frameLength;
    uint32_t capturedLength;
    uint8_t flags;
    if (version_ == peek::kVersion6) {
        using peek::RecordV6;
        if (!ReadRecordStart(record, RecordV6::kSize, "record header")) {
            return false;
        }
        frameLength = LoadBE16(record + RecordV6::kFrameLength);
        capturedLength = LoadBE16(record + RecordV6::kCapturedLength);
        flags = record[RecordV6::kFlags];
        const uint32_t millis = LoadBE32(record + RecordV6::kTimeStamp);
        frame.seconds = static_cast<uint32_t>(DivThousand(millis));
        frame.microseconds = MicrosRemainder(TimesThousand(millis));
    } else {
        using peek::RecordV7;
        if (!ReadRecordStart(record, RecordV7::kSize, "record header")) {
            return false;
        }
        frameLength = LoadBE16(record + RecordV7::kFrameLength);
        capturedLength = LoadBE16(record + RecordV7::kSliceLength);
        flags = record[RecordV7::kFlags];
        const uint64_t micros = LoadBE64(record + RecordV7::kTimeStamp);
        frame.seconds = From1904ToUnix(static_cast<uint32_t>(MicrosToSeconds(micros)));
        frame.microseconds = MicrosRemainder(micros);
    }
    if (capturedLength == 0) {
        capturedLength = frameLength;
    }
    // The line length can be no shorter than what was stored of it.
    frameLength = std::max(frameLength, capturedLength);
    if (info.interfaceType == IF_802_11) {
        // Both lengths count the radio bytes, in either record form.
        uint8_t radio[peek::kRadioSize];
        if (capturedLength < peek::kRadioSize) {
            return Damaged("frame %" PRId64 " holds %" PRIu32 " bytes, fewer than its radio bytes",
                           info.framesRead + 1, capturedLength);
        }
        if (!ReadPart(radio, sizeof radio, "radio bytes")) {
            return false;
        }
        frameLength -= peek::kRadioSize;
        capturedLength -= peek::kRadioSize;
        frame.wlanRate = radio[0];
        frame.wlanChannel = radio[1];
        frame.wlanSignal = radio[2];
        frame.wlanNoise = radio[3];
    }
    frame.frameLength = static_cast<int32_t>(frameLength);
    frame.capturedLength = static_cast<int32_t>(capturedLength);
    frame.flags = peek::FrameFlagsFrom(flags);
    // Stored bytes are padded to an even count.
    return ReadPacketBytes(static_cast<int32_t>(capturedLength + (capturedLength & 1)));
}

bool PeekReader::ReadTags(PacketTags* tags) {
    using namespace peek;
    // The packets run to the end of the file.
    for (bool first = true;; first = false) {
        uint8_t entry[2];
        if (first ? !ReadRecordStart(entry, sizeof entry, "tag list")
                  : !ReadPart(entry, sizeof entry, "tag list")) {
            return false;
        }
        const uint16_t tag = LoadLE16(entry);
        if (tag > TAG_DIRECTION && tag != TAG_CAPTURED_LENGTH) {
            continue;  // a tag without a value
        }
        uint8_t value[4];
        if (!ReadPart(value, sizeof value, "tag list")) {
            return false;
        }
        const uint32_t v = LoadLE32(value);
        switch (tag) {
            case TAG_FRAME_LENGTH:
                tags->frameLength = v;
                break;
            case TAG_TIME_LOW:
                tags->timeLow = v;
                break;
            case TAG_TIME_HIGH:
                tags->timeHigh = v;
                break;
            case TAG_FLAGS_STATUS:
                tags->flags = LoadLE16(value);
                break;
            case TAG_CHANNEL:
                tags->channel = v;
                break;
            case TAG_RATE:
                tags->rate = v;
                break;
            case TAG_SIGNAL:
                tags->signal = v;
                break;
            case TAG_ENCAPSULATION:
                tags->hasEncapsulation = true;
                tags->encapsulation = v;
                break;
            case TAG_DIRECTION:
                tags->direction = v;
                break;
            case TAG_CAPTURED_LENGTH:
                tags->capturedLength = v;
                ++tagListsRead_;
                return true;
            default:
                break;
        }
    }
}

void PeekReader::TakeEncapsulation(const PacketTags& tags) {
    if (!tags.hasEncapsulation) {
        return;
    }
    switch (tags.encapsulation) {
        case peek::ENC_FRAME_RELAY:
            info.wanType = WAN_FRAME_RELAY;
            break;
        case peek::ENC_X25:
            info.wanType = WAN_X25;
            break;
        case peek::ENC_ISDN:
            info.wanType = WAN_ISDN;
            break;
        case peek::ENC_HDLC_PPP:
            // The value names both; the first packet of a file counts as HDLC.
            info.wanType = tagListsRead_ <= 1 ? WAN_HDLC : WAN_PPP;
            break;
        default:
            break;
    }
}

bool PeekReader::ReadTaggedPacket() {
    PacketTags tags;
    if (!ReadTags(&tags)) {
        return false;
    }
    TakeEncapsulation(tags);
    const uint32_t capturedLength =
        tags.capturedLength != 0 ? tags.capturedLength : tags.frameLength;
    if (FrameTooLong(capturedLength)) {
        return TooLong(capturedLength);
    }
    frame.capturedLength = static_cast<int32_t>(capturedLength);
    frame.frameLength =
        static_cast<int32_t>(std::clamp<uint32_t>(tags.frameLength, capturedLength, INT32_MAX));
    const uint64_t micros = DivThousand((uint64_t{tags.timeHigh} << 32) | tags.timeLow);
    frame.seconds = From1601ToUnix(MicrosToSeconds(micros));
    frame.microseconds = MicrosRemainder(micros);
    frame.wlanChannel = static_cast<uint8_t>(tags.channel);
    frame.wlanRate = static_cast<uint8_t>(tags.rate);
    frame.wlanSignal = static_cast<uint8_t>(tags.signal);
    if (tags.direction == 1) {
        frame.flags |= FRAME_DIR_LN;
    } else if (tags.direction == 2) {
        frame.flags |= FRAME_DIR_EQ;
    }
    frame.flags |= peek::FrameFlagsFrom(tags.flags);
    return ReadPacketBytes(frame.capturedLength);
}

bool PeekReader::ReadPacketBytes(int32_t count) {
    if (FrameTooLong(count)) {
        return TooLong(count);
    }
    uint8_t* bytes = frame.SetData(nullptr, count);
    return ReadPart(bytes, static_cast<size_t>(count), "data");
}

bool PeekWriter::SupportsInterface(int formatId, const TraceInfo& info) const {
    return peek::FamilySupports(formatId, info);
}

bool PeekWriter::WriteHeader(const TraceInfo& info) {
    if (format != FMT_WP) {
        // The capture date is the first frame's.
        MarkOffsets(peek::FileHeader::kCaptureDate, 4);
        return ReserveHeader(peek::FileHeader::kSize);
    }
    written_ = peek::SessionFor(info);
    const std::vector<uint8_t> sections = peek::Sections(written_, 0);
    return WriteBytes(sections.data(), static_cast<int64_t>(sections.size()));
}

bool PeekWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    return format == FMT_WP ? WriteTaggedPacket(info, frame) : WriteFixedRecord(info, frame);
}

bool PeekWriter::FinishFile(const TraceInfo& info) {
    if (!file.IsOpen()) {
        return false;
    }
    if (format != FMT_WP) {
        return FinishFixedHeader(info);
    }
    peek::Session session = peek::SessionFor(info);
    // The packets follow the sections: a rewrite must keep their length, so
    // values whose text grew or shrank since the first write stay as written.
    if (peek::SessionText(session, 0).size() != peek::SessionText(written_, 0).size()) {
        session = written_;
    }
    const std::vector<uint8_t> sections = peek::Sections(session, info.framesWritten);
    return PatchHeader(sections.data(), sections.size());
}

bool PeekWriter::WriteFixedRecord(const TraceInfo& info, const FrameRecord& frame) {
    using peek::RecordV7;
    const int32_t radio = info.interfaceType == IF_802_11 ? peek::kRadioSize : 0;
    const int64_t frameLength = int64_t{std::max(frame.frameLength, 0)} + radio;
    const int64_t capturedLength = int64_t{std::max(frame.capturedLength, 0)} + radio;
    const bool sliced = capturedLength < frameLength;
    const int64_t count = sliced ? capturedLength : frameLength;
    const int64_t pad = count & 1;
    // 16-bit frame and slice lengths, radio bytes included: 0 to 65535 bytes.
    // A sliced frame longer on the line keeps the largest frame length.
    if (!LengthFits(format, info, count - radio, UINT16_MAX - radio) ||
        !PositionFits(info, file.Tell() + RecordV7::kSize + count + pad)) {
        return false;
    }
    uint8_t record[RecordV7::kSize] = {};
    StoreBE16(record + RecordV7::kFrameLength,
              static_cast<uint16_t>(std::min<int64_t>(frameLength, UINT16_MAX)));
    StoreBE16(record + RecordV7::kSliceLength, static_cast<uint16_t>(sliced ? count : 0));
    record[RecordV7::kFlags] = peek::FlagsFor(info, frame);
    // 64-bit microseconds since 1904: every frame time.
    StoreBE64(record + RecordV7::kTimeStamp, peek::MicrosSince1904(frame));
    MarkField(record, record + RecordV7::kTimeStamp, 8);
    if (pad != 0) {
        MarkOffsets(RecordV7::kSize + count, 1);
    }
    if (!WriteBytes(record, sizeof record)) {
        return false;
    }
    if (radio != 0) {
        const uint8_t values[peek::kRadioSize] = {frame.wlanRate, frame.wlanChannel,
                                                  frame.wlanSignal, frame.wlanNoise};
        if (!WriteBytes(values, sizeof values)) {
            return false;
        }
    }
    return WriteBytes(frame.Bytes(), count - radio) && (pad == 0 || WriteZeros(1)) && file.Flush();
}

bool PeekWriter::FinishFixedHeader(const TraceInfo& info) {
    using peek::FileHeader;
    const bool wireless = info.interfaceType == IF_802_11;
    uint8_t header[FileHeader::kSize] = {};
    header[FileHeader::kVersion] = peek::kVersion7;
    StoreBE32(header + FileHeader::kFileLength, static_cast<uint32_t>(file.Tell()));
    StoreBE32(header + FileHeader::kPacketCount, static_cast<uint32_t>(info.framesWritten));
    // 32-bit seconds since 1904, to 2040-02-06 06:28:15 UTC; later dates are
    // kept modulo 2^32 like the format's own, and no reader takes frame times
    // from it.
    StoreBE32(header + FileHeader::kCaptureDate, UnixTo1904(info.firstSeconds));
    StoreBE32(header + FileHeader::kStartTime, 0xFFFFFFFF);
    StoreBE32(header + FileHeader::kStopTime, 0xFFFFFFFF);
    StoreBE32(header + FileHeader::kMediaType,
              info.interfaceType == IF_TOKEN_RING || wireless ? 1 : 0);
    // Without the 802.11 medium the file would read back as Token Ring.
    StoreBE32(header + FileHeader::kPhysicalMedium, wireless ? 1 : 0);
    if (wireless) {
        header[FileHeader::kAppVersion + 2] = 1;
        header[FileHeader::kAppVersion + 3] = 1;
    }
    StoreBE32(header + FileHeader::kLineRate, static_cast<uint32_t>(info.lineRate));
    return PatchHeader(header, sizeof header);
}

bool PeekWriter::WriteTaggedPacket(const TraceInfo& info, const FrameRecord& frame) {
    using namespace peek;
    if (info.framesWritten >= kMaxVersion9Packets) {
        return false;
    }
    const uint32_t capturedLength = static_cast<uint32_t>(std::max(frame.capturedLength, 0));
    // 64-bit nanoseconds since 1601: every frame time.
    const uint64_t time = NanosSince1601(frame);
    uint8_t entries[48];
    uint8_t* p = entries;
    auto entry = [&p](uint16_t tag, uint32_t value) {
        StoreLE16(p, tag);
        StoreLE32(p + 2, value);
        p += 6;
    };
    // 32-bit length tags: every frame a reader hands on.
    entry(TAG_FRAME_LENGTH, static_cast<uint32_t>(std::max(frame.frameLength, 0)));
    entry(TAG_TIME_LOW, static_cast<uint32_t>(time));
    entry(TAG_TIME_HIGH, static_cast<uint32_t>(time >> 32));
    StoreLE16(p, TAG_FLAGS_STATUS);
    StoreLE16(p + 2, FlagsFor(info, frame));
    StoreLE16(p + 4, 0);
    p += 6;
    entry(TAG_LAST_IGNORED, 4);
    entry(TAG_ENCAPSULATION, EncapsulationFor(info.wanType));
    entry(TAG_DIRECTION, (frame.flags & FRAME_DIR_LN) ? 1 : 2);
    entry(TAG_CAPTURED_LENGTH, capturedLength);
    // Time values and the status vary from run to run.
    MarkOffsets(8, 4);
    MarkOffsets(14, 4);
    MarkOffsets(22, 2);
    return WriteBytes(entries, sizeof entries) && WriteBytes(frame.Bytes(), capturedLength) &&
           file.Flush();
}

}  // namespace translator
