#include "capture_file_parser.h"

namespace vcf {

void CVcfCaptureFileParser::Close() {
    input_->Close();
    Reset();
    Rewind();
}

int64_t CVcfCaptureFileParser::DetermineFileSize() {
    fileSize_ = input_->Size();
    return fileSize_;
}

uint32_t CVcfCaptureFileParser::ReadNextRecord(CVcfCaptureRecord& record) {
    const uint32_t n = currentRecord_;
    if (n == 0 || !ReadRecord(n, record)) {
        return 0;
    }
    currentRecord_ = n + 1;
    return n;
}

bool CVcfCaptureFileParser::Open(const std::string& fileName) {
    Close();
    if (fileName.empty()) {
        return false;
    }
    fileName_ = fileName;
    return OpenAndValidate();
}

bool CVcfCaptureFileParser::GetRecordOffset(uint32_t n, uint64_t* offset) {
    if (n == 0 || n > numberOfRecords_) {
        return false;
    }
    if (recordLength_ != 0) {
        *offset = uint64_t{n - 1} * recordLength_ + offsetToData_;
        return true;
    }
    return LookupIndex(n, offset);
}

bool CVcfCaptureFileParser::GetRecordLengthOf(uint32_t n, int64_t* length) {
    if (n == 0 || n > numberOfRecords_) {
        return false;
    }
    if (recordLength_ != 0) {
        *length = recordLength_;
        return true;
    }
    uint64_t start;
    uint64_t end;
    if (!GetRecordOffset(n, &start)) {
        return false;
    }
    if (n < numberOfRecords_) {
        if (!GetRecordOffset(n + 1, &end)) {
            return false;
        }
    } else {
        end = offsetToIndex_ != 0 ? offsetToIndex_ : static_cast<uint64_t>(fileSize_);
    }
    *length = static_cast<int64_t>(end) - static_cast<int64_t>(start);
    return true;
}

bool CVcfCaptureFileParser::CheckHeaderConsistency() const {
    if (offsetToData_ == 0 || fileSize_ < offsetToData_ || fileSize_ < offsetToIndex_) {
        return false;
    }
    const uint64_t size = static_cast<uint64_t>(fileSize_);
    // Unsigned 64 bits hold the largest product of two 32-bit fields plus an
    // offset, so a hostile record count cannot wrap it round.
    const uint64_t expected = uint64_t{numberOfRecords_} * recordLength_ + offsetToData_;
    if (offsetToIndex_ != 0 && offsetToIndex_ < expected) {
        return false;
    }
    if (numberOfRecords_ != 0 && size < expected) {
        return false;
    }
    if (numberOfRecords_ == 0 && (size < offsetToData_ || offsetToIndex_ != 0)) {
        return false;
    }
    return true;
}

}  // namespace vcf
