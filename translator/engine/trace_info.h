#pragma once

#include <cstddef>
#include <cstdint>

#include "format_table.h"

namespace translator {

struct FrameRecord;

// The framing a reader rebuilt its frames from, when the source stored them
// with a link header of another kind; the file summary names it.
enum FrameOrigin : int32_t {
    ORIGIN_AS_STORED = 0,
    ORIGIN_LINUX_COOKED,
    ORIGIN_RAW_IP,
    ORIGIN_LOOPBACK,
    ORIGIN_RADIOTAP,
};

// "(from Linux cooked capture)" and the like; empty for frames as stored.
const char* FrameOriginNote(int origin);

// How the source file is stored; the file summary names a compression.
enum SourceCompression : int32_t {
    COMPRESSION_NONE = 0,
    COMPRESSION_GZIP,
    COMPRESSION_ZSTD,
};

// "gzip", "zstd" or "none".
const char* CompressionName(int compression);
// " (gzip-compressed)" and the like; empty for a plain file.
const char* CompressionNote(int compression);

// What one source file says about itself, plus statistics of the frames read.
struct TraceInfo {
    int32_t format = FMT_UN;
    int32_t lineRate = 0;
    char comment[300] = {};
    int64_t totalFrames = -1;
    int32_t interfaceType = IF_UNKNOWN;
    int32_t wanType = WAN_NONE;
    int32_t frameOrigin = ORIGIN_AS_STORED;
    int32_t compression = COMPRESSION_NONE;
    char notes[2048] = {};
    uint32_t startTime = 0;
    uint32_t firstSeconds = 0;
    uint32_t lastSeconds = 0;
    uint32_t firstMicros = 0;
    uint32_t lastMicros = 0;
    int64_t framesRead = 0;
    int64_t nonDataFrames = 0;
    int64_t bytesRead = 0;
    int32_t maxTruncatedLength = 0;
    int32_t maxFrameLength = 0;
    int32_t percentDone = 0;
    int64_t framesWritten = 0;
    // Frames without captured bytes that the destination could not hold.
    int64_t emptyFramesLeftOut = 0;

    void Reset() { *this = TraceInfo{}; }
    // Counts one frame read and normalises its timestamp and error marks.
    void Accumulate(FrameRecord& frame);
    int32_t TimeZoneBiasSeconds() const;
};

inline bool IsAtm(const TraceInfo& info) {
    return IsAtmInterface(info.interfaceType);
}
inline bool IsLanGroup(const TraceInfo& info) {
    return IsLanGroupInterface(info.interfaceType);
}
inline bool IsWanFamily(const TraceInfo& info) {
    return IsWanFamilyInterface(info.interfaceType);
}

// "hh:mm:ss.uuuuuu" span from the first to the last timestamp; false when the
// last is earlier than the first.
bool FormatDuration(const TraceInfo& info, char* text, size_t size);

}  // namespace translator
