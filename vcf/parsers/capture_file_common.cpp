#include "capture_file_common.h"

#include <cstdio>

namespace vcf {

namespace {

constexpr const char* kErrorTexts[] = {
    "No error",
    "File not found, already open or no read permission",
    "File format not recognised or illegal version number",
    "Short or Corrupted capture file header section",
    "Short or Corrupted capture file",
    "File write failure, check permissions",
    "UNKOWN_FORMAT",
};

// The two-letter name is held in the row, so copying it out has a known
// length (a pointer of unknown length makes GCC suspect an overlapping copy).
struct FormatRow {
    int32_t id;
    char name[3];
};

// Trial order of the parser factory.
constexpr FormatRow kFormats[kVcfFormatCount] = {
    {kVcfFormatB3, "B3"},
    {kVcfFormatB4, "B4"},
    {kVcfFormatTcpdump, "T1"},
};

}  // namespace

CVcfCaptureFileCommon::CVcfCaptureFileCommon()
    : input_(std::make_unique<CVcfBinaryInputStream>()),
      output_(std::make_unique<CVcfBinaryOutputStream>()) {}

CVcfCaptureFileCommon::~CVcfCaptureFileCommon() {
    input_->Close();
    output_->Close();
}

void CVcfCaptureFileCommon::Reset() {
    fileName_.clear();
    input_->Close();
    output_->Close();
    fileSize_ = 0;
    lastError_ = kVcfNoError;
    versionMajor_ = 0;
    versionMinor_ = 0;
    masterFormatFlags_ = 0;
    numberOfRecords_ = 0;
    recordLength_ = 0;
    offsetToData_ = 0;
    offsetToIndex_ = 0;
    description_.clear();
}

bool CVcfCaptureFileCommon::FindFormat(const std::string& name, int32_t* formatId) const {
    for (int32_t position = 0; position < GetFormatCount(); ++position) {
        int32_t id;
        std::string formatName;
        if (GetFormatId(position, &id) && GetFormatName(id, &formatName) && formatName == name) {
            *formatId = id;
            return true;
        }
    }
    return false;
}

const char* CVcfCaptureFileCommon::ErrorText(int32_t code) {
    if (code < 0 || code > kVcfErrorUnknownFormat) {
        return kErrorTexts[kVcfErrorUnknownFormat];
    }
    return kErrorTexts[code];
}

const char* CVcfCaptureFileCommon::GetErrorText() const {
    return ErrorText(lastError_);
}

bool CVcfCaptureFileCommon::GetFormatId(int32_t position, int32_t* formatId) const {
    if (position < 0 || position >= GetFormatCount()) {
        *formatId = kVcfFormatCount;
        return false;
    }
    *formatId = kFormats[position].id;
    return true;
}

bool CVcfCaptureFileCommon::GetFormatPosition(int32_t formatId, int32_t* position) const {
    for (int32_t i = 0; i < GetFormatCount(); ++i) {
        if (kFormats[i].id == formatId) {
            *position = i;
            return true;
        }
    }
    return false;
}

bool CVcfCaptureFileCommon::GetFormatName(int32_t formatId, std::string* name) const {
    int32_t position;
    if (!GetFormatPosition(formatId, &position)) {
        name->clear();
        return false;
    }
    *name = kFormats[position].name;
    return true;
}

std::string CVcfCaptureFileCommon::HexText(uint32_t value, int digits) {
    if (digits < 1 || digits > 8) {
        return "??";
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int i = digits - 1; i >= 0; --i) {
        text += kDigits[(value >> (4 * i)) & 0xF];
    }
    return text;
}

std::string CVcfCaptureFileCommon::DumpHeader(const std::string& extra) const {
    char version[32];
    snprintf(version, sizeof version, "%02d.%02d", versionMajor_, versionMinor_);
    std::string text;
    text += "Filename           : " + fileName_ + "\r\n";
    text += "Signature          : " + signature_ + "\r\n";
    text += "Format code        : " + formatCode_ + "\r\n";
    text += std::string("Version            : ") + version + "\r\n";
    text += "Master Format flags: " + HexText(masterFormatFlags_, 4) + "\r\n";
    text += "Number of records  : " + std::to_string(numberOfRecords_) + "\r\n";
    text += "Record length      : " + std::to_string(recordLength_) + "\r\n";
    text += "Offset to Data     : " + std::to_string(offsetToData_) + " (" +
            HexText(offsetToData_, 8) + ")\r\n";
    text += "Description string : '" + description_ + "'\r\n";
    text += "Offset to Index    : " + std::to_string(offsetToIndex_) + " (" +
            HexText(offsetToIndex_, 8) + ")\r\n";
    text +=
        "Last error code    : " + std::to_string(lastError_) + " = '" + GetErrorText() + "'\r\n";
    text += extra;
    text += "\r\n";
    return text;
}

}  // namespace vcf
