#pragma once

#include <cstdint>

#include "frame_record.h"

namespace translator {

// Ethernet frame sizes on the line, counted with the 4-byte FCS unless said.
constexpr int32_t kEthernetFcsSize = 4;
constexpr int32_t kEthernetMinFrame = 64;
constexpr int32_t kEthernetMinFrameNoFcs = kEthernetMinFrame - kEthernetFcsSize;
constexpr int32_t kEthernetMaxFrame = 1518;

// Whether a whole frame shorter than the Ethernet minimum is padded to it.
enum class Runts { kPadded, kAsCaptured };

// Gives an Ethernet frame read without its FCS the four bytes back, since
// frames travel with it. A whole frame (captured as long as on the line) is
// padded with zero bytes to the minimum first where runts says so, then gains
// the FCS bytes on both lengths. A cut frame never reached its FCS: only its
// line length grows. The buffer must hold the minimum frame and the FCS.
void AddEthernetFcs(FrameRecord& frame, FcsBytes bytes, Runts runts);

// What a format that stores frames without their FCS keeps of a frame that
// carries one: the line length less the FCS, and every captured byte before
// the FCS. A cut frame never reached its FCS, so it keeps all it captured.
int32_t LineLengthWithoutFcs(const FrameRecord& frame);
int32_t CapturedWithoutFcs(const FrameRecord& frame);

// The same for an 802.11 frame, which has no minimum size: never padded, and
// a short frame still gets its computed FCS.
void AddWirelessFcs(FrameRecord& frame, FcsBytes bytes);

}  // namespace translator
