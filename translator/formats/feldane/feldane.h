#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/trace_reader.h"

namespace translator {

// On-disk layout of Feldane recordings (little-endian).
namespace feldane {

constexpr uint16_t kMagic = 0xBADE;
constexpr int kFirstBlock = 2;

// Block header: interface index, then the length of the records that follow.
struct BlockHeader {
    static constexpr int kSize = 5;
    static constexpr int kIndex = 0;
    static constexpr int kLength = 1;
};
constexpr uint8_t kEndIndex = 255;

// Record kinds, the low two bits of a record's first byte.
enum RecordKind { kSkipped = 0, kFrame = 1, kStatus = 2, kTimeMark = 3 };

// Kind 1: a frame, its captured bytes after the 24-byte header.
struct FrameRecordHeader {
    static constexpr int kSize = 24;
    static constexpr int kSeconds = 4;
    static constexpr int kNanoseconds = 8;
    static constexpr int kCapturedLength = 12;
    static constexpr int kFrameLength = 14;
};
constexpr int kSkippedHeaderSize = 12;  // kind 0: 12 bytes plus the size in bytes 1..3
constexpr int kStatusRecordSize = 36;   // kind 2
constexpr int kTimeMarkSize = 10;       // kind 3: seconds at 2, nanoseconds at 6

// Longest companion file read; a longer one counts as unreadable.
constexpr int64_t kMaxXmlSize = 16 * 1024 * 1024;

}  // namespace feldane

// Finds attributes of elements in XML text the simple way the recordings
// need: word starts, case-insensitive names, quoted or plain values.
class AttributeScanner {
public:
    explicit AttributeScanner(std::string text) : text_(std::move(text)) {}

    // Moves behind the next word starting with name; false when there is none.
    bool FindTag(const char* name);
    // Value of an attribute at or after the scan position, cut to 255 characters.
    bool FindAttribute(const char* name, std::string* value) const;

private:
    size_t FindWord(const char* name, size_t from) const;

    std::string text_;
    size_t position_ = 0;
};

// Companion file of a recording: everything from its last '(' (else its
// last '.') replaced by ".xml".
std::string FeldaneXmlPath(const std::string& recording);
// The probe interfaces the companion XML file names.
std::vector<SourceInterface> ParseFeldaneInterfaces(const std::string& xml);

class FeldaneReader : public FileTraceReader {
public:
    FeldaneReader();
    ~FeldaneReader() override;

    static constexpr FormatId kFormats[] = {FMT_FL};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Open(const std::string& path) override;
    void Close() override;

    // The interface list, kept across files so that a choice survives the next Open.
    const std::vector<SourceInterface>& Interfaces() const override { return interfaces_; }
    void SetInterfaces(std::vector<SourceInterface> interfaces) override {
        interfaces_ = std::move(interfaces);
    }

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    class DirectionStream;

    bool ReadNextFrame() override;

    void CarrySelectionOver(std::vector<SourceInterface>& fresh) const;
    void WriteNotes();
    const SourceInterface* Selected() const;
    bool Refill(int direction);

    std::vector<SourceInterface> interfaces_;
    std::unique_ptr<DirectionStream> streams_[2];
    FrameRecord pending_[2];
    bool ended_[2] = {true, true};
};

}  // namespace translator
