#include "st_capture_file_parser.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/byte_order.h"

namespace vcf {

using namespace byte_order;

uint8_t Layer2ModeFromKeyword(const std::string& keyword) {
    if (keyword == "VTX_LAYER2_POS_PPP") {
        return VTX_LAYER2_POS_PPP;
    }
    if (keyword == "VTX_LAYER2_POS_CISCO_HDLC") {
        return VTX_LAYER2_POS_CISCO_HDLC;
    }
    if (keyword == "VTX_LAYER2_GBE") {
        return VTX_LAYER2_GBE;
    }
    return VTX_LAYER2_POS_PPP;
}

std::vector<std::string> SplitSourceFields(const std::string& name, size_t count) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (fields.size() < count && start <= name.size()) {
        size_t end = name.find(',', start);
        if (end == std::string::npos) {
            end = name.size();
        }
        fields.push_back(name.substr(start, end - start));
        if (fields.size() == 1 && fields[0] == "Unknown") {
            return {};
        }
        start = end + 1;
    }
    return fields;
}

CVcfStCaptureFileParser::CVcfStCaptureFileParser(const std::string& formatCode) {
    signature_ = kSignature;
    formatCode_ = formatCode;
}

void CVcfStCaptureFileParser::Reset() {
    CVcfCaptureFileParser::Reset();
    ResetTables();
    ResetIndexCache();
    captureStart_ = CVcfTimeOfDay();
    captureStop_ = CVcfTimeOfDay();
    captureStopTimestamp_ = CVcfTimestamp();
    triggerPacketNumber_ = 0;
}

std::string CVcfStCaptureFileParser::DumpHeader(const std::string& extra) const {
    std::string text;
    text += "Capture Start Time of Day  : " + captureStart_.ToString() + "\r\n";
    text += "Capture Stop  Time of Day  : " + captureStop_.ToString() + "\r\n";
    text += "Capture Stop  Timestamp    : " + captureStopTimestamp_.ToString() + "\r\n";
    text += "Trigger Packet No.         : " + std::to_string(triggerPacketNumber_) + "\r\n";
    return CVcfCaptureFileCommon::DumpHeader(text + extra);
}

std::string CVcfStCaptureFileParser::GetSourceNameOfRecord(uint32_t n) {
    CVcfCaptureRecord record;
    if (!ReadRecord(n, record)) {
        return std::string();
    }
    return GetSourceNameOf(record);
}

void CVcfStCaptureFileParser::GetPortLists(std::vector<std::string>* portTypes,
                                           std::vector<std::string>* portIds,
                                           std::vector<std::string>* directions) const {
    portTypes->clear();
    portIds->clear();
    directions->clear();
    for (uint32_t i = 0; i < nonEmptySourceNames_ && i < kSourceCount; ++i) {
        const std::string name = GetSourceNameOfSlot(static_cast<int>(i));
        if (name.empty()) {
            break;
        }
        const VcfPortDescription port = SplitSourceName(name);
        portTypes->push_back(port.portType);
        portIds->push_back(port.portId);
        directions->push_back(port.direction);
    }
}

void CVcfStCaptureFileParser::ResetIndexCache() {
    cacheFirst_ = 0;
    cacheLast_ = 0;
}

bool CVcfStCaptureFileParser::ReadIndexEntry(uint32_t n, uint32_t* offset) {
    *offset = 0;
    if (offsetToIndex_ == 0 || n == 0 || n > numberOfRecords_) {
        return true;
    }
    const int64_t resume = input_->Tell();
    uint8_t entry[4];
    const bool ok = input_->Seek(offsetToIndex_ + int64_t{n - 1} * 4) && ReadBytes(entry, 4);
    input_->Seek(resume);
    if (ok) {
        *offset = LoadBE32(entry);
    }
    return ok;
}

bool CVcfStCaptureFileParser::FillIndexCache(uint32_t n) {
    ResetIndexCache();
    if (numberOfRecords_ == 0) {
        return true;
    }
    if (n == 0 || n > numberOfRecords_) {
        return false;
    }
    uint32_t first;
    uint32_t count;
    if (!readBackward_) {
        first = n;
        count = std::min(numberOfRecords_ - n + 1, kIndexCacheSize);
    } else if (n > kIndexCacheSize) {
        first = n - (kIndexCacheSize - 1);
        count = kIndexCacheSize;
    } else {
        first = 1;
        count = n;
    }
    if (!indexCache_) {
        indexCache_ = std::make_unique<uint32_t[]>(kIndexCacheSize);
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (!ReadIndexEntry(first + i, &indexCache_[i])) {
            return false;
        }
    }
    cacheFirst_ = first;
    cacheLast_ = first + count - 1;
    return true;
}

bool CVcfStCaptureFileParser::LookupIndex(uint32_t n, uint64_t* offset) {
    const bool cached = cacheFirst_ != 0 && n >= cacheFirst_ && n <= cacheLast_;
    if (!cached && (!FillIndexCache(n) || cacheFirst_ == 0)) {
        return false;
    }
    const uint32_t entry = indexCache_[n - cacheFirst_];
    // Records follow the header: an offset inside it (a missing index gives
    // 0) is no record.
    if (entry < offsetToData_) {
        return false;
    }
    *offset = entry;
    return true;
}

bool CVcfStCaptureFileParser::CheckSignature() {
    char signature[kSignatureLength];
    if (!input_->Seek(0) || !ReadBytes(signature, sizeof signature)) {
        lastError_ = kVcfErrorFile;
        return false;
    }
    if (!SignatureEquals(std::string(signature, sizeof signature))) {
        lastError_ = kVcfErrorFormat;
        return false;
    }
    return true;
}

bool CVcfStCaptureFileParser::ReadVersion() {
    char version[6] = {};
    if (!ReadBytes(version, 5)) {
        lastError_ = kVcfErrorFile;
        return false;
    }
    int major = 0;
    int minor = 0;
    if (sscanf(version, "%d.%d", &major, &minor) < 1 || major == 0) {
        lastError_ = kVcfErrorFormat;
        return false;
    }
    versionMajor_ = major;
    versionMinor_ = minor;
    return true;
}

bool CVcfStCaptureFileParser::CheckFormatCodeAndReadVersion() {
    char code[2];
    if (!input_->Seek(kSignatureLength) || !ReadBytes(code, sizeof code)) {
        lastError_ = kVcfErrorFile;
        return false;
    }
    if (std::string(code, sizeof code) != formatCode_) {
        lastError_ = kVcfErrorFormat;
        return false;
    }
    return ReadVersion();
}

bool CVcfStCaptureFileParser::CheckSignatureFormatAndVersion() {
    return CheckSignature() && CheckFormatCodeAndReadVersion();
}

bool CVcfStCaptureFileParser::ReadU16(uint16_t* value) {
    uint8_t bytes[2];
    if (!ReadBytes(bytes, sizeof bytes)) {
        return false;
    }
    *value = LoadBE16(bytes);
    return true;
}

bool CVcfStCaptureFileParser::ReadU32(uint32_t* value) {
    uint8_t bytes[4];
    if (!ReadBytes(bytes, sizeof bytes)) {
        return false;
    }
    *value = LoadBE32(bytes);
    return true;
}

bool CVcfStCaptureFileParser::ReadDimString(std::string* text) {
    uint16_t length;
    if (!ReadU16(&length)) {
        return false;
    }
    text->assign(length, '\0');
    return length == 0 || ReadBytes(text->data(), length);
}

bool CVcfStCaptureFileParser::ReadRecordTypeTable() {
    uint8_t table[kRecordTypeTableSize];
    if (!ReadBytes(table, sizeof table)) {
        return false;
    }
    for (int i = 0; i < kSourceCount; ++i) {
        recordTypes_[i] = LoadBE16(table + 2 * i);
    }
    return true;
}

bool CVcfStCaptureFileParser::ReadSourceNameTable() {
    if (!ReadBytes(sourceNames_, sizeof sourceNames_)) {
        return false;
    }
    nonEmptySourceNames_ = 0;
    for (int i = 0; i < kSourceCount; ++i) {
        if (LoadBE16(sourceNames_ + i * kSlotSize) != 0) {
            ++nonEmptySourceNames_;
        }
    }
    return true;
}

bool CVcfStCaptureFileParser::ReadTimeOfDay(CVcfTimeOfDay* time) {
    uint16_t hours;
    uint16_t minutes;
    uint16_t milliseconds;
    if (!ReadU16(&hours) || !ReadU16(&minutes) || !ReadU16(&milliseconds)) {
        return false;
    }
    *time = CVcfTimeOfDay(hours, minutes, milliseconds);
    return true;
}

bool CVcfStCaptureFileParser::ReadTimestamp(CVcfTimestamp* timestamp) {
    uint32_t seconds;
    uint32_t nanoseconds;
    if (!ReadU32(&seconds) || !ReadU32(&nanoseconds)) {
        return false;
    }
    timestamp->Set(static_cast<int32_t>(seconds), static_cast<int32_t>(nanoseconds));
    return true;
}

bool CVcfStCaptureFileParser::LocateRecord(uint32_t n, uint64_t* offset, int64_t* length) {
    if (!GetRecordOffset(n, offset) || !GetRecordLengthOf(n, length) || *length == 0) {
        return false;
    }
    if (*length < 0 || static_cast<int64_t>(*offset) + *length > fileSize_) {
        lastError_ = kVcfErrorFile;
        return false;
    }
    return true;
}

bool CVcfStCaptureFileParser::ReadBuffer(int32_t length, std::unique_ptr<uint8_t[]>* buffer) {
    buffer->reset();
    if (length == 0) {
        return true;
    }
    *buffer = std::make_unique<uint8_t[]>(static_cast<size_t>(length));
    return ReadBytes(buffer->get(), static_cast<size_t>(length));
}

}  // namespace vcf
