#pragma once

#include <cstdint>
#include <memory>

#include "records/timestamp.h"

namespace vcf {

// Record classes of a Stavrel capture file (entry 0 of its record-type table).
enum VcfRecordType : int32_t {
    kVcfRecordIPv4K3318BB = 2,
    kVcfRecordL2ST640 = 3,
    kVcfRecordL2ST640Merged = 4,
};

// Link-layer codes a record carries.
enum VcfLayer2Mode : uint8_t {
    VTX_LAYER2_POS_PPP = 0,
    VTX_LAYER2_POS_CISCO_HDLC = 1,
    VTX_LAYER2_GBE = 2,
};

// Where the IPv4 header starts in a frame of the given layer-2 mode; 0 for
// modes without a known framing.
int32_t Ipv4HeaderStart(uint8_t layer2Mode);

// One record of a capture file. It owns its header-extra and data buffers.
class CVcfCaptureRecord {
public:
    explicit CVcfCaptureRecord(int32_t recordType = 0);
    CVcfCaptureRecord(const CVcfCaptureRecord& other);
    CVcfCaptureRecord& operator=(const CVcfCaptureRecord& other);
    virtual ~CVcfCaptureRecord() = default;

    void SetValid(bool valid) { valid_ = valid; }
    bool IsValid() const { return valid_; }
    int32_t GetTotalLength() const { return headerExtraLength_ + capturedLength_; }

    const uint8_t* GetHeaderExtra() const { return headerExtra_.get(); }
    int32_t GetHeaderExtraLength() const { return headerExtraLength_; }
    const uint8_t* GetData() const { return data_.get(); }
    int32_t GetOriginalLength() const { return originalLength_; }
    int32_t GetCapturedLength() const { return capturedLength_; }

    void SetSourceIndex(uint8_t index) { sourceIndex_ = index; }
    uint8_t GetSourceIndex() const { return sourceIndex_; }
    virtual uint8_t GetPortNumber() const { return sourceIndex_; }

    // Normalises the two parts (see CVcfTimestamp).
    void SetTimestamp(int32_t seconds, int32_t nanoseconds);
    CVcfTimestamp GetTimestamp() const { return CVcfTimestamp(seconds_, nanoseconds_); }
    int32_t GetNanoseconds() const { return nanoseconds_; }
    int32_t GetSeconds() const { return seconds_; }

    void SetRecordType(int32_t type) { recordType_ = type; }
    int32_t GetRecordType() const { return recordType_; }
    void SetAuxByteA(uint8_t value) { auxByteA_ = value; }
    uint8_t GetAuxByteA() const { return auxByteA_; }
    void SetLayer2Mode(uint8_t mode) { layer2Mode_ = mode; }
    uint8_t GetLayer2Mode() const { return layer2Mode_; }

    // The record takes ownership of the buffers; length 0 goes with null.
    void SetHeaderExtra(int32_t length, std::unique_ptr<uint8_t[]> buffer);
    void SetData(int32_t length, std::unique_ptr<uint8_t[]> buffer);
    void SetData(int32_t originalLength, int32_t capturedLength, std::unique_ptr<uint8_t[]> buffer);

    // Back to an empty record of the same type.
    void Clear();
    // Deep copy of every field, the record type included.
    void Copy(const CVcfCaptureRecord& other);

protected:
    // A big-endian word of the header-extra; 0 when the extra is too short.
    uint32_t HeaderExtraWord(int32_t offset) const;
    // Test-packet signature fields, read big-endian at signatureOffset:
    // 0..3 are 32-bit at +0..+12, 4 and 5 are 16-bit at +16 and +18.
    uint32_t SignatureFieldAt(int32_t signatureOffset, int field) const;
    // (timestamp / 10 - send time) * 10 nanoseconds; the send time counts tens of nanoseconds.
    double LatencyFrom(uint32_t sendTime) const;

private:
    int32_t recordType_ = 0;
    uint8_t sourceIndex_ = 0;
    bool valid_ = true;
    int32_t seconds_ = 0;
    int32_t nanoseconds_ = 0;
    uint8_t auxByteA_ = 0;
    uint8_t layer2Mode_ = 0;
    int32_t headerExtraLength_ = 0;
    std::unique_ptr<uint8_t[]> headerExtra_;
    int32_t originalLength_ = 0;
    int32_t capturedLength_ = 0;
    std::unique_ptr<uint8_t[]> data_;
};

// Shared by the test-packet readers: the latency in whole nanoseconds,
// saturated to 32 bits.
int32_t SaturatedLatency(double latency);

// Record type 3: an 8-byte header-extra of two big-endian words.
class CVcfL2ST640Record : public CVcfCaptureRecord {
public:
    static constexpr int32_t kHeaderExtraLength = 8;

    CVcfL2ST640Record();
    CVcfL2ST640Record(int32_t seconds, int32_t nanoseconds, uint8_t layer2Mode, uint32_t word1,
                      uint32_t word2, int32_t length, std::unique_ptr<uint8_t[]> data);

    uint32_t GetHeaderWord1() const { return HeaderExtraWord(0); }
    uint32_t GetHeaderWord2() const { return HeaderExtraWord(4); }

    bool HasSignature() const { return (GetHeaderWord2() & 0x20000000u) != 0; }
    // The signature closes the frame: its last 20 bytes.
    int32_t GetSignatureOffset() const;
    uint32_t GetSignatureField(int field) const;
    double GetLatency() const;
    int32_t GetLatencyNanoseconds() const { return SaturatedLatency(GetLatency()); }

protected:
    explicit CVcfL2ST640Record(int32_t recordType);
    void StoreHeaderWords(uint32_t word1, uint32_t word2);
};

// Record type 4: an L2 record of a merged multi-port file. The source index
// holds the port in its upper three bits and the sub-port in the lower five.
class CVcfL2ST640MergedRecord : public CVcfL2ST640Record {
public:
    CVcfL2ST640MergedRecord();
    CVcfL2ST640MergedRecord(uint8_t port, uint8_t subPort, int32_t seconds, int32_t nanoseconds,
                            uint8_t auxByteA, uint8_t layer2Mode, uint32_t word1, uint32_t word2,
                            int32_t length, std::unique_ptr<uint8_t[]> data);

    // The low five bits, which number the line within its port group.
    uint8_t GetPortNumber() const override { return GetSourceIndex() & 0x1F; }
    uint8_t GetPort() const { return (GetSourceIndex() >> 5) & 7; }
};

// Record type 2: a 5-byte header-extra of a flag byte and a big-endian word;
// the frame is read as an IPv4 test packet.
class CVcfIPv4K3318BBRecord : public CVcfCaptureRecord {
public:
    static constexpr int32_t kHeaderExtraLength = 5;
    static constexpr uint8_t kFlagNoSignature = 0x20;
    static constexpr uint8_t kFlagEntries = 0x10;
    static constexpr uint8_t kFlag04 = 0x04;

    CVcfIPv4K3318BBRecord();
    CVcfIPv4K3318BBRecord(int32_t seconds, int32_t nanoseconds, uint8_t layer2Mode, uint8_t flags,
                          uint32_t word, int32_t length, std::unique_ptr<uint8_t[]> data);

    uint8_t GetFlags() const;
    uint32_t GetHeaderWord() const;
    bool HasSignature() const;
    bool IsControlPacket() const;
    bool HasEntries() const { return (GetFlags() & kFlagEntries) != 0; }
    bool HasFlag04() const { return (GetFlags() & kFlag04) != 0; }
    // Number of 4-byte entries at the frame start; 0 without kFlagEntries.
    int32_t GetEntryCount() const;
    int32_t GetSignatureOffset() const;
    uint32_t GetSignatureField(int field) const;
    double GetLatency() const;
    int32_t GetLatencyNanoseconds() const { return SaturatedLatency(GetLatency()); }

    // Replaces the header-extra by flags, three zero bytes and a final 0 or 1.
    void SetFlags(uint8_t flags, bool last);
};

}  // namespace vcf
