#include "trace_info.h"

#include <cstdio>

#include "frame_record.h"
#include "time_base.h"

namespace translator {

const char* FrameOriginNote(int origin) {
    switch (origin) {
        case ORIGIN_LINUX_COOKED:
            return "(from Linux cooked capture)";
        case ORIGIN_RAW_IP:
            return "(from raw IP capture)";
        case ORIGIN_LOOPBACK:
            return "(from loopback capture)";
        case ORIGIN_RADIOTAP:
            return "(from radiotap capture)";
        default:
            return "";
    }
}

const char* CompressionName(int compression) {
    switch (compression) {
        case COMPRESSION_GZIP:
            return "gzip";
        case COMPRESSION_ZSTD:
            return "zstd";
        default:
            return "none";
    }
}

const char* CompressionNote(int compression) {
    switch (compression) {
        case COMPRESSION_GZIP:
            return " (gzip-compressed)";
        case COMPRESSION_ZSTD:
            return " (zstd-compressed)";
        default:
            return "";
    }
}

void TraceInfo::Accumulate(FrameRecord& frame) {
    if (frame.nonData) {
        ++nonDataFrames;
    }
    ++framesRead;
    bytesRead += frame.frameLength;
    if (startTime == 0) {
        startTime = frame.seconds;
    }
    if (maxTruncatedLength < frame.capturedLength && frame.capturedLength < frame.frameLength) {
        maxTruncatedLength = frame.capturedLength;
    }
    if (frame.frameLength > maxFrameLength) {
        maxFrameLength = frame.frameLength;
    }
    if (frame.microseconds >= 1000000u) {
        frame.seconds += frame.microseconds / 1000000u;
        frame.microseconds %= 1000000u;
    }
    if (interfaceType == IF_ETHERNET && (frame.flags & FRAME_ALIGNMENT_ERROR)) {
        frame.flags |= FRAME_CRC_ERROR;
    }
    if (frame.seconds == 0 && frame.microseconds == 0) {
        return;
    }
    bool noneYet = firstSeconds == 0 && firstMicros == 0;
    if (noneYet || frame.seconds < firstSeconds ||
        (frame.seconds == firstSeconds && frame.microseconds < firstMicros)) {
        firstSeconds = frame.seconds;
        firstMicros = frame.microseconds;
    }
    bool noLastYet = lastSeconds == 0 && lastMicros == 0;
    if (noLastYet || frame.seconds > lastSeconds ||
        (frame.seconds == lastSeconds && frame.microseconds > lastMicros)) {
        lastSeconds = frame.seconds;
        lastMicros = frame.microseconds;
    }
}

int32_t TraceInfo::TimeZoneBiasSeconds() const {
    return translator::TimeZoneBiasSeconds(startTime);
}

bool FormatDuration(const TraceInfo& info, char* text, size_t size) {
    if (info.lastSeconds < info.firstSeconds ||
        (info.lastSeconds == info.firstSeconds && info.lastMicros < info.firstMicros)) {
        return false;
    }
    uint32_t d = info.lastSeconds - info.firstSeconds;
    int64_t u = int64_t{info.lastMicros} - int64_t{info.firstMicros};
    if (u < 0) {
        d -= 1;
        u += 1000000;
    }
    snprintf(text, size, "%02u:%02u:%02u.%06u", d / 3600, (d / 60) % 60, d % 60,
             static_cast<unsigned>(u));
    return true;
}

}  // namespace translator
