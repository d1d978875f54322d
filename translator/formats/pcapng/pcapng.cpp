#include "pcapng.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "engine/ethernet.h"
#include "formats/pcap_common/records.h"

namespace translator {

using namespace byte_order;
using namespace pcapng;

namespace {

constexpr uint32_t kNanosecondsPerSecond = 1000000000;
constexpr int kMaxDecimalResolution = 19;
constexpr int kMaxBinaryResolution = 63;
// Bytes of an option value the reader looks at; longer values are skipped.
constexpr size_t kOptionValueLimit = sizeof(TraceInfo::comment);

const char* BlockName(uint32_t type) {
    switch (type) {
        case kSectionHeaderBlock:
            return "section header";
        case kInterfaceBlock:
            return "interface description";
        case kEnhancedPacketBlock:
            return "enhanced packet";
        case kSimplePacketBlock:
            return "simple packet";
        case kObsoletePacketBlock:
            return "packet";
        default:
            return "unknown";
    }
}

uint32_t MinBlockLength(uint32_t type) {
    switch (type) {
        case kSectionHeaderBlock:
            return kMinSectionHeaderLength;
        case kInterfaceBlock:
            return kMinInterfaceLength;
        case kEnhancedPacketBlock:
            return kMinEnhancedPacketLength;
        case kSimplePacketBlock:
            return kMinSimplePacketLength;
        case kObsoletePacketBlock:
            return kMinObsoletePacketLength;
        default:
            return kMinBlockLength;
    }
}

}  // namespace

bool PcapngReader::SupportsInterface(int, const TraceInfo& info) const {
    return pcap::WritesInterface(info);
}

bool PcapngReader::Open(const std::string& path) {
    Close();
    info.Reset();
    if (!OpenFile(path)) {
        return false;
    }
    uint8_t start[kBlockHeaderSize + 4];
    if (!file.Read(start, sizeof start) || LoadLE32(start) != kSectionHeaderBlock ||
        (LoadLE32(start + kBlockHeaderSize) != kByteOrderMagic &&
         LoadBE32(start + kBlockHeaderSize) != kByteOrderMagic) ||
        !file.Seek(0)) {
        Close();
        return false;
    }
    swapped_ = false;
    firstSection_ = false;
    interfaces_.clear();
    struct stat st {};
    const bool identified = stat(path.c_str(), &st) == 0;
    if (identified && IsScanned(path, st)) {
        info = scan_.info;
        haveCaptureLinkType_ = scan_.haveCaptureLinkType;
        captureLinkType_ = scan_.captureLinkType;
        leftOut_ = scan_.leftOut;
        leftOutLinkTypes_ = scan_.leftOutLinkTypes;
        link_ = pcap::FindLinkType(captureLinkType_);
        return true;
    }
    scan_.path.clear();
    // One pass over the blocks finds the capture's interface and how many
    // frames the file holds, so that the summary can tell what is left out.
    // Standard input is read once: the pass ends at its first packet, after
    // the interface that decides, and the count and the note stay unknown.
    const bool streamed = file.IsStream();
    firstSection_ = true;
    haveCaptureLinkType_ = false;
    leftOut_ = 0;
    leftOutLinkTypes_.clear();
    int64_t packets = 0;
    while ((!streamed || packets == 0) && NextPacket(true)) {
        ++packets;
    }
    if (!file.Seek(0)) {
        Close();
        return false;
    }
    const bool scannedWhole = LastReadStatus() == ReadStatus::End;
    swapped_ = false;
    firstSection_ = false;
    interfaces_.clear();
    info.format = FMT_NG;
    info.totalFrames = streamed ? -1 : packets;
    const uint32_t linkType = haveCaptureLinkType_ ? captureLinkType_ : 1;
    link_ = pcap::FindLinkType(linkType);
    captureLinkType_ = linkType;
    if (link_ == nullptr) {
        info.interfaceType = IF_ETHERNET;
    } else {
        info.interfaceType = link_->interfaceType;
        info.wanType = link_->wanType;
        info.frameOrigin = link_->origin;
    }
    info.lineRate = DefaultLineRate(info.interfaceType, link_ != nullptr ? link_->lineRate : 0);
    if (!streamed) {
        NoteLeftOut();
    }
    // A damaged file is walked again, so that every Open reports its damage;
    // a file that changed while it was walked, too.
    struct stat after {};
    if (identified && scannedWhole && stat(path.c_str(), &after) == 0) {
        scan_.path = path;
        scan_.device = st.st_dev;
        scan_.inode = st.st_ino;
        scan_.size = st.st_size;
        scan_.modified = st.st_mtim;
        scan_.changed = st.st_ctim;
        scan_.info = info;
        scan_.haveCaptureLinkType = haveCaptureLinkType_;
        scan_.captureLinkType = captureLinkType_;
        scan_.leftOut = leftOut_;
        scan_.leftOutLinkTypes = leftOutLinkTypes_;
        if (!IsScanned(path, after)) {
            scan_.path.clear();
        }
    }
    return true;
}

bool PcapngReader::IsScanned(const std::string& path, const struct stat& st) const {
    auto same = [](const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return !scan_.path.empty() && scan_.path == path && scan_.device == st.st_dev &&
           scan_.inode == st.st_ino && scan_.size == st.st_size &&
           same(scan_.modified, st.st_mtim) && same(scan_.changed, st.st_ctim);
}

void PcapngReader::NoteLeftOut() {
    if (leftOut_ == 0) {
        return;
    }
    std::string types;
    for (uint32_t type : leftOutLinkTypes_) {
        types += (types.empty() ? "" : ", ") + std::to_string(type);
    }
    snprintf(info.notes, sizeof info.notes,
             "%" PRId64
             " frame%s of interfaces with link type %s left out (read as non-data frames); "
             "the frames converted are those of link type %" PRIu32 ".\r\n",
             leftOut_, leftOut_ == 1 ? "" : "s", types.c_str(), captureLinkType_);
}

bool PcapngReader::ReadNextFrame() {
    if (link_ == nullptr) {
        char text[64];
        snprintf(text, sizeof text, "pcapng link type %" PRIu32 " is not supported.\r\n",
                 captureLinkType_);
        ReportReadFailure(text);
        return false;
    }
    return NextPacket(false);
}

bool PcapngReader::NextPacket(bool scanning) {
    for (;;) {
        const int64_t blockStart = file.Tell();
        uint32_t type = 0;
        uint32_t length = 0;
        if (!ReadBlockStart(&type, &length)) {
            return false;
        }
        if (length % 4 != 0 || length < MinBlockLength(type)) {
            return Damaged("the %s block at byte %" PRId64 " has the length %" PRIu32
                           ", which no such block can have",
                           BlockName(type), blockStart, length);
        }
        bool ok = true;
        switch (type) {
            case kSectionHeaderBlock:
                ok = ReadSectionHeader(length);
                break;
            case kInterfaceBlock:
                ok = ReadInterface(length);
                break;
            case kEnhancedPacketBlock:
            case kSimplePacketBlock:
            case kObsoletePacketBlock:
                return ReadPacket(type, length, scanning);
            default:
                ok = SkipPart(length - kBlockHeaderSize - kBlockTrailerSize, "block") &&
                     ReadTrailer(type, length);
                break;
        }
        if (!ok) {
            return false;
        }
    }
}

bool PcapngReader::ReadBlockStart(uint32_t* type, uint32_t* length) {
    uint8_t header[kBlockHeaderSize];
    if (!ReadRecordStart(header, sizeof header, "block header")) {
        return false;
    }
    *type = Load32(header, swapped_);
    if (LoadLE32(header) == kSectionHeaderBlock) {
        // A section sets the byte order of everything in it, its own length too.
        uint8_t magic[4];
        if (!ReadPart(magic, sizeof magic, "section header")) {
            return false;
        }
        if (LoadLE32(magic) == kByteOrderMagic) {
            swapped_ = false;
        } else if (LoadBE32(magic) == kByteOrderMagic) {
            swapped_ = true;
        } else {
            return Damaged("a section header before frame %" PRId64 " has no byte-order mark",
                           info.framesRead + 1);
        }
        *type = kSectionHeaderBlock;
    }
    *length = Load32(header + 4, swapped_);
    return true;
}

// Short skips read through the input's buffer: seeking would drop it, and
// padding, options and packets are skipped at every block.
bool PcapngReader::SkipPart(int64_t n, const char* what) {
    if (n > static_cast<int64_t>(sizeof skipBuffer_)) {
        return file.Skip(n) || CutShort(what, n, 0);
    }
    return n == 0 || ReadPart(skipBuffer_, static_cast<size_t>(n), what);
}

bool PcapngReader::ReadTrailer(uint32_t type, uint32_t length) {
    uint8_t trailer[kBlockTrailerSize];
    if (!ReadPart(trailer, sizeof trailer, "block trailer")) {
        return false;
    }
    const uint32_t again = Load32(trailer, swapped_);
    if (again != length) {
        return Damaged("a %s block before frame %" PRId64 " ends with the length %" PRIu32
                       " but begins with %" PRIu32,
                       BlockName(type), info.framesRead + 1, again, length);
    }
    return true;
}

bool PcapngReader::ReadSectionHeader(uint32_t length) {
    // Versions and the section length, after the byte-order mark.
    uint8_t header[12];
    if (!ReadPart(header, sizeof header, "section header")) {
        return false;
    }
    const uint16_t major = Load16(header, swapped_);
    if (major != kMajorVersion) {
        return Damaged("a section before frame %" PRId64 " has version %u, which is not read",
                       info.framesRead + 1, major);
    }
    interfaces_.clear();
    const bool ok = ReadOptions(kSectionHeaderBlock, length - kMinSectionHeaderLength + 4, length);
    firstSection_ = false;
    return ok;
}

bool PcapngReader::ReadInterface(uint32_t length) {
    uint8_t header[8];
    if (!ReadPart(header, sizeof header, "interface description")) {
        return false;
    }
    if (interfaces_.size() >= kMaxInterfaces) {
        return Damaged("a section describes more than %zu interfaces", kMaxInterfaces);
    }
    Interface& interface = interfaces_.emplace_back();
    interface.linkType = Load16(header, swapped_);
    interface.snapLength = Load32(header + 4, swapped_);
    if (!haveCaptureLinkType_) {
        haveCaptureLinkType_ = true;
        captureLinkType_ = interface.linkType;
    }
    return ReadOptions(kInterfaceBlock, length - kMinInterfaceLength + 4, length);
}

bool PcapngReader::ReadPacket(uint32_t type, uint32_t length, bool scanning) {
    // Interface, timestamp and lengths; a simple packet has the line length only.
    uint8_t header[20];
    uint32_t interfaceId = 0;
    uint64_t stamp = 0;
    uint32_t captured = 0;
    uint32_t original = 0;
    uint32_t fixed = 0;
    if (type == kSimplePacketBlock) {
        fixed = kMinSimplePacketLength - kBlockTrailerSize;
        if (!ReadPart(header, 4, "simple packet header")) {
            return false;
        }
        original = Load32(header, swapped_);
        captured = std::min(original, length - kMinSimplePacketLength);
    } else {
        fixed = kMinEnhancedPacketLength - kBlockTrailerSize;
        if (!ReadPart(header, sizeof header, "packet header")) {
            return false;
        }
        interfaceId =
            type == kEnhancedPacketBlock ? Load32(header, swapped_) : Load16(header, swapped_);
        stamp = (uint64_t{Load32(header + 4, swapped_)} << 32) | Load32(header + 8, swapped_);
        captured = Load32(header + 12, swapped_);
        original = Load32(header + 16, swapped_);
        if (captured > length - kMinEnhancedPacketLength) {
            return Damaged("frame %" PRId64 " has %" PRIu32
                           " captured bytes, more than its block of %" PRIu32 " holds",
                           info.framesRead + 1, captured, length);
        }
    }
    if (interfaceId >= interfaces_.size()) {
        return Damaged("frame %" PRId64 " belongs to interface %" PRIu32
                       ", which its section does not describe",
                       info.framesRead + 1, interfaceId);
    }
    const Interface& interface = interfaces_[interfaceId];
    if (type == kSimplePacketBlock && interface.snapLength != 0) {
        captured = std::min(captured, interface.snapLength);
    }
    // What follows the fixed fields: data, padding, options, trailer.
    const uint32_t rest = length - fixed;
    const bool isData = interface.linkType == captureLinkType_;
    if (scanning || !isData) {
        if (scanning && !isData) {
            ++leftOut_;
            if (std::find(leftOutLinkTypes_.begin(), leftOutLinkTypes_.end(), interface.linkType) ==
                leftOutLinkTypes_.end()) {
                leftOutLinkTypes_.push_back(interface.linkType);
            }
        }
        if (!scanning) {
            frame.Reset();
            frame.nonData = true;
        }
        return SkipPart(rest - kBlockTrailerSize, "packet") && ReadTrailer(type, length);
    }
    frame.Reset();
    original = std::max(original, captured);
    if (original > static_cast<uint32_t>(kMaxSnapshotLength)) {
        return TooLong(original);
    }
    // Nothing captured, nothing to rebuild: the frame keeps its line length.
    const bool asStored = link_->layer == pcap::LinkLayer::kAsStored || captured == 0;
    const auto count = static_cast<int32_t>(captured);
    uint8_t* bytes = nullptr;
    if (asStored) {
        bytes = frame.SetData(nullptr, std::max(count, kEthernetMinFrameNoFcs) + kEthernetFcsSize);
    } else {
        record_.resize(captured);
        bytes = record_.data();
    }
    if (captured > 0 && !ReadPart(bytes, captured, "data")) {
        return false;
    }
    packetFlags_ = 0;
    if (type == kSimplePacketBlock) {
        if (!SkipPart(rest - captured - kBlockTrailerSize, "packet") ||
            !ReadTrailer(type, length)) {
            return false;
        }
    } else if (!SkipPart(Padded(captured) - captured, "data padding") ||
               !ReadOptions(type, rest - Padded(captured), length)) {
        return false;
    }
    if (type != kSimplePacketBlock && !SetTime(interface, stamp)) {
        return false;
    }
    return FillFrame(interface, captured, original);
}

bool PcapngReader::ReadOptions(uint32_t blockType, uint32_t left, uint32_t length) {
    // Every fixed part is a multiple of 4 bytes long, as is the block: so is
    // what is left for the options.
    uint32_t optionBytes = left - kBlockTrailerSize;
    uint8_t value[kOptionValueLimit];
    while (optionBytes > 0) {
        uint8_t header[kOptionHeaderSize];
        if (!ReadPart(header, sizeof header, "option")) {
            return false;
        }
        optionBytes -= kOptionHeaderSize;
        const uint16_t code = Load16(header, swapped_);
        const uint16_t size = Load16(header + 2, swapped_);
        if (code == kOptionEnd) {
            break;
        }
        const uint32_t padded = Padded(size);
        if (padded > optionBytes) {
            return Damaged("option %u of a %s block before frame %" PRId64 " runs past the block",
                           code, BlockName(blockType), info.framesRead + 1);
        }
        const uint16_t kept = static_cast<uint16_t>(std::min<size_t>(size, sizeof value));
        if (!ReadPart(value, kept, "option") || !SkipPart(padded - kept, "option") ||
            !TakeOption(blockType, code, value, kept)) {
            return false;
        }
        optionBytes -= padded;
    }
    return SkipPart(optionBytes, "block") && ReadTrailer(blockType, length);
}

bool PcapngReader::TakeOption(uint32_t blockType, uint16_t code, const uint8_t* value,
                              uint16_t size) {
    if (blockType == kSectionHeaderBlock) {
        if (code == kOptionComment && firstSection_ && info.comment[0] == '\0') {
            const size_t n = std::min<size_t>(size, sizeof info.comment - 1);
            memcpy(info.comment, value, n);
            info.comment[n] = '\0';
        }
        return true;
    }
    if (blockType == kInterfaceBlock) {
        Interface& interface = interfaces_.back();
        if (code == kInterfaceTimeResolution && size >= 1) {
            const int exponent = value[0] & ~kResolutionBinary;
            const bool binary = value[0] & kResolutionBinary;
            if (exponent > (binary ? kMaxBinaryResolution : kMaxDecimalResolution)) {
                return Damaged("an interface before frame %" PRId64
                               " has a timestamp resolution finer than can be read",
                               info.framesRead + 1);
            }
            uint64_t units = 1;
            for (int i = 0; i < exponent; ++i) {
                units *= binary ? 2 : 10;
            }
            interface.unitsPerSecond = units;
        } else if (code == kInterfaceTimeOffset && size >= 8) {
            interface.offsetSeconds =
                static_cast<int64_t>(swapped_ ? LoadBE64(value) : LoadLE64(value));
        } else if (code == kInterfaceFcsLength && size >= 1) {
            interface.fcsBytes = value[0];
        }
        return true;
    }
    if (code == kPacketFlags && size >= 4) {
        packetFlags_ = Load32(value, swapped_);
    }
    return true;
}

bool PcapngReader::SetTime(const Interface& interface, uint64_t stamp) {
    const uint64_t units = interface.unitsPerSecond;
    const __int128 seconds = static_cast<__int128>(stamp / units) + interface.offsetSeconds;
    if (seconds < 0 || seconds > UINT32_MAX) {
        return Damaged("frame %" PRId64 " is stamped outside the years 1970 to 2106",
                       info.framesRead + 1);
    }
    const auto nanoseconds = static_cast<uint32_t>(static_cast<unsigned __int128>(stamp % units) *
                                                   kNanosecondsPerSecond / units);
    frame.seconds = static_cast<uint32_t>(seconds);
    frame.microseconds = nanoseconds / 1000;
    frame.nanoseconds = nanoseconds % 1000;
    return true;
}

bool PcapngReader::FillFrame(const Interface& interface, uint32_t captured, uint32_t original) {
    if (info.interfaceType == IF_802_11) {
        frame.wlanRate = 22;
        frame.wlanChannel = 1;
        frame.wlanSignal = 100;
        frame.wlanNoise = 0;
    }
    if (link_->layer == pcap::LinkLayer::kAsStored || captured == 0) {
        frame.capturedLength = static_cast<int32_t>(captured);
        frame.frameLength = static_cast<int32_t>(original);
    } else {
        const pcap::RebuildResult rebuilt =
            pcap::RebuildFrame(link_->layer, record_.data(), captured, original, frame);
        if (rebuilt.tooLongLength != 0) {
            return TooLong(rebuilt.tooLongLength);
        }
        if (rebuilt.damage != nullptr) {
            return Damaged("frame %" PRId64 " %s", info.framesRead + 1, rebuilt.damage);
        }
    }
    const uint32_t direction = packetFlags_ & kFlagDirectionMask;
    if (direction == kFlagInbound) {
        frame.flags |= FRAME_DIR_LN;
    } else if (direction == kFlagOutbound) {
        frame.flags |= FRAME_DIR_EQ;
    }
    if (packetFlags_ & kFlagCrcError) {
        frame.flags |= FRAME_CRC_ERROR;
    }
    if (packetFlags_ & kFlagUnalignedFrame) {
        frame.flags |= FRAME_ALIGNMENT_ERROR;
    }
    if (packetFlags_ & kFlagLinkErrors & ~(kFlagCrcError | kFlagUnalignedFrame)) {
        frame.flags |= FRAME_OTHER_ERROR;
    }
    uint32_t fcsBytes = (packetFlags_ >> kFlagFcsLengthShift) & kFlagFcsLengthMask;
    if (fcsBytes == 0) {
        fcsBytes = interface.fcsBytes;
    }
    if (pcap::GainsEthernetFcs(info, link_->layer, fcsBytes != 0, options.pcapfcs, frame)) {
        AddEthernetFcs(frame, frame.flags & FRAME_CRC_ERROR ? FcsBytes::kZeros : KeptFcs(),
                       Runts::kAsCaptured);
    }
    return true;
}

bool PcapngWriter::SupportsInterface(int, const TraceInfo& info) const {
    return pcap::WritesInterface(info);
}

namespace {

// Appends one option, its value padded to 4 bytes.
void AddOption(std::vector<uint8_t>& block, uint16_t code, const void* value, size_t size) {
    const size_t at = block.size();
    block.resize(at + kOptionHeaderSize + Padded(static_cast<uint32_t>(size)));
    StoreLE16(block.data() + at, code);
    StoreLE16(block.data() + at + 2, static_cast<uint16_t>(size));
    memcpy(block.data() + at + kOptionHeaderSize, value, size);
}

// Closes a block begun with its type and a length placeholder: the end of
// its options, then the length at both ends.
void FinishBlock(std::vector<uint8_t>& block, bool hasOptions) {
    if (hasOptions) {
        block.resize(block.size() + kOptionHeaderSize);
    }
    block.resize(block.size() + kBlockTrailerSize);
    const auto length = static_cast<uint32_t>(block.size());
    StoreLE32(block.data() + 4, length);
    StoreLE32(block.data() + length - kBlockTrailerSize, length);
}

std::vector<uint8_t> BlockStart(uint32_t type, size_t fixed) {
    std::vector<uint8_t> block(kBlockHeaderSize + fixed);
    StoreLE32(block.data(), type);
    return block;
}

}  // namespace

bool PcapngWriter::WriteHeader(const TraceInfo& info) {
    std::vector<uint8_t> section = BlockStart(kSectionHeaderBlock, 16);
    StoreLE32(section.data() + 8, kByteOrderMagic);
    StoreLE16(section.data() + 12, kMajorVersion);
    StoreLE16(section.data() + 14, 0);
    // Section length not given.
    StoreLE64(section.data() + 16, UINT64_MAX);
    const size_t commentLength = strnlen(info.comment, sizeof info.comment);
    if (commentLength > 0) {
        AddOption(section, kOptionComment, info.comment, commentLength);
    }
    const char application[] = "Veltrix Translator " TRANSLATOR_VERSION;
    AddOption(section, kSectionUserApplication, application, sizeof application - 1);
    FinishBlock(section, true);

    std::vector<uint8_t> interface = BlockStart(kInterfaceBlock, 8);
    StoreLE16(interface.data() + 8,
              static_cast<uint16_t>(pcap::LinkTypeFor(info, options->pcapremoveatm, 0)));
    const uint8_t resolution =
        options->pcapnanoseconds ? kResolutionNanoseconds : kResolutionMicroseconds;
    AddOption(interface, kInterfaceTimeResolution, &resolution, 1);
    if (info.interfaceType == IF_ETHERNET) {
        const uint8_t fcsBytes = options->pcapfcs ? kEthernetFcsSize : 0;
        AddOption(interface, kInterfaceFcsLength, &fcsBytes, 1);
    }
    FinishBlock(interface, true);
    return WriteBytes(section.data(), static_cast<int64_t>(section.size())) &&
           WriteBytes(interface.data(), static_cast<int64_t>(interface.size()));
}

bool PcapngWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    const pcap::RecordPart part = pcap::RecordPartOf(info, frame, *options);
    const uint8_t* bytes = part.bytes;
    const int32_t captured = std::max(part.captured, 0);
    const int32_t original = std::max(part.original, captured);
    uint32_t flags = 0;
    if (frame.flags & FRAME_DIR_LN) {
        flags |= kFlagInbound;
    } else if (frame.flags & FRAME_DIR_EQ) {
        flags |= kFlagOutbound;
    }
    if (frame.flags & FRAME_CRC_ERROR) {
        flags |= kFlagCrcError;
    }
    if (frame.flags & FRAME_ALIGNMENT_ERROR) {
        flags |= kFlagUnalignedFrame;
    }
    const uint32_t padded = Padded(static_cast<uint32_t>(captured));
    const uint32_t optionBytes = flags != 0 ? 2 * kOptionHeaderSize + 4 : 0;
    const uint32_t length = kMinEnhancedPacketLength + padded + optionBytes;
    uint8_t header[kMinEnhancedPacketLength - kBlockTrailerSize] = {};
    StoreLE32(header, kEnhancedPacketBlock);
    StoreLE32(header + 4, length);
    MarkField(header, header + 12, 8);
    const uint64_t stamp = options->pcapnanoseconds
                               ? uint64_t{frame.seconds} * kNanosecondsPerSecond +
                                     frame.microseconds * 1000ull + frame.nanoseconds
                               : frame.TimestampMicros();
    StoreLE32(header + 12, static_cast<uint32_t>(stamp >> 32));
    StoreLE32(header + 16, static_cast<uint32_t>(stamp));
    StoreLE32(header + 20, static_cast<uint32_t>(captured));
    StoreLE32(header + 24, static_cast<uint32_t>(original));
    uint8_t tail[3 + 2 * kOptionHeaderSize + 4 + kBlockTrailerSize] = {};
    size_t tailSize = padded - static_cast<uint32_t>(captured);
    if (flags != 0) {
        StoreLE16(tail + tailSize, kPacketFlags);
        StoreLE16(tail + tailSize + 2, 4);
        StoreLE32(tail + tailSize + 4, flags);
        tailSize += 2 * kOptionHeaderSize + 4;
    }
    StoreLE32(tail + tailSize, length);
    tailSize += kBlockTrailerSize;
    return WriteBytes(header, sizeof header) && (captured == 0 || WriteBytes(bytes, captured)) &&
           WriteBytes(tail, static_cast<int64_t>(tailSize)) && file.Flush();
}

}  // namespace translator
