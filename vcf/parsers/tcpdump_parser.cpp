#include "tcpdump_parser.h"

#include <bit>
#include <cstdio>

#include "common/byte_order.h"

namespace vcf {

using namespace byte_order;

namespace {

constexpr bool kHostIsLittleEndian = std::endian::native == std::endian::little;

}  // namespace

CVcfTcpdumpFileParser::CVcfTcpdumpFileParser() {
    formatCode_ = "X1";
    offsetToData_ = kFileHeaderLength;
}

bool CVcfTcpdumpFileParser::ReadRecord(uint32_t, CVcfCaptureRecord&) {
    return false;
}

bool CVcfTcpdumpFileParser::ReadU16(uint16_t* value) {
    uint8_t bytes[2];
    if (!input_->Read(bytes, sizeof bytes)) {
        return false;
    }
    // byteSwapped_ is relative to the host: it equals kHostIsLittleEndian
    // exactly when the file is big-endian.
    *value = Load16(bytes, byteSwapped_ == kHostIsLittleEndian);
    return true;
}

bool CVcfTcpdumpFileParser::ReadU32(uint32_t* value) {
    uint8_t bytes[4];
    if (!input_->Read(bytes, sizeof bytes)) {
        return false;
    }
    *value = Load32(bytes, byteSwapped_ == kHostIsLittleEndian);
    return true;
}

bool CVcfTcpdumpFileParser::ReadMagic() {
    uint8_t bytes[4];
    if (!input_->Seek(0) || !input_->Read(bytes, sizeof bytes)) {
        lastError_ = kVcfErrorFile;
        return false;
    }
    const uint32_t magic = LoadBE32(bytes);
    if (magic == kMagicBigEndian) {
        byteSwapped_ = kHostIsLittleEndian;
    } else if (magic == kMagicLittleEndian) {
        byteSwapped_ = !kHostIsLittleEndian;
    } else {
        lastError_ = kVcfErrorFormat;
        return false;
    }
    char text[16];
    snprintf(text, sizeof text, "0x%08x", magic);
    signature_ = text;
    return true;
}

bool CVcfTcpdumpFileParser::ReadFileHeader() {
    uint16_t major;
    uint16_t minor;
    uint32_t timeZone;
    if (!ReadU16(&major) || !ReadU16(&minor) || !ReadU32(&timeZone) ||
        !ReadU32(&timestampAccuracy_) || !ReadU32(&snapshotLength_) || !ReadU32(&linkType_)) {
        lastError_ = kVcfErrorFile;
        return false;
    }
    versionMajor_ = major;
    versionMinor_ = minor;
    timeZoneCorrection_ = static_cast<int32_t>(timeZone);
    return true;
}

bool CVcfTcpdumpFileParser::OpenAndValidate() {
    if (!input_->Open(fileName_)) {
        lastError_ = kVcfErrorOpen;
        return false;
    }
    DetermineFileSize();
    offsetToData_ = kFileHeaderLength;
    if (!ReadMagic() || !ReadFileHeader()) {
        input_->Close();
        return false;
    }
    return true;
}

}  // namespace vcf
