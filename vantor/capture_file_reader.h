// Reads a Vantor capture file through its index: the items of port 1's
// records, one per distinct timestamp, in blocks of up to 100.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "vantor_converter.h"

namespace vantor {

class CaptureFileReader {
public:
    // Stream positioned anywhere; fills info from the header and configuration text.
    bool Open(std::FILE* stream, VantorFileInfo& info);
    int recordCount() const { return static_cast<int>(itemOffsets_.size()); }
    // Items of block b (records 100 b to 100 b + 99); returns how many.
    int ReadBlock(int block, std::vector<uint8_t>& items);

private:
    bool ReadHeader(uint32_t& indexOffset, uint32_t& count);
    bool WalkIndex(uint32_t indexOffset, uint32_t count);
    bool ScanConfigText(VantorFileInfo& info);
    bool ReadAt(uint64_t offset, uint8_t* bytes, size_t size);
    bool AppendAtmItem(uint32_t offset, std::vector<uint8_t>& items);
    bool AppendMacItem(uint32_t offset, std::vector<uint8_t>& items);

    std::FILE* stream_ = nullptr;
    uint64_t fileSize_ = 0;
    int kind_ = 0;
    // Records whose timestamp differs from the one counted before them.
    std::vector<uint32_t> itemOffsets_;
};

}  // namespace vantor
