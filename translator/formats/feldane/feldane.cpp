#include "feldane.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/byte_order.h"

namespace translator {

using namespace byte_order;

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

void CopyText(char (&field)[256], const std::string& value) {
    const size_t n = std::min(value.size(), sizeof field - 1);
    memcpy(field, value.data(), n);
    field[n] = '\0';
}

bool ReadWholeFile(const std::string& path, std::string* text) {
    InputFile file;
    if (!file.Open(path)) {
        return false;
    }
    const int64_t size = file.Size();
    if (size < 0 || size > feldane::kMaxXmlSize) {
        return false;
    }
    text->resize(static_cast<size_t>(size));
    return file.Read(text->data(), text->size());
}

}  // namespace

size_t AttributeScanner::FindWord(const char* name, size_t from) const {
    const size_t length = strlen(name);
    for (size_t p = from; p + length <= text_.size(); ++p) {
        const bool wordStart = p == 0 || IsBlank(text_[p - 1]);
        if (wordStart && strncasecmp(text_.c_str() + p, name, length) == 0 &&
            (p + length == text_.size() || !IsNameCharacter(text_[p + length]))) {
            return p;
        }
    }
    return std::string::npos;
}

bool AttributeScanner::FindTag(const char* name) {
    const size_t p = FindWord(name, position_);
    if (p == std::string::npos) {
        return false;
    }
    position_ = p + strlen(name);
    return true;
}

bool AttributeScanner::FindAttribute(const char* name, std::string* value) const {
    size_t p = FindWord(name, position_);
    if (p == std::string::npos) {
        return false;
    }
    p += strlen(name);
    while (p < text_.size() && (text_[p] == ' ' || text_[p] == '\t'))
        ++p;
    if (p >= text_.size() || text_[p] != '=') {
        return false;
    }
    ++p;
    while (p < text_.size() && (text_[p] == ' ' || text_[p] == '\t'))
        ++p;
    size_t end;
    if (p < text_.size() && text_[p] == '"') {
        ++p;
        end = text_.find('"', p);
        if (end == std::string::npos)
            end = text_.size();
    } else {
        end = p;
        while (end < text_.size() && text_[end] != '\0' && !IsBlank(text_[end]))
            ++end;
    }
    *value = text_.substr(p, std::min<size_t>(end - p, 255));
    return true;
}

std::string FeldaneXmlPath(const std::string& recording) {
    const size_t separator = recording.find_last_of("/\\");
    const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    size_t cut = recording.rfind('(');
    if (cut == std::string::npos || cut < nameStart) {
        cut = recording.rfind('.');
    }
    if (cut == std::string::npos || cut < nameStart) {
        return recording + ".xml";
    }
    return recording.substr(0, cut) + ".xml";
}

std::vector<SourceInterface> ParseFeldaneInterfaces(const std::string& xml) {
    std::vector<SourceInterface> interfaces;
    AttributeScanner scanner(xml);
    while (scanner.FindTag("<interface")) {
        std::string index;
        if (!scanner.FindAttribute("index", &index) || index.empty() ||
            !std::all_of(index.begin(), index.end(),
                         [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) ||
            index.size() > 3 || std::stoi(index) > 255) {
            continue;
        }
        SourceInterface entry;
        entry.index = std::stoi(index);
        std::string text;
        if (scanner.FindAttribute("name", &text))
            CopyText(entry.name, text);
        if (scanner.FindAttribute("limtype", &text))
            CopyText(entry.limtype, text);
        interfaces.push_back(entry);
    }
    return interfaces;
}

// Walks the blocks of the selected interface and hands out the frames of one
// direction; every length is checked against its block and the file.
class FeldaneReader::DirectionStream {
public:
    DirectionStream(int direction, int index) : direction_(direction), index_(index) {}

    bool Open(const std::string& path) {
        if (!file_.Open(path))
            return false;
        fileSize_ = file_.Size();
        return true;
    }

    // The next frame or time mark of this direction; false at the end, and on
    // damage, which Damage then describes.
    bool Next(FrameRecord& frame) {
        for (;;) {
            if (position_ >= blockEnd_ && !EnterNextBlock()) {
                return false;
            }
            uint8_t head[feldane::FrameRecordHeader::kSize];
            if (!file_.Seek(position_) || !ReadHead(head, 1)) {
                return false;
            }
            const int kind = head[0] & 3;
            int64_t size;
            switch (kind) {
                case feldane::kSkipped:
                    if (!ReadHead(head + 1, 3))
                        return false;
                    size = feldane::kSkippedHeaderSize + (LoadLE32(head) >> 8);
                    break;
                case feldane::kFrame:
                    if (!ReadHead(head + 1, feldane::FrameRecordHeader::kSize - 1))
                        return false;
                    size = feldane::FrameRecordHeader::kSize +
                           LoadLE16(head + feldane::FrameRecordHeader::kCapturedLength);
                    break;
                case feldane::kStatus:
                    size = feldane::kStatusRecordSize;
                    break;
                default:
                    if (!ReadHead(head + 1, feldane::kTimeMarkSize - 1))
                        return false;
                    size = feldane::kTimeMarkSize;
                    break;
            }
            if (position_ + size > blockEnd_) {
                return Fail("the record at offset %" PRId64 " needs %" PRId64
                            " bytes, its block ends %" PRId64 " bytes after its start",
                            position_, size, blockEnd_ - position_);
            }
            position_ += size;
            if (kind == feldane::kFrame && ((head[0] >> 2) & 3) == direction_) {
                return TakeFrame(head, frame);
            }
            if (kind == feldane::kTimeMark) {
                frame.Reset();
                frame.nonData = true;
                frame.seconds = LoadLE32(head + 2);
                SetNanoseconds(frame, LoadLE32(head + 6));
                return true;
            }
        }
    }

    // Why the stream stopped early; empty when it reached the end.
    const std::string& Damage() const { return damage_; }

private:
    static void SetNanoseconds(FrameRecord& frame, uint32_t nanoseconds) {
        frame.microseconds = nanoseconds / 1000;
        frame.nanoseconds = nanoseconds % 1000;
    }

    bool Fail(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char text[256];
        va_list args;
        va_start(args, format);
        vsnprintf(text, sizeof text, format, args);
        va_end(args);
        damage_ = text;
        return false;
    }

    // Reads more bytes of the record at position_.
    bool ReadHead(uint8_t* bytes, size_t n) {
        return file_.Read(bytes, n) ||
               Fail("the file ends inside the record at offset %" PRId64, position_);
    }

    bool TakeFrame(const uint8_t* head, FrameRecord& frame) {
        using feldane::FrameRecordHeader;
        const int32_t captured = LoadLE16(head + FrameRecordHeader::kCapturedLength);
        frame.Reset();
        frame.seconds = LoadLE32(head + FrameRecordHeader::kSeconds);
        SetNanoseconds(frame, LoadLE32(head + FrameRecordHeader::kNanoseconds));
        frame.flags = direction_ == 1 ? FRAME_DIR_LN : FRAME_DIR_EQ;
        frame.capturedLength = captured;
        frame.frameLength =
            std::max<int32_t>(LoadLE16(head + FrameRecordHeader::kFrameLength), captured);
        uint8_t* bytes = frame.SetData(nullptr, captured);
        return file_.Read(bytes, static_cast<size_t>(captured)) ||
               Fail("the file ends inside its %" PRId32 " bytes of data", captured);
    }

    // A recording ends with its end mark, or, lacking one, where a block
    // would start.
    bool EnterNextBlock() {
        int64_t next = blockEnd_;
        for (;;) {
            uint8_t header[feldane::BlockHeader::kSize];
            if (!file_.Seek(next)) {
                return false;
            }
            if (!file_.Read(header, sizeof header)) {
                return file_.Tell() == next ||
                       Fail("the file ends inside the block header at offset %" PRId64, next);
            }
            if (header[feldane::BlockHeader::kIndex] == feldane::kEndIndex) {
                return false;
            }
            const int64_t start = next + feldane::BlockHeader::kSize;
            const int64_t end = start + LoadLE32(header + feldane::BlockHeader::kLength);
            if (end > fileSize_) {
                return Fail("the block at offset %" PRId64 " needs %" PRId64 " bytes, %" PRId64
                            " are left",
                            next, end - start, fileSize_ - start);
            }
            if (end > start && header[feldane::BlockHeader::kIndex] == index_) {
                position_ = start;
                blockEnd_ = end;
                return true;
            }
            next = end;
        }
    }

    InputFile file_;
    int64_t fileSize_ = 0;
    int direction_;
    int index_;
    int64_t position_ = feldane::kFirstBlock;
    int64_t blockEnd_ = feldane::kFirstBlock;
    std::string damage_;
};

FeldaneReader::FeldaneReader() = default;
FeldaneReader::~FeldaneReader() = default;

bool FeldaneReader::SupportsInterface(int, const TraceInfo& info) const {
    return info.interfaceType == IF_ETHERNET || IsAtm(info);
}

const SourceInterface* FeldaneReader::Selected() const {
    for (const auto& entry : interfaces_) {
        if (entry.selected)
            return &entry;
    }
    return nullptr;
}

void FeldaneReader::CarrySelectionOver(std::vector<SourceInterface>& fresh) const {
    for (auto& entry : fresh) {
        for (const auto& old : interfaces_) {
            if (old.selected && strcasecmp(old.name, entry.name) == 0) {
                entry.selected = true;
            }
        }
    }
    bool kept = false;
    for (auto& entry : fresh) {
        entry.selected = entry.selected && !kept;
        kept = kept || entry.selected;
    }
    if (!kept && !fresh.empty()) {
        fresh.front().selected = true;
    }
}

void FeldaneReader::WriteNotes() {
    std::string notes;
    for (const auto& entry : interfaces_) {
        char line[600];
        snprintf(line, sizeof line, "Vexor %d: %s (%s) %s\r\n", entry.index, entry.name,
                 entry.limtype, entry.selected ? " ** Selected for conversion" : "");
        if (notes.size() + strlen(line) > 2043) {
            notes += " ...";
            break;
        }
        notes += line;
    }
    memcpy(info.notes, notes.c_str(), notes.size() + 1);
}

bool FeldaneReader::Open(const std::string& path) {
    info.Reset();
    Close();
    uint8_t magic[2];
    if (!FileTraceReader::Open(path) || !ReadBytes(magic, sizeof magic) ||
        LoadLE16(magic) != feldane::kMagic) {
        Close();
        return false;
    }
    std::string xml;
    std::vector<SourceInterface> fresh;
    if (ReadWholeFile(FeldaneXmlPath(path), &xml)) {
        fresh = ParseFeldaneInterfaces(xml);
    }
    CarrySelectionOver(fresh);
    interfaces_ = std::move(fresh);
    info.format = FMT_FL;
    if (const SourceInterface* selected = Selected()) {
        const bool ethernet = strncasecmp(selected->limtype, "Fast Ethernet", 13) == 0 ||
                              strncasecmp(selected->limtype, "Gigabit Ethernet", 16) == 0;
        info.interfaceType = ethernet ? IF_ETHERNET : IF_ATM;
        info.lineRate = DefaultLineRate(info.interfaceType, 0);
        for (int d = 0; d < 2; ++d) {
            streams_[d] = std::make_unique<DirectionStream>(d + 1, selected->index);
            ended_[d] = !streams_[d]->Open(path);
        }
    }
    WriteNotes();
    for (auto& pending : pending_) {
        pending.Reset();
    }
    return true;
}

void FeldaneReader::Close() {
    for (int d = 0; d < 2; ++d) {
        streams_[d].reset();
        ended_[d] = true;
    }
    FileTraceReader::Close();
}

bool FeldaneReader::Refill(int d) {
    if (ended_[d] || (pending_[d].seconds != 0 && !pending_[d].nonData)) {
        return !ended_[d];
    }
    if (!streams_[d]->Next(pending_[d])) {
        ended_[d] = true;
        pending_[d].Reset();
    }
    return !ended_[d];
}

namespace {

// Compares by seconds, then microseconds, then nanoseconds.
bool Later(const FrameRecord& a, const FrameRecord& b) {
    if (a.seconds != b.seconds)
        return a.seconds > b.seconds;
    if (a.microseconds != b.microseconds)
        return a.microseconds > b.microseconds;
    return a.nanoseconds > b.nanoseconds;
}

}  // namespace

bool FeldaneReader::ReadNextFrame() {
    frame.Reset();
    for (;;) {
        const bool live1 = Refill(0);
        const bool live2 = Refill(1);
        int chosen = -1;
        if (live1 && live2) {
            const FrameRecord& a = pending_[0];
            const FrameRecord& b = pending_[1];
            if (!a.nonData && !Later(a, b)) {
                chosen = 0;
            } else if (!b.nonData && !Later(b, a)) {
                chosen = 1;
            }
        } else if (live1 || live2) {
            const int d = live1 ? 0 : 1;
            if (!pending_[d].nonData)
                chosen = d;
        } else {
            // A direction that met damage ended early; the other one has
            // handed out every frame before it.
            for (const auto& stream : streams_) {
                if (stream && !stream->Damage().empty()) {
                    return Damaged("frame %" PRId64 " cannot be read: %s", info.framesRead + 1,
                                   stream->Damage().c_str());
                }
            }
            return false;
        }
        if (chosen >= 0) {
            frame.CopyFrom(pending_[chosen]);
            pending_[chosen].seconds = 0;
            return true;
        }
    }
}

}  // namespace translator
