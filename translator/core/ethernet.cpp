#include "ethernet.h"

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

}  // namespace translator
