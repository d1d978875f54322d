// The writers' bytes, checked field by field and read back by the parsers.
#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "parsers/capture_file_parser_factory.h"
#include "parsers/st_binary_parser.h"
#include "support/files.h"
#include "support/stavrel_builder.h"
#include "writers/capture_file_writer.h"

namespace vcf {
namespace {

using namespace byte_order;
using namespace testsupport;

// 2007-07-17 04:46:22 UTC, the creation date every writer here states.
constexpr time_t kCreated = 1184647582;

uint32_t BE32At(const std::vector<uint8_t>& bytes, size_t offset) {
    return LoadBE32(bytes.data() + offset);
}

class Writers : public ::testing::Test {
protected:
    std::unique_ptr<CVcfStCaptureFileWriter> Create(const std::string& format,
                                                    const std::string& description = "a test") {
        return factory_.Create(format, path_, description, kCreated);
    }
    std::unique_ptr<CVcfStCaptureFileParser> Parse() {
        std::unique_ptr<CVcfCaptureFileParser> parser = parsers_.Create(path_);
        return std::unique_ptr<CVcfStCaptureFileParser>(
            dynamic_cast<CVcfStCaptureFileParser*>(parser.release()));
    }

    TempDir dir_;
    std::string path_ = dir_.file("capture.st");
    CVcfCaptureFileWriterFactory factory_;
    CVcfCaptureFileParserFactory parsers_;
};

TEST_F(Writers, B4RecordsAreCountedAndIndexedAtTheEnd) {
    auto writer = Create("B4");
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(writer->IsOpen());
    EXPECT_TRUE(FileExists(path_ + ".idx"));
    const std::vector<uint8_t> data = Bytes().ramp(100, 1).data();
    ASSERT_TRUE(writer->WriteHeaderWordRecord(4, 5, 1000, 7, 0xAA, 66, 0x01020304, 0x20000000, 100,
                                              data.data()));
    ASSERT_TRUE(writer->WriteHeaderWordRecord(1, 2, 1001, 8, 0, 64, 0, 0, 60, data.data()));
    ASSERT_TRUE(writer->WriteHeaderWordRecord(0, 0, 1002, 9, 0, 9, 0, 0, 0, nullptr));
    ASSERT_TRUE(writer->FinishAndClose());
    EXPECT_FALSE(FileExists(path_ + ".idx"));

    const std::vector<uint8_t> bytes = ReadFile(path_);
    const uint32_t offsetToData = BE32At(bytes, stavrel::kOffsetToData);
    const uint32_t offsetToIndex = BE32At(bytes, stavrel::kOffsetToIndex);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 13), "#VTCF:B401.00");
    EXPECT_EQ(BE32At(bytes, stavrel::kNumberOfRecords), 3u);
    EXPECT_EQ(BE32At(bytes, stavrel::kRecordLength), 0u);
    EXPECT_EQ(LoadBE16(bytes.data() + stavrel::kMasterFormatFlags), 0x0001);
    EXPECT_EQ(offsetToIndex, offsetToData + 119 + 79 + 19);
    ASSERT_EQ(bytes.size(), offsetToIndex + 12u);
    EXPECT_EQ(BE32At(bytes, offsetToIndex), offsetToData);
    EXPECT_EQ(BE32At(bytes, offsetToIndex + 4), offsetToData + 119);
    EXPECT_EQ(BE32At(bytes, offsetToIndex + 8), offsetToData + 119 + 79);
    // Source byte: port 4 in the upper three bits, sub-port 5 below.
    EXPECT_EQ(bytes[offsetToData + 8], 0x85);

    auto parser = Parse();
    ASSERT_NE(parser, nullptr) << parsers_.GetErrorText();
    EXPECT_EQ(parser->GetRecordTypeOfSource(0), kVcfRecordL2ST640Merged);
    EXPECT_EQ(parser->GetSourceNameOfSlot(0), "Unknown,Unknown,Rx");
    CVcfL2ST640MergedRecord record;
    ASSERT_EQ(parser->ReadNextRecord(record), 1u);
    EXPECT_EQ(record.GetPort(), 4);
    EXPECT_EQ(record.GetPortNumber(), 5);
    EXPECT_FALSE(record.IsValid());
    EXPECT_EQ(record.GetAuxByteA(), 0xAA);
    EXPECT_EQ(record.GetLayer2Mode(), 66);
    EXPECT_EQ(record.GetHeaderWord1(), 0x01020304u);
    EXPECT_EQ(record.GetHeaderWord2(), 0x20000000u);
    EXPECT_EQ(record.GetTimestamp(), CVcfTimestamp(1000, 7));
    ASSERT_EQ(record.GetCapturedLength(), 100);
    EXPECT_EQ(std::vector<uint8_t>(record.GetData(), record.GetData() + 100), data);
    ASSERT_EQ(parser->ReadNextRecord(record), 2u);
    EXPECT_EQ(record.GetCapturedLength(), 60);
    ASSERT_EQ(parser->ReadNextRecord(record), 3u);
    EXPECT_EQ(record.GetCapturedLength(), 0);
    EXPECT_EQ(record.GetLayer2Mode(), 9);
}

TEST_F(Writers, NoRecordsLeaveNoIndex) {
    auto writer = Create("B4");
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(writer->FinishAndClose());
    EXPECT_FALSE(FileExists(path_ + ".idx"));
    const std::vector<uint8_t> bytes = ReadFile(path_);
    EXPECT_EQ(BE32At(bytes, stavrel::kNumberOfRecords), 0u);
    EXPECT_EQ(BE32At(bytes, stavrel::kOffsetToIndex), 0u);
    EXPECT_EQ(bytes.size(), BE32At(bytes, stavrel::kOffsetToData));
    auto parser = Parse();
    ASSERT_NE(parser, nullptr) << parsers_.GetErrorText();
    EXPECT_EQ(parser->GetNumberOfRecords(), 0u);
}

TEST_F(Writers, HeaderStringAndDescriptionOfTheFactoryWriters) {
    auto writer = Create("B3", "first line");
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(writer->FinishAndClose());
    auto parser = Parse();
    ASSERT_NE(parser, nullptr) << parsers_.GetErrorText();
    EXPECT_EQ(parser->GetFormatCode(), "B3");
    EXPECT_EQ(parser->GetVersionMinor(), 1);
    EXPECT_EQ(parser->GetMasterFormatFlags(), 0x0003);
    char date[64];
    ctime_r(&kCreated, date);
    EXPECT_EQ(parser->GetHeaderString(),
              std::string("#Veltrix Technologies Capture Data File\n#Format : B3\n"
                          "#Version: 01.01\n#Date created: ") +
                  date + "#Module: Unknown\n#Port: Unknown\n#Direction: Rx\n");
    EXPECT_EQ(parser->GetDescription(), "#Description: first line\n");
    EXPECT_EQ(parser->GetRecordTypeOfSource(0), kVcfRecordIPv4K3318BB);
}

TEST_F(Writers, B3RecordsFollowTheDeclaredRecordType) {
    auto writer = Create("B3");
    ASSERT_NE(writer, nullptr);
    auto* b3 = dynamic_cast<CVcfStB3CaptureFileWriter*>(writer.get());
    ASSERT_NE(b3, nullptr);
    const std::vector<uint8_t> data = Bytes().ramp(40).data();
    // Type 2: a flag byte and a 32-bit value, as the IPv4 layout has them.
    ASSERT_TRUE(b3->WriteRecord(5, 6, VTX_LAYER2_GBE, 0x13, 0xCAFEF00D, 40, data.data()));
    // A record without data bytes would be unreadable.
    EXPECT_FALSE(b3->WriteRecord(5, 6, VTX_LAYER2_GBE, 0, 0, 0, data.data()));
    ASSERT_TRUE(writer->FinishAndClose());

    auto parser = Parse();
    ASSERT_NE(parser, nullptr) << parsers_.GetErrorText();
    EXPECT_EQ(parser->GetNumberOfRecords(), 1u);
    CVcfIPv4K3318BBRecord record;
    ASSERT_EQ(parser->ReadNextRecord(record), 1u);
    EXPECT_EQ(record.GetFlags(), 0x13);
    EXPECT_EQ(record.GetHeaderWord(), 0xCAFEF00Du);
    EXPECT_EQ(record.GetLayer2Mode(), VTX_LAYER2_GBE);
    EXPECT_EQ(record.GetCapturedLength(), 40);
}

TEST_F(Writers, RecordsGivenAsIPv4FieldsOrRecordsReachTheFile) {
    auto writer = Create("B4");
    ASSERT_NE(writer, nullptr);
    const uint8_t extra[5] = {0x21, 0x11, 0x22, 0x33, 0x44};
    const std::vector<uint8_t> data = Bytes().ramp(30).data();
    ASSERT_TRUE(writer->WriteRecord(true, 0xE7, 50, 60, 5, extra, 30, 30, data.data()));
    CVcfL2ST640Record record(70, 80, 66, 1, 2, 20, std::make_unique<uint8_t[]>(20));
    // A short header-extra supplies what it has; the rest reads as zero.
    record.SetHeaderExtra(1, std::make_unique<uint8_t[]>(1));
    ASSERT_TRUE(writer->WriteRecord(record));
    ASSERT_TRUE(writer->FinishAndClose());

    auto parser = Parse();
    ASSERT_NE(parser, nullptr) << parsers_.GetErrorText();
    CVcfL2ST640MergedRecord read;
    ASSERT_EQ(parser->ReadNextRecord(read), 1u);
    // Port (0xE7 >> 5) & 3 = 3, sub-port 7; layer-2 mode and aux byte A 0.
    EXPECT_EQ(read.GetSourceIndex(), (3 << 5) | 7);
    EXPECT_EQ(read.GetHeaderWord1(), 0x21u);
    EXPECT_EQ(read.GetHeaderWord2(), 0x11223344u);
    EXPECT_EQ(read.GetLayer2Mode(), 0);
    ASSERT_EQ(parser->ReadNextRecord(read), 2u);
    EXPECT_EQ(read.GetTimestamp(), CVcfTimestamp(70, 80));
    EXPECT_EQ(read.GetHeaderWord2(), 0u);
    EXPECT_EQ(read.GetCapturedLength(), 20);
}

TEST_F(Writers, TablesAndTimesArePatchedInPlaceWhileWritingGoesOn) {
    auto writer = Create("B4");
    ASSERT_NE(writer, nullptr);
    const std::vector<uint8_t> data = Bytes().ramp(64).data();
    ASSERT_TRUE(writer->WriteHeaderWordRecord(0, 0, 1, 0, 0, 64, 0, 0, 64, data.data()));
    ASSERT_TRUE(writer->SetSourceNameOfSlot(0, std::string(130, 'n')));
    ASSERT_TRUE(writer->SetSourceNameOfSlot(1, "POS,2B,Tx"));
    ASSERT_TRUE(writer->SetRecordTypeOfSource(1, 3));
    ASSERT_TRUE(writer->SetCaptureStartTime(CVcfTimeOfDay(4, 46, 22000)));
    ASSERT_TRUE(writer->SetCaptureStopTime(CVcfTimeOfDay(4, 46, 32250)));
    ASSERT_TRUE(writer->SetCaptureStopTimestamp(10, 250000000));
    ASSERT_TRUE(writer->SetTriggerPacketNumber(2));
    // A record after the setters lands behind the first, not in the header.
    ASSERT_TRUE(writer->WriteHeaderWordRecord(0, 1, 2, 0, 0, 64, 0, 0, 64, data.data()));
    ASSERT_TRUE(writer->FinishAndClose());

    auto parser = Parse();
    ASSERT_NE(parser, nullptr) << parsers_.GetErrorText();
    EXPECT_EQ(parser->GetSourceNameOfSlot(0), std::string(120, 'n'));
    EXPECT_EQ(parser->GetSourceNameOfSlot(1), "POS,2B,Tx");
    EXPECT_EQ(parser->GetNonEmptySourceNameCount(), 2u);
    EXPECT_EQ(parser->GetRecordTypeOfSource(1), 3);
    EXPECT_EQ(parser->GetCaptureStartTime().ToString(), "04:46:22.000");
    EXPECT_EQ(parser->GetCaptureStopTime().ToString(), "04:46:32.250");
    EXPECT_EQ(parser->GetCaptureStopTimestamp(), CVcfTimestamp(10, 250000000));
    EXPECT_EQ(parser->GetTriggerPacketNumber(), 2u);
    CVcfL2ST640MergedRecord record;
    ASSERT_EQ(parser->ReadNextRecord(record), 1u);
    ASSERT_EQ(parser->ReadNextRecord(record), 2u);
    EXPECT_EQ(record.GetSeconds(), 2);
    EXPECT_EQ(std::vector<uint8_t>(record.GetData(), record.GetData() + 64), data);
}

TEST_F(Writers, ListsMakeOneSourcePerPort) {
    CVcfStB4CaptureFileWriter writer({"POS", "GbE", "extra"}, {"1A", "2B"}, {"Rx", "Tx"},
                                     kVcfRecordL2ST640Merged, kCreated);
    ASSERT_TRUE(writer.Open(path_, "lists"));
    ASSERT_TRUE(writer.FinishAndClose());
    auto parser = Parse();
    ASSERT_NE(parser, nullptr) << parsers_.GetErrorText();
    EXPECT_EQ(parser->GetSourceNames(), (std::vector<std::string>{"POS,1A,Rx", "GbE,2B,Tx"}));
    const std::string& header = parser->GetHeaderString();
    EXPECT_NE(header.find("#PortType list: POS,GbE\n#PortId list: 1A,2B\n#Direction list: Rx,Tx\n"),
              std::string::npos)
        << header;
}

TEST_F(Writers, FactoryRefusals) {
    EXPECT_EQ(Create("T1"), nullptr);
    EXPECT_EQ(factory_.GetLastError(), kVcfErrorUnknownFormat);
    EXPECT_FALSE(FileExists(path_));
    EXPECT_EQ(factory_.Create("B4", dir_.file("missing/capture.st"), "", kCreated), nullptr);
    EXPECT_EQ(factory_.GetLastError(), kVcfErrorWrite);
    // A description its 16-bit length field cannot hold leaves no open writer.
    auto writer = Create("B4", std::string(70000, 'd'));
    ASSERT_NE(writer, nullptr);
    EXPECT_FALSE(writer->IsOpen());
    EXPECT_EQ(writer->GetLastError(), kVcfErrorWrite);
    EXPECT_FALSE(writer->FinishAndClose());
    EXPECT_FALSE(writer->WriteHeaderWordRecord(0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr));
}

}  // namespace
}  // namespace vcf
