// Seed corpus of the Meridel library: files of every variant the library
// writes, plus a hand-made file whose block index lies elsewhere (layout 18).
#include <filesystem>
#include <string>
#include <vector>

#include "meridel/meridel_api.h"
#include "support/bytes.h"
#include "support/files.h"

using testsupport::Bytes;

namespace {

void WriteSeed(const std::string& path, int32_t fileType, int32_t fileKind, int32_t lineCode,
               const std::vector<uint8_t>& record, int count) {
    FileConfigInfo info{};
    info.fileType = fileType;
    info.fileKind = fileKind;
    info.lineCode = lineCode;
    info.lineRate = 10000000;
    info.startTime = 1200000000;
    CaptureFileHandle* handle = CreateMeridelFile(path.c_str(), 0, &info);
    if (handle == nullptr) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        AddFrameToFile(handle, record.data(), static_cast<uint32_t>(record.size()));
    }
    CloseMeridelFile(handle);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    const auto layout12 =
        Bytes().zeros(12).le16(60).le16(60).zeros(4).le32(1200000000).le32(0).zeros(8).ramp(60);
    const auto layout1 = Bytes().u8(1).u8(1).zeros(14).le32(8).le32(8).zeros(16).ramp(8);
    const auto cell = Bytes().ramp(53).le32(15).le16(0).zeros(2).u8(0x80).zeros(2);
    const auto layout3 = Bytes().le16(21).u8(0x10).u8(0).le32(15).le16(0).ramp(8).le16(21).u8(0x10);
    WriteSeed(dir + "/lan.dat", 8, 3, 10, layout12.data(), 150);
    WriteSeed(dir + "/trellan.dat", 8, 0, 3, layout1.data(), 3);
    WriteSeed(dir + "/cells.dat", 7, 3, 7, cell.data(), 101);
    WriteSeed(dir + "/wan.dat", 5, 3, 3, layout3.data(), 2);

    Bytes indexed;
    indexed.le32(0x21001121).fixedText("indexed", 100).le16(2);
    // Configuration at 124 (48 bytes), frame stream at 172, its index after the record.
    indexed.le32(0x80000018).le32(124).le32(5).le32(172);
    indexed.le16(0);
    indexed.le16(0xFFFF).le16(121).le16(12).text("CBasicConfig");
    indexed.le16(3).le32(1200000000).le32(1544000).le32(0).le16(304).le32(0).le16(0);
    indexed.zeros(6).u8(0).u8(0);
    indexed.le16(18).le16(25).le32(1).le16(100).le16(0).zeros(16).le32(172 + 28 + 4 + 21);
    indexed.append(layout3.data());
    indexed.le32(0).le32(21).zeros(16);
    testsupport::WriteFile(dir + "/indexed.dat", indexed.data());
    return 0;
}
