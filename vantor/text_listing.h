// Reads the tester's decoded text listing: every frame starts at a line
// naming "ATM" or "MAC" and its bytes are taken from fixed columns of the
// lines that follow.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "vantor_converter.h"

namespace vantor {

class TextListingReader {
public:
    // Stream positioned after the listing's first line; counts the frames.
    bool Open(std::FILE* stream, VantorFileInfo& info);
    int recordCount() const { return recordCount_; }
    // Parses the listing from its start; the items of frames 100 b to 100 b + 99.
    int ReadBlock(int block, std::vector<uint8_t>& items);

private:
    std::FILE* stream_ = nullptr;
    int kind_ = 0;
    int recordCount_ = 0;
};

}  // namespace vantor
