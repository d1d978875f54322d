#include "capture_writer.h"

#include <limits>

#include "common/byte_order.h"
#include "config_text.h"
#include "port_section.h"

namespace vantor {

using namespace byte_order;

namespace {

constexpr uint64_t kMaxFileSize = std::numeric_limits<uint32_t>::max();

uint64_t AlignUp(uint64_t value) {
    return (value + kRecordAlignment - 1) / kRecordAlignment * kRecordAlignment;
}

}  // namespace

CaptureWriter::CaptureWriter(std::FILE* stream, int kind, double captureStart)
    : stream_(stream),
      kind_(kind),
      configText_(BuildConfigText(kind, captureStart)),
      trailingSections_{BuildPortSection(kind, 1, configText_),
                        BuildPortSection(kind, 2, configText_)} {}

bool CaptureWriter::Append(const std::vector<uint8_t>& bytes) {
    if (failed_) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size() ||
        std::fflush(stream_) != 0) {
        // The end of the file is no longer known; nothing more can be placed safely.
        failed_ = true;
        return false;
    }
    end_ += bytes.size();
    return true;
}

bool CaptureWriter::PadToAlignment() {
    return Append(std::vector<uint8_t>(AlignUp(end_) - end_, 0));
}

bool CaptureWriter::WriteStart(uint32_t announcedCount) {
    announcedCount_ = announcedCount;
    header_.ports[0].recordCount = announcedCount;
    const std::vector<uint8_t> section = BuildPortSection(kind_, 0, configText_);
    header_.ports[0].sectionOffset = FileHeader::kSize;
    header_.ports[0].recordOffset = static_cast<uint32_t>(FileHeader::kSize + section.size());
    return Append(header_.Serialize()) && Append(section);
}

bool CaptureWriter::AddRecord(const uint8_t* item, int length) {
    std::vector<uint8_t> record;
    if (kind_ == kKindAtm) {
        record = BuildAtmRecord(item);
    } else {
        if (length < static_cast<int>(kMacItemHeaderSize) ||
            length > static_cast<int>(kMaxMacItemSize)) {
            return false;
        }
        record = BuildMacRecord(item, static_cast<uint16_t>(length - kMacItemHeaderSize));
    }
    // Every offset of the finished file, up to the end of port 3, must fit 32 bits.
    const uint64_t offset = AlignUp(end_);
    const uint64_t finishedEnd = AlignUp(offset + record.size()) + 4 * (recordOffsets_.size() + 1) +
                                 trailingSections_[0].size() + trailingSections_[1].size();
    if (finishedEnd > kMaxFileSize || !PadToAlignment() || !Append(record)) {
        return false;
    }
    recordOffsets_.push_back(static_cast<uint32_t>(offset));
    return true;
}

bool CaptureWriter::AppendPortSection(int port, const std::vector<uint8_t>& section) {
    PortEntry& entry = header_.ports[port];
    entry.sectionOffset = static_cast<uint32_t>(end_);
    entry.recordOffset = static_cast<uint32_t>(end_ + section.size());
    entry.indexOffset = entry.recordOffset;
    entry.recordCount = 0;
    return Append(section);
}

bool CaptureWriter::Finish() {
    if (!PadToAlignment()) {
        return false;
    }
    header_.ports[0].indexOffset = static_cast<uint32_t>(end_);
    header_.ports[0].recordCount = static_cast<uint32_t>(recordOffsets_.size());
    std::vector<uint8_t> index;
    index.reserve(4 * recordOffsets_.size());
    for (uint32_t offset : recordOffsets_) {
        AppendBE32(index, offset);
    }
    if (!Append(index) || !AppendPortSection(1, trailingSections_[0]) ||
        !AppendPortSection(2, trailingSections_[1])) {
        return false;
    }
    const std::vector<uint8_t> header = header_.Serialize();
    return fseeko(stream_, 0, SEEK_SET) == 0 &&
           std::fwrite(header.data(), 1, header.size(), stream_) == header.size() &&
           std::fflush(stream_) == 0;
}

}  // namespace vantor
