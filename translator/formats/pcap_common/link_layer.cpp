#include "link_layer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "engine/ethernet.h"

namespace translator::pcap {

using namespace byte_order;

namespace {

constexpr uint16_t kEtherTypeIpv4 = 0x0800;
constexpr uint16_t kEtherTypeIpv6 = 0x86DD;
// Smallest EtherType; lower values of the type field are 802.3 lengths.
constexpr uint16_t kFirstEtherType = 0x0600;
constexpr uint16_t kMax8023Length = 1500;
// Linux cooked protocols that stand for frames without an EtherType.
constexpr uint16_t kCookedProtocol8023 = 0x0001;
constexpr uint16_t kCookedProtocolLlc = 0x0004;

constexpr size_t kIpv4HeaderSize = 20;
constexpr size_t kIpv6HeaderSize = 40;

// Address families of loopback headers: IPv4 is 2 everywhere; IPv6 is 24 on
// OpenBSD and NetBSD, 28 on FreeBSD and 30 on Darwin.
constexpr uint32_t kFamilyInet = 2;
constexpr uint32_t kFamiliesInet6[] = {24, 28, 30};

// Positions of a Linux cooked header's fields; version 1 keeps the address
// length in 16 bits, version 2 in 8.
struct CookedLayout {
    size_t size;
    size_t protocol;
    size_t addressLength;
    bool wideAddressLength;
    size_t address;
};

constexpr CookedLayout kCooked1 = {LinuxCookedHeader::kSize, LinuxCookedHeader::kProtocol,
                                   LinuxCookedHeader::kAddressLength, true,
                                   LinuxCookedHeader::kAddress};
constexpr CookedLayout kCooked2 = {LinuxCooked2Header::kSize, LinuxCooked2Header::kProtocol,
                                   LinuxCooked2Header::kAddressLength, false,
                                   LinuxCooked2Header::kAddress};

// The EtherType of an IP packet of the given version (4 or 6; 0: from its
// version nibble) that is captured bytes long and original bytes on the line.
const char* EtherTypeOfIp(int version, const uint8_t* packet, size_t captured, size_t original,
                          uint16_t* etherType) {
    if (captured == 0) {
        return "holds no IP packet";
    }
    if (version == 0) {
        version = packet[0] >> 4;
    }
    if (version != 4 && version != 6) {
        return "holds an IP packet of a version other than 4 and 6";
    }
    if (original < (version == 4 ? kIpv4HeaderSize : kIpv6HeaderSize)) {
        return "holds an IP packet shorter than its header";
    }
    *etherType = version == 4 ? kEtherTypeIpv4 : kEtherTypeIpv6;
    return nullptr;
}

const char* FromLinuxCooked(const CookedLayout& layout, const uint8_t* record, size_t captured,
                            size_t original, EthernetPrefix* prefix) {
    if (captured < layout.size) {
        return "is shorter than its Linux cooked header";
    }
    const size_t addressLength = layout.wideAddressLength ? LoadBE16(record + layout.addressLength)
                                                          : record[layout.addressLength];
    if (addressLength == EthernetHeader::kAddressSize) {
        memcpy(prefix->source, record + layout.address, EthernetHeader::kAddressSize);
    }
    const uint16_t protocol = LoadBE16(record + layout.protocol);
    prefix->linkHeaderSize = layout.size;
    if (protocol >= kFirstEtherType) {
        prefix->etherType = protocol;
        return nullptr;
    }
    // Frames without an EtherType take the 802.3 form: the type field holds
    // the length of what follows.
    if (protocol != kCookedProtocol8023 && protocol != kCookedProtocolLlc) {
        return "carries a Linux cooked protocol that is neither an EtherType nor an 802.3 frame";
    }
    const size_t payload = original - layout.size;
    if (payload > kMax8023Length) {
        return "carries an 802.3 frame longer than an 802.3 length field allows";
    }
    prefix->etherType = static_cast<uint16_t>(payload);
    return nullptr;
}

const char* FromRawIp(int version, const uint8_t* record, size_t captured, size_t original,
                      EthernetPrefix* prefix) {
    prefix->linkHeaderSize = 0;
    return EtherTypeOfIp(version, record, captured, original, &prefix->etherType);
}

// The IP version an address family names; 0 for any other family.
int IpVersionOfFamily(uint32_t family) {
    if (family == kFamilyInet) {
        return 4;
    }
    for (uint32_t inet6 : kFamiliesInet6) {
        if (family == inet6) {
            return 6;
        }
    }
    return 0;
}

const char* FromLoopback(bool eitherOrder, const uint8_t* record, size_t captured, size_t original,
                         EthernetPrefix* prefix) {
    if (captured < LoopbackHeader::kSize) {
        return "is shorter than its loopback header";
    }
    int version = IpVersionOfFamily(LoadBE32(record));
    if (version == 0 && eitherOrder) {
        version = IpVersionOfFamily(LoadLE32(record));
    }
    prefix->linkHeaderSize = LoopbackHeader::kSize;
    return EtherTypeOfIp(version, record + LoopbackHeader::kSize, captured - LoopbackHeader::kSize,
                         original - LoopbackHeader::kSize, &prefix->etherType);
}

// Size and alignment of the radiotap fields by present bit, as far as they
// are known; bit 28 and later have no fixed size.
struct RadiotapField {
    uint8_t size;
    uint8_t align;
};

constexpr RadiotapField kRadiotapFields[] = {
    {8, 8},   // 0 TSFT
    {1, 1},   // 1 flags
    {1, 1},   // 2 rate
    {4, 2},   // 3 channel: frequency, flags
    {2, 2},   // 4 FHSS
    {1, 1},   // 5 antenna signal, dBm
    {1, 1},   // 6 antenna noise, dBm
    {2, 2},   // 7 lock quality
    {2, 2},   // 8 TX attenuation
    {2, 2},   // 9 TX attenuation, dB
    {1, 1},   // 10 TX power, dBm
    {1, 1},   // 11 antenna
    {1, 1},   // 12 antenna signal, dB
    {1, 1},   // 13 antenna noise, dB
    {2, 2},   // 14 RX flags
    {2, 2},   // 15 TX flags
    {1, 1},   // 16 RTS retries
    {1, 1},   // 17 data retries
    {8, 4},   // 18 extended channel
    {3, 1},   // 19 MCS
    {8, 4},   // 20 A-MPDU status
    {12, 2},  // 21 VHT
    {12, 8},  // 22 timestamp
    {12, 2},  // 23 HE
    {12, 2},  // 24 HE-MU
    {6, 2},   // 25 HE-MU other user
    {1, 1},   // 26 zero-length PSDU
    {4, 2},   // 27 L-SIG
};

enum RadiotapBit {
    kBitFlags = 1,
    kBitRate = 2,
    kBitChannel = 3,
    kBitSignal = 5,
    kBitNoise = 6,
    kBitExtended = 31,
};

constexpr uint8_t kRadiotapFlagFcs = 0x10;
constexpr uint8_t kRadiotapFlagBadFcs = 0x40;

// The offset of the first field: after the chain of present words, each of
// which but the last has the extension bit set; 0 when the chain does not
// end inside the header.
size_t RadiotapFieldsStart(const uint8_t* record, size_t headerSize) {
    size_t at = RadiotapHeader::kPresent;
    while (at + RadiotapHeader::kPresentSize <= headerSize) {
        const uint32_t present = LoadLE32(record + at);
        at += RadiotapHeader::kPresentSize;
        if (!(present & (1u << kBitExtended))) {
            return at;
        }
    }
    return 0;
}

void TakeRadiotapField(int bit, const uint8_t* field, RadiotapInfo* radio) {
    switch (bit) {
        case kBitFlags:
            radio->hasFcs = field[0] & kRadiotapFlagFcs;
            radio->badFcs = field[0] & kRadiotapFlagBadFcs;
            break;
        case kBitRate:
            radio->hasRate = true;
            radio->rate = field[0];
            break;
        case kBitChannel:
            radio->hasChannel = true;
            radio->channel = ChannelOfFrequency(LoadLE16(field));
            break;
        case kBitSignal:
            radio->hasSignal = true;
            radio->signalDbm = static_cast<int8_t>(field[0]);
            break;
        case kBitNoise:
            radio->hasNoise = true;
            radio->noiseDbm = static_cast<int8_t>(field[0]);
            break;
        default:
            break;
    }
}

}  // namespace

const char* EthernetPrefixFor(LinkLayer layer, const uint8_t* record, size_t captured,
                              size_t original, EthernetPrefix* prefix) {
    *prefix = EthernetPrefix{};
    original = std::max(original, captured);
    switch (layer) {
        case LinkLayer::kLinuxCooked:
            return FromLinuxCooked(kCooked1, record, captured, original, prefix);
        case LinkLayer::kLinuxCooked2:
            return FromLinuxCooked(kCooked2, record, captured, original, prefix);
        case LinkLayer::kRawIp:
            return FromRawIp(0, record, captured, original, prefix);
        case LinkLayer::kIpv4:
            return FromRawIp(4, record, captured, original, prefix);
        case LinkLayer::kIpv6:
            return FromRawIp(6, record, captured, original, prefix);
        case LinkLayer::kNull:
            return FromLoopback(true, record, captured, original, prefix);
        case LinkLayer::kLoopback:
            return FromLoopback(false, record, captured, original, prefix);
        default:
            return "has a link header that has no Ethernet form";
    }
}

void StoreEthernetHeader(const EthernetPrefix& prefix, uint8_t* out) {
    memset(out + EthernetHeader::kDestination, 0, EthernetHeader::kAddressSize);
    memcpy(out + EthernetHeader::kSource, prefix.source, EthernetHeader::kAddressSize);
    StoreBE16(out + EthernetHeader::kEtherType, prefix.etherType);
}

const char* ParseRadiotap(const uint8_t* record, size_t captured, RadiotapInfo* radio) {
    *radio = RadiotapInfo{};
    if (captured < RadiotapHeader::kMinSize) {
        return "is shorter than a radiotap header";
    }
    if (record[RadiotapHeader::kVersion] != 0) {
        return "has a radiotap header of a version other than 0";
    }
    const size_t headerSize = LoadLE16(record + RadiotapHeader::kLength);
    if (headerSize < RadiotapHeader::kMinSize) {
        return "has a radiotap header shorter than 8 bytes";
    }
    if (headerSize > captured) {
        return "has a radiotap header longer than its captured bytes";
    }
    const size_t fieldsStart = RadiotapFieldsStart(record, headerSize);
    if (fieldsStart == 0) {
        return "has radiotap present words that run past the radiotap header";
    }
    radio->headerSize = headerSize;
    // Fields are aligned to their size from the start of the header.
    const uint32_t present = LoadLE32(record + RadiotapHeader::kPresent);
    size_t at = fieldsStart;
    for (int bit = 0; bit < static_cast<int>(std::size(kRadiotapFields)); ++bit) {
        if (!(present & (1u << bit))) {
            continue;
        }
        const RadiotapField field = kRadiotapFields[bit];
        at = (at + field.align - 1) / field.align * field.align;
        if (at + field.size > headerSize) {
            break;
        }
        TakeRadiotapField(bit, record + at, radio);
        at += field.size;
    }
    return nullptr;
}

uint8_t ChannelOfFrequency(uint16_t megahertz) {
    if (megahertz == 2484) {
        return 14;
    }
    if (megahertz >= 2412 && megahertz <= 2472) {
        return static_cast<uint8_t>((megahertz - 2407) / 5);
    }
    if (megahertz >= 5005 && megahertz <= 5900) {
        return static_cast<uint8_t>((megahertz - 5000) / 5);
    }
    return 0;
}

uint8_t PercentOfDbm(int8_t dbm) {
    if (dbm <= -100) {
        return 0;
    }
    if (dbm >= -50) {
        return 100;
    }
    return static_cast<uint8_t>(2 * (dbm + 100));
}

namespace {

// Link types the readers take; any other is refused at the first read.
constexpr LinkTypeRow kReadLinkTypes[] = {
    {1, IF_ETHERNET, WAN_NONE, 0},
    {6, IF_TOKEN_RING, WAN_NONE, 0},
    {7, IF_ARCNET, WAN_NONE, 0},
    {9, IF_WAN, WAN_PPP, 0},
    {10, IF_FDDI, WAN_NONE, 0},
    {11, IF_ATM, WAN_NONE, 0},
    {19, IF_ATM, WAN_NONE, 0},
    {123, IF_ATM, WAN_NONE, 0},
    {100, IF_ETHERNET, WAN_NONE, 100000000},
    {104, IF_WAN, WAN_HDLC, 0},
    {121, IF_WAN, WAN_HDLC, 0},
    {105, IF_802_11, WAN_NONE, 1000000},
    {107, IF_WAN, WAN_FRAME_RELAY, 0},
    {113, IF_ETHERNET, WAN_NONE, 0, LinkLayer::kLinuxCooked, ORIGIN_LINUX_COOKED},
    {276, IF_ETHERNET, WAN_NONE, 0, LinkLayer::kLinuxCooked2, ORIGIN_LINUX_COOKED},
    {101, IF_ETHERNET, WAN_NONE, 0, LinkLayer::kRawIp, ORIGIN_RAW_IP},
    {228, IF_ETHERNET, WAN_NONE, 0, LinkLayer::kIpv4, ORIGIN_RAW_IP},
    {229, IF_ETHERNET, WAN_NONE, 0, LinkLayer::kIpv6, ORIGIN_RAW_IP},
    {0, IF_ETHERNET, WAN_NONE, 0, LinkLayer::kNull, ORIGIN_LOOPBACK},
    {108, IF_ETHERNET, WAN_NONE, 0, LinkLayer::kLoopback, ORIGIN_LOOPBACK},
    {127, IF_802_11, WAN_NONE, 1000000, LinkLayer::kRadiotap, ORIGIN_RADIOTAP},
};

RebuildResult RebuildEthernet(LinkLayer layer, const uint8_t* record, uint32_t included,
                              uint32_t original, FrameRecord& frame) {
    EthernetPrefix prefix;
    if (const char* why = EthernetPrefixFor(layer, record, included, original, &prefix)) {
        return {why, 0};
    }
    const size_t payload = included - prefix.linkHeaderSize;
    const size_t length = EthernetHeader::kSize + payload;
    if (FrameTooLong(static_cast<int64_t>(length))) {
        return {nullptr, static_cast<int64_t>(length)};
    }
    const auto captured = static_cast<int32_t>(length);
    uint8_t* bytes =
        frame.SetData(nullptr, std::max(captured, kEthernetMinFrameNoFcs) + kEthernetFcsSize);
    StoreEthernetHeader(prefix, bytes);
    memcpy(bytes + EthernetHeader::kSize, record + prefix.linkHeaderSize, payload);
    frame.capturedLength = captured;
    const uint64_t onLine = uint64_t{original} - prefix.linkHeaderSize + EthernetHeader::kSize;
    frame.frameLength = static_cast<int32_t>(std::min<uint64_t>(onLine, INT32_MAX));
    return {};
}

// 802.11 frames travel with their FCS: one the capture left out is added, as
// other readers of 802.11 captures deliver it.
RebuildResult StripRadiotap(const uint8_t* record, uint32_t included, uint32_t original,
                            FrameRecord& frame) {
    RadiotapInfo radio;
    if (const char* why = ParseRadiotap(record, included, &radio)) {
        return {why, 0};
    }
    if (radio.headerSize == included) {
        return {"holds no bytes after its radiotap header", 0};
    }
    const auto captured = static_cast<int32_t>(included - radio.headerSize);
    uint8_t* bytes =
        frame.SetData(nullptr, std::max(captured, kEthernetMinFrameNoFcs) + kEthernetFcsSize);
    memcpy(bytes, record + radio.headerSize, static_cast<size_t>(captured));
    frame.capturedLength = captured;
    frame.frameLength = static_cast<int32_t>(
        std::min<uint32_t>(original - static_cast<uint32_t>(radio.headerSize), INT32_MAX));
    if (radio.badFcs) {
        frame.flags |= FRAME_CRC_ERROR;
    }
    if (!radio.hasFcs) {
        AddWirelessFcs(frame, radio.badFcs ? FcsBytes::kZeros : FcsBytes::kComputed);
    }
    if (radio.hasRate) {
        frame.wlanRate = radio.rate;
    }
    if (radio.hasChannel) {
        frame.wlanChannel = radio.channel;
    }
    if (radio.hasSignal) {
        frame.wlanSignal = PercentOfDbm(radio.signalDbm);
    }
    if (radio.hasNoise) {
        frame.wlanNoise = PercentOfDbm(radio.noiseDbm);
    }
    return {};
}

}  // namespace

const LinkTypeRow* FindLinkType(uint32_t linkType) {
    for (const auto& row : kReadLinkTypes) {
        if (row.linkType == linkType) {
            return &row;
        }
    }
    return nullptr;
}

RebuildResult RebuildFrame(LinkLayer layer, const uint8_t* record, uint32_t included,
                           uint32_t original, FrameRecord& frame) {
    return layer == LinkLayer::kRadiotap
               ? StripRadiotap(record, included, original, frame)
               : RebuildEthernet(layer, record, included, original, frame);
}

}  // namespace translator::pcap
