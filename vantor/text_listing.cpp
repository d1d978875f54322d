#include "text_listing.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "capture_format.h"
#include "common/byte_order.h"
#include "line_reader.h"

namespace vantor {

using namespace byte_order;

namespace {

// Lines come in pieces of at most 79 characters, as through an 80-byte line buffer.
constexpr size_t kLineChars = 79;
// In a MAC listing this line after the first frame line is a payload line;
// " ... " there means the tester abbreviated the payloads.
constexpr int kTruncationProbeLine = 16;

// Fixed columns of the tester's listing.
constexpr size_t kAtmValueColumn = 41;
constexpr size_t kHecBegin = 43, kHecEnd = 45;
constexpr size_t kHexBegin = 13, kHexEnd = 61;
constexpr size_t kFieldBegin = 39;
constexpr size_t kAddressEnd = 57;
constexpr size_t kLengthBegin = 37, kLengthEnd = 42;
constexpr size_t kByteFieldEnd = 42;
constexpr size_t kOuiEnd = 48;
constexpr size_t kPidEnd = 44;
constexpr size_t kFcsBegin = 25, kFcsEnd = 33;  // counted from the start of the label
constexpr size_t kHexBytesPerLine = 16;
constexpr size_t kCellPayloadSize = 48;

bool IsFrameLine(std::string_view line) {
    return Contains(line, "ATM") || Contains(line, "MAC");
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Pairs of adjacent hex digits, up to max bytes; anything else separates them.
size_t ParseHexBytes(std::string_view text, uint8_t* out, size_t max) {
    size_t count = 0;
    for (size_t i = 0; i + 1 < text.size() && count < max;) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high >= 0 && low >= 0) {
            out[count++] = static_cast<uint8_t>(high << 4 | low);
            i += 2;
        } else {
            ++i;
        }
    }
    return count;
}

// A decimal number, or a hex one after "0x"; saturates instead of overflowing.
uint32_t ParseNumber(std::string_view text) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) {
        return 0;
    }
    unsigned base = 10;
    if (text.substr(i, 2) == "0x" || text.substr(i, 2) == "0X") {
        base = 16;
        i += 2;
    }
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) {
            break;
        }
        value = std::min<uint64_t>(value * base + static_cast<unsigned>(digit), UINT32_MAX);
    }
    return static_cast<uint32_t>(value);
}

// Reads up to maxDigits digits at pos; false when there is none.
bool ReadDigits(std::string_view line, size_t& pos, size_t maxDigits, uint64_t& value,
                size_t* digits = nullptr) {
    value = 0;
    size_t n = 0;
    for (; pos < line.size() && n < maxDigits && line[pos] >= '0' && line[pos] <= '9'; ++pos, ++n) {
        value = value * 10 + static_cast<unsigned>(line[pos] - '0');
    }
    if (digits != nullptr) {
        *digits = n;
    }
    return n > 0;
}

// "hh:mm:ss.fffffff" at the start of a frame line, in 100 ns units since midnight.
uint64_t ParseTimeOfDay(std::string_view line) {
    constexpr size_t kFractionDigits = 7;
    size_t pos = line.find_first_not_of(' ');
    uint64_t hours = 0, minutes = 0, seconds = 0, fraction = 0;
    size_t fractionDigits = 0;
    if (pos == std::string_view::npos || !ReadDigits(line, pos, 2, hours) || pos >= line.size() ||
        line[pos++] != ':' || !ReadDigits(line, pos, 2, minutes) || pos >= line.size() ||
        line[pos++] != ':' || !ReadDigits(line, pos, 2, seconds)) {
        return 0;
    }
    if (pos < line.size() && line[pos] == '.') {
        ++pos;
        ReadDigits(line, pos, kFractionDigits, fraction, &fractionDigits);
        for (; fractionDigits < kFractionDigits; ++fractionDigits) {
            fraction *= 10;
        }
    }
    return ((hours * 60 + minutes) * 60 + seconds) * 10000000 + fraction;
}

void AppendTimestamp(std::vector<uint8_t>& out, uint64_t units) {
    for (int shift = 40; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(units >> shift));
    }
}

// One ATM cell: five header field lines, the HEC line, then three hex lines
// each after one skipped line.
class AtmCellParser {
public:
    explicit AtmCellParser(uint64_t timestamp) : timestamp_(timestamp) {}

    void Line(std::string_view line) {
        if (linesAfterHec_ >= 0) {
            ++linesAfterHec_;
            const int hexLine = linesAfterHec_ / 2 - 1;
            if (linesAfterHec_ % 2 == 0 && hexLine < 3) {
                ParseHexBytes(Columns(line, kHexBegin, kHexEnd),
                              payload_ + hexLine * kHexBytesPerLine, kHexBytesPerLine);
            }
            return;
        }
        const uint32_t value = ParseNumber(Columns(line, kAtmValueColumn, std::string_view::npos));
        if (Contains(line, "Header Error Control")) {
            ParseHexBytes(Columns(line, kHecBegin, kHecEnd), &hec_, 1);
            linesAfterHec_ = 0;
        } else if (Contains(line, "Generic Flow Control")) {
            gfc_ = value;
        } else if (Contains(line, "Virtual Path Identifier")) {
            vpi_ = value;
        } else if (Contains(line, "Virtual Channel Identifier")) {
            vci_ = value;
        } else if (Contains(line, "Payload Type")) {
            pt_ = value;
        } else if (Contains(line, "Cell Loss Priority")) {
            clp_ = value;
        }
    }

    // The UNI cell header: GFC 4 bits, VPI 8, VCI 16, PT 3, CLP 1, HEC 8.
    void Finish(std::vector<uint8_t>& items) const {
        AppendTimestamp(items, timestamp_);
        items.push_back(static_cast<uint8_t>((gfc_ & 0xF) << 4 | (vpi_ & 0xFF) >> 4));
        items.push_back(static_cast<uint8_t>((vpi_ & 0xF) << 4 | (vci_ & 0xFFFF) >> 12));
        items.push_back(static_cast<uint8_t>(vci_ >> 4));
        items.push_back(static_cast<uint8_t>((vci_ & 0xF) << 4 | (pt_ & 0x7) << 1 | (clp_ & 1)));
        items.push_back(hec_);
        items.insert(items.end(), payload_, payload_ + kCellPayloadSize);
    }

private:
    uint64_t timestamp_;
    uint32_t gfc_ = 0, vpi_ = 0, vci_ = 0, pt_ = 0, clp_ = 0;
    uint8_t hec_ = 0;
    int linesAfterHec_ = -1;
    uint8_t payload_[kCellPayloadSize] = {};
};

// One MAC frame: address, length and LLC/SNAP field lines, payload lines
// after the PID, and the FCS line that closes the frame.
class MacFrameParser {
public:
    explicit MacFrameParser(uint64_t timestamp) {
        AppendTimestamp(item_, timestamp);
        AppendBE16(item_, 0);
    }

    void Line(std::string_view line) {
        if (closed_) {
            return;
        }
        constexpr std::string_view kFcsLabel = "Frame Check Sequence";
        const size_t fcs = line.find(kFcsLabel);
        if (fcs != std::string_view::npos) {
            Field(Columns(line, fcs + kFcsBegin, fcs + kFcsEnd), 4);
            closed_ = true;
        } else if (inPayload_) {
            const std::string_view hex = Columns(line, kHexBegin, kHexEnd);
            uint8_t bytes[kHexBytesPerLine];
            Append(bytes,
                   ParseHexBytes(hex.substr(0, hex.find("        ")), bytes, kHexBytesPerLine));
        } else if (Contains(line, "Destination Address     0x") ||
                   Contains(line, "Source Address")) {
            Field(Columns(line, kFieldBegin, kAddressEnd), 6);
        } else if (Contains(line, "Frame Length")) {
            const uint32_t length = ParseNumber(Columns(line, kLengthBegin, kLengthEnd));
            const uint8_t bytes[2] = {static_cast<uint8_t>(length >> 8),
                                      static_cast<uint8_t>(length)};
            Append(bytes, 2);
        } else if (Contains(line, "DSAP") || Contains(line, "SSAP") || Contains(line, "Control")) {
            Field(Columns(line, kFieldBegin, kByteFieldEnd), 1);
        } else if (Contains(line, "OUI")) {
            Field(Columns(line, kFieldBegin, kOuiEnd), 3);
        } else if (Contains(line, "PID")) {
            Field(Columns(line, kFieldBegin, kPidEnd), 2);
            inPayload_ = true;
        }
    }

    // The item length always describes the bytes gathered, so a frame cut
    // short by the next frame line or the end of the listing stays walkable.
    void Finish(std::vector<uint8_t>& items) {
        StoreBE16(&item_[kTimestampSize], static_cast<uint16_t>(item_.size()));
        items.insert(items.end(), item_.begin(), item_.end());
    }

private:
    // size bytes from the columns; missing digits leave zero bytes.
    void Field(std::string_view columns, size_t size) {
        uint8_t bytes[6] = {};
        ParseHexBytes(columns, bytes, size);
        Append(bytes, size);
    }

    void Append(const uint8_t* bytes, size_t size) {
        const size_t room = kMaxMacItemSize - item_.size();
        item_.insert(item_.end(), bytes, bytes + std::min(size, room));
    }

    std::vector<uint8_t> item_;
    bool inPayload_ = false;
    bool closed_ = false;
};

double LocalMidnight() {
    const time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    return static_cast<double>(now - (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec));
}

}  // namespace

bool TextListingReader::Open(std::FILE* stream, VantorFileInfo& info) {
    stream_ = stream;
    std::string line;
    int sinceFirstMac = -1;
    bool truncated = false;
    while (ReadLineFragment(stream_, kLineChars, line)) {
        if (sinceFirstMac >= 0 && ++sinceFirstMac == kTruncationProbeLine) {
            truncated = Contains(line, " ... ");
        }
        if (!IsFrameLine(line)) {
            continue;
        }
        if (recordCount_ == INT_MAX) {
            return false;
        }
        if (recordCount_++ == 0) {
            kind_ = Contains(line, "ATM") ? kKindAtm : kKindMac;
        }
        if (kind_ == kKindMac && sinceFirstMac < 0) {
            sinceFirstMac = 0;
        }
    }
    if (kind_ == 0) {
        kind_ = kKindAtm;
    }
    const bool atm = kind_ == kKindAtm;
    info.kind = kind_;
    info.lineCode = atm ? kLineCodeAtm : kLineCodeMac;
    info.lineRate = info.secondRate = atm ? kRateAtm : kRateMac;
    info.truncated = truncated ? 1 : 0;
    info.captureStart = LocalMidnight();
    std::strncpy(info.description, kListingTitle, sizeof info.description - 1);
    return true;
}

int TextListingReader::ReadBlock(int block, std::vector<uint8_t>& items) {
    if (fseeko(stream_, 0, SEEK_SET) != 0) {
        return 0;
    }
    const int64_t first = int64_t{block} * kItemsPerBlock;
    const int64_t end = first + kItemsPerBlock;
    std::string line;
    ReadLineFragment(stream_, kLineChars, line);
    int64_t frame = -1;
    int count = 0;
    std::optional<AtmCellParser> cell;
    std::optional<MacFrameParser> mac;
    auto finish = [&] {
        if (cell) {
            cell->Finish(items);
            cell.reset();
            ++count;
        } else if (mac) {
            mac->Finish(items);
            mac.reset();
            ++count;
        }
    };
    while (ReadLineFragment(stream_, kLineChars, line)) {
        if (IsFrameLine(line)) {
            finish();
            if (++frame >= end) {
                break;
            }
            if (frame >= first) {
                // Every frame is read as the listing's kind, so a block holds items of one kind.
                if (kind_ == kKindAtm) {
                    cell.emplace(ParseTimeOfDay(line));
                } else {
                    mac.emplace(ParseTimeOfDay(line));
                }
            }
        } else if (cell) {
            cell->Line(line);
        } else if (mac) {
            mac->Line(line);
        }
    }
    finish();
    return count;
}

}  // namespace vantor
