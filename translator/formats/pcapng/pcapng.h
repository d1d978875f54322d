#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "engine/trace_reader.h"
#include "engine/trace_writer.h"
#include "formats/pcap_common/records.h"

namespace translator {

// On-disk layout of pcapng files: blocks of type, length, body and the
// length again, every field in the byte order of the section.
namespace pcapng {

constexpr uint32_t kSectionHeaderBlock = 0x0A0D0D0A;
constexpr uint32_t kInterfaceBlock = 1;
constexpr uint32_t kObsoletePacketBlock = 2;
constexpr uint32_t kSimplePacketBlock = 3;
constexpr uint32_t kEnhancedPacketBlock = 6;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr uint16_t kMajorVersion = 1;

// Type and length before the body, the length again after it.
constexpr uint32_t kBlockHeaderSize = 8;
constexpr uint32_t kBlockTrailerSize = 4;
// Smallest lengths of whole blocks, options and data left out.
constexpr uint32_t kMinBlockLength = 12;
constexpr uint32_t kMinSectionHeaderLength = 28;
constexpr uint32_t kMinInterfaceLength = 20;
constexpr uint32_t kMinEnhancedPacketLength = 32;
constexpr uint32_t kMinSimplePacketLength = 16;
constexpr uint32_t kMinObsoletePacketLength = 32;

// Options: code and length, then the value padded to 4 bytes.
constexpr uint32_t kOptionHeaderSize = 4;
constexpr uint16_t kOptionEnd = 0;
constexpr uint16_t kOptionComment = 1;
constexpr uint16_t kSectionUserApplication = 4;
constexpr uint16_t kInterfaceTimeResolution = 9;
constexpr uint16_t kInterfaceFcsLength = 13;
constexpr uint16_t kInterfaceTimeOffset = 14;
constexpr uint16_t kPacketFlags = 2;

// Packet flags: direction, FCS length in bytes, link-layer errors.
constexpr uint32_t kFlagDirectionMask = 0x3;
constexpr uint32_t kFlagInbound = 0x1;
constexpr uint32_t kFlagOutbound = 0x2;
constexpr int kFlagFcsLengthShift = 5;
constexpr uint32_t kFlagFcsLengthMask = 0xF;
constexpr uint32_t kFlagCrcError = 0x01000000;
constexpr uint32_t kFlagUnalignedFrame = 0x10000000;
constexpr uint32_t kFlagLinkErrors = 0xFFFF0000;

// Resolution byte: a negative power of 2 with the top bit set, else of 10.
constexpr uint8_t kResolutionBinary = 0x80;
constexpr uint8_t kResolutionMicroseconds = 6;
constexpr uint8_t kResolutionNanoseconds = 9;

constexpr uint32_t Padded(uint32_t n) {
    return (n + 3u) & ~3u;
}

}  // namespace pcapng

class PcapngReader : public GzTraceReader {
public:
    static constexpr FormatId kFormats[] = {FMT_NG};
    // Interfaces a section may describe; a section with more is damaged.
    static constexpr size_t kMaxInterfaces = 65536;

    std::span<const FormatId> Formats() const override { return kFormats; }
    bool ReadsFrontToBack() const override { return true; }
    bool Open(const std::string& path) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    struct Interface {
        uint32_t linkType = 0;
        uint32_t snapLength = 0;
        // Timestamp units per second.
        uint64_t unitsPerSecond = 1000000;
        int64_t offsetSeconds = 0;
        // FCS bytes the interface's frames carry; 0 when it does not say.
        uint32_t fcsBytes = 0;
    };

    // One walk over the blocks: reads them up to the next packet, which it
    // delivers (reading) or only counts (scanning, at Open). False at the end
    // and on damage.
    bool NextPacket(bool scanning);
    bool ReadNextFrame() override;

    bool ReadBlockStart(uint32_t* type, uint32_t* length);
    bool ReadSectionHeader(uint32_t length);
    bool ReadInterface(uint32_t length);
    bool ReadPacket(uint32_t type, uint32_t length, bool scanning);
    // Walks the options of a block until its trailing length (left bytes,
    // options and the trailer), keeping the values the block type uses.
    bool ReadOptions(uint32_t blockType, uint32_t left, uint32_t length);
    bool TakeOption(uint32_t blockType, uint16_t code, const uint8_t* value, uint16_t size);
    bool SkipPart(int64_t n, const char* what);
    // Reads the length at the end of a block and checks it against the first.
    bool ReadTrailer(uint32_t type, uint32_t length);
    bool SetTime(const Interface& interface, uint64_t stamp);
    bool FillFrame(const Interface& interface, uint32_t captured, uint32_t original);
    void NoteLeftOut();

    // What a walk over the blocks at Open found, kept for the next Open of the
    // same unchanged file: detection opens a file, and its conversion opens it again.
    struct Scan {
        std::string path;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        timespec modified{};
        timespec changed{};
        TraceInfo info;
        bool haveCaptureLinkType = false;
        uint32_t captureLinkType = 0;
        int64_t leftOut = 0;
        std::vector<uint32_t> leftOutLinkTypes;
    };
    // Whether path is the file that scan_ describes, unchanged since.
    bool IsScanned(const std::string& path, const struct stat& st) const;

    bool swapped_ = false;
    bool firstSection_ = true;
    bool haveCaptureLinkType_ = false;
    uint32_t captureLinkType_ = 0;
    const pcap::LinkTypeRow* link_ = nullptr;
    std::vector<Interface> interfaces_;
    // Values of the block being read, from its options.
    uint32_t packetFlags_ = 0;
    int64_t leftOut_ = 0;
    std::vector<uint32_t> leftOutLinkTypes_;
    std::vector<uint8_t> record_;
    uint8_t skipBuffer_[16384];
    Scan scan_;
};

class PcapngWriter : public BinaryTraceWriter {
public:
    bool KeepsEthernetFcs() const override { return options->pcapfcs; }
    static constexpr FormatId kFormats[] = {FMT_NG};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool NeverSeeksBack(const ConvertOptions&) const override { return true; }
    bool WriteHeader(const TraceInfo& info) override;
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;
};

}  // namespace translator
