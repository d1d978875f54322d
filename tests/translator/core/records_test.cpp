#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "common/byte_order.h"
#include "console/console_progress.h"
#include "engine/checksum.h"
#include "engine/ethernet.h"
#include "engine/frame_record.h"
#include "engine/time_base.h"
#include "engine/trace_info.h"

namespace translator {
namespace {

using namespace byte_order;

TEST(FrameRecord, SetDataKeepsABufferThatIsLargeEnough) {
    FrameRecord frame;
    frame.SetData(nullptr, 0);
    EXPECT_EQ(frame.capacity, 128);
    const uint8_t* first = frame.SetData(nullptr, 100);
    EXPECT_EQ(frame.capacity, 228);
    EXPECT_EQ(frame.SetData(nullptr, 50), first);
    EXPECT_EQ(frame.capacity, 228);
    const uint8_t source[3] = {7, 8, 9};
    EXPECT_EQ(memcmp(frame.SetData(source, 3), source, 3), 0);
}

TEST(FrameRecord, ResetKeepsTheBuffer) {
    FrameRecord frame;
    frame.SetData(nullptr, 10);
    frame.seconds = 5;
    frame.flags = FRAME_CRC_ERROR;
    frame.nonData = true;
    frame.Reset();
    EXPECT_EQ(frame.seconds, 0u);
    EXPECT_EQ(frame.flags, 0);
    EXPECT_FALSE(frame.nonData);
    EXPECT_EQ(frame.capacity, 138);
    EXPECT_NE(frame.data, nullptr);
}

TEST(FrameRecord, CopyFromCopiesFieldsAndBytes) {
    FrameRecord a;
    uint8_t bytes[70];
    for (int i = 0; i < 70; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    a.SetData(bytes, 70);
    a.frameLength = a.capturedLength = 70;
    a.seconds = 9;
    a.wlanChannel = 6;
    FrameRecord b;
    b.CopyFrom(a);
    EXPECT_EQ(b.frameLength, 70);
    EXPECT_EQ(b.seconds, 9u);
    EXPECT_EQ(b.wlanChannel, 6);
    EXPECT_EQ(memcmp(b.data.get(), bytes, 70), 0);
    EXPECT_EQ(b.TimestampMicros(), 9000000u);
}

TEST(Checksum, Crc32KnownVectorsAndLengthRule) {
    std::vector<uint8_t> zeros(60, 0);
    // CRC-32 of sixty zero bytes, as the Ethernet FCS of a minimum all-zero frame.
    EXPECT_EQ(Crc32(zeros.data(), 60), 0x04128908u);
    // Runts have their CRC too.
    EXPECT_EQ(Crc32(zeros.data(), 59), crc32(0L, zeros.data(), 59));
    std::vector<uint8_t> big(262149, 0x55);
    EXPECT_EQ(Crc32(big.data(), 262149), 0u);
    EXPECT_NE(Crc32(big.data(), 262148), 0u);
    // A frame followed by its FCS (least significant byte first) leaves the CRC residue.
    std::vector<uint8_t> frame(64);
    for (int i = 0; i < 60; ++i)
        frame[i] = static_cast<uint8_t>(i * 7);
    StoreLE32(frame.data() + 60, Crc32(frame.data(), 60));
    EXPECT_EQ(Crc32(frame.data(), 64), 0x2144DF1Cu);
}

TEST(Checksum, Crc32IsZlibsAtEveryLengthAndAlignment) {
    const char* check = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(check), 9), 0xCBF43926u);
    std::mt19937 random(2048);
    std::vector<uint8_t> buffer(2048 + 16);
    for (auto& byte : buffer)
        byte = static_cast<uint8_t>(random());
    for (int64_t n = 0; n <= 2048; ++n) {
        // Starting points off a 16-byte boundary reach the unaligned head and tail paths.
        const uint8_t* bytes = buffer.data() + n % 16;
        ASSERT_EQ(Crc32(bytes, n), crc32(0L, bytes, static_cast<uInt>(n))) << n;
    }
}

TEST(Checksum, Fcs16KnownVector) {
    const char* check = "123456789";
    // CRC-16/X-25 check value.
    EXPECT_EQ(Fcs16(reinterpret_cast<const uint8_t*>(check), 9), 0x906E);
    std::vector<uint8_t> big(262149, 1);
    EXPECT_EQ(Fcs16(big.data(), 262149), 0);
}

TEST(FrameRecord, StoreCrc32CoversAllButTheLastFourBytes) {
    FrameRecord frame;
    uint8_t* data = frame.SetData(nullptr, 64);
    for (int i = 0; i < 64; ++i)
        data[i] = static_cast<uint8_t>(i);
    frame.frameLength = 64;
    frame.StoreCrc32(FcsBytes::kComputed);
    EXPECT_EQ(LoadLE32(data + 60), Crc32(data, 60));
    frame.StoreCrc32(FcsBytes::kZeros);
    EXPECT_EQ(LoadLE32(data + 60), 0u);
    frame.frameLength = 63;
    memset(data + 59, 0xEE, 4);
    frame.StoreCrc32(FcsBytes::kComputed);
    EXPECT_EQ(LoadLE32(data + 59), Crc32(data, 59));  // runts have theirs too
    frame.frameLength = 2;                            // too short to hold an FCS: nothing happens
    frame.StoreCrc32(FcsBytes::kComputed);
    frame.frameLength = frame.capacity - 4;  // no room: nothing happens
    frame.StoreCrc32(FcsBytes::kComputed);
}

TEST(FrameRecord, StoreFcs16) {
    FrameRecord frame;
    uint8_t* data = frame.SetData(nullptr, 11);
    memcpy(data, "123456789", 9);
    frame.frameLength = 11;
    frame.StoreFcs16(FcsBytes::kComputed);
    EXPECT_EQ(LoadLE16(data + 9), 0x906E);
}

TEST(TimeBase, EpochConversions) {
    EXPECT_EQ(UnixTo1904(0), 2082844800u);
    EXPECT_EQ(From1904ToUnix(2082844800u + 5), 5u);
    EXPECT_EQ(From1904ToUnix(0), static_cast<uint32_t>(-2082844800));  // modulo 2^32
    EXPECT_EQ(UnixTo1601(1), 11644473601ull);
    EXPECT_EQ(From1601ToUnix(11644473600ull + 86400), 86400u);
    EXPECT_EQ(StartOfDay(86400 * 3 + 5), 86400u * 3);
    EXPECT_EQ(SecondsOfDay(86400 * 3 + 5), 5u);
    EXPECT_EQ(MicrosRemainder(SecondsToMicros(7) + 12), 12u);
    EXPECT_EQ(MicrosToSeconds(SecondsToMicros(7) + 12), 7u);
}

TEST(TimeBase, FormatDateAndBiasInUtc) {
    // Tests run with TZ=UTC.
    EXPECT_EQ(FormatDate(0), "January 1, 1970  00:00:00");
    EXPECT_EQ(FormatDate(1213853938), "June 19, 2008  05:38:58");
    EXPECT_EQ(TimeZoneBiasSeconds(1213853938), 0);
}

TEST(TimeBase, DayBaseIsTheUtcDayMovedByTheStandardZoneOffset) {
    const uint32_t now = 86400u * 20000 + 3600 * 23;
    EXPECT_EQ(DayBase(now), 86400u * 20000);
    // A zone 5 hours west, in daylight-saving time or not: the standard offset counts.
    setenv("TZ", "EST5EDT", 1);
    EXPECT_EQ(DayBase(now), 86400u * 20000 + 5 * 3600);
    EXPECT_EQ(DayBase(1213853938), StartOfDay(1213853938) + 5 * 3600);
    setenv("TZ", "CET-1", 1);
    EXPECT_EQ(DayBase(now), 86400u * 20000 - 3600);
    setenv("TZ", "UTC", 1);
    tzset();
}

FrameRecord Stamped(uint32_t seconds, uint32_t micros, int32_t length = 64, int32_t captured = 64) {
    FrameRecord frame;
    frame.seconds = seconds;
    frame.microseconds = micros;
    frame.frameLength = length;
    frame.capturedLength = captured;
    return frame;
}

TEST(TraceInfo, AccumulateNormalisesAndCounts) {
    TraceInfo info;
    FrameRecord a = Stamped(5, 2500000);
    info.Accumulate(a);
    EXPECT_EQ(a.seconds, 7u);
    EXPECT_EQ(a.microseconds, 500000u);
    EXPECT_EQ(info.startTime, 5u);  // taken before normalising
    FrameRecord b = Stamped(9, 1000000, 1514, 100);
    info.Accumulate(b);
    EXPECT_EQ(b.seconds, 10u);
    EXPECT_EQ(b.microseconds, 0u);
    FrameRecord zero = Stamped(0, 0, 60, 60);
    zero.nonData = true;
    info.Accumulate(zero);
    EXPECT_EQ(info.framesRead, 3);
    EXPECT_EQ(info.nonDataFrames, 1);
    EXPECT_EQ(info.bytesRead, 64 + 1514 + 60);
    EXPECT_EQ(info.maxTruncatedLength, 100);
    EXPECT_EQ(info.maxFrameLength, 1514);
    EXPECT_EQ(info.firstSeconds, 7u);
    EXPECT_EQ(info.firstMicros, 500000u);
    EXPECT_EQ(info.lastSeconds, 10u);
    EXPECT_EQ(info.lastMicros, 0u);
    FrameRecord earlier = Stamped(7, 499999);
    info.Accumulate(earlier);
    EXPECT_EQ(info.firstMicros, 499999u);
}

TEST(TraceInfo, AlignmentErrorImpliesCrcErrorOnEthernetOnly) {
    TraceInfo info;
    info.interfaceType = IF_ETHERNET;
    FrameRecord frame = Stamped(1, 0);
    frame.flags = FRAME_ALIGNMENT_ERROR;
    info.Accumulate(frame);
    EXPECT_EQ(frame.flags, FRAME_ALIGNMENT_ERROR | FRAME_CRC_ERROR);
    info.interfaceType = IF_TOKEN_RING;
    frame.flags = FRAME_ALIGNMENT_ERROR;
    info.Accumulate(frame);
    EXPECT_EQ(frame.flags, FRAME_ALIGNMENT_ERROR);
}

TEST(TraceInfo, ResetDefaults) {
    TraceInfo info;
    info.totalFrames = 5;
    info.wanType = WAN_PPP;
    strcpy(info.comment, "x");
    info.framesWritten = 3;
    info.Reset();
    EXPECT_EQ(info.totalFrames, -1);
    EXPECT_EQ(info.wanType, WAN_NONE);
    EXPECT_STREQ(info.comment, "");
    EXPECT_EQ(info.framesWritten, 0);
}

std::string Duration(uint32_t firstS, uint32_t firstUs, uint32_t lastS, uint32_t lastUs) {
    TraceInfo info;
    info.firstSeconds = firstS;
    info.firstMicros = firstUs;
    info.lastSeconds = lastS;
    info.lastMicros = lastUs;
    char text[64];
    return FormatDuration(info, text, sizeof text) ? text : "none";
}

TEST(ConsoleProgress, DurationText) {
    EXPECT_EQ(Duration(100, 5, 100 + 3725, 5), "01:02:05.000000");
    EXPECT_EQ(Duration(100, 900000, 102, 100000), "00:00:01.200000");
    EXPECT_EQ(Duration(100, 5, 100, 4), "none");
    EXPECT_EQ(Duration(101, 0, 100, 0), "none");
    EXPECT_EQ(Duration(100, 7, 100, 7), "00:00:00.000000");
}

std::string CaptureConsole(void (*run)(ConsoleProgress&)) {
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    {
        ConsoleProgress sink(out);
        run(sink);
    }
    fclose(out);
    std::string result(text, size);
    free(text);
    return result;
}

TEST(ConsoleProgress, DotsAndReport) {
    std::string out = CaptureConsole([](ConsoleProgress& sink) {
        TraceInfo info;
        sink.Progress(info, "Converting ...");
        for (int i = 0; i < 83 * 62; ++i)
            sink.Progress(info, nullptr);
        info.framesWritten = 12;
        info.nonDataFrames = 1;
        info.bytesRead = 999;
        info.firstSeconds = 10;
        info.lastSeconds = 3735;
        sink.Finished(info, "Done");
    });
    // The first call counts too: 62 * 83 + 1 calls give 62 dots, 61 on the first line.
    std::string expected = "Converting ...\r\n" + std::string(61, '.') + "\r\n.\r\n" +
                           "Conversion completed:\r\n"
                           "Data Frames Written:  \t12\r\n"
                           "Non Data Frames Read: \t1\r\n"
                           "Frame Bytes Read:     \t999 bytes\r\n"
                           "Trace Duration:       \t01:02:05.000000\r\n";
    EXPECT_EQ(out, expected);
}

TEST(ConsoleProgress, MessagesAccumulate) {
    ConsoleProgress sink;
    EXPECT_EQ(sink.Messages(), nullptr);
    sink.AddMessage("Error writing frame %d\r\n", 3);
    sink.AddMessage("%s", "more");
    EXPECT_STREQ(sink.Messages(), "Error writing frame 3\r\nmore");
    sink.ClearMessages();
    EXPECT_EQ(sink.Messages(), nullptr);
    std::string longText(20000, 'a');
    sink.AddMessage("%s", longText.c_str());
    EXPECT_EQ(strlen(sink.Messages()), 10239u);
}

}  // namespace
}  // namespace translator

namespace translator {
namespace {

TEST(FrameRecord, ExtendRuntZeroesTheAddedBytes) {
    FrameRecord frame;
    uint8_t* data = frame.SetData(nullptr, 100);
    memset(data, 0xAA, 100);  // left-over contents of an earlier frame
    frame.frameLength = frame.capturedLength = 42;
    frame.ExtendRunt(60);
    EXPECT_EQ(frame.frameLength, 60);
    EXPECT_EQ(frame.capturedLength, 60);
    EXPECT_EQ(data[41], 0xAA);
    for (int i = 42; i < 60; ++i)
        EXPECT_EQ(data[i], 0) << i;
    frame.frameLength = 1518;
    frame.capturedLength = 10;
    frame.ExtendRunt(64);  // long enough on the line: unchanged
    EXPECT_EQ(frame.capturedLength, 10);
}

TEST(Ethernet, AddFcsPadsRuntsAppendsTheFcsAndLeavesCutFramesAlone) {
    FrameRecord frame;
    uint8_t* data = frame.SetData(nullptr, 1600);
    for (int i = 0; i < 100; ++i)
        data[i] = static_cast<uint8_t>(i);
    memset(data + 100, 0xAA, 1500);  // left-over contents of an earlier frame
    frame.frameLength = frame.capturedLength = 100;
    AddEthernetFcs(frame, FcsBytes::kComputed, Runts::kPadded);
    EXPECT_EQ(frame.frameLength, 104);
    EXPECT_EQ(frame.capturedLength, 104);
    EXPECT_EQ(LoadLE32(data + 100), 0x58C932F5u);

    frame.frameLength = frame.capturedLength = 42;
    AddEthernetFcs(frame, FcsBytes::kComputed, Runts::kPadded);
    EXPECT_EQ(frame.capturedLength, 64);
    for (int i = 42; i < 60; ++i)
        EXPECT_EQ(data[i], 0) << i;
    EXPECT_EQ(LoadLE32(data + 60), 0x042F119Cu);

    data[43] = 0xAA;
    frame.frameLength = frame.capturedLength = 42;
    AddEthernetFcs(frame, FcsBytes::kZeros, Runts::kAsCaptured);
    EXPECT_EQ(frame.capturedLength, 46);
    EXPECT_EQ(LoadLE32(data + 42), 0u);

    data[100] = 0xAA;
    frame.frameLength = 1514;
    frame.capturedLength = 100;
    AddEthernetFcs(frame, FcsBytes::kComputed, Runts::kPadded);
    EXPECT_EQ(frame.frameLength, 1518);
    EXPECT_EQ(frame.capturedLength, 100);
    EXPECT_EQ(data[100], 0xAA);
}

TEST(Checksum, FrameTooLongTakesTheWholeValue) {
    EXPECT_FALSE(FrameTooLong(262148));
    EXPECT_TRUE(FrameTooLong(262149));
    EXPECT_TRUE(FrameTooLong(int64_t{1} << 32));  // would wrap to 0 in 32 bits
    EXPECT_TRUE(FrameTooLong(-1));
}

TEST(TimeBase, LocalDateAndTimeBothWays) {
    // Tests run with TZ=UTC.
    EXPECT_EQ(LocalTimeToUnix(2008, 6, 19, 5, 38, 58), 1213853938u);
    struct tm local {};
    ASSERT_TRUE(UnixToLocalTime(1213853938, &local));
    EXPECT_EQ(local.tm_year + 1900, 2008);
    EXPECT_EQ(local.tm_mon + 1, 6);
    EXPECT_EQ(local.tm_hour, 5);
}

}  // namespace
}  // namespace translator
