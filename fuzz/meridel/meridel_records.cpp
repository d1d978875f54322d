// The bridge's record parsing over one block. The first three input bytes
// choose the record shape, the interface and the WAN type; the rest is the block.
#include <cstdlib>
#include <vector>

#include "formats/meridel/meridel_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace translator;
    if (size < 3) {
        return 0;
    }
    const auto shape = static_cast<MeridelRecord>(data[0] % 4);
    TraceInfo info;
    info.format = (data[0] & 0x80) ? FMT_TL : FMT_OS;
    info.interfaceType = data[1] % 27;
    info.wanType = data[2] % 11;
    static FrameRecord frame;
    static std::vector<uint8_t> rebuilt;
    for (size_t at = 3; at < size;) {
        frame.Reset();
        const ParsedRecord parsed = ParseRecord(shape, data + at, size - at, info, frame);
        if (parsed.status != ParsedRecord::kFrame) {
            break;
        }
        if (parsed.size == 0 || parsed.size > size - at ||
            frame.capturedLength > frame.frameLength) {
            abort();
        }
        at += parsed.size;
        info.Accumulate(frame);
        BuildRecord(shape, info, frame, rebuilt);
    }
    return 0;
}
