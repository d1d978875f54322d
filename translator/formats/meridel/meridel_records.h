#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/frame_record.h"
#include "engine/trace_info.h"
#include "meridel/meridel_api.h"

namespace translator {

// The record shapes of Meridel frame streams, as the translator reads and
// writes them.
enum class MeridelRecord { kCell, kLayout1, kLayout12, kLayout3 };

// The shape of the records of a Trellan or Ostrel file (formatId) of the
// trace, chosen from what is known of the trace, not from the layout code
// stored in the file.
MeridelRecord RecordShapeFor(int formatId, const TraceInfo& info);

struct ParsedRecord {
    enum Status {
        kFrame,     // frame filled; `size` bytes consumed
        kBlockEnd,  // no whole record at this point: the rest of the block is unusable
        kTooLong,   // the record's data length, `size`, is too long to read
    };
    Status status;
    size_t size;
};

// Parses the record at `record`, of which `available` bytes belong to the
// block. Never reads past them. Fills `frame`; may set info.startTime.
ParsedRecord ParseRecord(MeridelRecord shape, const uint8_t* record, size_t available,
                         TraceInfo& info, FrameRecord& frame);

// Cells and layout-3 records count 48-bit 100-ns ticks from the capture start:
// 0 to 7818:44:57.67 (this many microseconds). Layouts 1 and 12 keep 32-bit
// Unix seconds, which hold every frame time.
constexpr int64_t kMaxTickOffsetMicros = ((int64_t{1} << 48) - 1) / 10;
inline bool CountsTicks(MeridelRecord shape) {
    return shape == MeridelRecord::kCell || shape == MeridelRecord::kLayout3;
}

// The most captured bytes a record holds: 65535 in layouts 1 and 12 (16-bit
// lengths; layout 1's line length is read as 16 bits), 65522 in layout 3
// (its 16-bit total counts 13 bytes of header and trailer). A cell holds one
// cell of any frame.
int64_t MaxRecordedLength(MeridelRecord shape);

// Builds the record of one frame into `out`; false when a field of the
// record cannot hold the frame's captured length or time. A cut frame longer
// on the line than a line-length field holds keeps the largest value.
bool BuildRecord(MeridelRecord shape, const TraceInfo& info, const FrameRecord& frame,
                 std::vector<uint8_t>& out);

// FileConfigInfo <-> TraceInfo. Reading fails for kinds other than 0 and 3.
bool ConfigToTraceInfo(const FileConfigInfo& config, TraceInfo& info);
// Fills config and its 32-byte extension block (which config then points to).
void TraceInfoToConfig(const TraceInfo& info, int formatId, int32_t sliceBytes, bool slice,
                       FileConfigInfo& config, uint8_t* extension);

constexpr int32_t kMeridelExtensionSize = 32;

}  // namespace translator
