#include "formats/hexdump/hexdump.h"

#include <gtest/gtest.h>

#include "support/bytes.h"
#include "support/files.h"

namespace translator {
namespace {

using testsupport::TempDir;

struct HexDump {
    TempDir dir;
    HexDumpWriter writer;
    ConvertOptions options;
    TraceInfo info;
    FrameRecord frame;

    HexDump() {
        info.interfaceType = IF_ETHERNET;
        EXPECT_TRUE(writer.Create(dir.file("out.txt"), FMT_TX, options));
    }
    void SetFrame(uint32_t seconds, uint32_t micros, int length, uint8_t first = 0x20) {
        uint8_t* data = frame.SetData(nullptr, length);
        for (int i = 0; i < length; ++i)
            data[i] = static_cast<uint8_t>(first + i);
        frame.seconds = seconds;
        frame.microseconds = micros;
        frame.frameLength = frame.capturedLength = length;
    }
    std::string Text() {
        writer.Close();
        return testsupport::ReadText(dir.file("out.txt"));
    }
};

TEST(HexDumpWriter, HeaderNamesTheLinkType) {
    struct Case {
        int interfaceType;
        int wanType;
        int linkType;
    };
    const Case cases[] = {{IF_ETHERNET, WAN_NONE, 1},  {IF_TOKEN_RING, WAN_NONE, 6},
                          {IF_ATM_OC3, WAN_NONE, 123}, {IF_802_11, WAN_NONE, 105},
                          {IF_WAN, WAN_PPP, 9},        {IF_WAN, WAN_FRAME_RELAY, 107},
                          {IF_WAN, WAN_SDLC, 1},       {IF_UNKNOWN, WAN_NONE, 1}};
    for (const Case& c : cases) {
        HexDump h;
        h.options.pcapremoveatm = true;  // no effect on the dump
        h.info.interfaceType = c.interfaceType;
        h.info.wanType = c.wanType;
        ASSERT_TRUE(h.writer.WriteHeader(h.info));
        EXPECT_EQ(h.Text(),
                  "# Use text2pcap to generate a libpcap capture file.\r\n"
                  "# text2pcap -a -l " +
                      std::to_string(c.linkType) +
                      " -t \"%m/%d/%Y %H:%M:%S.%f\" inputfile outputfile\r\n");
    }
}

TEST(HexDumpWriter, EthernetFrameLeavesTheFcsOut) {
    HexDump h;
    h.SetFrame(1213853938 - 5 * 3600 - 38 * 60 - 58 + 12 * 3600, 5, 64);  // 12:00:00 UTC
    ASSERT_TRUE(h.writer.WriteFrame(h.info, h.frame));
    EXPECT_EQ(h.Text(),
              "\r\n"
              "06/19/2008 12:00:00.000005\r\n"
              "000000 20 21 22 23 24 25 26 27    28 29 2a 2b 2c 2d 2e 2f      "
              " !\"#$%&'   ()*+,-./\r\n"
              "000010 30 31 32 33 34 35 36 37    38 39 3a 3b 3c 3d 3e 3f      "
              "01234567   89:;<=>?\r\n"
              "000020 40 41 42 43 44 45 46 47    48 49 4a 4b 4c 4d 4e 4f      "
              "@ABCDEFG   HIJKLMNO\r\n"
              "000030 50 51 52 53 54 55 56 57    58 59 5a 5b                  "
              "PQRSTUVW   XYZ[\r\n");
}

TEST(HexDumpWriter, ShortLinesKeepTheCharacterColumn) {
    char line[128];
    const uint8_t bytes[5] = {0x00, 0x41, 0x7e, 0x7f, 0xff};
    int n = FormatDumpLine(line, 0x123456, bytes, 5);
    EXPECT_EQ(std::string(line, n),
              "123456 00 41 7e 7f ff" + std::string(1 + 11 * 3 + 3, ' ') + "     .A~..\r\n");
}

TEST(HexDumpWriter, FramesOfFourBytesOrLessWriteNothing) {
    HexDump h;
    h.SetFrame(100, 0, 4);
    ASSERT_TRUE(h.writer.WriteFrame(h.info, h.frame));
    EXPECT_EQ(h.Text(), "");
}

TEST(HexDumpWriter, ExtendedCommentLine) {
    HexDump h;
    h.options.hexdumpextended = true;
    h.info.interfaceType = IF_WAN;
    h.info.wanType = WAN_HDLC;
    h.info.framesRead = 7;
    h.SetFrame(0, 0, 3, 'a');
    h.frame.flags = FRAME_DIR_EQ | FRAME_CRC_ERROR;
    ASSERT_TRUE(h.writer.WriteFrame(h.info, h.frame));
    EXPECT_EQ(h.Text(),
              "\r\n# 7: EQ CRC Error \r\n01/01/1970 00:00:00.000000\r\n"
              "000000 61 62 63" +
                  std::string(1 + 13 * 3 + 3, ' ') + "     abc\r\n");
}

}  // namespace
}  // namespace translator
