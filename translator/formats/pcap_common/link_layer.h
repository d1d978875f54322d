#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/frame_record.h"
#include "engine/trace_info.h"

namespace translator::pcap {

// Link types whose records the reader rebuilds: into Ethernet frames, or into
// bare 802.11 frames for radiotap.
enum class LinkLayer {
    kAsStored,
    kLinuxCooked,
    kLinuxCooked2,
    kRawIp,
    kIpv4,
    kIpv6,
    kNull,      // address family in the byte order of the writing host
    kLoopback,  // address family big-endian
    kRadiotap,
};

// How the readers of the pcap family take one link type: the trace it makes
// and how its records become frames.
struct LinkTypeRow {
    uint32_t linkType;
    int32_t interfaceType;
    int32_t wanType;
    int32_t lineRate;
    LinkLayer layer = LinkLayer::kAsStored;
    int32_t origin = ORIGIN_AS_STORED;
};

// The row of a link type the readers take; nullptr for any other.
const LinkTypeRow* FindLinkType(uint32_t linkType);

// Outcome of RebuildFrame: the frame, a record that has no frame of the
// rebuilt kind (why says what is wrong with it), or a frame too long to read.
struct RebuildResult {
    const char* damage = nullptr;
    int64_t tooLongLength = 0;
    bool Ok() const { return damage == nullptr && tooLongLength == 0; }
};

// Fills frame from a record stored with the link header of layer (not
// kAsStored): an Ethernet frame without FCS in place of a cooked, raw IP or
// loopback record; the bare 802.11 frame with its FCS and radio values for a
// radiotap record.
RebuildResult RebuildFrame(LinkLayer layer, const uint8_t* record, uint32_t included,
                           uint32_t original, FrameRecord& frame);

// Linux cooked capture header, version 1, 16 bytes, big-endian.
struct LinuxCookedHeader {
    static constexpr size_t kSize = 16;
    static constexpr size_t kAddressLength = 4;
    static constexpr size_t kAddress = 6;
    static constexpr size_t kProtocol = 14;
};

// Linux cooked capture header, version 2, 20 bytes, big-endian.
struct LinuxCooked2Header {
    static constexpr size_t kSize = 20;
    static constexpr size_t kProtocol = 0;
    static constexpr size_t kAddressLength = 11;
    static constexpr size_t kAddress = 12;
};

// BSD loopback header: the 32-bit address family of the packet.
struct LoopbackHeader {
    static constexpr size_t kSize = 4;
};

// The Ethernet header put in front of a rebuilt frame.
struct EthernetHeader {
    static constexpr size_t kSize = 14;
    static constexpr size_t kDestination = 0;
    static constexpr size_t kSource = 6;
    static constexpr size_t kEtherType = 12;
    static constexpr size_t kAddressSize = 6;
};

// Radiotap header: version, pad, length and the first present word, all
// little-endian; further present words follow while bit 31 is set.
struct RadiotapHeader {
    static constexpr size_t kMinSize = 8;
    static constexpr size_t kVersion = 0;
    static constexpr size_t kLength = 2;
    static constexpr size_t kPresent = 4;
    static constexpr size_t kPresentSize = 4;
};

// What replaces a record's link header: the Ethernet header's variable fields
// and how many leading record bytes it stands for.
struct EthernetPrefix {
    uint8_t source[EthernetHeader::kAddressSize] = {};
    uint16_t etherType = 0;
    size_t linkHeaderSize = 0;
};

// The Ethernet prefix of one record of captured bytes (original bytes on the
// line): nullptr on success, else why the record has no Ethernet form. The
// link header it replaces lies within the captured bytes.
const char* EthernetPrefixFor(LinkLayer layer, const uint8_t* record, size_t captured,
                              size_t original, EthernetPrefix* prefix);

// Writes the 14-byte header of prefix to out.
void StoreEthernetHeader(const EthernetPrefix& prefix, uint8_t* out);

// What a radiotap header tells about its frame.
struct RadiotapInfo {
    size_t headerSize = 0;
    bool hasFcs = false;
    bool badFcs = false;
    bool hasRate = false;
    uint8_t rate = 0;  // 500 kbit/s units
    bool hasChannel = false;
    uint8_t channel = 0;  // 0: a frequency outside the 2.4 and 5 GHz bands
    bool hasSignal = false;
    int8_t signalDbm = 0;
    bool hasNoise = false;
    int8_t noiseDbm = 0;
};

// Reads the radiotap header at the start of captured bytes: nullptr on
// success, else why the header is damaged. Reading the fields of the first
// present word stops at one that would run past the header, and at the TLVs
// (bit 28), whose size is not fixed.
const char* ParseRadiotap(const uint8_t* record, size_t captured, RadiotapInfo* radio);

// Channel number of a frequency in MHz; 0 outside the 2.4 and 5 GHz bands.
uint8_t ChannelOfFrequency(uint16_t megahertz);
// Signal or noise power as a percentage: -100 dBm and below is 0 %, each dB
// above it 2 %, -50 dBm and above 100 %.
uint8_t PercentOfDbm(int8_t dbm);

}  // namespace translator::pcap
