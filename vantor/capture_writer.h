// Writes a Vantor capture file: header and port 1 section first, records as
// they come, then the index, ports 2 and 3 and the final header at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "capture_format.h"

namespace vantor {

class CaptureWriter {
public:
    CaptureWriter(std::FILE* stream, int kind, double captureStart);

    // Header holding the announced count, then port 1's section.
    bool WriteStart(uint32_t announcedCount);
    // One record from a block-buffer item, starting at a multiple of 4.
    bool AddRecord(const uint8_t* item, int length);
    // Index of the records added, ports 2 and 3, and the header with the real count.
    bool Finish();

    uint32_t announcedCount() const { return announcedCount_; }
    int recordsAdded() const { return static_cast<int>(recordOffsets_.size()); }

private:
    bool Append(const std::vector<uint8_t>& bytes);
    bool PadToAlignment();
    // Appends a port section and fills its row of the header.
    bool AppendPortSection(int port, const std::vector<uint8_t>& section);

    std::FILE* stream_;
    int kind_;
    std::string configText_;
    // Ports 2 and 3 are built up front: their size bounds how large port 1 may grow.
    std::vector<uint8_t> trailingSections_[2];
    FileHeader header_;
    uint32_t announcedCount_ = 0;
    uint64_t end_ = 0;
    std::vector<uint32_t> recordOffsets_;
    bool failed_ = false;
};

}  // namespace vantor
