#include "frame_stream.h"

#include <cmath>

#include "common/byte_order.h"

namespace meridel {

using namespace byte_order;

namespace {

void StoreStamp(uint8_t* out, const Stamp& s) {
    StoreLE32(out, s.first);
    StoreLE32(out + 4, s.second);
}

Stamp LoadStamp(const uint8_t* in) {
    return {LoadLE32(in), LoadLE32(in + 4)};
}

}  // namespace

Stamp TicksToStamp(uint16_t high, uint32_t low) {
    // The single-precision values nearest 2^32 / 10^7 and 0.0001.
    const double x = high * 429.4967041015625;
    double s = std::floor(x);
    const double g = x - s;
    double f = (low * 9.999999747378752e-05 + g * 100.0) * 1000000.0;
    while (f > 4294967296.0) {
        s += 1;
        f -= 4294967296.0;
    }
    return {static_cast<uint32_t>(static_cast<uint64_t>(s)),
            static_cast<uint32_t>(static_cast<uint64_t>(f))};
}

void CStreamHeader::Store(uint8_t* out) const {
    StoreLE16(out, layoutCode);
    StoreLE16(out + 2, constant);
    StoreLE32(out + 4, recordCount);
    StoreLE16(out + 8, recordsPerBlock);
    StoreLE16(out + 10, extraBytes);
    StoreStamp(out + 12, firstStamp);
    StoreStamp(out + 20, lastStamp);
}

void CStreamHeader::Load(const uint8_t* in) {
    layoutCode = LoadLE16(in);
    constant = LoadLE16(in + 2);
    recordCount = LoadLE32(in + 4);
    recordsPerBlock = LoadLE16(in + 8);
    extraBytes = LoadLE16(in + 10);
    firstStamp = LoadStamp(in + 12);
    lastStamp = LoadStamp(in + 20);
}

void CCBInfo::Store(uint8_t* out) const {
    StoreLE32(out, offset);
    StoreLE32(out + 4, size);
    StoreStamp(out + 8, firstStamp);
    StoreStamp(out + 16, lastStamp);
}

void CCBInfo::Load(const uint8_t* in) {
    offset = LoadLE32(in);
    size = LoadLE32(in + 4);
    firstStamp = LoadStamp(in + 8);
    lastStamp = LoadStamp(in + 16);
}

}  // namespace meridel
