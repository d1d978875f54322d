#include "capture_file_reader.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture_format.h"
#include "common/byte_order.h"
#include "line_reader.h"

namespace vantor {

using namespace byte_order;

namespace {

// The configuration text is looked for in the first lines of the file.
constexpr int kScanLines = 50;
constexpr size_t kScanLineChars = 48;

void SetDescription(VantorFileInfo& info, const char* text) {
    std::strncpy(info.description, text, sizeof info.description - 1);
}

}  // namespace

bool CaptureFileReader::ReadAt(uint64_t offset, uint8_t* bytes, size_t size) {
    return offset + size <= fileSize_ &&
           fseeko(stream_, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fread(bytes, 1, size, stream_) == size;
}

bool CaptureFileReader::ReadHeader(uint32_t& indexOffset, uint32_t& count) {
    uint8_t bytes[FileHeader::kSize];
    if (!ReadAt(0, bytes, sizeof bytes)) {
        return false;
    }
    const FileHeader header = FileHeader::Parse(bytes);
    indexOffset = header.ports[0].indexOffset;
    count = header.ports[0].recordCount;
    if (count > INT_MAX) {
        return false;
    }
    // A file left unfinished has no index; one that claims more than it holds is refused.
    return count == 0 || (indexOffset >= FileHeader::kSize &&
                          uint64_t{indexOffset} + 4 * uint64_t{count} <= fileSize_);
}

bool CaptureFileReader::WalkIndex(uint32_t indexOffset, uint32_t count) {
    std::vector<uint8_t> index(4 * size_t{count});
    if (count > 0 && !ReadAt(indexOffset, index.data(), index.size())) {
        return false;
    }
    uint8_t previous[kTimestampSize] = {};
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t offset = LoadBE32(&index[4 * size_t{i}]);
        uint8_t timestamp[kTimestampSize];
        if (!ReadAt(uint64_t{offset} + kRecordTimestampOffset, timestamp, sizeof timestamp)) {
            continue;
        }
        // Records repeating the previous timestamp are copies of the same frame.
        if (itemOffsets_.empty() || std::memcmp(timestamp, previous, sizeof timestamp) != 0) {
            itemOffsets_.push_back(offset);
            std::memcpy(previous, timestamp, sizeof timestamp);
        }
    }
    return true;
}

bool CaptureFileReader::ScanConfigText(VantorFileInfo& info) {
    if (fseeko(stream_, 0, SEEK_SET) != 0) {
        return false;
    }
    std::string line;
    for (int i = 0; i < kScanLines && ReadLineFragment(stream_, kScanLineChars, line); ++i) {
        if (Contains(line, "selectedLayers:\tATM")) {
            info.kind = kKindAtm;
            info.lineRate = info.secondRate = kRateAtm;
            SetDescription(info, kFileTitle);
        } else if (Contains(line, "selectedLayers:\tMAC")) {
            info.kind = kKindMac;
            info.lineRate = info.secondRate = kRateMac;
            SetDescription(info, kFileTitle);
        }
        constexpr std::string_view kBase = "baseTimestamp:";
        const size_t base = line.find(kBase);
        if (base != std::string::npos) {
            info.captureStart = std::strtod(line.substr(base + kBase.size()).c_str(), nullptr);
        }
    }
    return info.kind == kKindAtm || info.kind == kKindMac;
}

bool CaptureFileReader::Open(std::FILE* stream, VantorFileInfo& info) {
    stream_ = stream;
    if (fseeko(stream_, 0, SEEK_END) != 0) {
        return false;
    }
    const off_t size = ftello(stream_);
    if (size < 0) {
        return false;
    }
    fileSize_ = static_cast<uint64_t>(size);
    uint32_t indexOffset = 0;
    uint32_t count = 0;
    uint8_t portName[3];
    if (!ReadHeader(indexOffset, count) || !ReadAt(FileHeader::kPortNameField, portName, 3) ||
        !WalkIndex(indexOffset, count)) {
        return false;
    }
    if (std::memcmp(portName, "CPP", 3) == 0) {
        info.lineCode = kLineCodeAtm;
    } else if (std::memcmp(portName, "EFP", 3) == 0) {
        info.lineCode = kLineCodeMac;
    }
    if (!ScanConfigText(info)) {
        return false;
    }
    kind_ = info.kind;
    return true;
}

bool CaptureFileReader::AppendAtmItem(uint32_t offset, std::vector<uint8_t>& items) {
    uint8_t record[kAtmCellOffset + kCellSize];
    if (!ReadAt(offset, record, sizeof record)) {
        return false;
    }
    const uint8_t* timestamp = record + kRecordTimestampOffset;
    items.insert(items.end(), timestamp, timestamp + kTimestampSize);
    items.insert(items.end(), record + kAtmCellOffset, record + kAtmCellOffset + kCellSize);
    return true;
}

bool CaptureFileReader::AppendMacItem(uint32_t offset, std::vector<uint8_t>& items) {
    uint8_t record[kMacRecordHeaderSize];
    if (!ReadAt(offset, record, sizeof record)) {
        return false;
    }
    const uint16_t frameLength = LoadBE16(record + kMacFrameLengthOffset);
    const size_t itemSize = kMacItemHeaderSize + frameLength;
    if (itemSize > kMaxMacItemSize) {
        return false;
    }
    const size_t start = items.size();
    items.resize(start + itemSize);
    std::memcpy(&items[start], record + kRecordTimestampOffset, kTimestampSize);
    StoreBE16(&items[start + kTimestampSize], static_cast<uint16_t>(itemSize));
    if (!ReadAt(uint64_t{offset} + kMacRecordHeaderSize, &items[start + kMacItemHeaderSize],
                frameLength)) {
        items.resize(start);
        return false;
    }
    return true;
}

int CaptureFileReader::ReadBlock(int block, std::vector<uint8_t>& items) {
    const size_t first = size_t{static_cast<unsigned>(block)} * kItemsPerBlock;
    int count = 0;
    for (size_t i = first; i < itemOffsets_.size() && i < first + kItemsPerBlock; ++i) {
        // A record that cannot be read is left out; the block goes on with the next entry.
        const bool read = kind_ == kKindAtm ? AppendAtmItem(itemOffsets_[i], items)
                                            : AppendMacItem(itemOffsets_[i], items);
        count += read ? 1 : 0;
    }
    return count;
}

}  // namespace vantor
