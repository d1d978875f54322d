#include "ethernet.h"

#include <algorithm>

#include "checksum.h"
#include "common/byte_order.h"

namespace translator {

void AddEthernetFcs(FrameRecord& frame, FcsBytes bytes, Runts runts) {
    if (frame.capturedLength < frame.frameLength) {
        frame.frameLength += kEthernetFcsSize;
        return;
    }
    frame.capturedLength = frame.frameLength;
    if (runts == Runts::kPadded) {
        frame.ExtendRunt(kEthernetMinFrameNoFcs);
    }
    frame.frameLength += kEthernetFcsSize;
    frame.capturedLength += kEthernetFcsSize;
    frame.StoreCrc32(bytes);
}

int32_t LineLengthWithoutFcs(const FrameRecord& frame) {
    return std::max(frame.frameLength - kEthernetFcsSize, 0);
}

int32_t CapturedWithoutFcs(const FrameRecord& frame) {
    return std::clamp(frame.capturedLength, 0, LineLengthWithoutFcs(frame));
}

void AddWirelessFcs(FrameRecord& frame, FcsBytes bytes) {
    if (frame.capturedLength < frame.frameLength) {
        frame.frameLength += kEthernetFcsSize;
        return;
    }
    const int32_t length = frame.frameLength;
    if (length + kEthernetFcsSize > frame.capacity) {
        return;
    }
    uint8_t* data = frame.data.get();
    byte_order::StoreLE32(data + length, bytes == FcsBytes::kComputed ? Crc32(data, length) : 0);
    frame.frameLength = frame.capturedLength = length + kEthernetFcsSize;
}

}  // namespace translator
