#include "formats/quillon/quillon.h"

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/quillon_builder.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace byte_order;
using namespace testsupport;

struct Read {
    bool opened = false;
    TraceInfo info;
    std::vector<FrameSummary> frames;
    std::vector<uint16_t> flags;
};

Read ReadQuillon(const Bytes& file) {
    TempDir dir;
    WriteFile(dir.file("in.trc"), file.data());
    Read r;
    QuillonReader reader;
    r.opened = reader.Open(dir.file("in.trc"));
    if (!r.opened) {
        return r;
    }
    r.info = reader.info;
    while (reader.ReadFrame()) {
        const FrameRecord& f = reader.frame;
        r.flags.push_back(f.flags);
        r.frames.push_back(Summary(f));
    }
    return r;
}

std::vector<QuillonRecord> Numbered(uint32_t first, uint32_t count) {
    std::vector<QuillonRecord> records;
    for (uint32_t i = 0; i < count; ++i) {
        records.push_back({first + i, i, RampFrame(60, static_cast<uint8_t>(i)), 64});
    }
    return records;
}

uint32_t DirectoryOffset(const Bytes& file) {
    return LoadBE32(file.data().data() + 24);
}

TEST(QuillonReader, BlocksFollowTheDirectoryAndItsRunningCounts) {
    // The first block holds one record more than its count: the second block
    // starts where the directory says, so that record is never read.
    std::vector<QuillonRecord> first = Numbered(1000, 100);
    first.push_back({9999, 0, RampFrame(60), 64});
    Bytes file = QuillonFile(0, 250, 1000, {first, Numbered(1100, 150)});
    std::vector<uint8_t> bytes = file.data();
    StoreBE32(bytes.data() + DirectoryOffset(file) + 4, 100);
    Read r = ReadQuillon(Bytes().append(bytes));
    ASSERT_TRUE(r.opened);
    EXPECT_EQ(r.info.format, FMT_QL);
    EXPECT_EQ(r.info.totalFrames, 250);
    EXPECT_EQ(r.info.startTime, 1000u);
    EXPECT_EQ(r.info.lineRate, 0);
    ASSERT_EQ(r.frames.size(), 250u);
    for (uint32_t i = 0; i < 250; ++i) {
        EXPECT_EQ(r.frames[i].seconds, 1000 + i) << i;
    }
}

TEST(QuillonReader, RecordLengthsAndFcs) {
    const std::vector<uint8_t> sixty = RampFrame(60);
    Read r = ReadQuillon(QuillonFile(44, 3, 5,
                                     {{{5, 250000, sixty, 64},
                                       {6, 999999, RampFrame(100, 1), 1518},
                                       {7, 0, sixty, 64, /*error*/ 1}}}));
    ASSERT_TRUE(r.opened);
    EXPECT_EQ(r.info.interfaceType, IF_ETHERNET);
    ASSERT_EQ(r.frames.size(), 3u);
    std::vector<uint8_t> withFcs = sixty;
    withFcs.resize(64);
    StoreLE32(withFcs.data() + 60, Crc32(sixty.data(), 60));
    EXPECT_EQ(r.frames[0], (FrameSummary{5, 250000, 0, 64, withFcs}));
    // A cut frame: four bytes for the FCS it lacks, zero.
    std::vector<uint8_t> cut = RampFrame(100, 1);
    cut.resize(104, 0);
    EXPECT_EQ(r.frames[1], (FrameSummary{6, 999999, 0, 1518, cut}));
    EXPECT_EQ(r.flags, (std::vector<uint16_t>{0, 0, FRAME_CRC_ERROR}));
    EXPECT_EQ(r.frames[2].bytes, withFcs);  // the FCS is computed even so
}

TEST(QuillonReader, MediaMagicAndVersion) {
    const std::vector<std::vector<QuillonRecord>> blocks = {Numbered(1, 1)};
    EXPECT_EQ(ReadQuillon(QuillonFile(0, 1, 0, blocks)).info.interfaceType, IF_ETHERNET);
    EXPECT_EQ(ReadQuillon(QuillonFile(1, 1, 0, blocks)).info.interfaceType, IF_TOKEN_RING);
    EXPECT_EQ(ReadQuillon(QuillonFile(2, 1, 0, blocks)).info.interfaceType, IF_FDDI);
    EXPECT_FALSE(ReadQuillon(QuillonFile(3, 1, 0, blocks)).opened);

    std::vector<uint8_t> bytes = QuillonFile(0, 1, 0, blocks).data();
    bytes[7] = 5;  // version 5
    EXPECT_FALSE(ReadQuillon(Bytes().append(bytes)).opened);
    bytes[7] = 4;
    bytes[3] = 0x77;
    EXPECT_FALSE(ReadQuillon(Bytes().append(bytes)).opened);
    bytes[3] = 0x76;
    StoreBE32(bytes.data() + 16, static_cast<uint32_t>(bytes.size() - 100));  // description cut off
    EXPECT_FALSE(ReadQuillon(Bytes().append(bytes)).opened);

    QuillonReader reader;
    TraceInfo info;
    info.interfaceType = IF_802_11;
    EXPECT_FALSE(reader.Supports(FMT_QL, info));
    info.interfaceType = IF_FDDI;
    EXPECT_TRUE(reader.Supports(FMT_QL, info));
}

TEST(QuillonReader, StopsAfterTheAnnouncedFrames) {
    EXPECT_EQ(ReadQuillon(QuillonFile(0, 3, 0, {Numbered(1, 5)})).frames.size(), 3u);
    // More announced than the blocks hold: reading ends with the directory.
    EXPECT_EQ(ReadQuillon(QuillonFile(0, 9, 0, {Numbered(1, 2), Numbered(3, 2)})).frames.size(),
              4u);
}

TEST(QuillonReader, CorruptDirectoriesEndReading) {
    Bytes file = QuillonFile(0, 6, 0, {Numbered(1, 2), Numbered(3, 2), Numbered(5, 2)});
    const uint32_t directory = DirectoryOffset(file);

    // The second block points back to the first.
    std::vector<uint8_t> bytes = file.data();
    StoreBE32(bytes.data() + directory + 16 + 8, kQuillonFirstBlock);
    EXPECT_EQ(ReadQuillon(Bytes().append(bytes)).frames.size(), 2u);

    // A block whose running count does not grow holds no frames and is passed over.
    bytes = file.data();
    StoreBE32(bytes.data() + directory + 16 + 4, 2);
    auto frames = ReadQuillon(Bytes().append(bytes)).frames;
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[2].seconds, 5u);

    // A record length beyond the file, or below the header size.
    for (uint32_t length : {0x7FFFFFFFu, 31u}) {
        bytes = file.data();
        StoreBE32(bytes.data() + kQuillonFirstBlock + 92 + 16, length);
        EXPECT_EQ(ReadQuillon(Bytes().append(bytes)).frames.size(), 1u) << length;
    }
}

TEST(QuillonReader, EveryPrefixReadsToACleanEnd) {
    Bytes file = QuillonFile(0, 3, 0, {Numbered(1, 2), Numbered(3, 1)});
    const size_t directory = DirectoryOffset(file);
    for (size_t n = 0; n <= file.size(); ++n) {
        Read r = ReadQuillon(
            Bytes().append(std::vector<uint8_t>(file.data().begin(), file.data().begin() + n)));
        EXPECT_EQ(r.opened, n >= directory) << n;
        const size_t frames = n == file.size() ? 3 : n >= directory + 16 ? 2 : 0;
        EXPECT_EQ(r.frames.size(), frames) << n;
    }
}

}  // namespace
}  // namespace translator
