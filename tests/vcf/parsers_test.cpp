#include <gtest/gtest.h>

#include <cstring>

#include "parsers/capture_file_parser_factory.h"
#include "parsers/st_binary_parser.h"
#include "parsers/tcpdump_parser.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/stavrel_builder.h"

namespace vcf {
namespace {

using namespace testsupport;

class StavrelFiles : public ::testing::Test {
protected:
    // Writes the file and opens it through the factory.
    std::unique_ptr<CVcfStCaptureFileParser> Open(const StavrelFile& file) {
        return Open(StavrelFileBytes(file));
    }
    std::unique_ptr<CVcfStCaptureFileParser> Open(const std::vector<uint8_t>& bytes) {
        WriteFile(path_, bytes);
        std::unique_ptr<CVcfCaptureFileParser> parser = factory_.Create(path_);
        return std::unique_ptr<CVcfStCaptureFileParser>(
            dynamic_cast<CVcfStCaptureFileParser*>(parser.release()));
    }

    TempDir dir_;
    std::string path_ = dir_.file("capture.st");
    CVcfCaptureFileParserFactory factory_;
};

StavrelFile B3File(const std::string& version, uint16_t recordType, size_t count) {
    StavrelFile file;
    file.version = version;
    file.recordTypes = {recordType};
    file.records = NumberedRecords(count, 100, HeaderExtraLengthOf(recordType));
    return file;
}

TEST_F(StavrelFiles, B3Version100TakesTheLayer2ModeFromSourceName0) {
    StavrelFile file = B3File("01.00", kVcfRecordIPv4K3318BB, 3);
    file.sourceNames = {"POS,1A,Rx,VTX_LAYER2_GBE"};
    auto parser = Open(file);
    ASSERT_NE(parser, nullptr) << factory_.GetErrorText();
    EXPECT_EQ(parser->GetFormatCode(), "B3");
    EXPECT_EQ(parser->GetVersionMajor(), 1);
    EXPECT_EQ(parser->GetVersionMinor(), 0);
    EXPECT_EQ(parser->GetNumberOfRecords(), 3u);

    CVcfIPv4K3318BBRecord record;
    EXPECT_EQ(parser->ReadNextRecord(record), 1u);
    EXPECT_EQ(parser->ReadNextRecord(record), 2u);
    EXPECT_EQ(record.GetLayer2Mode(), VTX_LAYER2_GBE);
    EXPECT_EQ(record.GetRecordType(), kVcfRecordIPv4K3318BB);
    EXPECT_EQ(record.GetHeaderExtraLength(), 5);
    EXPECT_EQ(record.GetHeaderExtra()[0], 0xE1);
    EXPECT_EQ(record.GetCapturedLength(), 100);
    EXPECT_EQ(record.GetOriginalLength(), 100);
    EXPECT_EQ(record.GetData()[0], 1);
    EXPECT_EQ(record.GetSeconds(), 1001);
    EXPECT_EQ(record.GetNanoseconds(), 1000);
    EXPECT_TRUE(record.IsValid());
    EXPECT_EQ(record.GetSourceIndex(), 0);

    VcfPortDescription port;
    ASSERT_TRUE(parser->GetPortDescription(1, &port));
    EXPECT_EQ(port.portType, "POS");
    EXPECT_EQ(port.portId, "1A");
    EXPECT_EQ(port.direction, "Rx");
}

TEST_F(StavrelFiles, Layer2KeywordsOfSourceName0) {
    const std::pair<const char*, uint8_t> cases[] = {
        {"POS,1A,Rx,VTX_LAYER2_POS_CISCO_HDLC", VTX_LAYER2_POS_CISCO_HDLC},
        {"POS,1A,Rx,VTX_LAYER2_POS_PPP", VTX_LAYER2_POS_PPP},
        {"POS,1A,Rx,SOMETHING_ELSE", 0},
        {"Unknown,1A,Rx,VTX_LAYER2_GBE", 0},
    };
    for (const auto& [name, mode] : cases) {
        StavrelFile file = B3File("01.00", kVcfRecordL2ST640, 1);
        file.sourceNames = {name};
        auto parser = Open(file);
        ASSERT_NE(parser, nullptr);
        CVcfL2ST640Record record;
        ASSERT_EQ(parser->ReadNextRecord(record), 1u);
        EXPECT_EQ(record.GetLayer2Mode(), mode) << name;
    }
}

TEST_F(StavrelFiles, B3Version101FixedLengthRecordsCarryTheirMode) {
    StavrelFile file = B3File("01.01", kVcfRecordL2ST640, 4);
    file.recordLength = 117;
    file.masterFormatFlags = 0;
    file.records[2].layer2Mode = 9;
    auto parser = Open(file);
    ASSERT_NE(parser, nullptr) << factory_.GetErrorText();
    int64_t length = 0;
    ASSERT_TRUE(parser->GetRecordLengthOf(4, &length));
    EXPECT_EQ(length, 117);
    CVcfL2ST640Record record;
    ASSERT_TRUE(parser->ReadRecord(3, record));
    EXPECT_EQ(record.GetCapturedLength(), 100);
    EXPECT_EQ(record.GetHeaderExtraLength(), 8);
    EXPECT_EQ(record.GetLayer2Mode(), 9);
    EXPECT_EQ(record.GetHeaderWord1(), 0xE2E2E2E2u);
    EXPECT_EQ(record.GetData()[99], 2 + 99);
    EXPECT_FALSE(parser->ReadRecord(5, record));
    EXPECT_FALSE(parser->ReadRecord(0, record));
}

TEST_F(StavrelFiles, B3RecordWithoutDataFailsWithError4) {
    StavrelFile file = B3File("01.01", kVcfRecordL2ST640, 2);
    file.records[1].data.clear();
    auto parser = Open(file);
    ASSERT_NE(parser, nullptr);
    CVcfL2ST640Record record;
    EXPECT_EQ(parser->ReadNextRecord(record), 1u);
    EXPECT_EQ(parser->ReadNextRecord(record), 0u);
    EXPECT_EQ(parser->GetLastError(), kVcfErrorFile);
    // The cursor stays on the record that failed.
    EXPECT_EQ(parser->GetCurrentRecordNumber(), 2u);
}

StavrelFile B4File(const std::string& version, size_t count) {
    StavrelFile file;
    file.formatCode = "B4";
    file.version = version;
    file.recordTypes = {kVcfRecordL2ST640Merged};
    file.records = NumberedRecords(count, 100, 8);
    file.sourceNames.assign(256, "");
    file.sourceNames[0] = "POS,101/1,Rx";
    file.sourceNames[0x85] = "ETH,4/5,Tx";
    return file;
}

TEST_F(StavrelFiles, B4RecordsSplitTheSourceByte) {
    StavrelFile file = B4File("01.00", 2);
    file.recordLength = 119;
    file.records[1].source = 0x85;
    file.records[1].auxByteA = 0x3C;
    file.records[1].layer2Mode = 66;
    auto parser = Open(file);
    ASSERT_NE(parser, nullptr) << factory_.GetErrorText();
    EXPECT_EQ(parser->GetFormatCode(), "B4");
    EXPECT_EQ(parser->GetNonEmptySourceNameCount(), 2u);

    CVcfL2ST640MergedRecord record;
    ASSERT_TRUE(parser->ReadRecord(2, record));
    EXPECT_EQ(record.GetCapturedLength(), 100);
    EXPECT_EQ(record.GetHeaderExtraLength(), 8);
    EXPECT_EQ(record.GetSourceIndex(), 0x85);
    EXPECT_EQ(record.GetPort(), 4);
    EXPECT_EQ(record.GetPortNumber(), 5);
    EXPECT_FALSE(record.IsValid());
    EXPECT_EQ(record.GetAuxByteA(), 0x3C);
    EXPECT_EQ(record.GetLayer2Mode(), 66);
    EXPECT_EQ(parser->GetSourceNameOfRecord(2), "ETH,4/5,Tx");

    VcfPortDescription port;
    ASSERT_TRUE(parser->GetPortDescription(2, &port));
    EXPECT_EQ(port.portType, "ETH");
    EXPECT_EQ(port.portId, "4/5");
    EXPECT_EQ(port.direction, "Tx");
    ASSERT_TRUE(parser->ReadRecord(1, record));
    EXPECT_TRUE(record.IsValid());
}

TEST_F(StavrelFiles, B4Version101FailsEveryRecordWithError4) {
    auto parser = Open(B4File("01.01", 3));
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(parser->GetNumberOfRecords(), 3u);
    CVcfL2ST640MergedRecord record;
    for (uint32_t n = 1; n <= 3; ++n) {
        parser->SetLastError(kVcfNoError);
        EXPECT_FALSE(parser->ReadRecord(n, record));
        EXPECT_EQ(parser->GetLastError(), kVcfErrorFile);
    }
}

TEST_F(StavrelFiles, SourceNamesSplitWithTheFormatsDefaults) {
    auto parser = Open(B4File("01.00", 1));
    ASSERT_NE(parser, nullptr);
    VcfPortDescription port = parser->SplitSourceName("Unknown,101/1,Rx");
    EXPECT_EQ(port.portType, "POS");
    EXPECT_EQ(port.portId, "101/1");
    EXPECT_EQ(port.direction, "Rx");
    port = parser->SplitSourceName("ATM");
    EXPECT_EQ(port.portType, "ATM");
    EXPECT_EQ(port.portId, "101/1");
    CVcfStB3CaptureFileParser b3;
    port = b3.SplitSourceName("Unknown,7C,Tx");
    EXPECT_EQ(port.portId, "1A");
    EXPECT_EQ(port.direction, "Rx");

    std::vector<std::string> types, ids, directions;
    parser->GetPortLists(&types, &ids, &directions);
    // Slot 1 is empty: the lists stop there.
    EXPECT_EQ(types, std::vector<std::string>({"POS"}));
    EXPECT_EQ(ids, std::vector<std::string>({"101/1"}));
}

TEST_F(StavrelFiles, VariableLengthRecordsEndAtTheIndex) {
    StavrelFile file = B3File("01.01", kVcfRecordL2ST640, 2);
    file.records[1].data.resize(40);
    std::vector<uint8_t> bytes = StavrelFileBytes(file);
    auto parser = Open(bytes);
    ASSERT_NE(parser, nullptr);
    int64_t length = 0;
    ASSERT_TRUE(parser->GetRecordLengthOf(2, &length));
    EXPECT_EQ(length, 8 + 1 + 8 + 40);

    // A variable-length file without an index has no record offsets.
    PatchBE32(bytes, stavrel::kOffsetToIndex, 0);
    parser = Open(bytes);
    ASSERT_NE(parser, nullptr);
    CVcfL2ST640Record record;
    EXPECT_FALSE(parser->ReadRecord(1, record));
}

TEST_F(StavrelFiles, InconsistentHeadersFailWithError3) {
    const std::vector<uint8_t> good = StavrelFileBytes(B3File("01.01", kVcfRecordL2ST640, 2));
    const std::pair<size_t, uint32_t> patches[] = {
        {stavrel::kOffsetToData, 0},
        {stavrel::kOffsetToData, static_cast<uint32_t>(good.size() + 1)},
        {stavrel::kOffsetToIndex, static_cast<uint32_t>(good.size() + 1)},
        {stavrel::kOffsetToIndex, 100},
        {stavrel::kNumberOfRecords, 0},  // no records, yet an index
    };
    for (const auto& [offset, value] : patches) {
        std::vector<uint8_t> bytes = good;
        PatchBE32(bytes, offset, value);
        EXPECT_EQ(Open(bytes), nullptr) << offset << " = " << value;
        EXPECT_EQ(factory_.GetLastError(),
                  kVcfErrorFormat);  // the tcpdump parser had the last word
        CVcfStB3CaptureFileParser parser;
        EXPECT_FALSE(parser.Open(path_));
        EXPECT_EQ(parser.GetLastError(), kVcfErrorHeader) << offset << " = " << value;
    }
    // Fixed-length records that the file cannot hold, also where count
    // times length leaves 63 bits.
    for (const auto& [count, length] :
         {std::pair<uint32_t, uint32_t>{2, 1000}, {0xFFFFFFFB, 0xFFFF0000}}) {
        std::vector<uint8_t> bytes = good;
        PatchBE32(bytes, stavrel::kNumberOfRecords, count);
        PatchBE32(bytes, stavrel::kRecordLength, length);
        PatchBE32(bytes, stavrel::kOffsetToIndex, 0);
        WriteFile(path_, bytes);
        CVcfStB3CaptureFileParser parser;
        EXPECT_FALSE(parser.Open(path_));
        EXPECT_EQ(parser.GetLastError(), kVcfErrorHeader);
    }
}

TEST_F(StavrelFiles, CorruptIndexEntriesFailCleanly) {
    StavrelFile file = B3File("01.01", kVcfRecordL2ST640, 3);
    std::vector<uint8_t> bytes = StavrelFileBytes(file);
    const size_t index = bytes.size() - 12;
    // Record 2 claims to start after record 3: record 2 turns negative.
    PatchBE32(bytes, index + 4, static_cast<uint32_t>(index - 20));
    auto parser = Open(bytes);
    ASSERT_NE(parser, nullptr);
    CVcfL2ST640Record record;
    EXPECT_TRUE(parser->ReadRecord(1, record));
    EXPECT_FALSE(parser->ReadRecord(2, record));
    EXPECT_EQ(parser->GetLastError(), kVcfErrorFile);
    // Record 1 pointing into the header is no record.
    PatchBE32(bytes, index, 100);
    parser = Open(bytes);
    ASSERT_NE(parser, nullptr);
    EXPECT_FALSE(parser->ReadRecord(1, record));

    // An index cut short fails the open.
    std::vector<uint8_t> cut = StavrelFileBytes(file);
    PatchBE32(cut, stavrel::kNumberOfRecords, 1000000);
    EXPECT_EQ(Open(cut), nullptr);
    CVcfStB3CaptureFileParser b3;
    EXPECT_FALSE(b3.Open(path_));
    EXPECT_EQ(b3.GetLastError(), kVcfErrorFile);
}

TEST_F(StavrelFiles, EveryPrefixOfAFileFailsCleanly) {
    StavrelFile file = B4File("01.00", 3);
    const std::vector<uint8_t> whole = StavrelFileBytes(file);
    for (size_t size = 0; size < whole.size(); size += (size < 40 || size > 33300) ? 1 : 997) {
        WriteFile(path_, std::vector<uint8_t>(whole.begin(), whole.begin() + size));
        for (auto& parser :
             {std::unique_ptr<CVcfCaptureFileParser>(new CVcfStB3CaptureFileParser),
              std::unique_ptr<CVcfCaptureFileParser>(new CVcfStB4CaptureFileParser)}) {
            if (parser->Open(path_)) {
                CVcfCaptureRecord record;
                while (parser->ReadNextRecord(record) != 0) {
                }
            } else {
                EXPECT_NE(parser->GetLastError(), kVcfNoError);
            }
        }
    }
    // A short signature, a wrong one, a wrong format code, a zero version.
    CVcfStB4CaptureFileParser parser;
    WriteFile(path_, {'#', 'V'});
    EXPECT_FALSE(parser.Open(path_));
    EXPECT_EQ(parser.GetLastError(), kVcfErrorFile);
    std::vector<uint8_t> bytes = whole;
    bytes[1] = 'X';
    WriteFile(path_, bytes);
    EXPECT_FALSE(parser.Open(path_));
    EXPECT_EQ(parser.GetLastError(), kVcfErrorFormat);
    bytes = whole;
    memcpy(bytes.data() + 8, "00.01", 5);
    WriteFile(path_, bytes);
    EXPECT_FALSE(parser.Open(path_));
    EXPECT_EQ(parser.GetLastError(), kVcfErrorFormat);
}

TEST_F(StavrelFiles, IndexCacheFollowsTheReadingDirection) {
    StavrelFile file = B3File("01.01", kVcfRecordL2ST640, 1500);
    for (auto& record : file.records) {
        record.data.resize(4);
    }
    auto parser = Open(file);
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(parser->GetIndexCacheFirst(), 1u);
    EXPECT_EQ(parser->GetIndexCacheLast(), 1000u);
    CVcfL2ST640Record record;
    ASSERT_TRUE(parser->ReadRecord(1200, record));
    EXPECT_EQ(parser->GetIndexCacheFirst(), 1200u);
    EXPECT_EQ(parser->GetIndexCacheLast(), 1500u);
    EXPECT_EQ(record.GetSeconds(), 1000 + 1199);

    parser->SetReadBackward(true);
    ASSERT_TRUE(parser->ReadRecord(1500, record));
    ASSERT_TRUE(parser->FillIndexCache(1500));
    EXPECT_EQ(parser->GetIndexCacheFirst(), 501u);
    EXPECT_EQ(parser->GetIndexCacheLast(), 1500u);
    ASSERT_TRUE(parser->ReadRecord(300, record));
    EXPECT_EQ(record.GetSeconds(), 1000 + 299);
    // The length of record 300 needs the start of record 301 as well.
    EXPECT_EQ(parser->GetIndexCacheFirst(), 1u);
    EXPECT_EQ(parser->GetIndexCacheLast(), 301u);
}

TEST_F(StavrelFiles, HeaderAndTableDumps) {
    StavrelFile file = B3File("01.01", kVcfRecordL2ST640, 1);
    file.sourceNames.push_back(std::string(130, 'n'));
    auto parser = Open(file);
    ASSERT_NE(parser, nullptr);
    const std::string header = parser->DumpHeader();
    EXPECT_NE(header.find("Signature          : #VTCF:\r\n"), std::string::npos);
    EXPECT_NE(header.find("Version            : 01.01\r\n"), std::string::npos);
    EXPECT_NE(header.find("Master Format flags: 0x0001\r\n"), std::string::npos);
    EXPECT_NE(header.find("Offset to Data     : 33383 (0x00008267)\r\n"), std::string::npos)
        << header;
    EXPECT_NE(header.find("Last error code    : 0 = 'No error'\r\n"), std::string::npos);
    EXPECT_NE(header.find("Capture Start Time of Day  : 09:05:07.042\r\n"), std::string::npos);
    EXPECT_NE(header.find("Capture Stop  Timestamp    : 1000:000000005\r\n"), std::string::npos);
    EXPECT_EQ(header.substr(header.size() - 4), "\r\n\r\n");

    const std::string tables = parser->DumpTables("");
    EXPECT_EQ(tables.find("Header string      : '#Test capture\n'\r\n"), 0u);
    EXPECT_NE(tables.find("\r\n    3 0 0 "), std::string::npos);
    EXPECT_NE(
        tables.find("\r\n  0: POS,1A,Rx\r\n  1: " + std::string(126, 'n') + "\r\n  2: (none)"),
        std::string::npos);
    EXPECT_EQ(CVcfCaptureFileCommon::HexText(0xAB, 9), "??");
}

TEST(VcfParserFactory, MissingFileAndFormatTable) {
    CVcfCaptureFileParserFactory factory;
    EXPECT_EQ(factory.Create("/nonexistent/capture.st"), nullptr);
    EXPECT_EQ(factory.GetLastError(), kVcfErrorOpen);
    EXPECT_STREQ(factory.GetErrorText(), "File not found, already open or no read permission");
    int32_t id = 0;
    EXPECT_FALSE(factory.GetFormatId(3, &id));
    EXPECT_EQ(id, kVcfFormatCount);
    ASSERT_TRUE(factory.FindFormat("T1", &id));
    EXPECT_EQ(id, kVcfFormatTcpdump);
    EXPECT_FALSE(factory.FindFormat("X1", &id));
    EXPECT_STREQ(CVcfCaptureFileCommon::ErrorText(6), "UNKOWN_FORMAT");
}

TEST(VcfParserFactory, RecognisesTcpdumpFilesButReadsNoRecords) {
    TempDir dir;
    const std::string path = dir.file("trace.pcap");
    WriteFile(path, PcapFile(0xA1B2C3D4, false, 1, {{1, 2, RampFrame(60), 0}}).data());
    CVcfCaptureFileParserFactory factory;
    auto parser = factory.Create(path);
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(parser->GetFormatCode(), "X1");
    EXPECT_EQ(parser->GetSignature(), "0xd4c3b2a1");
    auto* tcpdump = dynamic_cast<CVcfTcpdumpFileParser*>(parser.get());
    ASSERT_NE(tcpdump, nullptr);
    EXPECT_EQ(tcpdump->GetLinkType(), 1u);
    EXPECT_EQ(tcpdump->GetVersionMajor(), 2);
    EXPECT_EQ(tcpdump->GetSnapshotLength(), 65535u);
    CVcfCaptureRecord record;
    EXPECT_EQ(parser->ReadNextRecord(record), 0u);

    WriteFile(path, PcapFile(0xD4C3B2A1, true, 9, {}).data());
    parser = factory.Create(path);
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(parser->GetSignature(), "0xa1b2c3d4");
    EXPECT_EQ(dynamic_cast<CVcfTcpdumpFileParser&>(*parser).GetLinkType(), 9u);

    // Stavrel signature with an unknown format code: refused by both
    // Stavrel parsers, then by the tcpdump parser's magic test.
    std::vector<uint8_t> bytes = StavrelFileBytes(StavrelFile());
    bytes[6] = 'Z';
    WriteFile(path, bytes);
    EXPECT_EQ(factory.Create(path), nullptr);
    EXPECT_EQ(factory.GetLastError(), kVcfErrorFormat);
    WriteFile(path, {0xD4, 0xC3, 0xB2, 0xA1, 2, 0});
    EXPECT_EQ(factory.Create(path), nullptr);
    EXPECT_EQ(factory.GetLastError(), kVcfErrorFile);
}

TEST(VcfBinaryStreams, PatchInPlaceAndReadExactly) {
    TempDir dir;
    const std::string path = dir.file("stream.bin");
    CVcfBinaryOutputStream out;
    ASSERT_TRUE(out.Create(path));
    ASSERT_TRUE(out.Write("abcdefgh", 8));
    ASSERT_TRUE(out.Seek(2));
    ASSERT_TRUE(out.Write("XY", 2));
    ASSERT_TRUE(out.Seek(8));
    ASSERT_TRUE(out.Write("ij", 2));
    EXPECT_EQ(out.Tell(), 10);
    ASSERT_TRUE(out.Close());
    EXPECT_EQ(ReadText(path), "abXYefghij");

    CVcfBinaryInputStream in;
    ASSERT_TRUE(in.Open(path));
    EXPECT_EQ(in.Size(), 10);
    char bytes[4] = {};
    ASSERT_TRUE(in.Seek(7));
    ASSERT_TRUE(in.Read(bytes, 3));
    EXPECT_EQ(std::string(bytes, 3), "hij");
    EXPECT_FALSE(in.Read(bytes, 1));
    ASSERT_TRUE(in.Seek(1));
    ASSERT_TRUE(in.Read(bytes, 2));
    EXPECT_EQ(std::string(bytes, 2), "bX");
    EXPECT_FALSE(in.Open(dir.path()));
}

}  // namespace
}  // namespace vcf
