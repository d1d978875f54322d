#include "tcpdump.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "engine/ethernet.h"

namespace translator {

using namespace byte_order;

bool TcpdumpReader::SupportsInterface(int, const TraceInfo& info) const {
    const int type = info.interfaceType;
    const int wan = info.wanType;
    return type == IF_ETHERNET || type == IF_TOKEN_RING || type == IF_FDDI || type == IF_802_11 ||
           wan == WAN_HDLC || wan == WAN_PPP || wan == WAN_FRAME_RELAY;
}

bool TcpdumpReader::Open(const std::string& path) {
    Close();
    info.Reset();
    if (!OpenFile(path)) {
        return false;
    }
    swapped_ = extension8_ = trailer4_ = nanoTimestamps_ = microFromNano_ = storesFcs_ = false;
    unsupportedLinkType_ = false;
    linkLayer_ = pcap::LinkLayer::kAsStored;
    uint8_t header[pcap::FileHeader::kSize];
    if (!file.Read(header, sizeof header) || !ParseHeader(header) ||
        !file.Seek(pcap::FileHeader::kSize)) {
        Close();
        return false;
    }
    return true;
}

bool TcpdumpReader::ParseHeader(const uint8_t* header) {
    using pcap::FileHeader;
    const uint32_t magic = LoadLE32(header + FileHeader::kMagic);
    switch (magic) {
        case pcap::kMagicStandard:
            break;
        case pcap::kMagicStandardSwapped:
            swapped_ = true;
            break;
        case pcap::kMagicModified:
            extension8_ = true;
            break;
        case pcap::kMagicModifiedSwapped:
            swapped_ = extension8_ = true;
            break;
        case pcap::kMagicNano:
            nanoTimestamps_ = true;
            break;
        case pcap::kMagicNanoSwapped:
            swapped_ = nanoTimestamps_ = true;
            break;
        default:
            return false;
    }
    if (magic == pcap::kMagicStandard &&
        !ProbeLayout(Load32(header + FileHeader::kSnapLength, false))) {
        return false;
    }
    if (Load16(header + FileHeader::kVersionMajor, swapped_) < 2) {
        return false;
    }
    linkType_ = Load32(header + FileHeader::kLinkType, swapped_);
    uint32_t linkType = linkType_;
    int fcsBytes = 0;
    if (linkType & pcap::kFcsLengthPresent) {
        fcsBytes = static_cast<int>(linkType >> pcap::kFcsLengthShift) * 2;
        linkType &= pcap::kLinkTypeMask;
    }
    info.format = FMT_TD;
    const pcap::LinkTypeRow* link = pcap::FindLinkType(linkType);
    if (link != nullptr && link->interfaceType == IF_ETHERNET && fcsBytes != 0) {
        // Only frames stored as Ethernet can carry an Ethernet FCS.
        storesFcs_ = fcsBytes == kEthernetFcsSize && link->layer == pcap::LinkLayer::kAsStored;
        if (!storesFcs_) {
            link = nullptr;
        }
    }
    if (link == nullptr) {
        // Recognised, so that the first read can refuse it by name; Ethernet
        // lets every writer get that far.
        unsupportedLinkType_ = true;
        info.interfaceType = IF_ETHERNET;
    } else {
        info.interfaceType = link->interfaceType;
        info.wanType = link->wanType;
        info.frameOrigin = link->origin;
        linkLayer_ = link->layer;
    }
    info.lineRate = DefaultLineRate(info.interfaceType, link != nullptr ? link->lineRate : 0);
    // Big-endian whatever the file's order: the format's rule, which files
    // written for nanosecond readers rely on.
    microFromNano_ = LoadBE32(header + FileHeader::kAccuracy) == 3;
    return true;
}

// Reads the lengths of what would be the second record if the first record
// (its header read at offset 24) were followed by gap bytes besides its data.
bool TcpdumpReader::ReadSecondRecordLengths(int64_t gap, uint32_t* included, uint32_t* original) {
    using pcap::RecordHeader;
    uint8_t record[RecordHeader::kSize];
    if (!file.Seek(pcap::FileHeader::kSize) || !file.Read(record, sizeof record)) {
        return false;
    }
    const uint32_t firstLength = LoadLE32(record + RecordHeader::kIncludedLength);
    if (!file.Skip(int64_t{firstLength} + gap) || !file.Read(record, sizeof record)) {
        return false;
    }
    *included = LoadLE32(record + RecordHeader::kIncludedLength);
    *original = LoadLE32(record + RecordHeader::kOriginalLength);
    return true;
}

// Files with the standard little-endian magic come in three record layouts;
// the second record header tells which one this file uses.
bool TcpdumpReader::ProbeLayout(uint32_t snapLength) {
    // A file that ends before a second record can be read in any layout.
    uint8_t first[pcap::RecordHeader::kSize];
    if (!file.Seek(pcap::FileHeader::kSize) || !file.Read(first, sizeof first)) {
        return EndsAt(pcap::FileHeader::kSize);
    }
    const int64_t firstEnd = pcap::FileHeader::kSize + pcap::RecordHeader::kSize +
                             int64_t{LoadLE32(first + pcap::RecordHeader::kIncludedLength)};
    if (EndsAt(firstEnd)) {
        return true;
    }
    uint32_t included = 0;
    uint32_t original = 0;
    bool found = false;
    if (ReadSecondRecordLengths(0, &included, &original)) {
        if (snapLength != 0 && included > snapLength) {
            extension8_ = found = included < pcap::kProbeLengthLimit && included <= original;
        } else {
            extension8_ = included == 0 && original == 0;
            found = true;
        }
    }
    if (!found && !ProbeTrailerLayout()) {
        return false;
    }
    // A standard file's second header can look like either of the other
    // layouts; the layout that reads the records decides.
    const int64_t gap = extension8_ ? pcap::kModifiedExtensionSize
                        : trailer4_ ? pcap::kTrailerSize
                                    : 0;
    if (gap != 0 && !LayoutReads(gap, 2) && LayoutReads(0, 3)) {
        extension8_ = trailer4_ = false;
    }
    return true;
}

// Whether the first records (fewer when the data ends after a whole one) each
// have their bytes in the file and lengths the reader takes, were each record
// to carry gap bytes besides its data.
bool TcpdumpReader::LayoutReads(int64_t gap, int records) {
    using pcap::RecordHeader;
    int64_t position = pcap::FileHeader::kSize;
    uint8_t record[RecordHeader::kSize];
    for (int i = 0; i < records; ++i) {
        if (!file.Seek(position) || !file.Read(record, 1)) {
            return i > 0;
        }
        if (!file.Read(record + 1, sizeof record - 1)) {
            return false;
        }
        const uint32_t included = LoadLE32(record + RecordHeader::kIncludedLength);
        const uint32_t original = LoadLE32(record + RecordHeader::kOriginalLength);
        if (std::max(included, original) > static_cast<uint32_t>(kMaxSnapshotLength)) {
            return false;
        }
        position += RecordHeader::kSize + gap + included;
        uint8_t last;
        if (!file.Seek(position - 1) || !file.Read(&last, 1)) {
            return false;
        }
    }
    return true;
}

// Compressed data has no size to compare with: the last byte must be there
// and nothing after it.
bool TcpdumpReader::EndsAt(int64_t position) {
    uint8_t byte;
    return file.Seek(position - 1) && file.Read(&byte, 1) && !file.Read(&byte, 1);
}

bool TcpdumpReader::ProbeTrailerLayout() {
    uint32_t included = 0;
    uint32_t original = 0;
    if (!ReadSecondRecordLengths(pcap::kTrailerSize, &included, &original)) {
        return false;
    }
    trailer4_ = included < pcap::kProbeLengthLimit && original < pcap::kProbeLengthLimit &&
                original >= included;
    return trailer4_;
}

bool TcpdumpReader::ReadNextFrame() {
    using pcap::RecordHeader;
    if (unsupportedLinkType_) {
        char text[64];
        snprintf(text, sizeof text, "tcpdump/libpcap link type %" PRIu32 " is not supported.\r\n",
                 linkType_);
        ReportReadFailure(text);
        return false;
    }
    uint8_t copy[RecordHeader::kSize];
    const uint8_t* record = RecordStart(copy, sizeof copy, "record header");
    if (record == nullptr) {
        return false;
    }
    frame.Reset();
    frame.seconds = Load32(record + RecordHeader::kSeconds, swapped_);
    const uint32_t subSecond = Load32(record + RecordHeader::kSubSecond, swapped_);
    if (nanoTimestamps_) {
        frame.nanoseconds = subSecond % 1000;
        frame.microseconds = subSecond / 1000;
    } else if (microFromNano_) {
        frame.microseconds = subSecond / 1000;
    } else {
        frame.microseconds = subSecond;
    }
    uint32_t included = Load32(record + RecordHeader::kIncludedLength, swapped_);
    uint32_t original = Load32(record + RecordHeader::kOriginalLength, swapped_);
    if (included > original) {
        std::swap(included, original);
    }
    // Original is the larger: a frame too long on the line is too long captured.
    if (original > static_cast<uint32_t>(kMaxSnapshotLength)) {
        return TooLong(original);
    }
    uint8_t extension[pcap::kModifiedExtensionSize];
    if (extension8_ && !ReadPart(extension, sizeof extension, "record header extension")) {
        return false;
    }
    const int32_t length = static_cast<int32_t>(included);
    // Nothing captured, nothing to rebuild: the frame keeps its line length.
    const bool asStored = linkLayer_ == pcap::LinkLayer::kAsStored || included == 0;
    // Bytes kept as stored are lent from the input buffer where they lie
    // whole in it, with nothing read after them: the frame's one copy is then
    // the writer's. Not where an FCS is to be computed over them.
    const bool lendable = asStored && included > 0 && !trailer4_ &&
                          (info.interfaceType != IF_ETHERNET || KeptFcs() == FcsBytes::kZeros);
    const uint8_t* lent = lendable ? file.Borrow(included) : nullptr;
    uint8_t* bytes = nullptr;
    if (lent != nullptr) {
        frame.Lend(lent);
    } else if (asStored) {
        bytes = frame.SetData(nullptr, std::max(length, kEthernetMinFrameNoFcs) + kEthernetFcsSize);
    } else {
        record_.resize(included);
        bytes = record_.data();
    }
    if (lent == nullptr && included > 0 && !ReadPart(bytes, included, "data")) {
        return false;
    }
    uint8_t trailer[pcap::kTrailerSize];
    if (trailer4_ && !ReadPart(trailer, sizeof trailer, "record trailer")) {
        return false;
    }
    if (info.interfaceType == IF_802_11) {
        frame.wlanRate = 22;
        frame.wlanChannel = 1;
        frame.wlanSignal = 100;
        frame.wlanNoise = 0;
    }
    if (asStored) {
        frame.capturedLength = length;
        frame.frameLength = static_cast<int32_t>(original);
    } else {
        const pcap::RebuildResult rebuilt =
            pcap::RebuildFrame(linkLayer_, record_.data(), included, original, frame);
        if (rebuilt.tooLongLength != 0) {
            return TooLong(rebuilt.tooLongLength);
        }
        if (rebuilt.damage != nullptr) {
            return Damaged("frame %" PRId64 " %s", info.framesRead + 1, rebuilt.damage);
        }
    }
    // Runts stay as captured.
    if (pcap::GainsEthernetFcs(info, linkLayer_, storesFcs_, options.pcapfcs, frame)) {
        AddEthernetFcs(frame, KeptFcs(), Runts::kAsCaptured);
    }
    return true;
}

// The writer stores the standard or the modified layout in either byte
// order, or nanosecond times, and never the FCS-length bits.
bool TcpdumpReader::StoresAlike(const ConvertOptions& options) const {
    const bool sameTimes = nanoTimestamps_ ? options.pcapnanoseconds
                                           : !options.pcapnanoseconds && !microFromNano_ &&
                                                 extension8_ == options.pcapmodified;
    return sameTimes && !trailer4_ && swapped_ == options.pcapbyteswapped && !storesFcs_ &&
           !(options.pcapremoveatm && IsAtm(info));
}

bool TcpdumpWriter::SupportsInterface(int, const TraceInfo& info) const {
    return pcap::WritesInterface(info);
}

// Written at the start, final when frames are sliced or go to standard
// output; otherwise FinishFile patches in the snapshot length once the
// longest frame is known.
bool TcpdumpWriter::WriteHeader(const TraceInfo& info) {
    uint8_t header[pcap::FileHeader::kSize];
    Header(info, header);
    return WriteBytes(header, sizeof header);
}

bool TcpdumpWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    using pcap::RecordHeader;
    const auto [bytes, included, original] = pcap::RecordPartOf(info, frame, *options);
    const bool bigEndian = options->pcapbyteswapped;
    // Encoded in place in the output buffer.
    uint8_t* record = file.Reserve(RecordHeader::kSize);
    if (record == nullptr) {
        return false;
    }
    MarkField(record, record + RecordHeader::kSeconds, 4);
    MarkField(record, record + RecordHeader::kSubSecond, 4);
    const uint32_t subSecond = options->pcapnanoseconds
                                   ? frame.microseconds * 1000 + frame.nanoseconds
                                   : frame.microseconds;
    // Unsigned 32-bit Unix seconds: every frame time, 1970 to 2106.
    Store32(record + RecordHeader::kSeconds, frame.seconds, bigEndian);
    Store32(record + RecordHeader::kSubSecond, subSecond, bigEndian);
    // 32-bit lengths: every frame a reader hands on.
    Store32(record + RecordHeader::kIncludedLength, static_cast<uint32_t>(included), bigEndian);
    Store32(record + RecordHeader::kOriginalLength, static_cast<uint32_t>(original), bigEndian);
    file.Advance(RecordHeader::kSize);
    if (options->pcapmodified && !WriteZeros(pcap::kModifiedExtensionSize)) {
        return false;
    }
    if (included > 0 && !WriteBytes(bytes, included)) {
        return false;
    }
    return file.Flush();
}

void TcpdumpWriter::Header(const TraceInfo& info, uint8_t* header) const {
    using pcap::FileHeader;
    const bool bigEndian = options->pcapbyteswapped;
    uint32_t magic;
    if (options->pcapnanoseconds) {
        magic = bigEndian ? pcap::kMagicNanoSwapped : pcap::kMagicNano;
    } else if (bigEndian) {
        magic = options->pcapmodified ? pcap::kMagicModifiedSwapped : pcap::kMagicStandardSwapped;
    } else {
        magic = options->pcapmodified ? pcap::kMagicModified : pcap::kMagicStandard;
    }
    const int32_t longestFrame = info.interfaceType == IF_ETHERNET && !options->pcapfcs
                                     ? std::max(info.maxFrameLength - kEthernetFcsSize, 0)
                                     : info.maxFrameLength;
    int32_t snapLength = options->slice                ? options->bytes
                         : file.IsStandardOutput()     ? kMaxSnapshotLength
                         : info.maxTruncatedLength > 0 ? info.maxTruncatedLength
                                                       : longestFrame;
    memset(header, 0, FileHeader::kSize);
    StoreLE32(header + FileHeader::kMagic, magic);
    Store16(header + FileHeader::kVersionMajor, 2, bigEndian);
    Store16(header + FileHeader::kVersionMinor, 4, bigEndian);
    Store32(header + FileHeader::kSnapLength, static_cast<uint32_t>(snapLength), bigEndian);
    Store32(header + FileHeader::kLinkType, pcap::LinkTypeFor(info, options->pcapremoveatm, 0),
            bigEndian);
}

bool TcpdumpWriter::FinishFile(const TraceInfo& info) {
    if (!file.IsOpen()) {
        return false;
    }
    if (options->slice || file.IsStandardOutput()) {
        return FileTraceWriter::FinishFile(info);
    }
    uint8_t header[pcap::FileHeader::kSize];
    Header(info, header);
    return PatchHeader(header, sizeof header);
}

}  // namespace translator
