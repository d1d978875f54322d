// The exported functions: the Vcf parsers and the B4 writer behind plain
// records and opaque handles. No exception leaves the library.
#include "tervo_file.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "capture_date.h"
#include "parsers/capture_file_parser_factory.h"
#include "parsers/st_capture_file_parser.h"
#include "writers/capture_file_writer.h"

// The documented field order and widths; the data pointer takes its natural
// 8-byte place.
static_assert(sizeof(TervoFileInfo) == 312);
static_assert(offsetof(TervoFileInfo, startTime) == 8);
static_assert(offsetof(TervoFileInfo, description) == 12);
static_assert(offsetof(TervoFrame, flags) == 20);
static_assert(offsetof(TervoFrame, data) == 24);

namespace vcf {

namespace {

constexpr size_t kDescriptionLabelLength = sizeof CVcfCaptureFileWriter::kDescriptionLabel - 1;
constexpr int64_t kSecondsPerDay = 86400;

// What a write handle stands for.
struct TervoWriteHandle {
    std::unique_ptr<CVcfStB4CaptureFileWriter> writer;
    int32_t startSecondOfDay = 0;
    uint32_t lastSeconds = 0;
    uint32_t lastNanoseconds = 0;
};

uint32_t LinkTypeOfMode(uint8_t mode) {
    if (mode == VTX_LAYER2_POS_CISCO_HDLC) {
        return TERVO_LINK_HDLC;
    }
    if (mode == VTX_LAYER2_POS_PPP) {
        return TERVO_LINK_PPP;
    }
    if (mode == VTX_LAYER2_GBE) {
        return TERVO_LINK_RAW_IP;
    }
    if (mode >= 64 && mode <= 76) {
        return TERVO_LINK_ETHERNET;
    }
    if (mode == 7 || mode == 8) {
        return TERVO_LINK_ATM;
    }
    if (mode == 9) {
        return TERVO_LINK_FRAME_RELAY;
    }
    return TERVO_LINK_UNKNOWN;
}

uint8_t ModeOfLinkType(uint32_t linkType) {
    switch (linkType) {
        case TERVO_LINK_HDLC:
            return VTX_LAYER2_POS_CISCO_HDLC;
        case TERVO_LINK_RAW_IP:
            return VTX_LAYER2_GBE;
        case TERVO_LINK_ETHERNET:
            return 64;
        case TERVO_LINK_ATM:
            return 7;
        case TERVO_LINK_FRAME_RELAY:
            return 9;
        default:
            return VTX_LAYER2_POS_PPP;
    }
}

std::unique_ptr<CVcfCaptureRecord> RecordOfType(uint16_t recordType) {
    switch (recordType) {
        case kVcfRecordIPv4K3318BB:
            return std::make_unique<CVcfIPv4K3318BBRecord>();
        case kVcfRecordL2ST640:
            return std::make_unique<CVcfL2ST640Record>();
        case kVcfRecordL2ST640Merged:
            return std::make_unique<CVcfL2ST640MergedRecord>();
        default:
            return nullptr;
    }
}

uint32_t FlagsOf(const CVcfCaptureRecord& record) {
    uint32_t flags = record.IsValid() ? TERVO_FLAG_VALID : TERVO_FLAG_INVALID;
    if (record.GetRecordType() == kVcfRecordIPv4K3318BB && record.GetHeaderExtraLength() > 0) {
        const uint8_t extraFlags = record.GetHeaderExtra()[0];
        flags += (extraFlags & 0x01) != 0 ? TERVO_FLAG_CRC_ERROR : 0;
        flags += (extraFlags & 0x02) != 0 ? TERVO_FLAG_OTHER_ERROR : 0;
    }
    return flags;
}

TervoFrame* ReadFrame(CVcfStCaptureFileParser& parser) {
    std::unique_ptr<CVcfCaptureRecord> record = RecordOfType(parser.GetRecordTypeOfSource(0));
    if (!record || parser.ReadNextRecord(*record) == 0) {
        return nullptr;
    }
    auto frame = std::make_unique<TervoFrame>();
    frame->linkType = LinkTypeOfMode(record->GetLayer2Mode());
    // The record keeps seconds and nanoseconds of one sign; the frame's
    // unsigned fields take the time back with nanoseconds in 0..999999999,
    // so that seconds past 2^31 and times before the start come out whole.
    const int64_t total = int64_t{record->GetSeconds()} * 1000000000 + record->GetNanoseconds();
    int64_t seconds = total / 1000000000;
    int64_t nanoseconds = total % 1000000000;
    if (nanoseconds < 0) {
        seconds -= 1;
        nanoseconds += 1000000000;
    }
    frame->seconds = static_cast<uint32_t>(seconds);
    frame->nanoseconds = static_cast<uint32_t>(nanoseconds);
    frame->capturedLength = static_cast<uint32_t>(std::max(record->GetCapturedLength(), 0));
    frame->originalLength = static_cast<uint32_t>(std::max(record->GetOriginalLength(), 0));
    frame->flags = FlagsOf(*record);
    if (frame->capturedLength > 0) {
        frame->data = new uint8_t[frame->capturedLength];
        memcpy(frame->data, record->GetData(), frame->capturedLength);
    }
    return frame.release();
}

void FreeFrame(TervoFrame* frame) {
    if (frame != nullptr) {
        delete[] frame->data;
        delete frame;
    }
}

void* Open(const char* fileName, TervoFileInfo* info) {
    CVcfCaptureFileParserFactory factory;
    std::unique_ptr<CVcfCaptureFileParser> opened = factory.Create(fileName);
    if (!opened || (opened->GetFormatCode() != "B3" && opened->GetFormatCode() != "B4")) {
        return nullptr;
    }
    std::unique_ptr<CVcfStCaptureFileParser> parser(
        static_cast<CVcfStCaptureFileParser*>(opened.release()));
    if (parser->GetNumberOfRecords() == 0) {
        return nullptr;
    }
    info->records = parser->GetNumberOfRecords();

    // The date of the header, else of the file.
    const std::optional<int64_t> date = CaptureDateOfHeaderString(parser->GetHeaderString());
    int64_t start = date ? *date : LocalMidnightOfFileDate(fileName);
    const CVcfTimeOfDay& startTime = parser->GetCaptureStartTime();
    start += startTime.GetHours() * 3600 + startTime.GetMinutes() * 60 + startTime.GetSeconds();
    info->startTime = static_cast<int32_t>(start);

    // The writers put "#Description: " in front of the text; it is left out.
    const std::string& description = parser->GetDescription();
    const std::string text = description.size() > kDescriptionLabelLength
                                 ? description.substr(kDescriptionLabelLength)
                                 : std::string();
    const size_t length = std::min(text.size(), sizeof info->description - 1);
    memcpy(info->description, text.data(), length);
    info->description[length] = '\0';

    TervoFrame* first = ReadFrame(*parser);
    if (first == nullptr) {
        return nullptr;
    }
    info->linkType = first->linkType;
    FreeFrame(first);
    parser->Rewind();
    return parser.release();
}

void* Create(const char* fileName, const TervoFileInfo* info) {
    // The header keeps the start as a date text and a time of day: the date
    // is the capture's own, so that reading the file gives the start back.
    const int64_t start = info->startTime;
    int64_t onThatDay;
    const int64_t dayStart = LocalDayStart(start, &onThatDay);
    const std::string description(info->description,
                                  strnlen(info->description, sizeof info->description - 1));
    CVcfCaptureFileWriterFactory factory;
    std::unique_ptr<CVcfStCaptureFileWriter> made =
        factory.Create("B4", fileName, description, static_cast<time_t>(onThatDay));
    if (!made || !made->IsOpen() ||
        dynamic_cast<CVcfStB4CaptureFileWriter*>(made.get()) == nullptr) {
        return nullptr;
    }
    auto handle = std::make_unique<TervoWriteHandle>();
    handle->writer.reset(static_cast<CVcfStB4CaptureFileWriter*>(made.release()));
    if (!handle->writer->SetRecordTypeOfSource(0, kVcfRecordL2ST640Merged) ||
        !handle->writer->SetSourceNameOfSlot(0, "Unknown,101/1,Rx")) {
        return nullptr;
    }
    handle->startSecondOfDay =
        static_cast<int32_t>(std::clamp<int64_t>(start - dayStart, 0, kSecondsPerDay - 1));
    return handle.release();
}

bool Write(TervoWriteHandle* handle, const TervoFrame* frame) {
    if (handle->writer == nullptr || frame == nullptr || frame->capturedLength > INT32_MAX) {
        return false;
    }
    if (!handle->writer->WriteHeaderWordRecord(
            0, 0, frame->seconds, frame->nanoseconds, 0, ModeOfLinkType(frame->linkType), 0, 0,
            static_cast<int32_t>(frame->capturedLength), frame->data)) {
        return false;
    }
    handle->lastSeconds = frame->seconds;
    handle->lastNanoseconds = frame->nanoseconds;
    return true;
}

bool Save(std::unique_ptr<TervoWriteHandle> handle) {
    CVcfStB4CaptureFileWriter* writer = handle->writer.get();
    if (writer == nullptr) {
        return false;
    }
    const int64_t s = handle->startSecondOfDay;
    bool ok = writer->SetCaptureStartTime(CVcfTimeOfDay(static_cast<uint16_t>(s / 3600),
                                                        static_cast<uint16_t>((s % 3600) / 60),
                                                        static_cast<uint16_t>((s % 60) * 1000)));
    const uint32_t last = handle->lastSeconds + 1;
    ok = writer->SetCaptureStopTimestamp(last, handle->lastNanoseconds) && ok;
    const int64_t t = s + last;
    const int64_t milliseconds = (t % 60) * 1000 + handle->lastNanoseconds / 1000000;
    ok = writer->SetCaptureStopTime(
             CVcfTimeOfDay(static_cast<uint16_t>(std::min<int64_t>(t / 3600, 23)),
                           static_cast<uint16_t>((t % 3600) / 60),
                           static_cast<uint16_t>(std::min<int64_t>(milliseconds, 59999)))) &&
         ok;
    ok = writer->SetTriggerPacketNumber(0) && ok;
    return writer->FinishAndClose() && ok;
}

}  // namespace
}  // namespace vcf

using vcf::TervoWriteHandle;

extern "C" {

void* OpenTervoFile(const char* fileName, TervoFileInfo* info) {
    if (fileName == nullptr || info == nullptr) {
        return nullptr;
    }
    try {
        return vcf::Open(fileName, info);
    } catch (...) {
        return nullptr;
    }
}

TervoFrame* ReadTervoFrame(void* handle) {
    if (handle == nullptr) {
        return nullptr;
    }
    try {
        return vcf::ReadFrame(*static_cast<vcf::CVcfStCaptureFileParser*>(handle));
    } catch (...) {
        return nullptr;
    }
}

void FreeTervoFrame(void*, TervoFrame* frame) {
    vcf::FreeFrame(frame);
}

void CloseTervoFile(void* handle) {
    // The parser goes with its file: nothing uses the handle afterwards.
    delete static_cast<vcf::CVcfStCaptureFileParser*>(handle);
}

void* CreateTervoFile(const char* fileName, TervoFileInfo* info) {
    if (fileName == nullptr || info == nullptr) {
        return nullptr;
    }
    try {
        return vcf::Create(fileName, info);
    } catch (...) {
        return nullptr;
    }
}

int WriteTervoFrame(void* handle, TervoFrame* frame) {
    if (handle == nullptr) {
        return 0;
    }
    try {
        return vcf::Write(static_cast<TervoWriteHandle*>(handle), frame) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int SaveTervoFile(void* handle) {
    if (handle == nullptr) {
        return 0;
    }
    try {
        return vcf::Save(std::unique_ptr<TervoWriteHandle>(static_cast<TervoWriteHandle*>(handle)))
                   ? 1
                   : 0;
    } catch (...) {
        return 0;
    }
}

const char* TervoLibraryVersion(void) {
    return LIBRARY_VERSION;
}

}  // extern "C"

Ccapturefiledll::Ccapturefiledll() = default;

Ccapturefiledll& Ccapturefiledll::operator=(const Ccapturefiledll&) {
    return *this;
}
