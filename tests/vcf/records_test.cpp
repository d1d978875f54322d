#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "records/capture_record.h"
#include "records/dim_string.h"
#include "records/time_of_day.h"
#include "records/timestamp.h"

namespace vcf {
namespace {

std::unique_ptr<uint8_t[]> Buffer(std::initializer_list<uint8_t> bytes) {
    auto buffer = std::make_unique<uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    return buffer;
}

std::unique_ptr<uint8_t[]> Zeros(size_t n) {
    return std::make_unique<uint8_t[]>(n);
}

void ExpectTimestamp(const CVcfTimestamp& t, int32_t seconds, int32_t nanoseconds) {
    EXPECT_EQ(t.GetSeconds(), seconds);
    EXPECT_EQ(t.GetNanoseconds(), nanoseconds);
}

TEST(VcfTimestamp, NormalisesSoBothPartsShareTheSign) {
    ExpectTimestamp(CVcfTimestamp(1, -1), 0, 999999999);
    ExpectTimestamp(CVcfTimestamp(-1, 1), 0, -999999999);
    ExpectTimestamp(CVcfTimestamp(0, 2000000001), 2, 1);
    ExpectTimestamp(CVcfTimestamp(0, -5), 0, -5);
    ExpectTimestamp(CVcfTimestamp(10, 100) - CVcfTimestamp(9, 999999900), 0, 200);
    ExpectTimestamp(CVcfTimestamp(1, 600000000) + CVcfTimestamp(2, 700000000), 4, 300000000);
    // Hostile parts wrap instead of overflowing.
    ExpectTimestamp(CVcfTimestamp(INT32_MAX, 1) + CVcfTimestamp(0, 999999999), INT32_MIN, 0);
}

TEST(VcfTimestamp, ComparesAndPrints) {
    EXPECT_LT(CVcfTimestamp(1, 5), CVcfTimestamp(2, 0));
    EXPECT_LT(CVcfTimestamp(2, 4), CVcfTimestamp(2, 5));
    EXPECT_GE(CVcfTimestamp(2, 5), CVcfTimestamp(2, 5));
    EXPECT_NE(CVcfTimestamp(2, 5), CVcfTimestamp(2, 6));
    EXPECT_EQ(CVcfTimestamp(3, 42).ToString(), "03:000000042");
    std::ostringstream out;
    out << CVcfTimestamp(12, 345);
    EXPECT_EQ(out.str(), "12.000000345");
    const CVcfTimestamp fromDouble(2500000001.0);
    ExpectTimestamp(fromDouble, 2, 500000001);
    EXPECT_DOUBLE_EQ(fromDouble.AsNanoseconds(), 2500000001.0);
}

TEST(VcfTimeOfDay, ClampsEachPart) {
    CVcfTimeOfDay t;
    t.SetHours(30);
    t.SetMinutes(75);
    t.SetSeconds(10, 1500);
    EXPECT_EQ(t.GetHours(), 23);
    EXPECT_EQ(t.GetMinutes(), 59);
    EXPECT_EQ(t.GetMillisecondsInMinute(), 10999);
    t.SetMillisecondsInMinute(65000);
    EXPECT_EQ(t.GetMillisecondsInMinute(), 59999);
    EXPECT_EQ(CVcfTimeOfDay(9, 5, 7, 42).ToString(), "09:05:07.042");
}

TEST(VcfTimeOfDay, ArithmeticWrapsRoundMidnight) {
    EXPECT_EQ((CVcfTimeOfDay(23, 59, 59, 999) + CVcfTimeOfDay(0, 0, 0, 2)).ToString(),
              "00:00:00.001");
    EXPECT_EQ((CVcfTimeOfDay(0, 0, 0, 1) - CVcfTimeOfDay(0, 0, 0, 2)).ToString(), "23:59:59.999");
    CVcfTimeOfDay t;
    t.SetFromMilliseconds(CVcfTimeOfDay::kMillisPerDay);
    EXPECT_EQ(t.ToString(), "23:59:59.000");
    t.SetFromMilliseconds(2LL * CVcfTimeOfDay::kMillisPerDay + 61001);
    EXPECT_EQ(t.ToString(), "00:01:01.001");
    EXPECT_LT(CVcfTimeOfDay(1, 0, 0), CVcfTimeOfDay(1, 0, 1));
    EXPECT_EQ(CVcfTimeOfDay(1, 2, 3000).InMilliseconds(), 3600000 + 120000 + 3000);
}

TEST(VcfDimString, ReadsTheImageWithinItsRoom) {
    const uint8_t empty[] = {0, 0, 'x'};
    CVcfDimString name;
    name.Attach(empty, sizeof empty);
    EXPECT_EQ(name.GetText(), "");
    EXPECT_FALSE(name.OwnsBuffer());

    const uint8_t text[] = {0, 3, 'a', 'b', 'c', 'd'};
    name.Attach(text, sizeof text);
    EXPECT_EQ(name.GetText(), "abc");
    // A length beyond the image is cut to what the image holds.
    const uint8_t lying[] = {0xFF, 0xFF, 'a', 'b'};
    name.Attach(lying, sizeof lying);
    EXPECT_EQ(name.GetText(), "ab");
}

TEST(VcfCaptureRecord, CopiesAreDeepAndClearKeepsTheType) {
    CVcfL2ST640Record original(5, 6, 66, 0x01020304, 0x05060708, 3, Buffer({7, 8, 9}));
    original.SetSourceIndex(4);
    CVcfCaptureRecord copy(original);
    EXPECT_EQ(copy.GetRecordType(), kVcfRecordL2ST640);
    EXPECT_EQ(copy.GetSourceIndex(), 4);
    EXPECT_EQ(copy.GetLayer2Mode(), 66);
    EXPECT_EQ(copy.GetTotalLength(), 11);
    ASSERT_NE(copy.GetData(), original.GetData());
    EXPECT_EQ(memcmp(copy.GetData(), original.GetData(), 3), 0);
    EXPECT_EQ(memcmp(copy.GetHeaderExtra(), original.GetHeaderExtra(), 8), 0);
    EXPECT_NE(copy.GetHeaderExtra(), original.GetHeaderExtra());

    copy.Clear();
    EXPECT_EQ(copy.GetRecordType(), kVcfRecordL2ST640);
    EXPECT_EQ(copy.GetData(), nullptr);
    EXPECT_TRUE(copy.IsValid());
    EXPECT_EQ(original.GetCapturedLength(), 3);

    CVcfCaptureRecord empty(kVcfRecordIPv4K3318BB);
    CVcfCaptureRecord emptyCopy;
    emptyCopy = empty;
    EXPECT_EQ(emptyCopy.GetData(), nullptr);
    EXPECT_EQ(emptyCopy.GetHeaderExtra(), nullptr);
    EXPECT_EQ(emptyCopy.GetRecordType(), kVcfRecordIPv4K3318BB);
}

TEST(VcfCaptureRecord, MergedRecordSplitsItsSourceByte) {
    CVcfL2ST640MergedRecord merged(4, 5, 1, 2, 0xAA, 64, 0, 0x20000000, 0, nullptr);
    EXPECT_EQ(merged.GetSourceIndex(), 0x85);
    EXPECT_EQ(merged.GetPort(), 4);
    EXPECT_EQ(merged.GetPortNumber(), 5);
    EXPECT_FALSE(merged.IsValid());
    EXPECT_EQ(merged.GetAuxByteA(), 0xAA);
    EXPECT_TRUE(merged.HasSignature());
    EXPECT_EQ(merged.GetHeaderWord2(), 0x20000000u);
    // A signature claimed by a frame too short to hold it reads as zeros.
    EXPECT_EQ(merged.GetSignatureField(2), 0u);
    EXPECT_TRUE(CVcfL2ST640MergedRecord(3, 1, 0, 0, 0, 0, 0, 0, 0, nullptr).IsValid());
}

TEST(VcfCaptureRecord, IPv4RecordFindsItsSignature) {
    // Gigabit payload (IPv4 at 0), 44 bytes: (44 & 7) + 20 = 24 signature bytes at 20.
    auto data = Zeros(44);
    const uint8_t signature[] = {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 90, 0, 0, 0, 4, 0x12, 0x34, 0, 6};
    memcpy(data.get() + 20, signature, sizeof signature);
    CVcfIPv4K3318BBRecord record(0, 1000, VTX_LAYER2_GBE, 0x00, 0, 44, std::move(data));
    ASSERT_TRUE(record.HasSignature());
    EXPECT_EQ(record.GetSignatureOffset(), 20);
    EXPECT_EQ(record.GetSignatureField(0), 1u);
    EXPECT_EQ(record.GetSignatureField(2), 90u);
    EXPECT_EQ(record.GetSignatureField(4), 0x1234u);
    EXPECT_EQ(record.GetSignatureField(5), 6u);
    EXPECT_EQ(record.GetSignatureField(6), 0u);
    EXPECT_DOUBLE_EQ(record.GetLatency(), 100.0);

    // Ethernet mode 64 puts IPv4 at 14; entries (flag 0x10) shift by 4 when odd.
    auto entries = Zeros(60);
    entries[2] = 1;
    CVcfIPv4K3318BBRecord ethernet(0, 0, 64, CVcfIPv4K3318BBRecord::kFlagEntries, 0, 60,
                                   std::move(entries));
    EXPECT_EQ(ethernet.GetEntryCount(), 1);
    EXPECT_EQ(ethernet.GetSignatureOffset(), 60 - (((60 - 14 + 4) & 7) + 20));

    CVcfIPv4K3318BBRecord none(0, 0, 0, CVcfIPv4K3318BBRecord::kFlagNoSignature | 0x04, 0x00020000,
                               10, Zeros(10));
    EXPECT_FALSE(none.HasSignature());
    EXPECT_TRUE(none.IsControlPacket());
    EXPECT_EQ(none.GetSignatureOffset(), 0);
    none.SetFlags(0x10, true);
    EXPECT_EQ(none.GetFlags(), 0x10);
    EXPECT_EQ(none.GetHeaderWord(), 1u);
}

TEST(VcfCaptureRecord, LatencySaturates) {
    CVcfIPv4K3318BBRecord late(2000000000, 0, 0, 0, 0, 0, nullptr);
    EXPECT_EQ(late.GetLatencyNanoseconds(), INT32_MAX);
}

}  // namespace
}  // namespace vcf
