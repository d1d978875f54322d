#include "quillon.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstring>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "engine/ethernet.h"

namespace translator {

using namespace byte_order;

bool QuillonReader::SupportsInterface(int, const TraceInfo& info) const {
    return IsLanGroup(info);
}

bool QuillonReader::Open(const std::string& path) {
    info.Reset();
    afterEntry_ = recordsEnd_ = framesDelivered_ = 0;
    if (!FileTraceReader::Open(path)) {
        return false;
    }
    if (!ParseHeader()) {
        Close();
        return false;
    }
    info.format = FMT_QL;
    return true;
}

void QuillonReader::Close() {
    memset(entry_, 0, sizeof entry_);
    afterEntry_ = 0;
    FileTraceReader::Close();
}

bool QuillonReader::ParseHeader() {
    using quillon::FileHeader;
    uint8_t h[FileHeader::kSize];
    if (!ReadBytes(h, 16) || LoadBE32(h + FileHeader::kMagic) != quillon::kMagic ||
        LoadBE32(h + FileHeader::kVersion) != quillon::kVersion || !ReadBytes(h + 16, 16)) {
        return false;
    }
    directory_ = LoadBE32(h + FileHeader::kDirectory);
    return ParseDescription(LoadBE32(h + FileHeader::kDescription)) && directory_ <= fileSize &&
           file.Seek(directory_);
}

bool QuillonReader::ParseDescription(uint32_t offset) {
    using quillon::Description;
    uint8_t d[Description::kSize];
    if (int64_t{offset} + Description::kSize > fileSize || !file.Seek(offset) ||
        !ReadBytes(d, sizeof d)) {
        return false;
    }
    switch (LoadBE32(d + Description::kMedia)) {
        case quillon::kMediaEthernet:
        case quillon::kMediaEthernetToo:
            info.interfaceType = IF_ETHERNET;
            break;
        case quillon::kMediaTokenRing:
            info.interfaceType = IF_TOKEN_RING;
            break;
        case quillon::kMediaFddi:
            info.interfaceType = IF_FDDI;
            break;
        default:
            return false;
    }
    info.startTime = LoadBE32(d + Description::kStartTime);
    info.totalFrames = LoadBE32(d + Description::kFrameCount);
    return true;
}

// Directory entries are read in order. A block that would hold no frames is
// passed over, and a block starting before the end of the records already
// read ends reading, so a corrupt directory can neither stall nor loop.
bool QuillonReader::EnterBlockIfDue() {
    using quillon::DirectoryEntry;
    if (afterEntry_ != 0 && LoadBE32(entry_ + DirectoryEntry::kRunningCount) != framesDelivered_) {
        return true;
    }
    int64_t position = afterEntry_ != 0 ? afterEntry_ : directory_;
    do {
        if (!file.Seek(position) || !ReadPart(entry_, sizeof entry_, "directory entry")) {
            return false;
        }
        position += DirectoryEntry::kSize;
    } while (LoadBE32(entry_ + DirectoryEntry::kRunningCount) <= framesDelivered_);
    afterEntry_ = position;
    const uint32_t first = LoadBE32(entry_ + DirectoryEntry::kFirstRecord);
    if (first < recordsEnd_) {
        return Damaged("the block of frame %" PRId64 " starts at offset %" PRIu32
                       ", among the records already read",
                       info.framesRead + 1, first);
    }
    return file.Seek(first);
}

bool QuillonReader::ReadRecord() {
    using quillon::RecordHeader;
    uint8_t r[RecordHeader::kSize];
    if (!ReadPart(r, sizeof r, "record header")) {
        return false;
    }
    frame.Reset();
    frame.seconds = LoadBE32(r + RecordHeader::kSeconds);
    frame.microseconds = LoadBE32(r + RecordHeader::kMicroseconds);
    if (LoadBE32(r + RecordHeader::kError) != 0) {
        frame.flags = FRAME_CRC_ERROR;
    }
    const uint32_t recordLength = LoadBE32(r + RecordHeader::kRecordLength);
    const int64_t n = int64_t{recordLength} - RecordHeader::kSize;
    if (n < 0) {
        return Damaged("frame %" PRId64 " has a record length of %" PRIu32
                       " bytes, shorter than its header",
                       info.framesRead + 1, recordLength);
    }
    if (FrameTooLong(n)) {
        return TooLong(n);
    }
    if (file.Tell() + n > fileSize) {
        return CutShort("data", n, fileSize - file.Tell());
    }
    uint8_t* bytes = frame.SetData(nullptr, static_cast<int32_t>(n) + kEthernetFcsSize);
    if (!ReadPart(bytes, static_cast<size_t>(n), "data")) {
        return false;
    }
    recordsEnd_ = file.Tell();
    // The record's bytes and an FCS slot bound what is delivered.
    const int64_t frameLength =
        std::min<int64_t>(LoadBE32(r + RecordHeader::kFrameLength), INT32_MAX);
    const int64_t captured =
        std::min({int64_t{LoadBE32(r + RecordHeader::kStoredLength)} + kEthernetFcsSize,
                  frameLength, n + kEthernetFcsSize});
    // Every medium's frames end with the same CRC-32, stored nowhere; runts
    // stay as recorded.
    if (captured == frameLength && frameLength >= kEthernetFcsSize) {
        frame.frameLength = frame.capturedLength =
            static_cast<int32_t>(frameLength - kEthernetFcsSize);
        AddEthernetFcs(frame, KeptFcs(), Runts::kAsCaptured);
        return true;
    }
    // A cut frame still gets four bytes beyond the stored ones, and the FCS
    // goes where its line length puts it.
    frame.frameLength = static_cast<int32_t>(frameLength);
    frame.capturedLength = static_cast<int32_t>(captured);
    if (captured > n) {
        memset(bytes + n, 0, static_cast<size_t>(captured - n));
    }
    frame.StoreCrc32(FcsBytes::kComputed);
    return true;
}

bool QuillonReader::ReadNextFrame() {
    if (framesDelivered_ >= info.totalFrames || !EnterBlockIfDue() || !ReadRecord()) {
        return false;
    }
    ++framesDelivered_;
    return true;
}

}  // namespace translator
