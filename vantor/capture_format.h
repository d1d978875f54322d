// Layout of a Vantor capture file: file header, port sections, records and
// index. Port 1 carries the trace; ports 2 and 3 only describe themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantor {

inline constexpr char kFileTitle[] = "ZQ Wideline Cellular Probe Capture Data File";
inline constexpr char kListingTitle[] = "ZQ Wideline Cellular Probe Capture Data Record";
inline constexpr char kFileVersion[] = "1.6";

inline constexpr int kKindAtm = 7;
inline constexpr int kKindMac = 8;
inline constexpr int kLineCodeAtm = 7;
inline constexpr int kLineCodeMac = 10;
inline constexpr int kRateAtm = 155000000;
inline constexpr int kRateMac = 10000000;

inline constexpr int kPortCount = 3;

// One row of the header's port table.
struct PortEntry {
    uint32_t sectionOffset = 0;
    uint32_t recordOffset = 0;
    uint32_t indexOffset = 0;
    uint32_t recordCount = 0;
};

// The 108-byte file header: two counted strings, the port count, the port table.
struct FileHeader {
    static constexpr size_t kSize = 108;
    static constexpr size_t kPortTableOffset = 60;
    static constexpr size_t kPortEntrySize = 16;
    // Port 1's name starts right after the header, behind its length.
    static constexpr size_t kPortNameField = 112;

    PortEntry ports[kPortCount];

    std::vector<uint8_t> Serialize() const;
    // Reads the port table only; the fixed strings are recognised elsewhere.
    static FileHeader Parse(const uint8_t (&bytes)[kSize]);
};

// A u32 length, the characters, zero bytes up to the next multiple of 4.
void AppendCountedString(std::vector<uint8_t>& out, const std::string& text);

inline constexpr size_t kTimestampSize = 6;

// Records: both kinds start with a 22-byte prefix, then the timestamp.
inline constexpr size_t kRecordTimestampOffset = 22;
inline constexpr size_t kAtmRecordSize = 116;
inline constexpr size_t kAtmCellOffset = 60;
inline constexpr size_t kCellSize = 53;
inline constexpr size_t kMacRecordHeaderSize = 60;
inline constexpr size_t kMacFrameLengthOffset = 54;
inline constexpr size_t kRecordAlignment = 4;

// Block-buffer items: an ATM item is T and the cell; a MAC item is T, a u16
// item length (frame length + 8) and the frame.
inline constexpr size_t kAtmItemSize = kTimestampSize + kCellSize;
inline constexpr size_t kMacItemHeaderSize = 8;
inline constexpr size_t kMaxMacItemSize = 0xFFFF;
inline constexpr int kItemsPerBlock = 100;

// Record of one ATM cell from a 59-byte item.
std::vector<uint8_t> BuildAtmRecord(const uint8_t* item);
// Record of one MAC frame from an item of 8 + frameLength bytes.
std::vector<uint8_t> BuildMacRecord(const uint8_t* item, uint16_t frameLength);

}  // namespace vantor
