#pragma once

#include <cstdint>
#include <vector>

#include "engine/trace_reader.h"
#include "engine/trace_writer.h"
#include "formats/pcap_common/records.h"

namespace translator {

// On-disk layout of tcpdump/libpcap files.
namespace pcap {

constexpr uint32_t kMagicStandard = 0xA1B2C3D4;
constexpr uint32_t kMagicStandardSwapped = 0xD4C3B2A1;
constexpr uint32_t kMagicModified = 0xA1B2CD34;
constexpr uint32_t kMagicModifiedSwapped = 0x34CDB2A1;
constexpr uint32_t kMagicNano = 0xA1B23C4D;
constexpr uint32_t kMagicNanoSwapped = 0x4D3CB2A1;

// File header, 24 bytes, fields in the file's byte order.
struct FileHeader {
    static constexpr int kSize = 24;
    static constexpr int kMagic = 0;
    static constexpr int kVersionMajor = 4;
    static constexpr int kVersionMinor = 6;
    static constexpr int kTimeZone = 8;
    static constexpr int kAccuracy = 12;
    static constexpr int kSnapLength = 16;
    static constexpr int kLinkType = 20;
};

// Record header, 16 bytes, before the frame bytes.
struct RecordHeader {
    static constexpr int kSize = 16;
    static constexpr int kSeconds = 0;
    static constexpr int kSubSecond = 4;
    static constexpr int kIncludedLength = 8;
    static constexpr int kOriginalLength = 12;
};

constexpr int kModifiedExtensionSize = 8;
constexpr int kTrailerSize = 4;
// Lengths the layout probe accepts as plausible for a second record.
constexpr uint32_t kProbeLengthLimit = 8096;

// The link-type field's upper bits may say how long an FCS the frames carry
// (16-bit units in bits 28-31, valid when the present bit is set).
constexpr uint32_t kFcsLengthPresent = 0x04000000;
constexpr int kFcsLengthShift = 28;
constexpr uint32_t kLinkTypeMask = 0x03FFFFFF;

}  // namespace pcap

class TcpdumpReader : public GzTraceReader {
public:
    static constexpr FormatId kFormats[] = {FMT_TD};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool ReadsFrontToBack() const override { return true; }
    bool Open(const std::string& path) override;
    bool StoresAlike(const ConvertOptions& options) const override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool ReadNextFrame() override;

    bool ParseHeader(const uint8_t* header);
    bool ProbeLayout(uint32_t snapLength);
    bool ProbeTrailerLayout();
    bool ReadSecondRecordLengths(int64_t gap, uint32_t* included, uint32_t* original);
    bool LayoutReads(int64_t gap, int records);
    // Whether the data ends exactly at position, which is above 0.
    bool EndsAt(int64_t position);

    bool swapped_ = false;
    bool extension8_ = false;
    bool trailer4_ = false;
    bool nanoTimestamps_ = false;
    bool microFromNano_ = false;
    // The file says its Ethernet frames carry their FCS.
    bool storesFcs_ = false;
    pcap::LinkLayer linkLayer_ = pcap::LinkLayer::kAsStored;
    // A link type the reader does not take, refused at the first read.
    bool unsupportedLinkType_ = false;
    uint32_t linkType_ = 0;
    std::vector<uint8_t> record_;
};

class TcpdumpWriter : public BinaryTraceWriter {
public:
    bool KeepsEthernetFcs() const override { return options->pcapfcs; }
    static constexpr FormatId kFormats[] = {FMT_TD};
    std::span<const FormatId> Formats() const override { return kFormats; }
    // Standard output gets the largest snapshot length unless frames are
    // sliced; a file gets its longest frame's.
    bool NeverSeeksBack(const ConvertOptions&) const override { return true; }
    bool WriteHeader(const TraceInfo& info) override;
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override;
    bool FinishFile(const TraceInfo& info) override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    // The file header for the frames of info so far.
    void Header(const TraceInfo& info, uint8_t* header) const;
};

}  // namespace translator
