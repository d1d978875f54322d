#include "hexdump.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "engine/ethernet.h"
#include "formats/pcap_common/records.h"

namespace translator {

namespace {
constexpr int kBytesPerLine = 16;
constexpr int kHalfLine = 8;
// Columns of a dump line: six offset digits and a space, "hh " per byte with
// three more spaces after the eighth, five spaces, then a character per byte
// with three spaces after the eighth.
constexpr int kOffsetDigits = 6;
constexpr int kHalfGap = 3;
constexpr int kCharColumnGap = 5;
constexpr int kFirstHexColumn = kOffsetDigits + 1;
constexpr int kFirstCharColumn = kFirstHexColumn + 3 * kBytesPerLine + kHalfGap + kCharColumnGap;
constexpr int kWholeLineLength = kFirstCharColumn + kBytesPerLine + kHalfGap + 2;
// A whole line after its offset, bytes left blank.
constexpr char kWholeLineTemplate[] =
    "                                              "
    "                              \r\n";
static_assert(sizeof kWholeLineTemplate - 1 == kWholeLineLength - kOffsetDigits);
// Lines formatted per reservation of output room; any frame takes few.
constexpr int kLinesPerBlock = 256;

// Every byte value's text, looked up instead of formatted: each "hh " is
// padded to four characters so that it is stored with one fixed-size copy.
struct DumpTables {
    char hexTriple[256][4];
    char hexPair[256][2];
    char decimalPair[100][2];
    char shown[256];
};

constexpr DumpTables MakeDumpTables() {
    constexpr char kHex[] = "0123456789abcdef";
    DumpTables t{};
    for (int b = 0; b < 256; ++b) {
        t.hexTriple[b][0] = t.hexPair[b][0] = kHex[b >> 4];
        t.hexTriple[b][1] = t.hexPair[b][1] = kHex[b & 0xF];
        t.hexTriple[b][2] = t.hexTriple[b][3] = ' ';
        t.shown[b] = b >= ' ' && b <= '~' ? static_cast<char>(b) : '.';
    }
    for (int d = 0; d < 100; ++d) {
        t.decimalPair[d][0] = static_cast<char>('0' + d / 10);
        t.decimalPair[d][1] = static_cast<char>('0' + d % 10);
    }
    return t;
}

constexpr DumpTables kTables = MakeDumpTables();

char* PutSpaces(char* p, int n) {
    memset(p, ' ', static_cast<size_t>(n));
    return p + n;
}

// value, 0 to 99, as two digits.
char* PutTwoDigits(char* p, int value) {
    memcpy(p, kTables.decimalPair[value], 2);
    return p + 2;
}

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
    const auto shown = static_cast<unsigned>(offset) & 0xFFFFFFu;
    memcpy(line, kTables.hexPair[shown >> 16], 2);
    memcpy(line + 2, kTables.hexPair[(shown >> 8) & 0xFF], 2);
    memcpy(line + 4, kTables.hexPair[shown & 0xFF], 2);
    if (count == kBytesPerLine) {
        // Every position of a whole line is fixed: the spaces come from a
        // template and each byte's text goes straight to its columns.
        memcpy(line + kOffsetDigits, kWholeLineTemplate, kWholeLineLength - kOffsetDigits);
#pragma GCC unroll 16
        for (int i = 0; i < kBytesPerLine; ++i) {
            const int gap = i < kHalfLine ? 0 : kHalfGap;
            memcpy(line + kFirstHexColumn + 3 * i + gap, kTables.hexPair[bytes[i]], 2);
            line[kFirstCharColumn + i + gap] = kTables.shown[bytes[i]];
        }
        return kWholeLineLength;
    }
    // The last line of a frame. Written through a local pointer, which no
    // character store can alias.
    char* p = line + kOffsetDigits;
    *p++ = ' ';
    for (int i = 0; i < kBytesPerLine; ++i) {
        memcpy(p, i < count ? kTables.hexTriple[bytes[i]] : "    ", 4);
        p += 3;
        if (i == kHalfLine - 1) {
            p = PutSpaces(p, kHalfGap);
        }
    }
    p = PutSpaces(p, kCharColumnGap);
    for (int i = 0; i < count; ++i) {
        *p++ = kTables.shown[bytes[i]];
        if (i == kHalfLine - 1 && count > kHalfLine) {
            p = PutSpaces(p, kHalfGap);
        }
    }
    *p++ = '\r';
    *p++ = '\n';
    return static_cast<int>(p - line);
}

char* HexDumpWriter::PutHeading(char* p, const TraceInfo& info, const FrameRecord& frame) {
    *p++ = '\r';
    *p++ = '\n';
    if (options->hexdumpextended) {
        memcpy(p, "# ", 2);
        p = std::to_chars(p + 2, p + 16, static_cast<int>(info.framesRead)).ptr;
        memcpy(p, ": ", 2);
        p += 2;
        if (frame.flags & FRAME_DIR_LN) {
            p = std::copy_n("LN ", 3, p);
        }
        if (frame.flags & FRAME_DIR_EQ) {
            p = std::copy_n("EQ ", 3, p);
        }
        if (frame.flags & FRAME_CRC_ERROR) {
            p = std::copy_n("CRC Error ", 10, p);
        }
        *p++ = '\r';
        *p++ = '\n';
    }
    // Frames come in time order, many in each second: the local date and
    // time of day are worked out once per second.
    if (!secondDated_ || frame.seconds != datedSecond_) {
        DateSecond(frame.seconds);
    }
    if (secondText_[0] == '\0') {
        return p;
    }
    p = std::copy_n(secondText_, kSecondTextLength, p);
    if (frame.microseconds > 999999) {
        // Wider than its six digits; printed whole, as ever.
        p += snprintf(p, 16, "%06u", frame.microseconds);
    } else {
        p = PutTwoDigits(p, static_cast<int>(frame.microseconds / 10000));
        p = PutTwoDigits(p, static_cast<int>(frame.microseconds / 100 % 100));
        p = PutTwoDigits(p, static_cast<int>(frame.microseconds % 100));
    }
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

void HexDumpWriter::DateSecond(uint32_t seconds) {
    secondDated_ = true;
    datedSecond_ = seconds;
    secondText_[0] = '\0';
    // A local date text: every frame time, 1970 to 2106.
    const time_t since = seconds;
    struct tm local {};
    if (localtime_r(&since, &local) == nullptr || local.tm_mon < 0 || local.tm_mon >= 12 ||
        local.tm_mday > 31) {
        return;
    }
    // "MM/DD/YYYY HH:MM:SS."; six digits follow, which text2pcap reads as a fraction.
    const int year = local.tm_year + 1900;
    char* p = secondText_;
    p = PutTwoDigits(p, local.tm_mon + 1);
    *p++ = '/';
    p = PutTwoDigits(p, local.tm_mday);
    *p++ = '/';
    p = PutTwoDigits(p, year / 100);
    p = PutTwoDigits(p, year % 100);
    *p++ = ' ';
    p = PutTwoDigits(p, local.tm_hour);
    *p++ = ':';
    p = PutTwoDigits(p, local.tm_min);
    *p++ = ':';
    p = PutTwoDigits(p, local.tm_sec);
    *p = '.';
}

bool HexDumpWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    const int count =
        info.interfaceType == IF_ETHERNET ? CapturedWithoutFcs(frame) : frame.capturedLength;
    if (count <= 0) {
        return true;
    }
    // Built in place in the output buffer, a block of lines at a time.
    auto* heading = reinterpret_cast<char*>(file.Reserve(kHeadingRoom));
    if (heading == nullptr) {
        return false;
    }
    file.Advance(static_cast<size_t>(PutHeading(heading, info, frame) - heading));
    const uint8_t* bytes = frame.Bytes();
    for (int offset = 0; offset < count;) {
        const int lines =
            std::min((count - offset + kBytesPerLine - 1) / kBytesPerLine, kLinesPerBlock);
        auto* block = reinterpret_cast<char*>(file.Reserve(lines * kDumpLineRoom));
        if (block == nullptr) {
            return false;
        }
        char* p = block;
        for (int i = 0; i < lines; ++i, offset += kBytesPerLine) {
            p += FormatDumpLine(p, offset, bytes + offset, std::min(count - offset, kBytesPerLine));
        }
        file.Advance(static_cast<size_t>(p - block));
    }
    return file.Flush();
}

}  // namespace translator
