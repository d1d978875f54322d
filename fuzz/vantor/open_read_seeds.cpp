// Seed corpus of the Vantor reader: capture files the library wrote itself,
// one built byte by byte, and text listings in the tester's fixed columns.
#include <filesystem>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/files.h"
#include "vantor/listing_builder.h"
#include "vantor_converter.h"

using namespace testsupport;

namespace {

std::vector<uint8_t> Timestamp(uint8_t last) {
    return Bytes().zeros(5).u8(last).data();
}

void WriteCapture(const std::string& path, int kind,
                  const std::vector<std::vector<uint8_t>>& items) {
    VantorFileInfo info{};
    info.kind = kind;
    info.captureStart = 1234567890;
    void* file = CreateVantorFile(path.c_str(), 0, &info);
    for (const auto& item : items) {
        AddFrameToFile(file, item.data(), static_cast<int>(item.size()));
    }
    CloseVantorFile(file);
}

ListingMacFrame MacFrame(const std::string& time, size_t payload) {
    return {time,
            {0, 1, 2, 3, 4, 5},
            {6, 7, 8, 9, 10, 11},
            static_cast<unsigned>(8 + payload),
            0xAA,
            0xAA,
            0x03,
            {0, 0, 0},
            "0800",
            Bytes().ramp(payload).data(),
            "01020304",
            {}};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);

    std::vector<std::vector<uint8_t>> frames;
    for (uint8_t i = 0; i < 5; ++i) {
        const std::vector<uint8_t> frame = Bytes().ramp(60 + i, i).data();
        frames.push_back(Bytes().append(Timestamp(i)).be16(68 + i).append(frame).data());
    }
    WriteCapture(dir + "/mac.vn", 8, frames);
    // Repeated timestamps are counted once.
    WriteCapture(dir + "/atm.vn", 7,
                 {Bytes().append(Timestamp(1)).ramp(53).data(),
                  Bytes().append(Timestamp(1)).ramp(53, 1).data(),
                  Bytes().append(Timestamp(2)).ramp(53, 2).data()});
    WriteCapture(dir + "/empty.vn", 8, {});

    // A minimal file: header, a bare text, one record, an index with a stray entry.
    const std::string text = "pbv.version:\t30200\npbv.selectedLayers:\tMAC\n";
    Bytes file;
    file.be32(44).text("ZQ Wideline Cellular Probe Capture Data File").be32(3).text("1.6").u8(0);
    const uint32_t record = 108 + 16 + static_cast<uint32_t>(text.size());
    file.be32(3).be32(108).be32(record).be32(record + 64).be32(2).zeros(32);
    file.be32(3).text("EFP").u8(0).be32(0xFFFFFFFF).be32(static_cast<uint32_t>(text.size() - 1));
    file.text(text);
    file.be32(1).be32(0).be32(1).be32(0x0BB8).be32(0xFFFFFFFF).be16(0).append(Timestamp(9));
    file.zeros(18).append(Timestamp(9)).be16(0).be16(4).be16(0).be16(4).fill(4, 0xEE);
    file.be32(record).be32(0xFFFFFF00);
    WriteFile(dir + "/hand.vn", file.data());

    ListingBuilder cells;
    for (uint8_t i = 0; i < 3; ++i) {
        cells.cell({"01:02:03.000000" + std::to_string(i), i, 1, 32, 0, 1, 0x55,
                    Bytes().ramp(48, i).data()});
    }
    WriteText(dir + "/cells.txt", cells.text());

    ListingBuilder macs;
    macs.mac(MacFrame("23:59:59.9999999", 40)).mac(MacFrame("00:00:00.0", 0));
    WriteText(dir + "/frames.txt", macs.text());

    ListingMacFrame abbreviated = MacFrame("12:00:00.5", 7 * 16);
    abbreviated.moreLines = {At({{0, "0070:"}, {12, " ... "}})};
    ListingBuilder truncated;
    truncated.mac(abbreviated);
    WriteText(dir + "/truncated.txt", truncated.text());
    return 0;
}
