// Vantor capture files written and read through the library's exports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/files.h"
#include "vantor_library.h"

using namespace testsupport;

namespace {

constexpr char kTitle[] = "ZQ Wideline Cellular Probe Capture Data File";
constexpr int kAtm = 7;
constexpr int kMac = 8;

std::vector<uint8_t> Timestamp(uint8_t last, uint8_t first = 0) {
    return Bytes().u8(0).u8(first).zeros(3).u8(last).data();
}

std::vector<uint8_t> MacItem(const std::vector<uint8_t>& t, const std::vector<uint8_t>& frame) {
    return Bytes().append(t).be16(static_cast<uint16_t>(frame.size() + 8)).append(frame).data();
}

std::vector<uint8_t> AtmItem(const std::vector<uint8_t>& t, uint8_t first) {
    return Bytes().append(t).ramp(53, first).data();
}

std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& items) {
    Bytes all;
    for (const auto& item : items) {
        all.append(item);
    }
    return all.data();
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t offset, size_t size) {
    if (offset + size > bytes.size()) {
        ADD_FAILURE() << "file too short for " << offset << "+" << size;
        return {};
    }
    return {bytes.begin() + offset, bytes.begin() + offset + size};
}

uint32_t Be32At(const std::vector<uint8_t>& bytes, size_t offset) {
    const auto b = Slice(bytes, offset, 4);
    return b.empty() ? 0 : uint32_t{b[0]} << 24 | b[1] << 16 | b[2] << 8 | b[3];
}

std::string TextAt(const std::vector<uint8_t>& bytes, size_t offset, size_t size) {
    const auto b = Slice(bytes, offset, size);
    return {b.begin(), b.end()};
}

Bytes& Counted(Bytes& b, const std::string& s) {
    return b.be32(static_cast<uint32_t>(s.size())).text(s).zeros((4 - s.size() % 4) % 4);
}

Bytes FileHeader(const std::vector<std::vector<uint32_t>>& ports) {
    Bytes b;
    Counted(b, kTitle);
    Counted(b, "1.6").be32(3);
    for (const auto& port : ports) {
        for (uint32_t value : port) {
            b.be32(value);
        }
    }
    return b;
}

class VantorFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib.loaded()); }

    // Creates a file of the kind, adds the items, closes it; the close result.
    int Write(const std::string& path, int kind, int announced,
              const std::vector<std::vector<uint8_t>>& items, double start = 1234567890) {
        VantorFileInfo info = MakeInfo(kind, start);
        void* file = lib.create(path.c_str(), announced, &info);
        EXPECT_NE(file, nullptr);
        for (const auto& item : items) {
            EXPECT_EQ(lib.add(file, item.data(), static_cast<int>(item.size())), 1);
        }
        return lib.close(file);
    }

    VantorLibrary lib;
    TempDir dir;
};

TEST_F(VantorFileTest, MacFileWithUnknownCountGetsCountIndexAndPortsAtClose) {
    const std::string path = dir.file("mac.vn");
    std::vector<std::vector<uint8_t>> items;
    for (uint8_t i = 0; i < 3; ++i) {
        items.push_back(MacItem(Timestamp(i + 1), Bytes().ramp(64, 16 * i).data()));
    }
    ASSERT_EQ(Write(path, kMac, 0, items), 3);
    const std::vector<uint8_t> file = ReadFile(path);

    // Port 1: section 108, records from 3444 (124 bytes each), index after them.
    // Port 2 ("EFP:3  NOT USED") takes 3336 bytes, port 3 ("EFP:3  Port 1 Trace") 3344.
    EXPECT_EQ(
        Slice(file, 0, 108),
        FileHeader({{108, 3444, 3816, 3}, {3828, 7164, 7164, 0}, {7164, 10508, 10508, 0}}).data());
    EXPECT_EQ(file.size(), 10508u);
    EXPECT_EQ(Slice(file, 3816, 12), Bytes().be32(3444).be32(3568).be32(3692).data());

    Bytes record;
    record.be32(1).be32(0).be32(1).be32(0x0BB8).be32(0xFFFFFFFF).be16(0).append(Timestamp(1));
    record.be32(0xE6).be32(0xE6).be32(0).be32(0x5C).be16(0).append(Timestamp(1));
    record.be16(0).be16(64).be16(0).be16(64).ramp(64, 0);
    EXPECT_EQ(Slice(file, 3444, 124), record.data());

    Bytes section;
    Counted(section, "EFP:3  Port 1").be32(0xFFFFFFFF).be32(3211);
    EXPECT_EQ(Slice(file, 108, 28), section.data());
    const std::string text = TextAt(file, 136, 3212);
    const std::string start =
        "pbv.version:\t30200\npbv.portLocator:\t300\npbv.testApplication:\t"
        "EthernetTestSoftware\npbv.baseTimestamp:\t1234567890\n";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_NE(text.find("pbv.selectedLayers:\tMAC,IPV4,UDP,TCP,ICMP,PPPOE,IPV6\n"
                        "pbv.MAC.protocolFormat.style:\tMultipleLine\n"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 27), "pbv.IPV6.numConnections:\t0\n");

    Bytes block;
    block.be32(3).be32(0).be32(1).be32(0x0BB8);
    Counted(block, "EFP:3  Port 1");
    Counted(block, "Tx");
    Counted(block, "Rx").be32(8).zeros(12).be32(0x10000000).zeros(20).be32(1);
    EXPECT_EQ(Slice(file, 3348, 96), block.data());

    // Ports 2 and 3 carry the same text after their own names.
    EXPECT_EQ(TextAt(file, 3828 + 28, 3212), text);
    EXPECT_EQ(TextAt(file, 3828, 19), std::string("\0\0\0\x0F"
                                                  "EFP:3  NOT USED",
                                                  19));
    EXPECT_EQ(TextAt(file, 7164 + 32, 3212), text);
    EXPECT_EQ(Be32At(file, 7164 + 32 + 3212 + 12), 0x0BBAu);
}

TEST_F(VantorFileTest, AtmFileHasItsTextChannelsAndRecordLayout) {
    const std::string path = dir.file("atm.vn");
    ASSERT_EQ(Write(path, kAtm, 2, {AtmItem(Timestamp(1), 0x10), AtmItem(Timestamp(2), 0x20)},
                    1000000000),
              2);
    const std::vector<uint8_t> file = ReadFile(path);
    // Ports 2 and 3 take 14924 and 14700 bytes; the third port lists one channel only.
    EXPECT_EQ(
        Slice(file, 0, 108),
        FileHeader({{108, 15032, 15264, 2}, {15272, 30196, 30196, 0}, {30196, 44896, 44896, 0}})
            .data());
    EXPECT_EQ(file.size(), 44896u);

    Bytes record;
    record.be32(1).be32(0).be32(0).be32(0x0FA3).be32(0xFFFFFFFF).be16(0).append(Timestamp(1));
    record.be32(0x8380).be32(0x200).be32(0).be32(7).be32(0).be32(0).be32(53).be32(53);
    record.ramp(53, 0x10).zeros(3);
    EXPECT_EQ(Slice(file, 15032, 116), record.data());
    EXPECT_EQ(Slice(file, 15264, 8), Bytes().be32(15032).be32(15148).data());

    EXPECT_EQ(Be32At(file, 128), 14591u);
    const std::string text = TextAt(file, 132, 14592);
    const std::string start =
        "pbv.version:\t30200\npbv.portLocator:\t501\npbv.testApplication:\t"
        "UNISigTestSoftware\npbv.baseTimestamp:\t1000000000\n";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_NE(text.find("pbv.AAL1CS.numMatchers:\t0\npbv.SIG.filterStatus:\tPassAll\n"
                        "pbv.AAL1CS.numConnections:\t0\n"),
              std::string::npos);
    EXPECT_NE(text.find("pbv.MPEG2TS.numMatchers:\t0\npbv.MTP3B.filterStatus:\tPassAll\n"),
              std::string::npos);
    EXPECT_NE(text.find("pbv.AAL5.connection1.lowerConnectionId:\t1\n"), std::string::npos);

    Bytes channels;
    channels.be32(3).be32(0).be32(4);
    const std::vector<std::pair<uint32_t, std::string>> names = {
        {0x0FA0, "1\n "}, {0x0FA1, "2\n "}, {0x0FA2, "3\n "}, {0x0FA3, "Other\nVCs"}};
    for (const auto& [id, name] : names) {
        channels.be32(id);
        Counted(channels, name);
        Counted(channels, "Tx");
        Counted(channels, "Rx").be32(8).be32(2).be32(id == 0x0FA3 ? 0x80 : 1).zeros(28).be32(1);
    }
    EXPECT_EQ(Slice(file, 132 + 14592, 308), channels.data());
    EXPECT_EQ(Slice(file, 30196 + 24 + 14592, 16),
              Bytes().be32(3).be32(2).be32(1).be32(0x0FA0).data());
}

TEST_F(VantorFileTest, WrittenFilesReadBackBlockByBlock) {
    const std::string path = dir.file("many.vn");
    std::vector<std::vector<uint8_t>> items;
    for (int i = 0; i < 250; ++i) {
        // Frame sizes that are not multiples of 4 make the writer pad.
        items.push_back(MacItem(Timestamp(static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)),
                                Bytes().ramp(60 + i % 7, static_cast<uint8_t>(i)).data()));
    }
    ASSERT_EQ(Write(path, kMac, 250, items), 250);

    int count = 0;
    VantorFileInfo info{};
    void* file = lib.open(path.c_str(), &count, &info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(count, 250);
    EXPECT_EQ(info.kind, kMac);
    EXPECT_EQ(info.lineCode, 10);
    EXPECT_EQ(info.lineRate, 10000000);
    EXPECT_EQ(info.secondRate, 10000000);
    EXPECT_EQ(info.captureStart, 1234567890.0);
    EXPECT_STREQ(info.description, kTitle);
    EXPECT_EQ(info.reservedPointer1, nullptr);

    for (int block = 0; block < 3; ++block) {
        const size_t first = 100 * static_cast<size_t>(block);
        const size_t last = std::min<size_t>(items.size(), first + 100);
        const std::vector<uint8_t> expected = Concat(
            {items.begin() + static_cast<long>(first), items.begin() + static_cast<long>(last)});
        std::vector<uint8_t> got;
        ASSERT_TRUE(lib.ReadBlock(file, block, got, count, expected.size()));
        EXPECT_EQ(count, static_cast<int>(last - first));
        EXPECT_EQ(got, expected) << "block " << block;
        EXPECT_EQ(
            lib.print(static_cast<const unsigned char*>(lib.read(file, block, &count)), count),
            static_cast<int>(expected.size()));
    }
    EXPECT_NE(lib.read(file, 3, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(lib.read(file, -1, &count), nullptr);
    EXPECT_EQ(lib.close(file), 0);
    EXPECT_EQ(lib.read(file, 0, &count), nullptr);
}

TEST_F(VantorFileTest, RepeatedTimestampsCountOnce) {
    const std::string path = dir.file("repeats.vn");
    const std::vector<std::vector<uint8_t>> cells = {
        AtmItem(Timestamp(1), 0x00), AtmItem(Timestamp(1), 0x40), AtmItem(Timestamp(2), 0x80),
        AtmItem(Timestamp(3), 0xC0), AtmItem(Timestamp(3), 0xE0)};
    ASSERT_EQ(Write(path, kAtm, 5, cells), 5);
    int count = 0;
    VantorFileInfo info{};
    void* file = lib.open(path.c_str(), &count, &info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(info.kind, kAtm);
    EXPECT_EQ(info.lineCode, 7);
    EXPECT_EQ(info.lineRate, 155000000);
    std::vector<uint8_t> got;
    ASSERT_TRUE(lib.ReadBlock(file, 0, got, count, 3 * 59));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(got, Concat({cells[0], cells[2], cells[3]}));
    EXPECT_EQ(lib.print(static_cast<const unsigned char*>(lib.read(file, 0, &count)), count),
              3 * 59);
    EXPECT_EQ(lib.close(file), 0);
}

// The header and the index hold the records actually added, not the count announced.
TEST_F(VantorFileTest, CloseRecordsTheFramesActuallyAdded) {
    const std::string path = dir.file("short.vn");
    const std::vector<std::vector<uint8_t>> items = {
        MacItem(Timestamp(1), Bytes().ramp(61).data()),
        MacItem(Timestamp(2), Bytes().ramp(62).data())};
    ASSERT_EQ(Write(path, kMac, 5, items), 2);
    const std::vector<uint8_t> file = ReadFile(path);
    EXPECT_EQ(Be32At(file, 72), 2u);
    // 121 bytes padded to 124, then 122 padded to 124 before the index.
    EXPECT_EQ(Be32At(file, 68), 3444u + 248u);
    EXPECT_EQ(Slice(file, 3444 + 121, 3), Bytes().zeros(3).data());
    EXPECT_EQ(Slice(file, 3692, 8), Bytes().be32(3444).be32(3568).data());
    EXPECT_EQ(Be32At(file, 76), 3700u);

    int count = 0;
    void* reader = lib.open(path.c_str(), &count, nullptr);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(lib.close(reader), 0);
}

TEST_F(VantorFileTest, RefusesBadRequests) {
    VantorFileInfo mac = MakeInfo(kMac, 0);
    EXPECT_EQ(lib.create(dir.file("neg.vn").c_str(), -1, &mac), nullptr);
    VantorFileInfo other = MakeInfo(9, 0);
    EXPECT_EQ(lib.create(dir.file("kind.vn").c_str(), 1, &other), nullptr);
    EXPECT_FALSE(FileExists(dir.file("kind.vn")));
    VantorFileInfo truncated = MakeInfo(kMac, 0);
    truncated.truncated = 1;
    EXPECT_EQ(lib.create(dir.file("trunc.vn").c_str(), 1, &truncated), nullptr);

    const std::string path = dir.file("empty.vn");
    void* file = lib.create(path.c_str(), 0, &mac);
    ASSERT_NE(file, nullptr);
    const std::vector<uint8_t> item = MacItem(Timestamp(1), Bytes().ramp(60).data());
    EXPECT_EQ(lib.add(file, item.data(), -1), 0);
    EXPECT_EQ(lib.add(file, item.data(), 7), 0);
    EXPECT_EQ(lib.add(file, nullptr, 68), 0);
    EXPECT_EQ(lib.add(&mac, item.data(), 68), 0);
    EXPECT_EQ(lib.close(&mac), -1);
    int count = -1;
    EXPECT_EQ(lib.read(file, 0, &count), nullptr);
    // A file closed without records is complete but reports no count.
    EXPECT_EQ(lib.close(file), -1);
    EXPECT_EQ(lib.close(file), -1);
    file = lib.open(path.c_str(), &count, nullptr);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(lib.close(file), 0);

    EXPECT_EQ(lib.open(dir.file("missing.vn").c_str(), &count, nullptr), nullptr);
    WriteText(dir.file("other.txt"), "not a capture\n");
    EXPECT_EQ(lib.open(dir.file("other.txt").c_str(), &count, nullptr), nullptr);
}

// A file built byte by byte: a bare configuration text, two MAC records and an
// index with one entry that points past the end.
TEST_F(VantorFileTest, ReadsHandBuiltFileAndSkipsBrokenIndexEntries) {
    const std::string text =
        "pbv.version:\t30200\npbv.baseTimestamp:\t0000000100\npbv.selectedLayers:\tMAC\n";
    Bytes section;
    Counted(section, "EFP:3  Port 1").be32(0xFFFFFFFF).be32(static_cast<uint32_t>(text.size() - 1));
    section.text(text);
    const uint32_t first = 108 + static_cast<uint32_t>(section.size());
    const uint32_t second = first + 60 + 4 + 2;
    const uint32_t index = second + 60 + 6 + 2;
    Bytes file = FileHeader({{108, first, index, 3}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    file.append(section.data());
    for (uint8_t n : {4, 6}) {
        file.be32(1).be32(0).be32(1).be32(0x0BB8).be32(0xFFFFFFFF).be16(0).append(Timestamp(n));
        file.zeros(18).append(Timestamp(n)).be16(0).be16(n).be16(0).be16(n).fill(n, n).zeros(2);
    }
    file.be32(first).be32(0x7FFFFFF0).be32(second);
    const std::string path = dir.file("hand.vn");
    WriteFile(path, file.data());

    int count = 0;
    VantorFileInfo info{};
    void* reader = lib.open(path.c_str(), &count, &info);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(info.kind, kMac);
    EXPECT_EQ(info.lineCode, 10);
    EXPECT_EQ(info.captureStart, 100.0);
    std::vector<uint8_t> got;
    ASSERT_TRUE(lib.ReadBlock(reader, 0, got, count, 12 + 14));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(got, Concat({MacItem(Timestamp(4), Bytes().fill(4, 4).data()),
                           MacItem(Timestamp(6), Bytes().fill(6, 6).data())}));
    EXPECT_EQ(lib.close(reader), 0);

    // An index that claims more entries than the file holds, and a cut header.
    std::vector<uint8_t> bytes = file.data();
    bytes[75] = 200;
    WriteFile(path, bytes);
    EXPECT_EQ(lib.open(path.c_str(), &count, nullptr), nullptr);
    bytes.resize(100);
    WriteFile(path, bytes);
    EXPECT_EQ(lib.open(path.c_str(), &count, nullptr), nullptr);
}

}  // namespace
