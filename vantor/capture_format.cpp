#include "capture_format.h"

#include <cstring>

#include "big_endian.h"

namespace vantor {

void AppendCountedString(std::vector<uint8_t>& out, const std::string& text) {
    AppendBe32(out, static_cast<uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
    out.resize(out.size() + (kRecordAlignment - text.size() % kRecordAlignment) % kRecordAlignment);
}

std::vector<uint8_t> FileHeader::Serialize() const {
    std::vector<uint8_t> out;
    AppendCountedString(out, kFileTitle);
    AppendCountedString(out, kFileVersion);
    AppendBe32(out, kPortCount);
    for (const PortEntry& port : ports) {
        AppendBe32(out, port.sectionOffset);
        AppendBe32(out, port.recordOffset);
        AppendBe32(out, port.indexOffset);
        AppendBe32(out, port.recordCount);
    }
    return out;
}

FileHeader FileHeader::Parse(const uint8_t (&bytes)[kSize]) {
    FileHeader header;
    for (int i = 0; i < kPortCount; ++i) {
        const uint8_t* entry = bytes + kPortTableOffset + i * kPortEntrySize;
        header.ports[i] = {GetBe32(entry), GetBe32(entry + 4), GetBe32(entry + 8),
                           GetBe32(entry + 12)};
    }
    return header;
}

namespace {

// The prefix every record starts with; the third word tells ATM (0) from MAC (1).
void AppendRecordPrefix(std::vector<uint8_t>& out, uint32_t layer, uint32_t channelId) {
    AppendBe32(out, 1);
    AppendBe32(out, 0);
    AppendBe32(out, layer);
    AppendBe32(out, channelId);
    AppendBe32(out, 0xFFFFFFFF);
    AppendBe16(out, 0);
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
        AppendBe32(out, word);
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
        AppendBe32(out, word);
    }
    AppendBe16(out, 0);
    AppendTimestamp(out, item);
    for (uint16_t half : {uint16_t{0}, frameLength, uint16_t{0}, frameLength}) {
        AppendBe16(out, half);
    }
    const uint8_t* frame = item + kMacItemHeaderSize;
    out.insert(out.end(), frame, frame + frameLength);
    return out;
}

}  // namespace vantor
