// Plain, gzip- and zstd-compressed sources read alike, seek both ways and
// tell damage in the compressed data from its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/conversion_run.h"
#include "engine/decompressing_input.h"
#include "formats/tcpdump/tcpdump.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "translator/conversion.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace testsupport;

struct Stored {
    const char* name;
    SourceCompression compression;
    // The stored file of bytes, compressed in parts of at most partSize.
    std::vector<uint8_t> (*store)(const std::vector<uint8_t>& bytes, size_t partSize);
};

const Stored kStored[] = {
    {"plain", COMPRESSION_NONE, [](const std::vector<uint8_t>& b, size_t) { return b; }},
    {"gzip", COMPRESSION_GZIP,
     [](const std::vector<uint8_t>& b, size_t n) { return InParts(GzipMember, b, n); }},
    {"zstd", COMPRESSION_ZSTD,
     [](const std::vector<uint8_t>& b, size_t n) { return InParts(ZstdFrame, b, n); }},
};

class Decompressing : public testing::TestWithParam<Stored> {};

// Larger than the decoders' buffers, and compressible only in part.
std::vector<uint8_t> Content() {
    std::vector<uint8_t> bytes(600000);
    uint32_t state = 1;
    for (size_t i = 0; i < bytes.size(); ++i) {
        state = state * 1103515245 + 12345;
        bytes[i] = i % 7 == 0 ? static_cast<uint8_t>(state >> 24) : static_cast<uint8_t>(i);
    }
    return bytes;
}

TEST_P(Decompressing, ReadsSeeksAndSkipsTheUncompressedBytes) {
    const Stored& stored = GetParam();
    const std::vector<uint8_t> content = Content();
    TempDir dir;
    const std::vector<uint8_t> file = stored.store(content, 250000);
    WriteFile(dir.file("data"), file);
    DecompressingInput input;
    ASSERT_TRUE(input.Open(dir.file("data")));
    EXPECT_EQ(input.Compression(), stored.compression);
    EXPECT_EQ(input.StoredSize(), static_cast<int64_t>(file.size()));

    auto expectAt = [&](int64_t position, size_t n) {
        std::vector<uint8_t> got(n);
        ASSERT_TRUE(input.Read(got.data(), n)) << position;
        EXPECT_TRUE(std::equal(got.begin(), got.end(), content.begin() + position)) << position;
        EXPECT_EQ(input.Tell(), position + static_cast<int64_t>(n));
    };
    expectAt(0, 1000);
    ASSERT_TRUE(input.Skip(300000));
    expectAt(301000, 200000);
    // Back across the parts and the decoders' buffers, then forward again.
    ASSERT_TRUE(input.Seek(24));
    expectAt(24, 16);
    ASSERT_TRUE(input.Seek(550000));
    expectAt(550000, 50000);
    uint8_t byte;
    EXPECT_FALSE(input.Read(&byte, 1));
    EXPECT_FALSE(input.Broken());
    EXPECT_GT(input.StoredPosition(), 0);
    input.Close();
    EXPECT_FALSE(input.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(EveryStorage, Decompressing, testing::ValuesIn(kStored),
                         [](const testing::TestParamInfo<Stored>& info) {
                             return std::string(info.param.name);
                         });

// Sub-second values above the snapshot length send the layout probe on to
// the trailer layout.
std::vector<PcapRecord> Records(size_t count) {
    std::vector<PcapRecord> records;
    for (size_t i = 0; i < count; ++i) {
        records.push_back({static_cast<uint32_t>(1000 + i), 500000, RampFrame(100, i)});
    }
    return records;
}

// The layout probe reads the second record and goes back to the first: in a
// zstd stream of one frame per record that restarts the decoding.
TEST(Decompressing, LayoutProbeGoesBackAcrossZstdFrames) {
    const std::vector<uint8_t> plain =
        PcapFile(0xA1B2C3D4, false, 1, Records(3), PcapLayout::kTrailer4).data();
    TempDir dir;
    WriteFile(dir.file("plain.pcap"), plain);
    WriteFile(dir.file("packed.pcap"), InParts(ZstdFrame, plain, 24 + 16 + 100 + 4));
    TcpdumpReader reader;
    const auto expected = ReadFrames(reader, dir.file("plain.pcap"));
    ASSERT_EQ(expected.size(), 3u);
    EXPECT_EQ(ReadFrames(reader, dir.file("packed.pcap")), expected);
    EXPECT_EQ(reader.info.compression, COMPRESSION_ZSTD);
}

TEST(Decompressing, DamageSaysHowManyBytesCameBeforeIt) {
    const std::vector<uint8_t> plain = PcapFile(0xA1B2C3D4, false, 1, Records(3)).data();
    const size_t twoRecords = 24 + 2 * 116;
    for (const Stored& stored : {kStored[1], kStored[2]}) {
        // The second part keeps the start of its header only.
        const std::vector<uint8_t> first = stored.store(
            std::vector<uint8_t>(plain.begin(), plain.begin() + twoRecords), plain.size());
        std::vector<uint8_t> bytes = stored.store(plain, twoRecords);
        bytes.resize(first.size() + 6);
        TempDir dir;
        WriteFile(dir.file("cut.pcap"), bytes);
        TcpdumpReader reader;
        EXPECT_EQ(ReadFrames(reader, dir.file("cut.pcap")).size(), 2u) << stored.name;
        EXPECT_EQ(reader.DamageReason(), std::string("the ") + stored.name +
                                             " stream is damaged after " +
                                             std::to_string(twoRecords) + " bytes");
    }
}

// The corpus keeps compressed copies of some pcap and pcapng files; each
// converts exactly like its plain source, and the summary names the
// compression.
TEST(Decompressing, CorpusCopiesConvertLikeTheirPlainSource) {
    const std::string corpus = CorpusDir();
    if (corpus.empty()) {
        GTEST_SKIP() << "no capture corpus at " TRANSLATOR_CORPUS_DIR;
    }
    int compared = 0;
    for (const std::string suffix : {".pcap.gz", ".pcap.zst", ".pcapng.gz", ".pcapng.zst"}) {
        for (const auto& packed : ListFiles(corpus + "/today/peer", suffix.c_str())) {
            const std::string name = std::filesystem::path(packed).filename().string();
            const std::string plainName = name.substr(0, name.rfind('.'));
            std::string plain;
            for (const char* folder : {"/pcap/", "/today/pcap/", "/today/peer/"}) {
                if (plain.empty() && FileExists(corpus + folder + plainName)) {
                    plain = corpus + folder + plainName;
                }
            }
            ASSERT_FALSE(plain.empty()) << plainName;
            for (int format : {FMT_SO, FMT_N2}) {
                Conversion expected;
                ASSERT_TRUE(expected.Convert(plain, format)) << plain;
                Conversion c;
                ASSERT_TRUE(c.Convert(packed, format)) << packed;
                EXPECT_EQ(c.Output(), expected.Output()) << packed << " to " << FormatCode(format);
            }
            Conversion c;
            const DetectResult* detected = c.engine.Detect(packed);
            ASSERT_NE(detected, nullptr) << packed;
            const std::string size =
                "File Size:            \t" + std::to_string(std::filesystem::file_size(packed)) +
                " bytes (" + (suffix.ends_with(".gz") ? "gzip" : "zstd") + "-compressed)\r\n";
            EXPECT_NE(FileSummaryText(packed, "out", *detected->info).find(size), std::string::npos)
                << FileSummaryText(packed, "out", *detected->info);
            ++compared;
        }
    }
    EXPECT_GE(compared, 5);
}

}  // namespace
}  // namespace translator
