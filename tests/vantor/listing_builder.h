#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// "01 02 03": bytes as the tester's listing prints them.
inline std::string HexText(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t b : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", b);
        if (!text.empty()) {
            text += ' ';
        }
        text += pair;
    }
    return text;
}

// A line with each text placed at its column.
inline std::string At(const std::vector<std::pair<size_t, std::string>>& parts) {
    std::string line;
    for (const auto& [column, text] : parts) {
        line.resize(std::max(line.size(), column), ' ');
        line.replace(column, text.size(), text);
    }
    return line + "\n";
}

struct ListingCell {
    std::string time;
    unsigned gfc, vpi, vci, pt, clp;
    uint8_t hec;
    std::vector<uint8_t> payload;  // 48 bytes
};

struct ListingMacFrame {
    std::string time;
    std::vector<uint8_t> destination, source;
    unsigned length;
    uint8_t dsap, ssap, control;
    std::vector<uint8_t> oui;
    std::string pid;  // four hex digits
    std::vector<uint8_t> payload;
    std::string fcs;                     // eight hex digits
    std::vector<std::string> moreLines;  // written after the payload rows
};

// The tester's fixed-width decoded listing: field labels at column 13, values
// at the columns the tester prints them.
class ListingBuilder {
public:
    ListingBuilder() : text_("ZQ Wideline Cellular Probe Capture Data Record\n") {}

    ListingBuilder& line(const std::string& text) {
        text_ += text;
        return *this;
    }

    ListingBuilder& cell(const ListingCell& c) {
        line(At({{0, c.time}, {20, "ATM  Cell"}}));
        Field("Generic Flow Control", 41, std::to_string(c.gfc));
        Field("Virtual Path Identifier", 41, std::to_string(c.vpi));
        Field("Virtual Channel Identifier", 41, std::to_string(c.vci));
        Field("Payload Type", 41, std::to_string(c.pt));
        Field("Cell Loss Priority", 41, std::to_string(c.clp));
        Field("Header Error Control", 41, "0x" + HexText({c.hec}));
        for (size_t row = 0; row < 3; ++row) {
            line(row == 0 ? At({{13, "Payload"}}) : "\n");
            const std::vector<uint8_t> bytes(c.payload.begin() + 16 * row,
                                             c.payload.begin() + 16 * row + 16);
            line(At({{0, Offset(16 * row)}, {13, HexText(bytes)}}));
        }
        return *this;
    }

    ListingBuilder& mac(const ListingMacFrame& f) {
        line(At({{0, f.time}, {20, "MAC  Frame"}}));
        Field("Destination Address     0x", 39, HexText(f.destination));
        Field("Source Address", 39, HexText(f.source));
        Field("Frame Length", 37, std::to_string(f.length));
        Field("DSAP", 39, HexText({f.dsap}));
        Field("SSAP", 39, HexText({f.ssap}));
        Field("Control", 39, HexText({f.control}));
        Field("OUI", 39, HexText(f.oui));
        Field("PID", 39, f.pid);
        for (size_t row = 0; row < f.payload.size(); row += 16) {
            const size_t end = std::min(f.payload.size(), row + 16);
            const std::vector<uint8_t> bytes(f.payload.begin() + row, f.payload.begin() + end);
            // A short last row is followed by the character column, like the tester prints it.
            line(end - row == 16 ? At({{0, Offset(row)}, {13, HexText(bytes)}})
                                 : At({{0, Offset(row)}, {13, HexText(bytes)}, {63, "ab.cd"}}));
        }
        for (const std::string& more : f.moreLines) {
            line(more);
        }
        line(At({{13, "Frame Check Sequence"}, {38, f.fcs}}));
        return *this;
    }

    const std::string& text() const { return text_; }

private:
    void Field(const std::string& label, size_t column, const std::string& value) {
        line(At({{13, label}, {column, value}}));
    }
    static std::string Offset(size_t offset) {
        char text[24];
        std::snprintf(text, sizeof text, "%04zX:", offset);
        return text;
    }

    std::string text_;
};

}  // namespace testsupport
