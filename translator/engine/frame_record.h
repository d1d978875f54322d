#pragma once

#include <cstdint>
#include <memory>

namespace translator {

enum FrameFlags : uint16_t {
    FRAME_DIR_LN = 0x0001,
    FRAME_DIR_EQ = 0x0002,
    FRAME_OTHER_ERROR = 0x2000,
    FRAME_ALIGNMENT_ERROR = 0x4000,
    FRAME_CRC_ERROR = 0x8000,
};

// What the bytes of an FCS that a reader fills in hold: the checksum of the
// frame, or zeros where the frame was received bad or nobody writes its FCS.
enum class FcsBytes { kComputed, kZeros };

// One captured frame. A reader owns one and refills it for every frame.
struct FrameRecord {
    // Spare room kept after every requested buffer size, for an added FCS.
    static constexpr int32_t kSlack = 128;

    uint32_t nanoseconds = 0;
    uint32_t microseconds = 0;
    uint32_t seconds = 0;
    int32_t frameLength = 0;
    int32_t capturedLength = 0;
    uint16_t flags = 0;
    uint8_t wlanRate = 0;
    uint8_t wlanChannel = 0;
    uint8_t wlanSignal = 0;
    uint8_t wlanNoise = 0;
    bool nonData = false;
    std::unique_ptr<uint8_t[]> data;
    int32_t capacity = 0;

    FrameRecord() = default;
    FrameRecord(const FrameRecord&) = delete;
    FrameRecord& operator=(const FrameRecord&) = delete;
    FrameRecord(FrameRecord&&) = default;
    FrameRecord& operator=(FrameRecord&&) = default;

    // Clears every field but the buffer.
    void Reset();
    // Makes room for n bytes (plus kSlack) and copies n bytes from source when
    // given. A buffer that is large enough is kept; old contents are not.
    uint8_t* SetData(const uint8_t* source, int32_t n);
    // Puts the Ethernet FCS (or zeros) into the last four bytes of the frame.
    void StoreCrc32(FcsBytes bytes);
    // Puts the 16-bit HDLC FCS (or zeros) into the last two bytes of the frame.
    void StoreFcs16(FcsBytes bytes);
    // Extends a frame shorter than minimum to minimum bytes on the line and
    // captured, the added bytes zero. The buffer must already hold minimum bytes.
    void ExtendRunt(int32_t minimum);
    void CopyFrom(const FrameRecord& other);
    uint64_t TimestampMicros() const { return uint64_t{seconds} * 1000000u + microseconds; }

    // The frame's bytes for writers: data, or the captured bytes a reader
    // lends from its input buffer, valid until it reads again.
    const uint8_t* Bytes() const { return lent_ != nullptr ? lent_ : data.get(); }
    // Hands on the captured bytes where they lie instead of copying them
    // (until Reset or SetData). An FCS added to a lent frame must be zeros:
    // its bytes are not stored, since every writer that asks for zeros leaves
    // the FCS out.
    void Lend(const uint8_t* bytes) { lent_ = bytes; }

private:
    const uint8_t* lent_ = nullptr;
};

}  // namespace translator
