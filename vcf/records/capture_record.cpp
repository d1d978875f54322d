#include "capture_record.h"

#include <cstring>

#include "common/byte_order.h"

namespace vcf {

using namespace byte_order;

namespace {

std::unique_ptr<uint8_t[]> CopyBuffer(const uint8_t* source, int32_t length) {
    if (source == nullptr || length <= 0) {
        return nullptr;
    }
    auto copy = std::make_unique<uint8_t[]>(static_cast<size_t>(length));
    memcpy(copy.get(), source, static_cast<size_t>(length));
    return copy;
}

std::unique_ptr<uint8_t[]> WordsExtra(uint32_t word1, uint32_t word2) {
    auto extra = std::make_unique<uint8_t[]>(CVcfL2ST640Record::kHeaderExtraLength);
    StoreBE32(extra.get(), word1);
    StoreBE32(extra.get() + 4, word2);
    return extra;
}

}  // namespace

int32_t Ipv4HeaderStart(uint8_t layer2Mode) {
    static constexpr int32_t kEthernetStarts[] = {14, 18, 17, 21, 22, 26};
    if (layer2Mode == 7 || layer2Mode == 8) {
        return 16;
    }
    if (layer2Mode == 9) {
        return 8;
    }
    if (layer2Mode >= 64 && layer2Mode <= 69) {
        return kEthernetStarts[layer2Mode - 64];
    }
    return 0;
}

int32_t SaturatedLatency(double latency) {
    if (!(latency < 2147483647.0)) {
        return INT32_MAX;
    }
    if (latency <= -2147483648.0) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(latency);
}

CVcfCaptureRecord::CVcfCaptureRecord(int32_t recordType) : recordType_(recordType) {}

CVcfCaptureRecord::CVcfCaptureRecord(const CVcfCaptureRecord& other) {
    Copy(other);
}

CVcfCaptureRecord& CVcfCaptureRecord::operator=(const CVcfCaptureRecord& other) {
    if (this != &other) {
        Copy(other);
    }
    return *this;
}

void CVcfCaptureRecord::SetTimestamp(int32_t seconds, int32_t nanoseconds) {
    const CVcfTimestamp normalised(seconds, nanoseconds);
    seconds_ = normalised.GetSeconds();
    nanoseconds_ = normalised.GetNanoseconds();
}

void CVcfCaptureRecord::SetHeaderExtra(int32_t length, std::unique_ptr<uint8_t[]> buffer) {
    headerExtra_ = std::move(buffer);
    headerExtraLength_ = headerExtra_ ? length : 0;
}

void CVcfCaptureRecord::SetData(int32_t length, std::unique_ptr<uint8_t[]> buffer) {
    SetData(length, length, std::move(buffer));
}

void CVcfCaptureRecord::SetData(int32_t originalLength, int32_t capturedLength,
                                std::unique_ptr<uint8_t[]> buffer) {
    data_ = std::move(buffer);
    originalLength_ = originalLength;
    capturedLength_ = data_ ? capturedLength : 0;
}

void CVcfCaptureRecord::Clear() {
    headerExtra_.reset();
    data_.reset();
    sourceIndex_ = 0;
    valid_ = true;
    seconds_ = 0;
    nanoseconds_ = 0;
    headerExtraLength_ = 0;
    originalLength_ = 0;
    capturedLength_ = 0;
    auxByteA_ = 0;
    layer2Mode_ = 0;
}

void CVcfCaptureRecord::Copy(const CVcfCaptureRecord& other) {
    Clear();
    recordType_ = other.recordType_;
    sourceIndex_ = other.sourceIndex_;
    valid_ = other.valid_;
    seconds_ = other.seconds_;
    nanoseconds_ = other.nanoseconds_;
    auxByteA_ = other.auxByteA_;
    layer2Mode_ = other.layer2Mode_;
    headerExtra_ = CopyBuffer(other.headerExtra_.get(), other.headerExtraLength_);
    headerExtraLength_ = headerExtra_ ? other.headerExtraLength_ : 0;
    originalLength_ = other.originalLength_;
    data_ = CopyBuffer(other.data_.get(), other.capturedLength_);
    capturedLength_ = data_ ? other.capturedLength_ : 0;
}

uint32_t CVcfCaptureRecord::HeaderExtraWord(int32_t offset) const {
    if (headerExtraLength_ < offset + 4) {
        return 0;
    }
    return LoadBE32(headerExtra_.get() + offset);
}

uint32_t CVcfCaptureRecord::SignatureFieldAt(int32_t signatureOffset, int field) const {
    // A short frame may report a signature it has no room for.
    if (signatureOffset < 0 || signatureOffset + 20 > capturedLength_) {
        return 0;
    }
    const uint8_t* signature = data_.get() + signatureOffset;
    if (field >= 0 && field <= 3) {
        return LoadBE32(signature + 4 * field);
    }
    if (field == 4 || field == 5) {
        return LoadBE16(signature + 16 + 2 * (field - 4));
    }
    return 0;
}

double CVcfCaptureRecord::LatencyFrom(uint32_t sendTime) const {
    return (GetTimestamp().AsNanoseconds() / 10.0 - static_cast<double>(sendTime)) * 10.0;
}

CVcfL2ST640Record::CVcfL2ST640Record() : CVcfL2ST640Record(kVcfRecordL2ST640) {}

CVcfL2ST640Record::CVcfL2ST640Record(int32_t recordType) : CVcfCaptureRecord(recordType) {}

CVcfL2ST640Record::CVcfL2ST640Record(int32_t seconds, int32_t nanoseconds, uint8_t layer2Mode,
                                     uint32_t word1, uint32_t word2, int32_t length,
                                     std::unique_ptr<uint8_t[]> data)
    : CVcfL2ST640Record(kVcfRecordL2ST640) {
    SetTimestamp(seconds, nanoseconds);
    SetLayer2Mode(layer2Mode);
    StoreHeaderWords(word1, word2);
    SetData(length, std::move(data));
}

void CVcfL2ST640Record::StoreHeaderWords(uint32_t word1, uint32_t word2) {
    SetHeaderExtra(kHeaderExtraLength, WordsExtra(word1, word2));
}

int32_t CVcfL2ST640Record::GetSignatureOffset() const {
    if (!HasSignature() || GetCapturedLength() < 20) {
        return 0;
    }
    return GetCapturedLength() - 20;
}

uint32_t CVcfL2ST640Record::GetSignatureField(int field) const {
    return HasSignature() ? SignatureFieldAt(GetSignatureOffset(), field) : 0;
}

double CVcfL2ST640Record::GetLatency() const {
    return LatencyFrom(GetSignatureField(2));
}

CVcfL2ST640MergedRecord::CVcfL2ST640MergedRecord() : CVcfL2ST640Record(kVcfRecordL2ST640Merged) {}

CVcfL2ST640MergedRecord::CVcfL2ST640MergedRecord(uint8_t port, uint8_t subPort, int32_t seconds,
                                                 int32_t nanoseconds, uint8_t auxByteA,
                                                 uint8_t layer2Mode, uint32_t word1, uint32_t word2,
                                                 int32_t length, std::unique_ptr<uint8_t[]> data)
    : CVcfL2ST640Record(kVcfRecordL2ST640Merged) {
    SetSourceIndex(static_cast<uint8_t>((port << 5) | (subPort & 0x1F)));
    // Bit 2 of the port is the source byte's top bit: set marks an invalid frame.
    SetValid((port & 4) == 0);
    SetTimestamp(seconds, nanoseconds);
    SetAuxByteA(auxByteA);
    SetLayer2Mode(layer2Mode);
    StoreHeaderWords(word1, word2);
    SetData(length, std::move(data));
}

CVcfIPv4K3318BBRecord::CVcfIPv4K3318BBRecord() : CVcfCaptureRecord(kVcfRecordIPv4K3318BB) {}

CVcfIPv4K3318BBRecord::CVcfIPv4K3318BBRecord(int32_t seconds, int32_t nanoseconds,
                                             uint8_t layer2Mode, uint8_t flags, uint32_t word,
                                             int32_t length, std::unique_ptr<uint8_t[]> data)
    : CVcfCaptureRecord(kVcfRecordIPv4K3318BB) {
    SetTimestamp(seconds, nanoseconds);
    SetLayer2Mode(layer2Mode);
    auto extra = std::make_unique<uint8_t[]>(kHeaderExtraLength);
    extra[0] = flags;
    StoreBE32(extra.get() + 1, word);
    SetHeaderExtra(kHeaderExtraLength, std::move(extra));
    SetData(length, std::move(data));
}

uint8_t CVcfIPv4K3318BBRecord::GetFlags() const {
    return GetHeaderExtraLength() > 0 ? GetHeaderExtra()[0] : 0;
}

uint32_t CVcfIPv4K3318BBRecord::GetHeaderWord() const {
    return HeaderExtraWord(1);
}

bool CVcfIPv4K3318BBRecord::HasSignature() const {
    return (GetFlags() & kFlagNoSignature) == 0 && (GetHeaderWord() & 0x20000000u) == 0;
}

bool CVcfIPv4K3318BBRecord::IsControlPacket() const {
    const uint8_t both = kFlag04 | kFlagNoSignature;
    return (GetFlags() & both) == both && (GetHeaderWord() & 0x08060000u) != 0;
}

int32_t CVcfIPv4K3318BBRecord::GetEntryCount() const {
    if (!HasEntries()) {
        return 0;
    }
    int32_t count = 1;
    for (int32_t offset = 2; offset < GetCapturedLength(); offset += 4) {
        if ((GetData()[offset] & 1) != 0) {
            break;
        }
        ++count;
    }
    return count;
}

int32_t CVcfIPv4K3318BBRecord::GetSignatureOffset() const {
    if (!HasSignature()) {
        return 0;
    }
    const int32_t captured = GetCapturedLength();
    int32_t payload = captured - Ipv4HeaderStart(GetLayer2Mode());
    if (HasEntries() && (GetEntryCount() & 1) != 0) {
        payload += 4;
    }
    const int32_t signatureLength = (payload & 7) + 20;
    return signatureLength < captured ? captured - signatureLength : 0;
}

uint32_t CVcfIPv4K3318BBRecord::GetSignatureField(int field) const {
    return HasSignature() ? SignatureFieldAt(GetSignatureOffset(), field) : 0;
}

double CVcfIPv4K3318BBRecord::GetLatency() const {
    return LatencyFrom(GetSignatureField(2));
}

void CVcfIPv4K3318BBRecord::SetFlags(uint8_t flags, bool last) {
    auto extra = std::make_unique<uint8_t[]>(kHeaderExtraLength);
    extra[0] = flags;
    extra[4] = last ? 1 : 0;
    SetHeaderExtra(kHeaderExtraLength, std::move(extra));
}

}  // namespace vcf
