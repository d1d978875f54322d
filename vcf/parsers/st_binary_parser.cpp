#include "st_binary_parser.h"

#include <climits>

#include "common/byte_order.h"

namespace vcf {

using namespace byte_order;

namespace {

// Seconds and nanoseconds that open every record.
constexpr int32_t kTimestampLength = 8;
// B4 records: the timestamp, then source byte, aux byte A and layer-2 mode.
constexpr int32_t kB4RecordHeadLength = kTimestampLength + 3;

VcfPortDescription PortFromFields(const std::vector<std::string>& fields,
                                  const VcfPortDescription& defaults) {
    VcfPortDescription port = defaults;
    if (fields.size() > 0 && !fields[0].empty()) {
        port.portType = fields[0];
    }
    if (fields.size() > 1 && !fields[1].empty()) {
        port.portId = fields[1];
    }
    if (fields.size() > 2 && !fields[2].empty()) {
        port.direction = fields[2];
    }
    return port;
}

}  // namespace

int32_t HeaderExtraLengthOf(int32_t recordType) {
    switch (recordType) {
        case kVcfRecordIPv4K3318BB:
            return 5;
        case kVcfRecordL2ST640:
        case kVcfRecordL2ST640Merged:
            return 8;
        default:
            return 0;
    }
}

bool CVcfStBinaryCaptureFileParser::OpenAndValidate() {
    if (!input_->Open(fileName_)) {
        lastError_ = kVcfErrorOpen;
        return false;
    }
    DetermineFileSize();
    bool ok = CheckSignatureFormatAndVersion() && ReadTypeSpecificHeader();
    if (ok && !CheckHeaderConsistency()) {
        lastError_ = kVcfErrorHeader;
        ok = false;
    }
    // An index that is promised but cut short makes the file unreadable.
    if (ok && !FillIndexCache(1)) {
        lastError_ = kVcfErrorFile;
        ok = false;
    }
    if (!ok) {
        input_->Close();
        return false;
    }
    Rewind();
    return true;
}

bool CVcfStBinaryCaptureFileParser::ReadCountsAndOffsets() {
    return ReadU32(&numberOfRecords_) && ReadU32(&recordLength_) && ReadU16(&masterFormatFlags_) &&
           ReadU32(&offsetToData_) && ReadU32(&offsetToIndex_);
}

bool CVcfStBinaryCaptureFileParser::ReadTables() {
    return ReadRecordTypeTable() && ReadSourceNameTable();
}

bool CVcfStBinaryCaptureFileParser::ReadTexts() {
    return ReadDimString(&headerString_) && ReadDimString(&description_);
}

bool CVcfStBinaryCaptureFileParser::ReadCaptureTimes() {
    return ReadTimeOfDay(&captureStart_) && ReadTimeOfDay(&captureStop_) &&
           ReadTimestamp(&captureStopTimestamp_) && ReadU32(&triggerPacketNumber_);
}

bool CVcfStBinaryCaptureFileParser::ReadTypeSpecificHeader() {
    if (!input_->IsOpen()) {
        lastError_ = kVcfErrorOpen;
        return false;
    }
    if (!ReadCountsAndOffsets() || !ReadTables() || !ReadTexts() || !ReadCaptureTimes()) {
        lastError_ = kVcfErrorHeader;
        return false;
    }
    return true;
}

CVcfStB3CaptureFileParser::CVcfStB3CaptureFileParser() : CVcfStBinaryCaptureFileParser("B3") {}

void CVcfStB3CaptureFileParser::Reset() {
    CVcfStBinaryCaptureFileParser::Reset();
    layer2Mode_ = 0;
    layer2ModeTaken_ = false;
}

VcfPortDescription CVcfStB3CaptureFileParser::SplitSourceName(const std::string& name) const {
    return PortFromFields(SplitSourceFields(name, 3), {"POS", "1A", "Rx"});
}

void CVcfStB3CaptureFileParser::TakeLayer2ModeFromSourceName() {
    const std::vector<std::string> fields = SplitSourceFields(GetSourceNameOfSlot(0), 4);
    layer2Mode_ = fields.size() > 3 ? Layer2ModeFromKeyword(fields[3]) : 0;
    layer2ModeTaken_ = true;
}

bool CVcfStB3CaptureFileParser::ReadRecord(uint32_t n, CVcfCaptureRecord& record) {
    uint64_t offset;
    int64_t length;
    if (!LocateRecord(n, &offset, &length)) {
        return false;
    }
    const bool version100 = IsVersion(1, 0);
    const int32_t recordType = FileRecordType();
    const int32_t extraLength = HeaderExtraLengthOf(recordType);
    const int64_t dataLength = length - extraLength - kTimestampLength - (version100 ? 0 : 1);
    if (dataLength <= 0 || dataLength > INT32_MAX) {
        lastError_ = kVcfErrorFile;
        return false;
    }
    uint32_t seconds;
    uint32_t nanoseconds;
    uint8_t mode = 0;
    std::unique_ptr<uint8_t[]> extra;
    std::unique_ptr<uint8_t[]> data;
    if (!input_->Seek(static_cast<int64_t>(offset)) || !ReadU32(&seconds) ||
        !ReadU32(&nanoseconds) || (!version100 && !ReadByte(&mode)) ||
        !ReadBuffer(extraLength, &extra) || !ReadBuffer(static_cast<int32_t>(dataLength), &data)) {
        lastError_ = kVcfErrorFile;
        return false;
    }
    if (version100) {
        if (!layer2ModeTaken_) {
            TakeLayer2ModeFromSourceName();
        }
        mode = layer2Mode_;
    }
    record.Clear();
    record.SetValid(true);
    record.SetSourceIndex(0);
    record.SetTimestamp(static_cast<int32_t>(seconds), static_cast<int32_t>(nanoseconds));
    record.SetAuxByteA(0);
    record.SetLayer2Mode(mode);
    record.SetRecordType(recordType);
    record.SetHeaderExtra(extraLength, std::move(extra));
    record.SetData(static_cast<int32_t>(dataLength), std::move(data));
    return true;
}

bool CVcfStB3CaptureFileParser::GetPortDescription(uint32_t, VcfPortDescription* description) {
    TakeLayer2ModeFromSourceName();
    *description = SplitSourceName(GetSourceNameOfSlot(0));
    return true;
}

std::string CVcfStB3CaptureFileParser::GetSourceNameOfRecord(uint32_t) {
    return GetSourceNameOfSlot(0);
}

CVcfStB4CaptureFileParser::CVcfStB4CaptureFileParser() : CVcfStBinaryCaptureFileParser("B4") {}

VcfPortDescription CVcfStB4CaptureFileParser::SplitSourceName(const std::string& name) const {
    return PortFromFields(SplitSourceFields(name, 3), {"POS", "101/1", "Rx"});
}

bool CVcfStB4CaptureFileParser::ReadRecord(uint32_t n, CVcfCaptureRecord& record) {
    uint64_t offset;
    int64_t length;
    if (!LocateRecord(n, &offset, &length)) {
        return false;
    }
    // Only the first version's record layout is known.
    if (!IsVersion(1, 0)) {
        lastError_ = kVcfErrorFile;
        return false;
    }
    const int32_t recordType = FileRecordType();
    const int32_t extraLength = HeaderExtraLengthOf(recordType);
    const int64_t dataLength = length - extraLength - kB4RecordHeadLength;
    if (dataLength < 0 || dataLength > INT32_MAX) {
        lastError_ = kVcfErrorFile;
        return false;
    }
    uint32_t seconds;
    uint32_t nanoseconds;
    uint8_t source;
    uint8_t auxByteA;
    uint8_t mode;
    std::unique_ptr<uint8_t[]> extra;
    std::unique_ptr<uint8_t[]> data;
    if (!input_->Seek(static_cast<int64_t>(offset)) || !ReadU32(&seconds) ||
        !ReadU32(&nanoseconds) || !ReadByte(&source) || !ReadByte(&auxByteA) || !ReadByte(&mode) ||
        !ReadBuffer(extraLength, &extra) || !ReadBuffer(static_cast<int32_t>(dataLength), &data)) {
        lastError_ = kVcfErrorFile;
        return false;
    }
    record.Clear();
    // The top bit of the source byte marks an invalid frame.
    record.SetValid((source & 0x80) == 0);
    record.SetSourceIndex(source);
    record.SetTimestamp(static_cast<int32_t>(seconds), static_cast<int32_t>(nanoseconds));
    record.SetAuxByteA(auxByteA);
    record.SetLayer2Mode(mode);
    record.SetRecordType(recordType);
    record.SetHeaderExtra(extraLength, std::move(extra));
    record.SetData(static_cast<int32_t>(dataLength), std::move(data));
    return true;
}

bool CVcfStB4CaptureFileParser::GetPortDescription(uint32_t n, VcfPortDescription* description) {
    CVcfCaptureRecord record;
    if (!ReadRecord(n, record)) {
        return false;
    }
    *description = SplitSourceName(GetSourceNameOf(record));
    return true;
}

}  // namespace vcf
