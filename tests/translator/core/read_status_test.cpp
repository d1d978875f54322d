// Every reader tells the end of its data from a source that is damaged or cut
// short, after handing out the frames before the damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "console/console_progress.h"
#include "engine/engine.h"
#include "formats/domino/domino.h"
#include "formats/feldane/feldane.h"
#include "formats/fireberd/fireberd.h"
#include "formats/meridel/meridel.h"
#include "formats/netmon/netmon.h"
#include "formats/netxray/netxray.h"
#include "formats/observer/observer.h"
#include "formats/peek/peek.h"
#include "formats/quillon/quillon.h"
#include "formats/snoop/snoop.h"
#include "formats/tcpdump/tcpdump.h"
#include "formats/tervo/tervo.h"
#include "support/domino_builder.h"
#include "support/feldane_builder.h"
#include "support/files.h"
#include "support/fireberd_builder.h"
#include "support/netmon_builder.h"
#include "support/netxray_builder.h"
#include "support/observer_builder.h"
#include "support/pcap_builder.h"
#include "support/peek_builder.h"
#include "support/quillon_builder.h"
#include "support/snoop_builder.h"
#include "translator/frames.h"

namespace translator {
namespace {

using namespace byte_order;
using namespace testsupport;
using Status = TraceReader::ReadStatus;
using Edit = std::function<void(std::vector<uint8_t>&)>;

// Every intact source holds three 100-byte frames, unless it says otherwise.
constexpr size_t kFrames = 3;
constexpr uint32_t kLength = 100;

std::vector<uint8_t> Frame(size_t i) {
    return RampFrame(kLength, static_cast<uint8_t>(i));
}

Edit CutTo(size_t size) {
    return [size](std::vector<uint8_t>& bytes) { bytes.resize(size); };
}
Edit CutBy(size_t count) {
    return [count](std::vector<uint8_t>& bytes) { bytes.resize(bytes.size() - count); };
}
Edit PutLE32(size_t offset, uint32_t value) {
    return [=](std::vector<uint8_t>& bytes) { StoreLE32(bytes.data() + offset, value); };
}
Edit PutLE16(size_t offset, uint16_t value) {
    return [=](std::vector<uint8_t>& bytes) { StoreLE16(bytes.data() + offset, value); };
}
Edit PutBE32(size_t offset, uint32_t value) {
    return [=](std::vector<uint8_t>& bytes) { StoreBE32(bytes.data() + offset, value); };
}

struct Damage {
    const char* what;
    Edit edit;
    size_t framesBefore;
};

struct Case {
    const char* name;
    std::function<std::unique_ptr<TraceReader>()> reader;
    // Writes the intact source into dir, named "source.<anything>"; its path.
    std::function<std::string(const TempDir&)> source;
    std::vector<Damage> damages;
    size_t frames = kFrames;
};

std::string Write(const TempDir& dir, const Bytes& bytes) {
    WriteFile(dir.file("source.cap"), bytes.data());
    return dir.file("source.cap");
}

std::string EthernetPcap(const TempDir& dir, size_t frames) {
    std::vector<PcapRecord> records;
    for (size_t i = 0; i < frames; ++i) {
        records.push_back({static_cast<uint32_t>(1200000000 + i), 0, Frame(i)});
    }
    WriteFile(dir.file("ethernet.pcap"), PcapFile(0xA1B2C3D4, false, 1, records).data());
    return dir.file("ethernet.pcap");
}

// A capture our own writer made of format, through the engine.
std::string Converted(const TempDir& dir, int format, size_t frames) {
    TranslatorEngine engine;
    ConsoleProgress quiet(fopen("/dev/null", "w"));
    engine.SetSink(&quiet);
    const std::string path = dir.file("source.cap");
    EXPECT_TRUE(engine.ConvertFile(EthernetPcap(dir, frames), path, format, ConvertOptions{}));
    return path;
}

Bytes PeekV7() {
    Bytes b = PeekFixedHeader(7, kFrames, 0);
    for (size_t i = 0; i < kFrames; ++i) {
        PeekV7Record(b, kLength, 0, 0, 0, Frame(i));
    }
    return b;
}

// An Ethernet pcap compressed in two parts, the second holding the last
// record only: damage to that part spares the frames before it.
using Compress = std::vector<uint8_t> (*)(const std::vector<uint8_t>&);
constexpr size_t kLastRecord = 24 + 2 * 116;

std::vector<uint8_t> FirstPart(Compress compress) {
    std::vector<PcapRecord> records;
    for (size_t i = 0; i < kFrames; ++i)
        records.push_back({1, 0, Frame(i)});
    std::vector<uint8_t> plain = PcapFile(0xA1B2C3D4, false, 1, records).data();
    plain.resize(kLastRecord);
    return compress(plain);
}

std::string CompressedTcpdump(const TempDir& dir, Compress compress) {
    std::vector<PcapRecord> records;
    for (size_t i = 0; i < kFrames; ++i)
        records.push_back({1, 0, Frame(i)});
    const std::vector<uint8_t> plain = PcapFile(0xA1B2C3D4, false, 1, records).data();
    std::vector<uint8_t> bytes = FirstPart(compress);
    const auto last = compress(std::vector<uint8_t>(plain.begin() + kLastRecord, plain.end()));
    bytes.insert(bytes.end(), last.begin(), last.end());
    WriteFile(dir.file("source.cap"), bytes);
    return dir.file("source.cap");
}

// Sets the byte at offset from the start of the second part.
Edit InSecondPart(Compress compress, size_t offset, uint8_t value) {
    return [=](std::vector<uint8_t>& bytes) { bytes[FirstPart(compress).size() + offset] = value; };
}

template <typename Reader>
std::function<std::unique_ptr<TraceReader>()> Make() {
    return [] { return std::make_unique<Reader>(); };
}

const Case kCases[] = {
    {"tcpdump",
     Make<TcpdumpReader>(),
     [](const TempDir& dir) {
         std::vector<PcapRecord> records;
         for (size_t i = 0; i < kFrames; ++i)
             records.push_back({1, 0, Frame(i)});
         return Write(dir, PcapFile(0xA1B2C3D4, false, 1, records));
     },
     // 24-byte header, records of 16 + 100 bytes.
     {{"data", CutBy(10), 2}, {"record header", CutTo(24 + 2 * 116 + 5), 2}}},
    {"snoop",
     Make<SnoopReader>(),
     [](const TempDir& dir) {
         std::vector<SnoopRecord> records;
         for (size_t i = 0; i < kFrames; ++i)
             records.push_back({1, 0, Frame(i)});
         return Write(dir, SnoopFile(4, records));
     },
     // 16-byte header, records of 24 + 100 bytes.
     {{"data", CutBy(10), 2}, {"record header", CutTo(16 + 2 * 124 + 5), 2}}},
    {"netxray",
     Make<NetXRayReader>(),
     [](const TempDir& dir) {
         std::vector<XrRecord> records;
         for (size_t i = 0; i < kFrames; ++i)
             records.push_back({i, Frame(i)});
         return Write(dir, NetXRayFile(XrHeader{}, records));
     },
     // 128-byte header, records of 40 + 100 bytes, three announced.
     {{"data", CutBy(10), 2},
      {"record header", CutTo(128 + 2 * 140 + 5), 2},
      {"announced record", CutTo(128 + 2 * 140), 2}}},
    {"peek",
     Make<PeekReader>(),
     [](const TempDir& dir) { return Write(dir, PeekV7()); },
     // 50-byte header, records of 16 + 100 bytes.
     {{"data", CutBy(10), 2}, {"record header", CutTo(50 + 2 * 116 + 5), 2}}},
    {"peek gzip",
     Make<PeekReader>(),
     [](const TempDir& dir) {
         WriteGzipFile(dir.file("source.cap"), PeekV7().data());
         return dir.file("source.cap");
     },
     {{"gzip trailer", CutBy(8), kFrames}}},
    {"tcpdump gzip",
     Make<TcpdumpReader>(),
     [](const TempDir& dir) { return CompressedTcpdump(dir, GzipMember); },
     // The second member's 10-byte header, then deflate data.
     {{"second member",
       [](std::vector<uint8_t>& b) { b.resize(FirstPart(GzipMember).size() + 12); }, 2},
      {"reserved block type", InSecondPart(GzipMember, 10, 0x07), 2}}},
    {"tcpdump zstd",
     Make<TcpdumpReader>(),
     [](const TempDir& dir) { return CompressedTcpdump(dir, ZstdFrame); },
     {{"second frame", CutBy(3), 2}, {"second frame's magic", InSecondPart(ZstdFrame, 0, 0), 2}}},
    {"domino",
     Make<DominoReader>(),
     [](const TempDir& dir) {
         std::vector<DominoFrame> frames;
         for (size_t i = 0; i < kFrames; ++i)
             frames.emplace_back(Frame(i));
         return Write(dir, DominoFile(DominoHeader{}, frames));
     },
     // The index of 20-byte entries ends the file.
     {{"index entry", CutBy(5), 2}}},
    {"netmon",
     Make<NetMonReader>(),
     [](const TempDir& dir) {
         std::vector<NetMonRecord> records;
         for (size_t i = 0; i < kFrames; ++i)
             records.push_back({i, 0, Frame(i)});
         return Write(dir, NetMonFile(1, NetMonStart{}, records));
     },
     // Records of 16 + 100 bytes from 128; the third claims 200 bytes, which
     // run into the frame table behind it.
     {{"lengths",
       [](std::vector<uint8_t>& b) {
           PutLE32(128 + 2 * 116 + 8, 200)(b);
           PutLE32(128 + 2 * 116 + 12, 200)(b);
       },
       2}}},
    {"fireberd",
     Make<FireBerdReader>(),
     [](const TempDir& dir) {
         std::vector<FireBerdRecord> records;
         for (size_t i = 0; i < kFrames; ++i)
             records.emplace_back(static_cast<uint32_t>(i), Frame(i));
         return Write(dir, FireBerdFile("", kFrames, records));
     },
     // 76-byte header, records of 10 + 100 bytes, three announced.
     {{"data", CutTo(76 + 2 * 110 + 60), 2}, {"record header", CutTo(76 + 2 * 110 + 5), 2}}},
    {"observer",
     Make<ObserverReader>(),
     [](const TempDir& dir) {
         std::vector<ObserverPacket> packets;
         for (size_t i = 0; i < kFrames; ++i)
             packets.emplace_back(kLength, static_cast<uint32_t>(i), Frame(i));
         return Write(dir, ObserverFile(kObserverVersion4, 0, packets));
     },
     // 113-byte header, packets of 44 + 100 + 4 bytes.
     {{"data", CutBy(14), 2}, {"packet header", CutTo(113 + 2 * 148 + 5), 2}}},
    {"observer 15",
     Make<ObserverReader>(),
     [](const TempDir& dir) {
         std::vector<ObserverPacket> packets;
         for (size_t i = 0; i < kFrames; ++i)
             packets.emplace_back(kLength + 4, static_cast<uint32_t>(i), Frame(i));
         return Write(dir, ObserverFile15(packets));
     },
     // 48-byte header, packets of 48 + 100 bytes with their offsets at 12 and 14.
     {{"data", CutBy(14), 2},
      {"data inside the packet header", PutLE16(48 + 148 + 12, 40), 1},
      {"next packet inside the data", PutLE16(48 + 14, 100), 0},
      {"next packet past the end", PutLE16(48 + 2 * 148 + 14, 149), 2}}},
    {"quillon",
     Make<QuillonReader>(),
     [](const TempDir& dir) {
         std::vector<QuillonRecord> records;
         for (size_t i = 0; i < kFrames; ++i)
             records.emplace_back(1, 0, Frame(i), kLength + 4);
         return Write(dir, QuillonFile(0, kFrames, 1, {records}));
     },
     // Records of 32 + 100 bytes from 176; the third claims 4000 bytes more
     // than the file holds.
     {{"record length", PutBE32(176 + 2 * 132 + 16, 32 + 4000), 2}}},
    {"feldane",
     Make<FeldaneReader>(),
     [](const TempDir& dir) {
         WriteText(dir.file("source.xml"),
                   "<interface index=\"1\" name=\"A\" limtype=\"Gigabit Ethernet\"/>");
         std::vector<Bytes> blocks;
         for (size_t i = 0; i < kFrames; ++i)
             blocks.push_back(
                 FeldaneBlock(1, {FeldaneFrame(1, 1, static_cast<uint32_t>(i), Frame(i))}));
         WriteFile(dir.file("source.rec"), FeldaneRecording(blocks).data());
         return dir.file("source.rec");
     },
     // 2-byte magic, blocks of 5 + 24 + 100 bytes, one frame each.
     {{"block", CutTo(2 + 2 * 129 + 50), 2}, {"block header", CutTo(2 + 2 * 129 + 2), 2}}},
    {"tervo bridge",
     Make<TervoReader>(),
     [](const TempDir& dir) { return Converted(dir, FMT_TV, kFrames); },
     // The record index ends the file; its last entry now points past it, so
     // the library can size no record from the second on.
     {{"record index",
       [](std::vector<uint8_t>& b) { StoreBE32(b.data() + b.size() - 4, 0xFFFFFF); }, 1}}},
    {"meridel bridge",
     Make<AnalyzerTraceReader>(),
     [](const TempDir& dir) { return Converted(dir, FMT_OS, 150); },
     // Blocks of 100 records: the cut falls into the second.
     {{"block", CutBy(1000), 100}},
     150},
};

// Every frame reader hands out from path, counted as the conversion loop does.
std::vector<FrameSummary> ReadAll(TraceReader& reader, const std::string& path) {
    std::vector<FrameSummary> frames;
    EXPECT_TRUE(reader.Open(path)) << path;
    while (reader.ReadFrame()) {
        reader.info.Accumulate(reader.frame);
        frames.push_back(Summary(reader.frame));
    }
    reader.Close();
    return frames;
}

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class ReadStatus : public testing::TestWithParam<Case> {};

TEST_P(ReadStatus, IntactEndsCleanlyDamagedSaysWhyAfterTheFramesBefore) {
    const Case& c = GetParam();
    TempDir dir;
    const std::string intact = c.source(dir);
    ConsoleProgress quiet(fopen("/dev/null", "w"));
    auto reader = c.reader();
    reader->SetSink(&quiet);
    const auto frames = ReadAll(*reader, intact);
    EXPECT_EQ(reader->LastReadStatus(), Status::End) << reader->DamageReason();
    EXPECT_EQ(reader->DamageReason(), "");
    ASSERT_EQ(frames.size(), c.frames);

    const std::string damaged = dir.file("source(cut)" + intact.substr(intact.rfind('.')));
    for (const Damage& d : c.damages) {
        auto bytes = ReadFile(intact);
        d.edit(bytes);
        WriteFile(damaged, bytes);
        const auto before = ReadAll(*reader, damaged);
        EXPECT_EQ(reader->LastReadStatus(), Status::Damaged) << d.what;
        EXPECT_NE(reader->DamageReason(), "") << d.what;
        EXPECT_EQ(before,
                  std::vector<FrameSummary>(frames.begin(), frames.begin() + d.framesBefore))
            << d.what << ": " << reader->DamageReason();
    }
}

INSTANTIATE_TEST_SUITE_P(EveryReader, ReadStatus, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

}  // namespace
}  // namespace translator
