#include "records.h"

#include <algorithm>

#include "engine/ethernet.h"

namespace translator {

namespace pcap {

bool WritesInterface(const TraceInfo& info) {
    const int wan = info.wanType;
    return IsLanGroup(info) || IsAtm(info) || info.interfaceType == IF_802_11 ||
           info.interfaceType == IF_ARCNET || wan == WAN_FRAME_RELAY || wan == WAN_PPP ||
           wan == WAN_HDLC;
}

bool GainsEthernetFcs(const TraceInfo& info, LinkLayer layer, bool storedWithFcs, bool pcapfcs,
                      const FrameRecord& frame) {
    // A record of no bytes on the line has no FCS to gain.
    return info.interfaceType == IF_ETHERNET && frame.frameLength > 0 &&
           (layer != LinkLayer::kAsStored || (!storedWithFcs && !pcapfcs));
}

RecordPart RecordPartOf(const TraceInfo& info, const FrameRecord& frame,
                        const ConvertOptions& options) {
    if (info.interfaceType == IF_ETHERNET && !options.pcapfcs) {
        return {frame.Bytes(), CapturedWithoutFcs(frame), LineLengthWithoutFcs(frame)};
    }
    if (IsAtm(info) && options.pcapremoveatm) {
        return {frame.Bytes() + kAtmPrefixSize, std::max(frame.capturedLength - kAtmPrefixSize, 0),
                std::max(frame.frameLength - kAtmPrefixSize, 0)};
    }
    return {frame.Bytes(), frame.capturedLength, frame.frameLength};
}

uint32_t LinkTypeFor(const TraceInfo& info, bool removeAtm, uint32_t fallback) {
    const int type = info.interfaceType;
    const int wan = info.wanType;
    if (type == IF_ETHERNET)
        return 1;
    if (type == IF_TOKEN_RING)
        return 6;
    if (type == IF_ARCNET)
        return 7;
    if (wan == WAN_PPP)
        return 9;
    if (type == IF_FDDI)
        return 10;
    if (IsAtmInterface(type))
        return removeAtm ? 1 : 123;
    if (wan == WAN_RAW_IP)
        return 101;
    if (wan == WAN_HDLC)
        return 104;
    if (type == IF_802_11)
        return 105;
    if (wan == WAN_FRAME_RELAY)
        return 107;
    return fallback;
}

}  // namespace pcap

}  // namespace translator
