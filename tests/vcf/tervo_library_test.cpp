// libTervo.so as a program sees it: loaded from the build's bin folder with
// dlopen and driven through its exports only. The parsers linked here look
// at what it wrote.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <utime.h>

#include <sstream>

#include "parsers/capture_file_parser_factory.h"
#include "parsers/st_capture_file_parser.h"
#include "support/files.h"
#include "support/pcap_builder.h"
#include "support/stavrel_builder.h"
#include "tervo_file.h"

namespace {

using namespace testsupport;

// 2007-07-17 04:46:22 UTC.
constexpr int32_t kStart = 1184647582;

class TervoExports : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = dlopen((std::string(TRANSLATOR_BIN_DIR) + "/libTervo.so").c_str(),
                          RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        Bind(open_, "OpenTervoFile");
        Bind(read_, "ReadTervoFrame");
        Bind(free_, "FreeTervoFrame");
        Bind(close_, "CloseTervoFile");
        Bind(create_, "CreateTervoFile");
        Bind(write_, "WriteTervoFrame");
        Bind(save_, "SaveTervoFile");
    }
    void TearDown() override {
        if (library_ != nullptr) {
            dlclose(library_);
        }
    }

    template <typename F>
    void Bind(F*& function, const char* name) {
        function = reinterpret_cast<F*>(dlsym(library_, name));
        ASSERT_NE(function, nullptr) << name;
    }

    struct Frame {
        uint32_t linkType = TERVO_LINK_ETHERNET;
        uint32_t seconds = 0;
        uint32_t nanoseconds = 0;
        std::vector<uint8_t> data;
        uint32_t flags = TERVO_FLAG_VALID;

        bool operator==(const Frame&) const = default;
    };

    // Creates path with the frames and saves it.
    void Write(const std::string& path, int32_t start, const std::string& description,
               const std::vector<Frame>& frames) {
        TervoFileInfo info{};
        info.startTime = start;
        snprintf(info.description, sizeof info.description, "%s", description.c_str());
        void* handle = create_(path.c_str(), &info);
        ASSERT_NE(handle, nullptr);
        for (const Frame& f : frames) {
            TervoFrame frame{f.linkType,
                             f.seconds,
                             f.nanoseconds,
                             static_cast<uint32_t>(f.data.size()),
                             static_cast<uint32_t>(f.data.size()),
                             0,
                             const_cast<uint8_t*>(f.data.data())};
            ASSERT_EQ(write_(handle, &frame), 1);
        }
        ASSERT_EQ(save_(handle), 1);
    }

    // Every frame of path, or nothing when it does not open.
    std::vector<Frame> Read(const std::string& path, TervoFileInfo* info) {
        *info = TervoFileInfo{};
        std::vector<Frame> frames;
        void* handle = open_(path.c_str(), info);
        if (handle == nullptr) {
            return frames;
        }
        while (TervoFrame* f = read_(handle)) {
            EXPECT_EQ(f->capturedLength, f->originalLength);
            frames.push_back({f->linkType, f->seconds, f->nanoseconds,
                              std::vector<uint8_t>(f->data, f->data + f->capturedLength),
                              f->flags});
            free_(handle, f);
        }
        close_(handle);
        return frames;
    }

    std::unique_ptr<vcf::CVcfStCaptureFileParser> Parse(const std::string& path) {
        vcf::CVcfCaptureFileParserFactory factory;
        std::unique_ptr<vcf::CVcfCaptureFileParser> parser = factory.Create(path);
        return std::unique_ptr<vcf::CVcfStCaptureFileParser>(
            dynamic_cast<vcf::CVcfStCaptureFileParser*>(parser.release()));
    }

    static std::vector<Frame> TenFrames() {
        std::vector<Frame> frames;
        for (uint32_t i = 0; i < 10; ++i) {
            frames.push_back({TERVO_LINK_ETHERNET, i, i == 9 ? 250000000 : i * 1000,
                              RampFrame(60 + i, static_cast<uint8_t>(i))});
        }
        return frames;
    }

    void* library_ = nullptr;
    decltype(OpenTervoFile)* open_ = nullptr;
    decltype(ReadTervoFrame)* read_ = nullptr;
    decltype(FreeTervoFrame)* free_ = nullptr;
    decltype(CloseTervoFile)* close_ = nullptr;
    decltype(CreateTervoFile)* create_ = nullptr;
    decltype(WriteTervoFrame)* write_ = nullptr;
    decltype(SaveTervoFile)* save_ = nullptr;
    TempDir dir_;
};

TEST_F(TervoExports, SavingStoresTheCaptureTimes) {
    const std::string path = dir_.file("ten.tv");
    Write(path, kStart, "ten frames", TenFrames());
    auto parser = Parse(path);
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(parser->GetFormatCode(), "B4");
    EXPECT_EQ(parser->GetNumberOfRecords(), 10u);
    EXPECT_EQ(parser->GetRecordTypeOfSource(0), 4);
    EXPECT_EQ(parser->GetSourceNameOfSlot(0), "Unknown,101/1,Rx");
    EXPECT_EQ(parser->GetCaptureStartTime().ToString(), "04:46:22.000");
    EXPECT_EQ(parser->GetCaptureStopTimestamp(), vcf::CVcfTimestamp(10, 250000000));
    EXPECT_EQ(parser->GetCaptureStopTime().ToString(), "04:46:32.250");
    EXPECT_EQ(parser->GetTriggerPacketNumber(), 0u);
    // The date is the capture's, so that reading the file finds its start.
    EXPECT_NE(parser->GetHeaderString().find("#Date created: Tue Jul 17 04:46:22 2007\n#"),
              std::string::npos)
        << parser->GetHeaderString();
    EXPECT_FALSE(FileExists(path + ".idx"));
}

TEST_F(TervoExports, ReadingGivesBackWhatWasWritten) {
    const std::string path = dir_.file("ten.tv");
    Write(path, kStart, "ten frames", TenFrames());
    TervoFileInfo info;
    EXPECT_EQ(Read(path, &info), TenFrames());
    EXPECT_EQ(info.records, 10u);
    EXPECT_EQ(info.linkType, static_cast<uint32_t>(TERVO_LINK_ETHERNET));
    EXPECT_EQ(info.startTime, kStart);
    EXPECT_STREQ(info.description, "ten frames\n");
    // Reading the file many times holds on to nothing.
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(Read(path, &info).size(), 10u);
    }
}

TEST_F(TervoExports, LinkTypesGoThroughTheLayer2Mode) {
    struct Case {
        uint32_t linkType;
        uint8_t mode;
        uint32_t readBack;
    };
    const Case cases[] = {{TERVO_LINK_UNKNOWN, 0, TERVO_LINK_PPP},
                          {TERVO_LINK_HDLC, 1, TERVO_LINK_HDLC},
                          {TERVO_LINK_PPP, 0, TERVO_LINK_PPP},
                          {TERVO_LINK_RAW_IP, 2, TERVO_LINK_RAW_IP},
                          {TERVO_LINK_ETHERNET, 64, TERVO_LINK_ETHERNET},
                          {TERVO_LINK_ATM, 7, TERVO_LINK_ATM},
                          {TERVO_LINK_FRAME_RELAY, 9, TERVO_LINK_FRAME_RELAY}};
    for (const Case& c : cases) {
        const std::string path = dir_.file("link.tv");
        Write(path, kStart, "", {{c.linkType, 1, 0, RampFrame(20)}});
        auto parser = Parse(path);
        ASSERT_NE(parser, nullptr);
        vcf::CVcfL2ST640MergedRecord record;
        ASSERT_EQ(parser->ReadNextRecord(record), 1u);
        EXPECT_EQ(record.GetLayer2Mode(), c.mode) << c.linkType;
        TervoFileInfo info;
        const std::vector<Frame> frames = Read(path, &info);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(info.linkType, c.readBack) << c.linkType;
        EXPECT_EQ(frames[0].linkType, c.readBack) << c.linkType;
    }
}

TEST_F(TervoExports, TimesBeforeTheStartAndPast2038ComeBackWhole) {
    const std::string path = dir_.file("times.tv");
    const std::vector<Frame> frames = {{TERVO_LINK_PPP, 0xFFFFFFFF, 500000000, RampFrame(8)},
                                       {TERVO_LINK_PPP, 0x80000000, 1, RampFrame(8)},
                                       {TERVO_LINK_PPP, 0, 999999999, RampFrame(8)}};
    Write(path, kStart, "", frames);
    TervoFileInfo info;
    EXPECT_EQ(Read(path, &info), frames);
}

// Sets TZ for one test and puts the test's own back.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST_F(TervoExports, TheStartComesBackInAnyTimeZone) {
    // Central European time with its summer time, and a zone west of UTC.
    for (const char* zone : {"CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0"}) {
        ZoneScope scope(zone);
        // 2007-07-17 22:30 UTC is 00:30 of the next day in summer time, and
        // 2007-01-17 23:59:59 UTC a winter time.
        for (int32_t start : {1184711400, 1169078399, kStart}) {
            const std::string path = dir_.file("zoned.tv");
            Write(path, start, "", {{TERVO_LINK_ETHERNET, 3, 0, RampFrame(20)}});
            TervoFileInfo info;
            ASSERT_EQ(Read(path, &info).size(), 1u);
            EXPECT_EQ(info.startTime, start) << zone;
        }
    }
}

// Stavrel files made byte by byte: a B4 file of Ethernet records.
StavrelFile B4File(const std::string& headerString) {
    StavrelFile file;
    file.formatCode = "B4";
    file.version = "01.00";
    file.recordTypes = {4};
    file.sourceNames = {"POS,101/1,Rx"};
    file.headerString = headerString;
    file.records = NumberedRecords(2, 64, 8);
    for (auto& r : file.records) {
        r.layer2Mode = 66;
    }
    return file;
}

TEST_F(TervoExports, TheStartDateComesFromTheHeaderOrElseTheFileDate) {
    // 2020-03-04 15:00:00 UTC; the start time of day is 09:05:07.042.
    const time_t modified = 1583334000;
    const int32_t midnight = 1583280000;
    const int32_t timeOfDay = 9 * 3600 + 5 * 60 + 7;
    struct Case {
        std::string headerString;
        int32_t start;
    };
    const Case cases[] = {
        {"#Veltrix\n#Date created: Tue Jul 17 23:59:59 2007\n#Next\n", 1184630400 + timeOfDay},
        {"#Date created: Sun Feb  1 00:00:00 2009\n#", 1233446400 + timeOfDay},
        {"#No date\n", midnight + timeOfDay},
        // Without a "#" after it the date is not read.
        {"#Date created: Tue Jul 17 23:59:59 2007\n", midnight + timeOfDay},
        {"#Date created: 32 Jul 2007\n#", midnight + timeOfDay},
        {"#Date created: Jul 17\n#", midnight + timeOfDay},
        {"#Date created: no date at all\n#", midnight + timeOfDay},
    };
    for (const Case& c : cases) {
        const std::string path = dir_.file("dated.tv");
        WriteFile(path, StavrelFileBytes(B4File(c.headerString)));
        const struct utimbuf times = {modified, modified};
        ASSERT_EQ(utime(path.c_str(), &times), 0);
        TervoFileInfo info;
        EXPECT_EQ(Read(path, &info).size(), 2u) << c.headerString;
        EXPECT_EQ(info.startTime, c.start) << c.headerString;
        EXPECT_STREQ(info.description, "built by a test\n");
    }
}

TEST_F(TervoExports, FlagsTellValidityAndErrors) {
    StavrelFile b3;
    b3.recordTypes = {2};
    b3.records = NumberedRecords(4, 30, 5);
    const uint8_t errorBits[] = {0x00, 0x01, 0x02, 0x03};
    for (size_t i = 0; i < 4; ++i) {
        b3.records[i].headerExtra[0] = errorBits[i];
    }
    WriteFile(dir_.file("b3.st"), StavrelFileBytes(b3));
    TervoFileInfo info;
    std::vector<Frame> frames = Read(dir_.file("b3.st"), &info);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].flags, 0x0002u);
    EXPECT_EQ(frames[1].flags, 0x8002u);
    EXPECT_EQ(frames[2].flags, 0x2002u);
    EXPECT_EQ(frames[3].flags, 0xA002u);

    StavrelFile b4 = B4File("#\n");
    b4.records[1].source = 0x85;  // the top bit marks an invalid frame
    WriteFile(dir_.file("b4.st"), StavrelFileBytes(b4));
    frames = Read(dir_.file("b4.st"), &info);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].flags, 0x0002u);
    EXPECT_EQ(frames[1].flags, 0x0001u);
}

TEST_F(TervoExports, FilesItCannotReadAreRefused) {
    TervoFileInfo info{};
    EXPECT_EQ(open_(dir_.file("missing.tv").c_str(), &info), nullptr);
    WriteFile(dir_.file("capture.pcap"),
              PcapFile(0xA1B2C3D4, false, 1, {{1, 0, RampFrame(60), 0}}).data());
    EXPECT_EQ(open_(dir_.file("capture.pcap").c_str(), &info), nullptr);
    StavrelFile empty = B4File("#\n");
    empty.records.clear();
    WriteFile(dir_.file("empty.tv"), StavrelFileBytes(empty));
    EXPECT_EQ(open_(dir_.file("empty.tv").c_str(), &info), nullptr);
    StavrelFile unknownType = B4File("#\n");
    unknownType.recordTypes = {7};
    WriteFile(dir_.file("type7.tv"), StavrelFileBytes(unknownType));
    EXPECT_EQ(open_(dir_.file("type7.tv").c_str(), &info), nullptr);
    EXPECT_EQ(open_(nullptr, &info), nullptr);
    EXPECT_EQ(open_(dir_.file("type7.tv").c_str(), nullptr), nullptr);

    EXPECT_EQ(create_(dir_.file("missing/out.tv").c_str(), &info), nullptr);
    EXPECT_FALSE(FileExists(dir_.file("missing/out.tv")));
    EXPECT_EQ(create_(nullptr, &info), nullptr);
    EXPECT_EQ(read_(nullptr), nullptr);
    EXPECT_EQ(write_(nullptr, nullptr), 0);
    EXPECT_EQ(save_(nullptr), 0);
    free_(nullptr, nullptr);
    close_(nullptr);
}

TEST_F(TervoExports, WritingRefusesFramesWithoutTheirBytes) {
    TervoFileInfo info{};
    void* handle = create_(dir_.file("out.tv").c_str(), &info);
    ASSERT_NE(handle, nullptr);
    TervoFrame frame{TERVO_LINK_ETHERNET, 0, 0, 64, 64, 0, nullptr};
    EXPECT_EQ(write_(handle, &frame), 0);
    EXPECT_EQ(write_(handle, nullptr), 0);
    EXPECT_EQ(save_(handle), 1);
    auto parser = Parse(dir_.file("out.tv"));
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(parser->GetNumberOfRecords(), 0u);
}

TEST_F(TervoExports, TheExportedClassIsThere) {
    // Its default constructor and copy assignment, by their C++ names.
    EXPECT_NE(dlsym(library_, "_ZN15CcapturefiledllC1Ev"), nullptr);
    EXPECT_NE(dlsym(library_, "_ZN15CcapturefiledllaSERKS_"), nullptr);
    // Nothing of the classes behind it is visible.
    EXPECT_EQ(dlsym(library_,
                    "_ZN3vcf28CVcfCaptureFileParserFactory6CreateERKNSt7__cxx1112"
                    "basic_stringIcSt11char_traitsIcESaIcEEE"),
              nullptr);
}

TEST_F(TervoExports, St2tcpdumpReadsWhatTheLibraryWrote) {
    if (!HaveTool("tshark")) {
        GTEST_SKIP() << "tshark is not installed";
    }
    const std::string path = dir_.file("written.tv");
    std::vector<Frame> frames;
    for (uint32_t i = 0; i < 3; ++i) {
        Bytes frame;
        frame.fill(6, static_cast<uint8_t>(0x10 + i)).fill(6, 0x02).be16(0x0800).ramp(50);
        frames.push_back({TERVO_LINK_ETHERNET, 5 + i, 1000 * i, frame.data()});
    }
    Write(path, kStart, "for st2tcpdump", frames);
    int status = -1;
    RunCommand(std::string(TRANSLATOR_BIN_DIR) + "/st2tcpdump " + path + " " +
                   dir_.file("out.pcap") + " >/dev/null",
               &status);
    ASSERT_EQ(status, 0);
    std::istringstream fields(RunCommand("tshark -r " + dir_.file("out.pcap") +
                                         " -T fields -e frame.time_epoch -e frame.len -e eth.dst"
                                         " 2>/dev/null"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(fields, line);) {
        lines.push_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"5.000000000\t64\t10:10:10:10:10:10",
                                               "6.000001000\t64\t11:11:11:11:11:11",
                                               "7.000002000\t64\t12:12:12:12:12:12"}));
}

}  // namespace
