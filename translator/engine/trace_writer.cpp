#include "trace_writer.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "common/byte_order.h"

namespace translator {

using namespace byte_order;

namespace {

// hh:mm:ss rounded to the nearest second, hours whole: a limit such as
// Domino's 2^32 ticks of 32 us (38:10:38.95) reads as the figure users
// quote, and a frame past it never reads as less than the limit.
std::string Clock(int64_t micros) {
    const int64_t s = (micros + 500000) / 1000000;
    char text[40];
    snprintf(text, sizeof text, "%02" PRId64 ":%02d:%02d", s / 3600, static_cast<int>(s / 60 % 60),
             static_cast<int>(s % 60));
    return text;
}

}  // namespace

bool TraceWriter::Supports(int formatId, const TraceInfo& info) const {
    return HasFormat(Formats(), formatId) && SupportsInterface(formatId, info);
}
bool TraceWriter::SupportsInterface(int, const TraceInfo&) const {
    return true;
}
bool TraceWriter::Create(const std::string&, int, const ConvertOptions&) {
    return true;
}
bool TraceWriter::WriteHeader(const TraceInfo&) {
    return true;
}
bool TraceWriter::WriteFrame(const TraceInfo&, const FrameRecord&) {
    return true;
}
bool TraceWriter::FinishFile(const TraceInfo&) {
    return true;
}
bool TraceWriter::Close() {
    return true;
}

bool TraceWriter::OffsetFits(int formatId, const TraceInfo& info, int64_t offsetMicros,
                             int64_t maxMicros) {
    if (offsetMicros >= 0 && offsetMicros <= maxMicros) {
        return true;
    }
    char text[256];
    if (offsetMicros < 0) {
        snprintf(text, sizeof text,
                 "Frame %" PRId64 " is earlier than the first frame; %s files cannot hold it.\r\n",
                 info.framesRead, FormatName(formatId));
    } else {
        snprintf(text, sizeof text,
                 "Frame %" PRId64 " is %s after the first frame; %s files hold at most %s.\r\n",
                 info.framesRead, Clock(offsetMicros).c_str(), FormatName(formatId),
                 Clock(maxMicros).c_str());
    }
    refusal_ = text;
    return false;
}

bool TraceWriter::LengthFits(int formatId, const TraceInfo& info, int64_t length,
                             int64_t maxLength) {
    if (length <= maxLength) {
        return true;
    }
    char text[256];
    snprintf(text, sizeof text,
             "Frame %" PRId64 " is %" PRId64 " bytes long; %s files hold at most %" PRId64 ".\r\n",
             info.framesRead, length, FormatName(formatId), maxLength);
    refusal_ = text;
    return false;
}

void TraceWriter::ReportCreateFailure(const std::string& path, int error) {
    Sink().AddMessage("Error creating file %s for writing.\r\n(%s)\r\n", OutputName(path).c_str(),
                      strerror(error));
}

bool TraceWriter::PositionFits(const TraceInfo& info, int64_t position) {
    if (position <= int64_t{UINT32_MAX}) {
        return true;
    }
    char text[64];
    snprintf(text, sizeof text, "Error writing frame %" PRId64 "\r\n", info.framesRead);
    refusal_ = text;
    return false;
}

bool FileTraceWriter::Create(const std::string& path, int formatId,
                             const ConvertOptions& convertOptions) {
    Sink().ClearMessages();
    file.Close();
    // A longer path would have been cut by the fixed path fields of the front ends.
    if (path.size() > kMaxOptionText) {
        ReportCreateFailure(path, ENAMETOOLONG);
        return false;
    }
    if (!file.Create(path)) {
        ReportCreateFailure(path, errno);
        return false;
    }
    format = formatId;
    options = &convertOptions;
    checkpoints_.clear();
    return true;
}

bool FileTraceWriter::FinishFile(const TraceInfo&) {
    return file.Commit();
}

bool FileTraceWriter::Close() {
    return file.Close();
}

void FileTraceWriter::Checkpoint() {
    // A cut goes back no further than the last frame end that reached the
    // system: those before it are dropped, while the bytes after it may
    // still be in the buffer or on their way to the disk.
    // Frame ends only grow, so the first two tell whether any can go.
    const int64_t committed = file.Committed();
    if (checkpoints_.size() > 1 && checkpoints_[1] <= committed) {
        const auto reached = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), committed);
        checkpoints_.erase(checkpoints_.begin(), reached - 1);
    }
    checkpoints_.push_back(file.Tell());
}

int64_t FileTraceWriter::CutBack() {
    const bool diskFailed = file.Failed();
    const int64_t kept = file.Kept();
    size_t whole = checkpoints_.size();
    while (whole > 0 && checkpoints_[whole - 1] > kept) {
        --whole;
    }
    if (whole == 0) {
        // Not even the header reached the file: every frame is lost.
        const int64_t lost =
            checkpoints_.empty() ? 0 : static_cast<int64_t>(checkpoints_.size()) - 1;
        checkpoints_.clear();
        return lost;
    }
    const int64_t lost = static_cast<int64_t>(checkpoints_.size() - whole);
    const int64_t end = checkpoints_[whole - 1];
    checkpoints_.resize(whole);
    if (!CutFramesFrom(end)) {
        return lost;
    }
    return diskFailed ? lost + MakeRoom(kept) : lost;
}

void FileTraceWriter::ForgetFramesFrom(int64_t position) {
    while (LastFrameStart() >= position) {
        DropLastFrame();
    }
}

int64_t FileTraceWriter::MakeRoom(int64_t limit) {
    int64_t dropped = 0;
    for (int64_t last = LastFrameStart();
         last >= 0 && file.Tell() + FinishSize() > limit && CutFramesFrom(last);
         last = LastFrameStart()) {
        ++dropped;
    }
    return dropped;
}

bool FileTraceWriter::CutFramesFrom(int64_t position) {
    if (!file.CutBack(position)) {
        return false;
    }
    while (!checkpoints_.empty() && checkpoints_.back() > position) {
        checkpoints_.pop_back();
    }
    if (checkpoints_.empty() || checkpoints_.back() < position) {
        checkpoints_.push_back(position);
    }
    ForgetFramesFrom(position);
    return true;
}

bool FileTraceWriter::WriteBytes(const void* data, int64_t n) {
    return n <= 0 || file.Write(data, static_cast<size_t>(n));
}

bool FileTraceWriter::WriteLE32s(std::span<const uint32_t> values) {
    uint8_t piece[16384];
    while (!values.empty()) {
        const size_t n = std::min(values.size(), sizeof piece / 4);
        for (size_t i = 0; i < n; ++i) {
            StoreLE32(piece + 4 * i, values[i]);
        }
        if (!WriteBytes(piece, static_cast<int64_t>(4 * n))) {
            return false;
        }
        values = values.subspan(n);
    }
    return true;
}

bool FileTraceWriter::WriteZeros(int64_t n) {
    if (n <= 0) {
        return true;
    }
    if (!file.IsOpen()) {
        return false;
    }
    if (!file.WriteZeros(static_cast<size_t>(n))) {
        Sink().AddMessage("Error writing file header.\r\n");
        return false;
    }
    return true;
}

bool FileTraceWriter::PatchHeader(const void* bytes, size_t size, int64_t offset) {
    return file.Seek(offset) && file.Write(bytes, size) && file.Commit();
}

bool BinaryTraceWriter::Create(const std::string& path, int formatId,
                               const ConvertOptions& convertOptions) {
    offsetStream.Close();
    if (!FileTraceWriter::Create(path, formatId, convertOptions)) {
        return false;
    }
    if (convertOptions.offsetFile) {
        offsetStream.Create(path + ".offset");
    }
    return true;
}

bool BinaryTraceWriter::Close() {
    offsetStream.Close();
    return FileTraceWriter::Close();
}

void BinaryTraceWriter::ListOffsets(int64_t offsetInRecord, int count) {
    if (!file.IsOpen()) {
        return;
    }
    const int64_t position = file.Tell() + offsetInRecord;
    for (int i = 0; i < count; ++i) {
        uint8_t entry[4];
        StoreLE32(entry, static_cast<uint32_t>(position + i));
        offsetStream.Write(entry, sizeof entry);
    }
}

}  // namespace translator
