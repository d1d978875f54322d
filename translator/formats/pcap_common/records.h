#pragma once

#include <cstdint>

#include "engine/convert_options.h"
#include "engine/frame_record.h"
#include "engine/trace_info.h"
#include "link_layer.h"

namespace translator::pcap {

// The ATM pseudo-header in front of the frames of ATM link types.
constexpr int kAtmPrefixSize = 15;

// Whether the writers of the pcap family take a trace of this interface.
bool WritesInterface(const TraceInfo& info);

// Link type for a trace, tested in the fixed order of the link-type list;
// fallback when no entry matches.
uint32_t LinkTypeFor(const TraceInfo& info, bool removeAtm, uint32_t fallback);

// Whether a frame read from a pcap or pcapng record gains the Ethernet FCS
// that frames carry here: rebuilt frames never had one, stored ones lack it
// unless the file (storedWithFcs) or the pcapfcs setting says they end with it.
bool GainsEthernetFcs(const TraceInfo& info, LinkLayer layer, bool storedWithFcs, bool pcapfcs,
                      const FrameRecord& frame);

// What a pcap or pcapng record stores of a frame: without the Ethernet FCS
// unless pcapfcs keeps it, without the ATM prefix when pcapremoveatm asks.
struct RecordPart {
    const uint8_t* bytes;
    int32_t captured;
    int32_t original;
};
RecordPart RecordPartOf(const TraceInfo& info, const FrameRecord& frame,
                        const ConvertOptions& options);

}  // namespace translator::pcap
