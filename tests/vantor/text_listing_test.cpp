// The tester's text listings read through the library's exports.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "listing_builder.h"
#include "support/bytes.h"
#include "support/files.h"
#include "vantor_library.h"

using namespace testsupport;

namespace {

// hh:mm:ss.fraction as the 48-bit count of 100 ns units the items carry.
std::vector<uint8_t> Units(uint64_t units) {
    return Bytes()
        .be16(static_cast<uint16_t>(units >> 32))
        .be32(static_cast<uint32_t>(units))
        .data();
}

ListingCell Cell(const std::string& time, uint8_t first) {
    return {time, 0x5, 0x12, 0x3456, 5, 1, 0xAB, Bytes().ramp(48, first).data()};
}

ListingMacFrame Frame(const std::string& time, size_t payload) {
    return {time,
            {0x00, 0x11, 0x22, 0x33, 0x44, 0x55},
            {0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB},
            static_cast<unsigned>(8 + payload),
            0xAA,
            0xAA,
            0x03,
            {0x00, 0x00, 0x0C},
            "0800",
            Bytes().ramp(payload, 0xF0).data(),
            "DEADBEEF",
            {}};
}

// The item a listed MAC frame gives: T, item length, then the frame's fields in order.
std::vector<uint8_t> MacItem(uint64_t units, size_t payload) {
    Bytes item;
    item.append(Units(units)).be16(static_cast<uint16_t>(8 + 14 + 8 + payload + 4));
    item.u8(0x00).u8(0x11).u8(0x22).u8(0x33).u8(0x44).u8(0x55);
    item.u8(0x66).u8(0x77).u8(0x88).u8(0x99).u8(0xAA).u8(0xBB).be16(
        static_cast<uint16_t>(8 + payload));
    item.u8(0xAA).u8(0xAA).u8(0x03).u8(0x00).u8(0x00).u8(0x0C).u8(0x08).u8(0x00);
    return item.ramp(payload, 0xF0).be32(0xDEADBEEF).data();
}

class VantorListingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()); }

    void* Open(const std::string& text, int& count, VantorFileInfo& info) {
        path = dir.file("listing.txt");
        WriteText(path, text);
        return lib.open(path.c_str(), &count, &info);
    }

    VantorLibrary lib;
    TempDir dir;
    std::string path;
};

TEST_F(VantorListingTest, AtmCellsComeBackWithHeaderAndPayload) {
    ListingBuilder listing;
    listing.cell(Cell("12:34:56.1234567", 0)).cell(Cell("00:00:01.5", 0x30));
    int count = 0;
    VantorFileInfo info{};
    const time_t now = std::time(nullptr);
    void* file = Open(listing.text(), count, info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(info.kind, 7);
    EXPECT_EQ(info.lineCode, 7);
    EXPECT_EQ(info.lineRate, 155000000);
    EXPECT_EQ(info.truncated, 0);
    EXPECT_STREQ(info.description, "ZQ Wideline Cellular Probe Capture Data Record");
    // Local midnight of today (the tests run in UTC).
    EXPECT_EQ(info.captureStart, static_cast<double>(now - now % 86400));

    // GFC 5, VPI 0x12, VCI 0x3456, PT 5, CLP 1 pack into 51 23 45 6B, then the HEC.
    const std::vector<uint8_t> header = {0x51, 0x23, 0x45, 0x6B, 0xAB};
    Bytes expected;
    expected.append(Units((12 * 3600 + 34 * 60 + 56) * 10000000ULL + 1234567))
        .append(header)
        .ramp(48, 0);
    expected.append(Units(15000000)).append(header).ramp(48, 0x30);
    std::vector<uint8_t> got;
    ASSERT_TRUE(lib.ReadBlock(file, 0, got, count, expected.size()));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(got, expected.data());
    EXPECT_EQ(lib.close(file), 0);
}

TEST_F(VantorListingTest, MacFramesComeBackWithFieldsPayloadAndFcs) {
    ListingBuilder listing;
    listing.mac(Frame("13:45:10.5", 20)).mac(Frame("13:45:11.25", 0)).mac(Frame("13:45:12", 32));
    int count = 0;
    VantorFileInfo info{};
    void* file = Open(listing.text(), count, info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(info.kind, 8);
    EXPECT_EQ(info.lineCode, 10);
    EXPECT_EQ(info.lineRate, 10000000);
    EXPECT_EQ(info.truncated, 0);

    const uint64_t second = 10000000;
    Bytes expected;
    expected.append(MacItem((13 * 3600 + 45 * 60 + 10) * second + 5000000, 20));
    expected.append(MacItem((13 * 3600 + 45 * 60 + 11) * second + 2500000, 0));
    expected.append(MacItem((13 * 3600 + 45 * 60 + 12) * second, 32));
    std::vector<uint8_t> got;
    ASSERT_TRUE(lib.ReadBlock(file, 0, got, count, expected.size()));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(got, expected.data());
    EXPECT_EQ(lib.print(static_cast<const unsigned char*>(lib.read(file, 0, &count)), count),
              static_cast<int>(expected.size()));
    EXPECT_EQ(lib.close(file), 0);
}

TEST_F(VantorListingTest, LongListingsComeInBlocksOfHundred) {
    ListingBuilder listing;
    for (int i = 0; i < 150; ++i) {
        char time[32];
        std::snprintf(time, sizeof time, "10:00:%02d.%07d", i / 10, i % 10);
        listing.cell(Cell(time, static_cast<uint8_t>(i)));
    }
    int count = 0;
    VantorFileInfo info{};
    void* file = Open(listing.text(), count, info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(count, 150);
    std::vector<uint8_t> got;
    ASSERT_TRUE(lib.ReadBlock(file, 1, got, count, 50 * 59));
    EXPECT_EQ(count, 50);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 6),
              Units(36000 * 10000000ULL + 10 * 10000000ULL + 0));
    EXPECT_EQ(got[11 + 47], static_cast<uint8_t>(100 + 47));
    EXPECT_NE(lib.read(file, 2, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(lib.read(file, -1, &count), nullptr);
    EXPECT_EQ(lib.close(file), 0);
}

TEST_F(VantorListingTest, AbbreviatedPayloadsMarkTheListingTruncated) {
    ListingMacFrame frame = Frame("09:00:00.0", 7 * 16);
    // The sixteenth line after the first frame line is the eighth payload line.
    frame.moreLines = {At({{0, "0070:"}, {12, " ... "}})};
    ListingBuilder listing;
    listing.mac(frame);
    int count = 0;
    VantorFileInfo info{};
    ASSERT_NE(Open(listing.text(), count, info), nullptr);
    EXPECT_EQ(info.truncated, 1);
    EXPECT_EQ(lib.create(dir.file("out.vn").c_str(), count, &info), nullptr);

    frame.moreLines = {At({{0, "0070:"}, {13, "00 01"}})};
    ListingBuilder whole;
    whole.mac(frame);
    ASSERT_NE(Open(whole.text(), count, info), nullptr);
    EXPECT_EQ(info.truncated, 0);
    void* out = lib.create(dir.file("out.vn").c_str(), count, &info);
    EXPECT_NE(out, nullptr);
    EXPECT_EQ(lib.close(out), -1);
}

// Lines that do not fit the columns: short lines, long lines, zero bytes, a
// frame without FCS, and one whose payload outgrows the item length field.
TEST_F(VantorListingTest, MisshapenListingsGiveWalkableItems) {
    ListingBuilder listing;
    listing.line(At({{0, "10:00:00.1"}, {20, "MAC"}}))
        .line("Destination Address     0x\n")
        .line(At({{13, "Frame Length"}, {37, "99999999"}}))
        .line(std::string(300, 'F') + "\n")
        .line(std::string("PID\0\0", 5) + "\n")
        .line("00\n")
        .line(At({{0, "10:00:00.2"}, {20, "MAC"}}))
        .line(At({{13, "PID"}, {39, "0800"}}));
    for (int i = 0; i < 5000; ++i) {
        listing.line(At({{13, "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF"}}));
    }
    listing.line(At({{13, "Frame Check Sequence"}}));
    listing.line("10:00:00.3 MAC\n");
    int count = 0;
    VantorFileInfo info{};
    void* file = Open(listing.text(), count, info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(count, 3);
    const auto* block = static_cast<const uint8_t*>(lib.read(file, 0, &count));
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(count, 3);
    // T, length, six empty address bytes, the length from its five columns (99999) cut
    // to 16 bits, the PID byte pair.
    std::vector<size_t> sizes;
    size_t pos = 0;
    for (int i = 0; i < count; ++i) {
        sizes.push_back(static_cast<size_t>(block[pos + 6] << 8 | block[pos + 7]));
        pos += sizes.back();
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{8 + 6 + 2 + 2, 0xFFFF, 8}));
    EXPECT_EQ(std::vector<uint8_t>(block + 8, block + 18),
              Bytes().zeros(6).be16(99999 & 0xFFFF).zeros(2).data());
    EXPECT_EQ(lib.close(file), 0);

    ListingBuilder cells;
    cells.line("ATM\n")
        .line(At({{13, "Header Error Control"}, {41, "0x"}}))
        .line("\n")
        .line("0000:\n");
    file = Open(cells.text(), count, info);
    ASSERT_NE(file, nullptr);
    std::vector<uint8_t> got;
    ASSERT_TRUE(lib.ReadBlock(file, 0, got, count, 59));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(got, Bytes().zeros(59).data());
    EXPECT_EQ(lib.close(file), 0);

    EXPECT_EQ(Open("ZQ Wideline Cellular Probe Capture\n", count, info), nullptr);
    EXPECT_EQ(Open("", count, info), nullptr);
}

}  // namespace
