#include "capture_file_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/byte_order.h"
#include "parsers/st_binary_parser.h"

namespace vcf {

using namespace byte_order;

namespace {

constexpr size_t kCopyChunk = 64 * 1024;
// Length fields of the texts in the header are 16 bits wide.
constexpr size_t kMaxTextLength = 0xFFFF;

std::string Join(const std::vector<std::string>& items, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += (i == 0 ? "" : ",") + items[i];
    }
    return text;
}

}  // namespace

CVcfCaptureFileWriter::CVcfCaptureFileWriter(const std::string& formatCode, int32_t versionMajor,
                                             int32_t versionMinor, uint16_t masterFormatFlags)
    : index_(std::make_unique<CVcfBinaryOutputStream>()) {
    char code[16];
    snprintf(code, sizeof code, "%2s", formatCode.c_str());
    formatCode_ = code;
    char version[32];
    snprintf(version, sizeof version, "%02d.%02d", versionMajor, versionMinor);
    versionText_ = version;
    versionMajor_ = versionMajor;
    versionMinor_ = versionMinor;
    masterFormatFlags_ = masterFormatFlags;
}

CVcfCaptureFileWriter::~CVcfCaptureFileWriter() {
    CloseStreams();
}

void CVcfCaptureFileWriter::CloseStreams() {
    input_->Close();
    output_->Close();
    index_->Close();
}

bool CVcfCaptureFileWriter::Open(const std::string& fileName, const std::string& description) {
    CloseStreams();
    fileName_ = fileName;
    indexFileName_ = fileName + ".idx";
    numberOfRecords_ = 0;
    offsetToData_ = 0;
    offsetToIndex_ = 0;
    lastError_ = kVcfNoError;
    if (!output_->Create(fileName_)) {
        lastError_ = kVcfErrorWrite;
        return false;
    }
    if (!index_->Create(indexFileName_)) {
        output_->Close();
        lastError_ = kVcfErrorWrite;
        return false;
    }
    SetDescription(description);
    if (!WriteHeader()) {
        // Nothing is written after a header that is not whole.
        CloseStreams();
        unlink(indexFileName_.c_str());
        lastError_ = kVcfErrorWrite;
        return false;
    }
    return true;
}

bool CVcfCaptureFileWriter::WriteRecord(const CVcfCaptureRecord& record) {
    return WriteRecord(record.IsValid(), record.GetSourceIndex(),
                       static_cast<uint32_t>(record.GetSeconds()),
                       static_cast<uint32_t>(record.GetNanoseconds()),
                       record.GetHeaderExtraLength(), record.GetHeaderExtra(),
                       record.GetOriginalLength(), record.GetCapturedLength(), record.GetData());
}

void CVcfCaptureFileWriter::SetDescription(const std::string& text) {
    description_ = kDescriptionLabel + text + "\n";
}

bool CVcfCaptureFileWriter::WriteU16(uint16_t value) {
    uint8_t bytes[2];
    StoreBE16(bytes, value);
    return output_->Write(bytes, sizeof bytes);
}

bool CVcfCaptureFileWriter::WriteU32(uint32_t value) {
    uint8_t bytes[4];
    StoreBE32(bytes, value);
    return output_->Write(bytes, sizeof bytes);
}

template <typename Write>
bool CVcfCaptureFileWriter::PatchAt(int64_t position, Write write) {
    if (position < 0 || !output_->IsOpen()) {
        return false;
    }
    const int64_t resume = output_->Tell();
    const bool ok = output_->Seek(position) && write();
    return output_->Seek(resume) && ok;
}

bool CVcfCaptureFileWriter::PatchU32At(int64_t position, uint32_t value) {
    return PatchAt(position, [&] { return WriteU32(value); });
}

bool CVcfCaptureFileWriter::RecordFits(int64_t length) const {
    return output_->IsOpen() && length >= 0 && output_->Tell() + length <= kMaxFileOffset;
}

bool CVcfCaptureFileWriter::IndexCurrentRecord() {
    uint8_t entry[4];
    StoreBE32(entry, static_cast<uint32_t>(output_->Tell()));
    return index_->Write(entry, sizeof entry);
}

bool CVcfCaptureFileWriter::AppendIndex() {
    if (numberOfRecords_ == 0) {
        offsetToIndex_ = 0;
        return PatchOffsetToIndex(0);
    }
    // Patches return to the write position, so it is the end of the records.
    const int64_t end = output_->Tell();
    if (end > kMaxFileOffset || !PatchOffsetToIndex(static_cast<uint32_t>(end)) ||
        !index_->Close()) {
        return false;
    }
    CVcfBinaryInputStream entries;
    const int64_t expected = int64_t{numberOfRecords_} * 4;
    if (!entries.Open(indexFileName_) || entries.Size() != expected) {
        return false;
    }
    auto chunk = std::make_unique_for_overwrite<uint8_t[]>(kCopyChunk);
    for (int64_t left = expected; left > 0;) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(left, kCopyChunk));
        if (!entries.Read(chunk.get(), n) || !output_->Write(chunk.get(), n)) {
            return false;
        }
        left -= static_cast<int64_t>(n);
    }
    return true;
}

CVcfStCaptureFileWriter::CVcfStCaptureFileWriter(const std::string& formatCode,
                                                 int32_t versionMajor, int32_t versionMinor,
                                                 uint16_t masterFormatFlags, time_t created)
    : CVcfCaptureFileWriter(formatCode, versionMajor, versionMinor, masterFormatFlags) {
    signature_ = kSignature;
    BuildHeaderString(created);
}

void CVcfStCaptureFileWriter::BuildHeaderString(time_t created) {
    char date[64] = {};
    if (ctime_r(&created, date) == nullptr) {
        strcpy(date, "\n");
    }
    headerString_ = "#Veltrix Technologies Capture Data File\n#Format : " + formatCode_ +
                    "\n#Version: " + versionText_ + "\n#Date created: " + date;
}

bool CVcfStCaptureFileWriter::WriteText(const char* text, size_t length) {
    if (length == 0) {
        length = strlen(text);
    }
    if (length > kMaxTextLength) {
        return false;
    }
    return WriteU16(static_cast<uint16_t>(length)) && output_->Write(text, length);
}

bool CVcfStCaptureFileWriter::WriteRecordTypeTable() {
    uint8_t table[kRecordTypeTableSize];
    for (int i = 0; i < kSourceCount; ++i) {
        StoreBE16(table + 2 * i, recordTypes_[i]);
    }
    return output_->Write(table, sizeof table);
}

bool CVcfStCaptureFileWriter::WriteSourceNameTable() {
    return output_->Write(sourceNames_, sizeof sourceNames_);
}

bool CVcfStCaptureFileWriter::WriteTimeOfDay(const CVcfTimeOfDay& time) {
    return WriteU16(time.GetHours()) && WriteU16(time.GetMinutes()) &&
           WriteU16(time.GetMillisecondsInMinute());
}

bool CVcfStCaptureFileWriter::WriteTimestamp(uint32_t seconds, uint32_t nanoseconds) {
    return WriteU32(seconds) && WriteU32(nanoseconds);
}

bool CVcfStCaptureFileWriter::WriteHeader() {
    bool ok = output_->Seek(0) && output_->Write(kSignature, strlen(kSignature)) &&
              output_->Write(formatCode_.data(), 2) && output_->Write(versionText_.data(), 5);
    numberOfRecordsAt_ = output_->Tell();
    ok =
        ok && WriteU32(numberOfRecords_) && WriteU32(recordLength_) && WriteU16(masterFormatFlags_);
    offsetToDataAt_ = output_->Tell();
    ok = ok && WriteU32(0);
    offsetToIndexAt_ = output_->Tell();
    ok = ok && WriteU32(0);
    recordTypeTableAt_ = output_->Tell();
    ok = ok && WriteRecordTypeTable();
    sourceNameTableAt_ = output_->Tell();
    ok = ok && WriteSourceNameTable() && WriteText(headerString_) && WriteText(description_);
    startTimeAt_ = output_->Tell();
    ok = ok && WriteTimeOfDay(captureStart_);
    stopTimeAt_ = output_->Tell();
    ok = ok && WriteTimeOfDay(captureStop_);
    stopTimestampAt_ = output_->Tell();
    ok = ok && WriteTimestamp(static_cast<uint32_t>(captureStopTimestamp_.GetSeconds()),
                              static_cast<uint32_t>(captureStopTimestamp_.GetNanoseconds()));
    triggerPacketNumberAt_ = output_->Tell();
    ok = ok && WriteU32(triggerPacketNumber_);
    return ok && PatchOffsetToData(static_cast<uint32_t>(output_->Tell()));
}

bool CVcfStCaptureFileWriter::PatchOffsetToData(uint32_t offset) {
    offsetToData_ = offset;
    return PatchU32At(offsetToDataAt_, offset);
}

bool CVcfStCaptureFileWriter::PatchOffsetToIndex(uint32_t offset) {
    offsetToIndex_ = offset;
    return PatchU32At(offsetToIndexAt_, offset);
}

bool CVcfStCaptureFileWriter::PatchNumberOfRecords() {
    return PatchU32At(numberOfRecordsAt_, numberOfRecords_);
}

bool CVcfStCaptureFileWriter::PatchStartTime() {
    return PatchAt(startTimeAt_, [&] { return WriteTimeOfDay(captureStart_); });
}

bool CVcfStCaptureFileWriter::PatchStopTime() {
    return PatchAt(stopTimeAt_, [&] { return WriteTimeOfDay(captureStop_); });
}

bool CVcfStCaptureFileWriter::PatchStopTimestamp() {
    return PatchAt(stopTimestampAt_, [&] {
        return WriteTimestamp(static_cast<uint32_t>(captureStopTimestamp_.GetSeconds()),
                              static_cast<uint32_t>(captureStopTimestamp_.GetNanoseconds()));
    });
}

bool CVcfStCaptureFileWriter::PatchTriggerPacketNumber() {
    return PatchU32At(triggerPacketNumberAt_, triggerPacketNumber_);
}

// The setters store the value; once the header is on disk they also rewrite
// its field, and writing goes on where it was.
bool CVcfStCaptureFileWriter::SetRecordTypeOfSource(int index, uint16_t type) {
    CVcfStCaptureFileCommon::SetRecordTypeOfSource(index, type);
    return recordTypeTableAt_ < 0 ||
           PatchAt(recordTypeTableAt_, [&] { return WriteRecordTypeTable(); });
}

bool CVcfStCaptureFileWriter::SetSourceNameOfSlot(int index, const std::string& name) {
    CVcfStCaptureFileCommon::SetSourceNameOfSlot(index, name);
    return sourceNameTableAt_ < 0 ||
           PatchAt(sourceNameTableAt_, [&] { return WriteSourceNameTable(); });
}

bool CVcfStCaptureFileWriter::SetCaptureStartTime(const CVcfTimeOfDay& time) {
    captureStart_ = time;
    return startTimeAt_ < 0 || PatchStartTime();
}

bool CVcfStCaptureFileWriter::SetCaptureStopTime(const CVcfTimeOfDay& time) {
    captureStop_ = time;
    return stopTimeAt_ < 0 || PatchStopTime();
}

bool CVcfStCaptureFileWriter::SetCaptureStopTimestamp(const CVcfTimestamp& timestamp) {
    captureStopTimestamp_ = timestamp;
    return stopTimestampAt_ < 0 || PatchStopTimestamp();
}

bool CVcfStCaptureFileWriter::SetCaptureStopTimestamp(uint32_t seconds, uint32_t nanoseconds) {
    return SetCaptureStopTimestamp(
        CVcfTimestamp(static_cast<int32_t>(seconds), static_cast<int32_t>(nanoseconds)));
}

bool CVcfStCaptureFileWriter::SetTriggerPacketNumber(uint32_t number) {
    triggerPacketNumber_ = number;
    return triggerPacketNumberAt_ < 0 || PatchTriggerPacketNumber();
}

bool CVcfStCaptureFileWriter::FinishAndClose() {
    if (!output_->IsOpen()) {
        return false;
    }
    bool ok = PatchNumberOfRecords();
    if (IsMasterFormatFlagBit0Set()) {
        ok = AppendIndex() && ok;
        index_->Close();
        unlink(indexFileName_.c_str());
    }
    return output_->Close() && ok;
}

bool CVcfStCaptureFileWriter::WriteRecord(bool, uint8_t source, uint32_t seconds,
                                          uint32_t nanoseconds, int32_t headerExtraLength,
                                          const uint8_t* headerExtra, int32_t,
                                          int32_t capturedLength, const uint8_t* data) {
    const uint32_t flags = headerExtraLength >= 1 ? headerExtra[0] : 0;
    const uint32_t value = headerExtraLength >= 5 ? LoadBE32(headerExtra + 1) : 0;
    return WriteHeaderWordRecord(static_cast<uint8_t>((source >> 5) & 3), source & 0x1F, seconds,
                                 nanoseconds, 0, 0, flags, value, capturedLength, data);
}

int32_t CVcfStCaptureFileWriter::HeaderExtraLength() const {
    return HeaderExtraLengthOf(GetRecordTypeOfSource(0));
}

bool CVcfStCaptureFileWriter::WriteHeaderExtra(uint32_t word1, uint32_t word2) {
    switch (HeaderExtraLength()) {
        case 5:
            return WriteByte(static_cast<uint8_t>(word1)) && WriteU32(word2);
        case 8:
            return WriteU32(word1) && WriteU32(word2);
        default:
            return true;
    }
}

CVcfStB3CaptureFileWriter::CVcfStB3CaptureFileWriter(const std::string& module,
                                                     const std::string& port,
                                                     const std::string& direction,
                                                     uint16_t recordType, time_t created)
    : CVcfStBinaryCaptureFileWriter("B3", 1, 1, 0x0003, created) {
    CVcfStCaptureFileCommon::SetRecordTypeOfSource(0, recordType);
    CVcfStCaptureFileCommon::SetSourceNameOfSlot(0, module + "," + port + "," + direction);
    headerString_ +=
        "#Module: " + module + "\n#Port: " + port + "\n#Direction: " + direction + "\n";
}

bool CVcfStB3CaptureFileWriter::WriteHeaderWordRecord(uint8_t, uint8_t, uint32_t seconds,
                                                      uint32_t nanoseconds, uint8_t,
                                                      uint8_t layer2Mode, uint32_t word1,
                                                      uint32_t word2, int32_t length,
                                                      const uint8_t* data) {
    return WriteRecord(seconds, nanoseconds, layer2Mode, word1, word2, length, data);
}

bool CVcfStB3CaptureFileWriter::WriteRecord(uint32_t seconds, uint32_t nanoseconds,
                                            uint8_t layer2Mode, uint32_t word1, uint32_t word2,
                                            int32_t length, const uint8_t* data) {
    // A B3 record without data bytes cannot be read back.
    if (length <= 0 || data == nullptr || !RecordFits(9 + HeaderExtraLength() + int64_t{length})) {
        return false;
    }
    const bool ok = IndexCurrentRecord() && WriteU32(seconds) && WriteU32(nanoseconds) &&
                    WriteByte(layer2Mode) && WriteHeaderExtra(word1, word2) &&
                    output_->Write(data, static_cast<size_t>(length));
    numberOfRecords_ += ok ? 1 : 0;
    return ok;
}

CVcfStB4CaptureFileWriter::CVcfStB4CaptureFileWriter(const std::string& portType,
                                                     const std::string& portId,
                                                     const std::string& direction,
                                                     uint16_t recordType, time_t created)
    : CVcfStB4CaptureFileWriter(std::vector<std::string>{portType},
                                std::vector<std::string>{portId},
                                std::vector<std::string>{direction}, recordType, created) {}

CVcfStB4CaptureFileWriter::CVcfStB4CaptureFileWriter(const std::vector<std::string>& portTypeList,
                                                     const std::vector<std::string>& portIdList,
                                                     const std::vector<std::string>& rxOrTxList,
                                                     uint16_t recordType, time_t created)
    : CVcfStBinaryCaptureFileWriter("B4", 1, 0, 0x0001, created) {
    // Only complete entries make a source, and there are 256 slots.
    const size_t count =
        std::min({portTypeList.size(), portIdList.size(), rxOrTxList.size(), kMaxPorts});
    CVcfStCaptureFileCommon::SetRecordTypeOfSource(0, recordType);
    for (size_t i = 0; i < count; ++i) {
        CVcfStCaptureFileCommon::SetSourceNameOfSlot(
            static_cast<int>(i), portTypeList[i] + "," + portIdList[i] + "," + rxOrTxList[i]);
    }
    headerString_ += "#PortType list: " + Join(portTypeList, count) +
                     "\n#PortId list: " + Join(portIdList, count) +
                     "\n#Direction list: " + Join(rxOrTxList, count) + "\n";
}

bool CVcfStB4CaptureFileWriter::WriteHeaderWordRecord(uint8_t port, uint8_t subPort,
                                                      uint32_t seconds, uint32_t nanoseconds,
                                                      uint8_t auxByteA, uint8_t layer2Mode,
                                                      uint32_t word1, uint32_t word2,
                                                      int32_t length, const uint8_t* data) {
    if (length < 0 || (length > 0 && data == nullptr) ||
        !RecordFits(11 + HeaderExtraLength() + int64_t{length})) {
        return false;
    }
    const uint8_t source = static_cast<uint8_t>((port << 5) | (subPort & 0x1F));
    const bool ok = IndexCurrentRecord() && WriteU32(seconds) && WriteU32(nanoseconds) &&
                    WriteByte(source) && WriteByte(auxByteA) && WriteByte(layer2Mode) &&
                    WriteHeaderExtra(word1, word2) &&
                    output_->Write(data, static_cast<size_t>(length));
    numberOfRecords_ += ok ? 1 : 0;
    return ok;
}

std::unique_ptr<CVcfStCaptureFileWriter> CVcfCaptureFileWriterFactory::Create(
    const std::string& formatCode, const std::string& fileName, const std::string& description,
    time_t created) {
    Reset();
    if (formatCode != "B3" && formatCode != "B4") {
        lastError_ = kVcfErrorUnknownFormat;
        return nullptr;
    }
    if (!output_->Create(fileName)) {
        lastError_ = kVcfErrorWrite;
        return nullptr;
    }
    output_->Close();
    formatCode_ = formatCode;
    description_ = description;
    fileName_ = fileName;
    std::unique_ptr<CVcfStCaptureFileWriter> writer;
    if (formatCode == "B3") {
        writer = std::make_unique<CVcfStB3CaptureFileWriter>("Unknown", "Unknown", "Rx",
                                                             kVcfRecordIPv4K3318BB, created);
    } else {
        writer = std::make_unique<CVcfStB4CaptureFileWriter>("Unknown", "Unknown", "Rx",
                                                             kVcfRecordL2ST640Merged, created);
    }
    writer->Open(fileName, description);
    return writer;
}

}  // namespace vcf
