#include "ethernet.h"

#include <algorithm>

namespace translator {

void AddEthernetFcs(FrameRecord& frame, bool computeFcs, bool padRunt) {
    if (frame.capturedLength < frame.frameLength) {
        frame.frameLength += kEthernetFcsSize;
        return;
    }
    frame.capturedLength = frame.frameLength;
    if (padRunt) {
        frame.ExtendRunt(kEthernetMinFrameNoFcs);
    }
    frame.frameLength += kEthernetFcsSize;
    frame.capturedLength += kEthernetFcsSize;
    frame.StoreCrc32(computeFcs);
}

int32_t LineLengthWithoutFcs(const FrameRecord& frame) {
    return std::max(frame.frameLength - kEthernetFcsSize, 0);
}

int32_t CapturedWithoutFcs(const FrameRecord& frame) {
    return std::clamp(frame.capturedLength, 0, LineLengthWithoutFcs(frame));
}

}  // namespace translator
