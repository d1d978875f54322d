#include "frame_record.h"

#include <cstring>

#include "checksum.h"
#include "common/byte_order.h"

namespace translator {

using namespace byte_order;

void FrameRecord::Reset() {
    nanoseconds = microseconds = seconds = 0;
    frameLength = capturedLength = 0;
    flags = 0;
    wlanRate = wlanChannel = wlanSignal = wlanNoise = 0;
    nonData = false;
    lent_ = nullptr;
}

uint8_t* FrameRecord::SetData(const uint8_t* source, int32_t n) {
    lent_ = nullptr;
    if (n < 0) {
        n = 0;
    }
    if (data && capacity < n + kSlack) {
        data.reset();
    }
    if (!data) {
        data = std::make_unique<uint8_t[]>(static_cast<size_t>(n) + kSlack);
        capacity = n + kSlack;
    }
    if (source != nullptr && n > 0) {
        memcpy(data.get(), source, static_cast<size_t>(n));
    }
    return data.get();
}

void FrameRecord::StoreCrc32(FcsBytes bytes) {
    if (lent_ != nullptr) {
        return;
    }
    if (frameLength >= 4 && frameLength < capacity - 4) {
        uint8_t* fcs = data.get() + frameLength - 4;
        StoreLE32(fcs, bytes == FcsBytes::kComputed ? Crc32(data.get(), frameLength - 4) : 0);
    }
}

void FrameRecord::StoreFcs16(FcsBytes bytes) {
    if (frameLength >= 2 && frameLength < capacity - 4) {
        uint8_t* fcs = data.get() + frameLength - 2;
        StoreLE16(fcs, bytes == FcsBytes::kComputed ? Fcs16(data.get(), frameLength - 2) : 0);
    }
}

void FrameRecord::ExtendRunt(int32_t minimum) {
    if (frameLength >= minimum || capacity - kSlack < minimum) {
        return;
    }
    if (capturedLength < minimum) {
        const int32_t from = capturedLength > 0 ? capturedLength : 0;
        memset(data.get() + from, 0, static_cast<size_t>(minimum - from));
    }
    frameLength = capturedLength = minimum;
}

void FrameRecord::CopyFrom(const FrameRecord& other) {
    nanoseconds = other.nanoseconds;
    microseconds = other.microseconds;
    seconds = other.seconds;
    frameLength = other.frameLength;
    capturedLength = other.capturedLength;
    flags = other.flags;
    wlanRate = other.wlanRate;
    wlanChannel = other.wlanChannel;
    wlanSignal = other.wlanSignal;
    wlanNoise = other.wlanNoise;
    nonData = other.nonData;
    if (other.lent_ != nullptr) {
        SetData(other.lent_, other.capturedLength);
    } else if (other.capacity > kSlack) {
        SetData(other.data.get(), other.capacity - kSlack);
    }
}

}  // namespace translator
