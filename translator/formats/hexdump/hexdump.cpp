#include "hexdump.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "engine/ethernet.h"
#include "formats/pcap_common/records.h"

namespace translator {

namespace {
constexpr int kBytesPerLine = 16;
constexpr int kHalfLine = 8;
}  // namespace

bool HexDumpWriter::WriteHeader(const TraceInfo& info) {
    char text[256];
    int n =
        snprintf(text, sizeof text,
                 "# Use text2pcap to generate a libpcap capture file.\r\n"
                 "# text2pcap -a -l %u -t \"%%m/%%d/%%Y %%H:%%M:%%S.%%f\" inputfile outputfile\r\n",
                 pcap::LinkTypeFor(info, false, 1));
    return WriteBytes(text, n) && file.Flush();
}

int FormatDumpLine(char* line, int offset, const uint8_t* bytes, int count) {
    static const char kHex[] = "0123456789abcdef";
    // Written through a local pointer, which no character store can alias:
    // a formatted print and a counter kept in memory were most of the time
    // of a dump.
    char* p = line;
    const auto shown = static_cast<unsigned>(offset) & 0xFFFFFFu;
    for (int shift = 20; shift >= 0; shift -= 4) {
        *p++ = kHex[(shown >> shift) & 0xF];
    }
    *p++ = ' ';
    for (int i = 0; i < kBytesPerLine; ++i) {
        if (i < count) {
            *p++ = kHex[bytes[i] >> 4];
            *p++ = kHex[bytes[i] & 0xF];
            *p++ = ' ';
        } else {
            p = std::fill_n(p, 3, ' ');
        }
        if (i == kHalfLine - 1) {
            p = std::fill_n(p, 3, ' ');
        }
    }
    p = std::fill_n(p, 5, ' ');
    for (int i = 0; i < count; ++i) {
        *p++ = bytes[i] >= ' ' && bytes[i] <= '~' ? static_cast<char>(bytes[i]) : '.';
        if (i == kHalfLine - 1 && count > kHalfLine) {
            p = std::fill_n(p, 3, ' ');
        }
    }
    *p++ = '\r';
    *p++ = '\n';
    return static_cast<int>(p - line);
}

bool HexDumpWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    const int count =
        info.interfaceType == IF_ETHERNET ? CapturedWithoutFcs(frame) : frame.capturedLength;
    if (count <= 0) {
        return true;
    }
    std::string head = "\r\n";
    char text[128];
    if (options->hexdumpextended) {
        snprintf(text, sizeof text, "# %d: ", static_cast<int>(info.framesRead));
        head += text;
        if (frame.flags & FRAME_DIR_LN)
            head += "LN ";
        if (frame.flags & FRAME_DIR_EQ)
            head += "EQ ";
        if (frame.flags & FRAME_CRC_ERROR)
            head += "CRC Error ";
        head += "\r\n";
    }
    // A local date text: every frame time, 1970 to 2106.
    time_t seconds = frame.seconds;
    struct tm local {};
    if (localtime_r(&seconds, &local) != nullptr && local.tm_mon >= 0 && local.tm_mon < 12 &&
        local.tm_mday <= 31) {
        // Six digits: text2pcap reads the digits after the point as a fraction.
        snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d.%06u\r\n", local.tm_mon + 1,
                 local.tm_mday, local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                 frame.microseconds);
        head += text;
    }
    if (!WriteBytes(head.data(), static_cast<int64_t>(head.size()))) {
        return false;
    }
    const uint8_t* bytes = frame.data.get();
    char line[128];
    for (int offset = 0; offset < count; offset += kBytesPerLine) {
        int n = FormatDumpLine(line, offset, bytes + offset,
                               count - offset < kBytesPerLine ? count - offset : kBytesPerLine);
        if (!WriteBytes(line, n)) {
            return false;
        }
    }
    return file.Flush();
}

}  // namespace translator
