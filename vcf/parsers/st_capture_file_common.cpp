#include "st_capture_file_common.h"

#include <algorithm>
#include <cstring>

#include "common/byte_order.h"
#include "records/dim_string.h"

namespace vcf {

using namespace byte_order;

CVcfStCaptureFileCommon::CVcfStCaptureFileCommon() {
    ResetTables();
}

void CVcfStCaptureFileCommon::ResetTables() {
    memset(recordTypes_, 0, sizeof recordTypes_);
    memset(sourceNames_, 0, sizeof sourceNames_);
    headerString_.clear();
    nonEmptySourceNames_ = 0;
}

uint16_t CVcfStCaptureFileCommon::GetRecordTypeOfSource(int index) const {
    return index >= 0 && index < kSourceCount ? recordTypes_[index] : 0;
}

void CVcfStCaptureFileCommon::SetRecordTypeOfSource(int index, uint16_t type) {
    if (index >= 0 && index < kSourceCount) {
        recordTypes_[index] = type;
    }
}

std::string CVcfStCaptureFileCommon::GetSourceNameOfSlot(int index) const {
    if (index < 0 || index >= kSourceCount) {
        return std::string();
    }
    CVcfDimString name;
    name.Attach(sourceNames_ + index * kSlotSize, kSlotSize);
    return name.GetText();
}

void CVcfStCaptureFileCommon::SetSourceNameOfSlot(int index, const std::string& name) {
    if (index < 0 || index >= kSourceCount) {
        return;
    }
    uint8_t* slot = sourceNames_ + index * kSlotSize;
    const size_t length = std::min(name.size(), kMaxSourceNameLength);
    memset(slot, 0, kSlotSize);
    StoreBE16(slot, static_cast<uint16_t>(length));
    memcpy(slot + 2, name.data(), length);
}

std::vector<std::string> CVcfStCaptureFileCommon::GetSourceNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < kSourceCount; ++i) {
        std::string name = GetSourceNameOfSlot(i);
        if (name.empty()) {
            break;
        }
        names.push_back(std::move(name));
    }
    return names;
}

std::string CVcfStCaptureFileCommon::DumpTables(const std::string& extra) const {
    std::string text = "Header string      : '" + headerString_ + "'\r\n";
    text += extra;
    text += "Record Type Table  : \r\n";
    for (int i = 0; i < kSourceCount; ++i) {
        if (i % 16 == 0) {
            text += "\r\n    ";
        }
        text += std::to_string(recordTypes_[i]) + " ";
    }
    text += "\r\n";
    text += "Source Name Table  : \r\n";
    for (int i = 0; i < kSourceCount; ++i) {
        const std::string name = GetSourceNameOfSlot(i);
        text += "\r\n  " + std::to_string(i) + ": " + (name.empty() ? "(none)" : name);
    }
    text += "\r\n";
    return text;
}

}  // namespace vcf
