#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "io/binary_stream.h"
#include "parsers/capture_file_common.h"
#include "parsers/st_capture_file_common.h"
#include "records/capture_record.h"
#include "records/time_of_day.h"
#include "records/timestamp.h"

namespace vcf {

// A capture file being written: a header with placeholders first, then the
// records, while the file offset of every record goes to a ".idx" side file
// that finishing appends as the record index.
class CVcfCaptureFileWriter : public CVcfCaptureFileCommon {
public:
    // Records are located through 32-bit offsets: nothing may end past this.
    static constexpr int64_t kMaxFileOffset = 0xFFFFFFFF;
    static constexpr const char kDescriptionLabel[] = "#Description: ";

    CVcfCaptureFileWriter(const std::string& formatCode, int32_t versionMajor, int32_t versionMinor,
                          uint16_t masterFormatFlags);
    ~CVcfCaptureFileWriter() override;

    // Patches the count, appends the index and closes; false when any of it
    // could not be written.
    virtual bool FinishAndClose() = 0;
    virtual bool Open(const std::string& fileName, const std::string& description);
    // A record given field by field; the header-extra is read as the 5-byte
    // IPv4 layout (a flag byte and a 32-bit value).
    virtual bool WriteRecord(bool valid, uint8_t source, uint32_t seconds, uint32_t nanoseconds,
                             int32_t headerExtraLength, const uint8_t* headerExtra,
                             int32_t originalLength, int32_t capturedLength,
                             const uint8_t* data) = 0;
    virtual bool WriteRecord(const CVcfCaptureRecord& record);
    virtual bool AppendIndex();
    virtual void SetDescription(const std::string& text);
    virtual bool WriteHeader() = 0;

    bool WriteByte(uint8_t value) { return output_->Write(&value, 1); }
    bool WriteU16(uint16_t value);
    bool WriteU32(uint32_t value);

    virtual bool PatchOffsetToData(uint32_t offset) = 0;
    virtual bool PatchOffsetToIndex(uint32_t offset) = 0;
    virtual bool PatchNumberOfRecords() = 0;

    bool IsOpen() const { return output_->IsOpen(); }
    const std::string& GetIndexFileName() const { return indexFileName_; }
    const std::string& GetVersionText() const { return versionText_; }

protected:
    // Closes the capture file and the side file without finishing.
    void CloseStreams();
    // Seeks to position, writes what write writes and returns to where
    // writing was; false for a field that is not on disk yet.
    template <typename Write>
    bool PatchAt(int64_t position, Write write);
    bool PatchU32At(int64_t position, uint32_t value);
    // Whether a record of length bytes still fits below the offset limit.
    bool RecordFits(int64_t length) const;
    // Lists the offset of the record about to be written in the side file.
    bool IndexCurrentRecord();

    std::string indexFileName_;
    std::unique_ptr<CVcfBinaryOutputStream> index_;
    std::string versionText_;
};

// The Stavrel header: signature, tables, texts and capture times, each field
// remembered by position so that it can be patched in place.
class CVcfStCaptureFileWriter : public CVcfCaptureFileWriter, public CVcfStCaptureFileCommon {
public:
    static constexpr const char kSignature[] = "#VTCF:";

    // created is the time "#Date created: " states.
    CVcfStCaptureFileWriter(const std::string& formatCode, int32_t versionMajor,
                            int32_t versionMinor, uint16_t masterFormatFlags, time_t created);

    bool FinishAndClose() override;
    bool WriteHeader() override;
    // The IPv4 layout's flag byte and value become the two header words.
    bool WriteRecord(bool valid, uint8_t source, uint32_t seconds, uint32_t nanoseconds,
                     int32_t headerExtraLength, const uint8_t* headerExtra, int32_t originalLength,
                     int32_t capturedLength, const uint8_t* data) override;
    using CVcfCaptureFileWriter::WriteRecord;
    bool PatchOffsetToData(uint32_t offset) override;
    bool PatchOffsetToIndex(uint32_t offset) override;
    bool PatchNumberOfRecords() override;

    bool SetRecordTypeOfSource(int index, uint16_t type);
    bool SetSourceNameOfSlot(int index, const std::string& name);
    bool SetCaptureStartTime(const CVcfTimeOfDay& time);
    bool SetCaptureStopTime(const CVcfTimeOfDay& time);
    bool SetCaptureStopTimestamp(const CVcfTimestamp& timestamp);
    bool SetCaptureStopTimestamp(uint32_t seconds, uint32_t nanoseconds);
    bool SetTriggerPacketNumber(uint32_t number);

    // A record with its two header words; port, sub-port and aux byte A reach
    // only B4 files.
    virtual bool WriteHeaderWordRecord(uint8_t port, uint8_t subPort, uint32_t seconds,
                                       uint32_t nanoseconds, uint8_t auxByteA, uint8_t layer2Mode,
                                       uint32_t word1, uint32_t word2, int32_t length,
                                       const uint8_t* data) = 0;

    const CVcfTimeOfDay& GetCaptureStartTime() const { return captureStart_; }
    const CVcfTimeOfDay& GetCaptureStopTime() const { return captureStop_; }
    const CVcfTimestamp& GetCaptureStopTimestamp() const { return captureStopTimestamp_; }
    uint32_t GetTriggerPacketNumber() const { return triggerPacketNumber_; }

protected:
    // "#Veltrix ..." with format, version and creation date, each line ended.
    void BuildHeaderString(time_t created);
    // A 16-bit length and the text; length 0 takes the text up to its NUL.
    bool WriteText(const char* text, size_t length);
    bool WriteText(const std::string& text) { return WriteText(text.data(), text.size()); }
    bool WriteRecordTypeTable();
    bool WriteSourceNameTable();
    bool WriteTimeOfDay(const CVcfTimeOfDay& time);
    bool WriteTimestamp(uint32_t seconds, uint32_t nanoseconds);

    bool PatchStartTime();
    bool PatchStopTime();
    bool PatchStopTimestamp();
    bool PatchTriggerPacketNumber();
    // Header-extra of the record type of source 0, made of the two words.
    bool WriteHeaderExtra(uint32_t word1, uint32_t word2);
    int32_t HeaderExtraLength() const;

    int64_t numberOfRecordsAt_ = -1;
    int64_t offsetToDataAt_ = -1;
    int64_t offsetToIndexAt_ = -1;
    int64_t recordTypeTableAt_ = -1;
    int64_t sourceNameTableAt_ = -1;
    int64_t startTimeAt_ = -1;
    int64_t stopTimeAt_ = -1;
    int64_t stopTimestampAt_ = -1;
    int64_t triggerPacketNumberAt_ = -1;

    CVcfTimeOfDay captureStart_;
    CVcfTimeOfDay captureStop_;
    CVcfTimestamp captureStopTimestamp_;
    uint32_t triggerPacketNumber_ = 0;
};

// The layer B3 and B4 writers share: the binary header with its capture times.
class CVcfStBinaryCaptureFileWriter : public CVcfStCaptureFileWriter {
public:
    using CVcfStCaptureFileWriter::CVcfStCaptureFileWriter;
};

// Single-port captures, version 1.01. The header-extra of each record
// follows the record type of source 0: a flag byte and the second word for
// type 2, both words for type 3.
class CVcfStB3CaptureFileWriter : public CVcfStBinaryCaptureFileWriter {
public:
    CVcfStB3CaptureFileWriter(const std::string& module, const std::string& port,
                              const std::string& direction, uint16_t recordType,
                              time_t created = time(nullptr));

    bool WriteHeaderWordRecord(uint8_t port, uint8_t subPort, uint32_t seconds,
                               uint32_t nanoseconds, uint8_t auxByteA, uint8_t layer2Mode,
                               uint32_t word1, uint32_t word2, int32_t length,
                               const uint8_t* data) override;
    bool WriteRecord(uint32_t seconds, uint32_t nanoseconds, uint8_t layer2Mode, uint32_t word1,
                     uint32_t word2, int32_t length, const uint8_t* data);
    using CVcfStCaptureFileWriter::WriteRecord;
};

// Merged multi-port captures, version 1.00.
class CVcfStB4CaptureFileWriter : public CVcfStBinaryCaptureFileWriter {
public:
    static constexpr size_t kMaxPorts = 256;

    CVcfStB4CaptureFileWriter(const std::string& portType, const std::string& portId,
                              const std::string& direction, uint16_t recordType,
                              time_t created = time(nullptr));
    // One source per entry; the lists must be equally long, at most 256.
    CVcfStB4CaptureFileWriter(const std::vector<std::string>& portTypeList,
                              const std::vector<std::string>& portIdList,
                              const std::vector<std::string>& rxOrTxList, uint16_t recordType,
                              time_t created = time(nullptr));

    bool WriteHeaderWordRecord(uint8_t port, uint8_t subPort, uint32_t seconds,
                               uint32_t nanoseconds, uint8_t auxByteA, uint8_t layer2Mode,
                               uint32_t word1, uint32_t word2, int32_t length,
                               const uint8_t* data) override;
};

// Makes the writer of a format code, already open on its file.
class CVcfCaptureFileWriterFactory : public CVcfCaptureFileCommon {
public:
    // An open writer of "B3" or "B4", or null: error 5 when the file cannot be
    // created, 6 for another format code (no file is created then). A writer
    // whose header could not be written is returned all the same.
    std::unique_ptr<CVcfStCaptureFileWriter> Create(const std::string& formatCode,
                                                    const std::string& fileName,
                                                    const std::string& description,
                                                    time_t created = time(nullptr));
};

}  // namespace vcf
