#include "capture_format.h"

#include <cstring>

#include "common/byte_order.h"

namespace vantor {

using namespace byte_order;

void AppendCountedString(std::vector<uint8_t>& out, const std::string& text) {
    AppendBE32(out, static_cast<uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
    out.resize(out.size() + (kRecordAlignment - text.size() % kRecordAlignment) % kRecordAlignment);
}

std::vector<uint8_t> FileHeader::Serialize() const {
    std::vector<uint8_t> out;
    AppendCountedString(out, kFileTitle);
    AppendCountedString(out, kFileVersion);
    AppendBE32(out, kPortCount);
    for (const PortEntry& port : ports) {
        AppendBE32(out, port.sectionOffset);
        AppendBE32(out, port.recordOffset);
        AppendBE32(out, port.indexOffset);
        AppendBE32(out, port.recordCount);
    }
    return out;
}

FileHeader FileHeader::Parse(const uint8_t (&bytes)[kSize]) {
    FileHeader header;
    for (int i = 0; i < kPortCount; ++i) {
        const uint8_t* entry = bytes + kPortTableOffset + i * kPortEntrySize;
        header.ports[i] = {LoadBE32(entry), LoadBE32(entry + 4), LoadBE32(entry + 8),
                           LoadBE32(entry + 12)};
    }
    return header;
}

namespace {

// The prefix every record starts with; the third word tells ATM (0) from MAC (1).
void AppendRecordPrefix(std::vector<uint8_t>& out, uint32_t layer, uint32_t channelId) {
    AppendBE32(out, 1);
    AppendBE32(out, 0);
    AppendBE32(out, layer);
    AppendBE32(out, channelId);
    AppendBE32(out, 0xFFFFFFFF);
    AppendBE16(out, 0);
}

void AppendTimestamp(std::vector<uint8_t>& out, const uint8_t* item) {
    out.insert(out.end(), item, item + kTimestampSize);
}

}  // namespace

std::vector<uint8_t> BuildAtmRecord(const uint8_t* item) {
    std::vector<uint8_t> out;
    out.reserve(kAtmRecordSize);
    AppendRecordPrefix(out, 0, 0x0FA3);
    AppendTimestamp(out, item);
    for (uint32_t word : {0x00008380u, 0x00000200u, 0u, 7u, 0u, 0u, 53u, 53u}) {
        AppendBE32(out, word);
    }
    out.insert(out.end(), item + kTimestampSize, item + kAtmItemSize);
    out.resize(kAtmRecordSize);
    return out;
}

std::vector<uint8_t> BuildMacRecord(const uint8_t* item, uint16_t frameLength) {
    std::vector<uint8_t> out;
    out.reserve(kMacRecordHeaderSize + frameLength);
    AppendRecordPrefix(out, 1, 0x0BB8);
    AppendTimestamp(out, item);
    for (uint32_t word : {0xE6u, 0xE6u, 0u, 0x5Cu}) {
        AppendBE32(out, word);
    }
    AppendBE16(out, 0);
    AppendTimestamp(out, item);
    for (uint16_t half : {uint16_t{0}, frameLength, uint16_t{0}, frameLength}) {
        AppendBE16(out, half);
    }
    const uint8_t* frame = item + kMacItemHeaderSize;
    out.insert(out.end(), frame, frame + frameLength);
    return out;
}

}  // namespace vantor
