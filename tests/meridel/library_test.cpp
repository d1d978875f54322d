// libMeridelDLL.so through its exports: the bytes it writes, and how it
// reads well-formed and hostile files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "support/files.h"
#include "support/meridel_exports.h"

namespace {

using namespace testsupport;

uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return U16(b, at) | (uint32_t{U16(b, at + 2)} << 16);
}

// The directory of a written file: (id, offset) per entry.
std::vector<std::pair<uint32_t, uint32_t>> Directory(const std::vector<uint8_t>& file) {
    std::vector<std::pair<uint32_t, uint32_t>> entries;
    for (size_t i = 0; i < U16(file, 104); ++i) {
        entries.emplace_back(U32(file, 106 + 8 * i), U32(file, 110 + 8 * i));
    }
    return entries;
}

std::vector<uint8_t> Layout12Record(uint32_t seconds, uint32_t nanos, uint16_t length,
                                    uint8_t first = 0) {
    return Bytes()
        .zeros(12)
        .le16(length)
        .le16(length)
        .u8(0)
        .u8(0)
        .u8(0x40)
        .u8(0)
        .le32(seconds)
        .le32(nanos)
        .zeros(8)
        .ramp(length, first)
        .data();
}

std::vector<uint8_t> Cell(uint16_t tickHigh, uint32_t tickLow, uint8_t first = 0) {
    return Bytes().ramp(53, first).le32(tickLow).le16(tickHigh).zeros(2).u8(0x80).zeros(2).data();
}

std::vector<uint8_t> LengthPrefixed(uint16_t dataLength) {
    const auto total = static_cast<uint16_t>(dataLength + 13);
    return Bytes()
        .le16(total)
        .u8(0x10)
        .u8(0)
        .le32(77)
        .le16(0)
        .ramp(dataLength)
        .le16(total)
        .u8(0x10)
        .data();
}

class MeridelLibrary : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib.Loaded()) << dlerror(); }

    // Creates path with info and the records; returns what Close returned.
    int32_t Write(const std::string& path, FileConfigInfo info,
                  const std::vector<std::vector<uint8_t>>& records) {
        CaptureFileHandle* handle = lib.create(path.c_str(), 0, &info);
        EXPECT_NE(handle, nullptr);
        if (handle == nullptr) {
            return -2;
        }
        for (const auto& r : records) {
            EXPECT_EQ(lib.add(handle, r.data(), static_cast<uint32_t>(r.size())), 1);
        }
        return lib.close(handle);
    }

    MeridelExports lib;
    TempDir dir;
};

TEST_F(MeridelLibrary, LanFileHoldsDirectoryConfigurationIndexAndDecodeData) {
    const std::string path = dir.file("lan.dat");
    FileConfigInfo info = MeridelConfig(8, 3, 10);
    strcpy(info.description, "Office LAN");
    ASSERT_EQ(Write(path, info, {Layout12Record(1200000001, 5000, 60)}), 1);
    const auto file = ReadFile(path);
    EXPECT_EQ(U32(file, 0), 0x21000721u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[4])), "Office LAN");
    const auto directory = Directory(file);
    ASSERT_EQ(directory.size(), 3u);
    EXPECT_EQ(directory[0].first, 0x80000018u);
    EXPECT_EQ(directory[1].first, 0x00000005u);
    EXPECT_EQ(directory[2].first, 0x8000002du);
    EXPECT_EQ(directory[0].second, 106u + 3 * 8 + 2);

    // Configuration: schema 121, interface code 0 normalised to 108, and a
    // version-1 extension block with the media code of a 10 Mbit/s line.
    const size_t config = directory[0].second;
    EXPECT_EQ(U16(file, config), 0xFFFF);
    EXPECT_EQ(U16(file, config + 2), 121);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[config + 6]), 12), "CBasicConfig");
    EXPECT_EQ(U16(file, config + 18), 10);
    EXPECT_EQ(U32(file, config + 20), 1200000000u);
    EXPECT_EQ(U16(file, config + 32), 108);
    EXPECT_EQ(U16(file, config + 38), 32);
    EXPECT_EQ(U32(file, config + 40), 1u);
    EXPECT_EQ(U32(file, config + 40 + 16), 1u);
    EXPECT_EQ(file[config + 40 + 32 + 6], 13);

    // One record: one block whose size is the record's, equal first and last stamps.
    const size_t frames = directory[1].second;
    EXPECT_EQ(U16(file, frames), 12);
    EXPECT_EQ(U16(file, frames + 2), 25);
    EXPECT_EQ(U32(file, frames + 4), 1u);
    EXPECT_EQ(U16(file, frames + 8), 100);
    EXPECT_EQ(U32(file, frames + 12), 1200000001u);
    EXPECT_EQ(U32(file, frames + 16), 5000u);
    EXPECT_EQ(U32(file, frames + 20), 1200000001u);
    EXPECT_EQ(U32(file, frames + 28), 0u);
    EXPECT_EQ(U32(file, frames + 32), 96u);
    EXPECT_EQ(U32(file, frames + 36), 1200000001u);
    EXPECT_EQ(U32(file, frames + 44), 1200000001u);

    const size_t decode = directory[2].second;
    EXPECT_EQ(decode, frames + 28 + 24 + 96);
    const auto expected = Bytes()
                              .le16(28)
                              .le16(3)
                              .le32(0x80000018)
                              .u8(0)
                              .le32(5)
                              .text("Decode Data")
                              .u8(0)
                              .le32(0x8000002d)
                              .u8(0)
                              .data();
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + decode, file.end()), expected);
}

TEST_F(MeridelLibrary, TrellanFileStoresVersion3ExtensionWithLineAndInterface) {
    const std::string path = dir.file("trellan.dat");
    FileConfigInfo info = MeridelConfig(8, 0, 3, 304);
    uint8_t given[32] = {1, 0, 0, 0, 0x44, 0x33, 0x22, 0x11};
    info.extension = given;
    info.extensionLength = sizeof given;
    const auto record =
        Bytes().u8(1).u8(1).zeros(14).le32(4).le32(4).zeros(16).le32(0xAABBCCDD).data();
    ASSERT_EQ(Write(path, info, {record}), 1);

    uint32_t count = 0;
    FileConfigInfo read{};
    CaptureFileHandle* handle = lib.open(path.c_str(), &count, &read);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(read.fileType, 8);
    EXPECT_EQ(read.fileKind, 0);
    EXPECT_EQ(read.interfaceCode, 304);
    ASSERT_EQ(read.extensionLength, 44);
    std::vector<uint8_t> extension(read.extension, read.extension + 44);
    lib.release(read.extension);
    EXPECT_EQ(U32(extension, 0), 3u);
    EXPECT_EQ(U32(extension, 4), 0x11223344u);  // the caller's bytes stay
    EXPECT_EQ(U32(extension, 16), 3u);
    EXPECT_EQ(U32(extension, 32), 304u);
    EXPECT_EQ(lib.Blocks(handle), std::vector<std::vector<uint8_t>>{record});
    EXPECT_EQ(lib.close(handle), 0);
    EXPECT_EQ(U16(ReadFile(path), Directory(ReadFile(path))[1].second), 1);
}

TEST_F(MeridelLibrary, AtmFilesAreCutIntoCellsAndStampedFromTicks) {
    // Line code 3: layout 3 in the header, records still cut as 64 bytes.
    const std::string path = dir.file("atm.dat");
    ASSERT_EQ(Write(path, MeridelConfig(7, 3, 3), {Cell(1, 0), Cell(2, 10000000, 9)}), 2);
    const auto file = ReadFile(path);
    EXPECT_EQ(U32(file, 0), 0x21000a21u);
    const auto directory = Directory(file);
    ASSERT_EQ(directory.size(), 2u);
    const size_t frames = directory[1].second;
    EXPECT_EQ(U16(file, frames), 3);
    EXPECT_EQ(U32(file, frames + 32), 128u);
    // One tick of 2^32 x 100 ns: S = 429, F = floor(0.4967041015625 x 10^8).
    EXPECT_EQ(U32(file, frames + 12), 429u);
    EXPECT_EQ(U32(file, frames + 16), 49670410u);
    EXPECT_EQ(U32(file, frames + 28 + 8), 429u);
    EXPECT_EQ(U32(file, frames + 28 + 12), 49670410u);
    EXPECT_EQ(file.size(), frames + 28 + 24 + 128);
}

TEST_F(MeridelLibrary, LegacyFilesUseLegacyIdsAndSchemaAndAreNotOpened) {
    struct Case {
        int32_t type, kind, line;
        uint32_t configId;
        std::vector<uint8_t> record;
    };
    for (const Case& c :
         {Case{7, 1, 7, 0x00010000, Cell(0, 5)}, Case{1, 2, 3, 0x00010018, LengthPrefixed(20)}}) {
        const std::string path = dir.file("legacy.dat");
        ASSERT_EQ(Write(path, MeridelConfig(c.type, c.kind, c.line), {c.record}), 1);
        const auto file = ReadFile(path);
        const auto directory = Directory(file);
        ASSERT_EQ(directory.size(), 2u);
        EXPECT_EQ(directory[0].first, c.configId);
        EXPECT_EQ(directory[1].first, 0x00020005u);
        EXPECT_EQ(U16(file, directory[0].second + 2), 1);
        // Kind 1 and 2 rows are never found on opening.
        uint32_t count = 99;
        FileConfigInfo info{};
        EXPECT_EQ(lib.open(path.c_str(), &count, &info), nullptr);
        EXPECT_EQ(count, 0u);
    }
}

TEST_F(MeridelLibrary, RefusedCreationsLeaveNoFile) {
    const std::string path = dir.file("refused.dat");
    FileConfigInfo absent = MeridelConfig(6, 3, 10);
    EXPECT_EQ(lib.create(path.c_str(), 0, &absent), nullptr);
    EXPECT_FALSE(FileExists(path));
    FileConfigInfo noLine = MeridelConfig(8, 3, 0);
    EXPECT_EQ(lib.create(path.c_str(), 0, &noLine), nullptr);
    EXPECT_FALSE(FileExists(path));
    FileConfigInfo hugeExtension = MeridelConfig(5, 3, 3);
    std::vector<uint8_t> block(70000);
    hugeExtension.extension = block.data();
    hugeExtension.extensionLength = 70000;
    EXPECT_EQ(lib.create(path.c_str(), 0, &hugeExtension), nullptr);
    EXPECT_FALSE(FileExists(path));

    // Closing without frames deletes the output and its spool.
    FileConfigInfo lan = MeridelConfig(8, 3, 10);
    CaptureFileHandle* handle = lib.create(path.c_str(), 0, &lan);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(ListFiles(dir.path(), ".tmp").size(), 1u);
    EXPECT_EQ(lib.add(handle, nullptr, 10), 0);
    EXPECT_EQ(lib.close(handle), 0);
    EXPECT_FALSE(FileExists(path));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    EXPECT_EQ(lib.close(nullptr), -1);
    EXPECT_EQ(lib.update(nullptr, &lan), -1);
}

class MeridelBlocks : public MeridelLibrary, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(MeridelBlocks, RecordsComeBackInBlocksOfAHundred) {
    const uint32_t n = GetParam();
    std::vector<std::vector<uint8_t>> records;
    for (uint32_t i = 0; i < n; ++i) {
        records.push_back(Layout12Record(
            1200000000 + i, i * 1000, static_cast<uint16_t>(60 + i % 7), static_cast<uint8_t>(i)));
    }
    const std::string path = dir.file("blocks.dat");
    ASSERT_EQ(Write(path, MeridelConfig(8, 3, 10), records), static_cast<int32_t>(n));
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(ListFiles(dir.path(), ""), std::vector<std::string>{path});

    uint32_t count = 0;
    FileConfigInfo info{};
    CaptureFileHandle* handle = lib.open(path.c_str(), &count, &info);
    ASSERT_NE(handle, nullptr);
    lib.release(info.extension);
    EXPECT_EQ(count, n);
    std::vector<uint32_t> counts;
    const auto blocks = lib.Blocks(handle, &counts);
    std::vector<uint32_t> expected;
    for (uint32_t left = n; left > 0; left -= std::min(left, 100u)) {
        expected.push_back(std::min(left, 100u));
    }
    EXPECT_EQ(counts, expected);
    std::vector<uint8_t> all;
    for (const auto& r : records) {
        all.insert(all.end(), r.begin(), r.end());
    }
    std::vector<uint8_t> read;
    for (const auto& b : blocks) {
        read.insert(read.end(), b.begin(), b.end());
    }
    EXPECT_EQ(read, all);
    uint32_t untouched = 12345;
    EXPECT_EQ(lib.read(handle, static_cast<uint32_t>(blocks.size()), &untouched), nullptr);
    EXPECT_EQ(untouched, 12345u);
    EXPECT_EQ(lib.close(handle), 0);
}

INSTANTIATE_TEST_SUITE_P(Counts, MeridelBlocks, ::testing::Values(1u, 101u, 200u, 250u));

TEST_F(MeridelLibrary, FilesWrittenAtOnceInOneFolderKeepTheirFrames) {
    const std::vector<std::string> paths = {dir.file("a.dat"), dir.file("b.dat")};
    std::vector<CaptureFileHandle*> handles;
    for (const auto& path : paths) {
        FileConfigInfo info = MeridelConfig(8, 3, 10);
        handles.push_back(lib.create(path.c_str(), 0, &info));
        ASSERT_NE(handles.back(), nullptr);
    }
    std::vector<std::vector<uint8_t>> written(2);
    for (uint8_t i = 0; i < 3; ++i) {
        for (size_t f = 0; f < 2; ++f) {
            const auto record = Layout12Record(1200000000 + i, 0, static_cast<uint16_t>(60 + f),
                                               static_cast<uint8_t>(16 * f + i));
            EXPECT_EQ(lib.add(handles[f], record.data(), static_cast<uint32_t>(record.size())), 1);
            written[f].insert(written[f].end(), record.begin(), record.end());
        }
    }
    for (size_t f = 0; f < 2; ++f) {
        EXPECT_EQ(lib.close(handles[f]), 3);
    }
    EXPECT_EQ(ListFiles(dir.path(), ""), paths);
    for (size_t f = 0; f < 2; ++f) {
        uint32_t count = 0;
        FileConfigInfo info{};
        CaptureFileHandle* handle = lib.open(paths[f].c_str(), &count, &info);
        ASSERT_NE(handle, nullptr);
        lib.release(info.extension);
        EXPECT_EQ(lib.Blocks(handle), std::vector<std::vector<uint8_t>>{written[f]});
        EXPECT_EQ(lib.close(handle), 0);
    }
}

TEST_F(MeridelLibrary, InterfaceCodesAreNormalisedByLineCode) {
    struct Case {
        int32_t type, line, given, stored;
    };
    const Case cases[] = {{8, 10, 0, 108}, {8, 12, 0, 110},  {8, 11, 110, 110}, {8, 11, 7, 109},
                          {8, 13, 0, 111}, {8, 15, 5, 112},  {7, 7, 0, 200},    {7, 7, 9, 9},
                          {5, 3, 0, 400},  {5, 3, 304, 304}, {5, 16, 0, 400},   {8, 19, 0, 0}};
    for (const Case& c : cases) {
        const std::string path = dir.file("code.dat");
        FileConfigInfo info = MeridelConfig(c.type, 3, c.line, c.given);
        const auto record = c.type == 7   ? Cell(0, 0)
                            : c.type == 5 ? LengthPrefixed(4)
                                          : Layout12Record(1, 0, 60);
        CaptureFileHandle* handle = lib.create(path.c_str(), 0, &info);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(info.interfaceCode, c.stored) << c.line;
        ASSERT_EQ(lib.add(handle, record.data(), static_cast<uint32_t>(record.size())), 1);
        ASSERT_EQ(lib.close(handle), 1);
        uint32_t count = 0;
        FileConfigInfo read{};
        handle = lib.open(path.c_str(), &count, &read);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(read.interfaceCode, c.stored) << c.line;
        lib.release(read.extension);
        lib.close(handle);
    }
}

TEST_F(MeridelLibrary, UpdateStoresFinalValues) {
    const std::string path = dir.file("update.dat");
    FileConfigInfo info = MeridelConfig(5, 3, 3, 304);
    CaptureFileHandle* handle = lib.create(path.c_str(), 0, &info);
    ASSERT_NE(handle, nullptr);
    const auto record = LengthPrefixed(8);
    ASSERT_EQ(lib.add(handle, record.data(), static_cast<uint32_t>(record.size())), 1);
    info.startTime = 1300000000;
    info.auxValue = 42;
    EXPECT_EQ(lib.update(handle, &info), 0);
    ASSERT_EQ(lib.close(handle), 1);
    uint32_t count = 0;
    FileConfigInfo read{};
    handle = lib.open(path.c_str(), &count, &read);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(read.startTime, 1300000000u);
    EXPECT_EQ(read.auxValue, 42u);
    EXPECT_EQ(read.fileType, 5);
    EXPECT_EQ(read.extension, nullptr);  // no block given, none stored
    // Length-prefixed timestamps are not interpreted.
    const auto file = ReadFile(path);
    const size_t frames = Directory(file)[1].second;
    EXPECT_EQ(U32(file, frames + 12), 0u);
    EXPECT_EQ(U32(file, frames + 28 + 8), 0u);
    lib.close(handle);
}

struct SchemaCase {
    uint16_t schema;
    uint16_t length;
    int32_t readLength;
    uint32_t aux;
};

class MeridelSchema : public MeridelLibrary, public ::testing::WithParamInterface<SchemaCase> {};

TEST_P(MeridelSchema, ExtensionIsReadByTheSchemaRules) {
    const SchemaCase c = GetParam();
    const std::string path = dir.file("schema.dat");
    const auto extension = Bytes().le32(1).ramp(c.length - 4).data();
    const auto cell = Cell(0, 0);
    WriteFile(path, MeridelFile(0x21000a21, MeridelConfigObject(c.schema, c.length, extension), 0,
                                1, 100, {{cell}})
                        .data());
    uint32_t count = 0;
    FileConfigInfo info{};
    CaptureFileHandle* handle = lib.open(path.c_str(), &count, &info);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(info.lineCode, 10);
    EXPECT_EQ(info.startTime, 1200000000u);
    EXPECT_EQ(info.lineRate, 10000000u);
    EXPECT_EQ(info.interfaceCode, 108);
    EXPECT_EQ(info.auxValue, c.aux);
    EXPECT_EQ(info.extensionLength, c.readLength);
    EXPECT_EQ(info.extension == nullptr, c.readLength == 0);
    if (info.extension != nullptr) {
        EXPECT_EQ(std::vector<uint8_t>(info.extension, info.extension + c.readLength), extension);
        EXPECT_EQ(lib.size(info.extension), static_cast<size_t>(c.readLength));
    }
    lib.release(info.extension);
    EXPECT_EQ(lib.Blocks(handle), std::vector<std::vector<uint8_t>>{cell});
    lib.close(handle);
}

INSTANTIATE_TEST_SUITE_P(Rules, MeridelSchema,
                         ::testing::Values(SchemaCase{121, 20, 20, 7}, SchemaCase{7, 120, 0, 7},
                                           SchemaCase{7, 32, 32, 7}, SchemaCase{1, 32, 0, 0}));

TEST_F(MeridelLibrary, HostileFilesEndCleanly) {
    const auto config = MeridelConfigObject(121, 0, {});
    const auto cells = Bytes().append(Cell(0, 1)).append(Cell(0, 2)).data();
    struct Case {
        const char* what;
        Bytes file;
        bool opens;
        size_t blocks;
    };
    const Case cases[] = {
        {"good", MeridelFile(0x21000a21, config, 0, 2, 100, {{cells}}), true, 1},
        {"unknown type code", MeridelFile(0x21000999, config, 0, 2, 100, {{cells}}), false, 0},
        {"kind 2 type code", MeridelFile(0x21000021, config, 0, 2, 100, {{cells}}), false, 0},
        {"no directory", MeridelFile(0x2100aa21, config, 0, 2, 100, {{cells}}), false, 0},
        {"zero records per block", MeridelFile(0x21000a21, config, 0, 2, 0, {{cells}}), false, 0},
        {"more than 65535 blocks", MeridelFile(0x21000a21, config, 0, 6553501, 100, {{cells}}),
         false, 0},
        {"index past the end", MeridelFile(0x21000a21, config, 0, 1000, 100, {{cells}}), false, 0},
        {"block past the end", MeridelFile(0x21000a21, config, 0, 2, 100, {{cells, 0, 1}}), true,
         0},
        {"offset past the end", MeridelFile(0x21000a21, config, 0, 2, 100, {{cells, 0xFFFFFF00}}),
         true, 0},
        {"not a CBasicConfig",
         MeridelFile(0x21000a21, Bytes().le16(0xFFFF).le16(121).le16(12).text("CBasicConfog"), 0, 2,
                     100, {{cells}}),
         false, 0},
        {"extension past the end",
         MeridelFile(
             0x21000a21,
             Bytes().le16(0xFFFF).le16(121).le16(12).text("CBasicConfig").zeros(20).le16(500), 0, 0,
             100, {}),
         false, 0},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file("hostile.dat");
        WriteFile(path, c.file.data());
        uint32_t count = 0;
        FileConfigInfo info{};
        CaptureFileHandle* handle = lib.open(path.c_str(), &count, &info);
        EXPECT_EQ(handle != nullptr, c.opens) << c.what;
        if (handle != nullptr) {
            lib.release(info.extension);
            EXPECT_EQ(lib.Blocks(handle).size(), c.blocks) << c.what;
            EXPECT_EQ(lib.close(handle), 0);
        }
    }
}

TEST_F(MeridelLibrary, EveryPrefixOfAWrittenFileEndsCleanly) {
    const std::string path = dir.file("whole.dat");
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < 150; ++i) {
        records.push_back(Layout12Record(1200000000, 0, 60));
    }
    ASSERT_EQ(Write(path, MeridelConfig(8, 3, 10), records), 150);
    const auto whole = ReadFile(path);
    const std::string cut = dir.file("cut.dat");
    for (size_t n = 0; n < whole.size(); n += n < 400 ? 1 : 97) {
        WriteFile(cut, std::vector<uint8_t>(whole.begin(), whole.begin() + n));
        uint32_t count = 0;
        FileConfigInfo info{};
        if (CaptureFileHandle* handle = lib.open(cut.c_str(), &count, &info)) {
            lib.release(info.extension);
            for (const auto& block : lib.Blocks(handle)) {
                EXPECT_LE(block.size(), n);
            }
            lib.close(handle);
        }
    }
}

}  // namespace
