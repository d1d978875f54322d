#include "meridel.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace translator {

namespace {

constexpr const char* kNotFound = "MeridelDLL.DLL is not found, or it is corrupted.\r\n";
constexpr const char* kMissingExport = "Incorrect version of MeridelDLL.DLL (%s not found).\r\n";
constexpr size_t kMaxPath = 1023;

bool IsMeridelInterface(const TraceInfo& info) {
    return info.interfaceType != IF_ARCNET;
}

}  // namespace

bool AnalyzerTraceReader::SupportsInterface(int, const TraceInfo& info) const {
    return IsMeridelInterface(info);
}

bool AnalyzerTraceReader::Open(const std::string& path) {
    if (handle_ != nullptr) {
        Close();
    }
    if (!library_.IsLoaded() && !library_.Load()) {
        Sink().AddMessage("%s", kNotFound);
        return false;
    }
    auto* open = MERIDEL_BIND(library_, OpenMeridelFile);
    auto* release = MERIDEL_BIND(library_, FreeMeridelBuffer);
    if (open == nullptr || release == nullptr) {
        Sink().AddMessage(kMissingExport,
                          open == nullptr ? "OpenMeridelFile" : "FreeMeridelBuffer");
        return false;
    }
    info.Reset();
    FileConfigInfo config{};
    uint32_t records = 0;
    handle_ = open(path.c_str(), &records, &config);
    if (handle_ == nullptr) {
        Close();
        return false;
    }
    release(config.extension);
    info.totalFrames = records;
    nextBlock_ = blockRecords_ = consumed_ = 0;
    recordsFetched_ = 0;
    if (!ConfigToTraceInfo(config, info)) {
        Close();
        return false;
    }
    shape_ = RecordShapeFor(info.format, info);
    return true;
}

void AnalyzerTraceReader::ReleaseBlock() {
    if (block_ != nullptr) {
        if (auto* release = MERIDEL_BIND(library_, FreeMeridelBuffer)) {
            release(block_);
        }
        block_ = nullptr;
    }
    blockSize_ = cursor_ = 0;
}

void AnalyzerTraceReader::Close() {
    ReleaseBlock();
    if (handle_ != nullptr) {
        if (auto* close = MERIDEL_BIND(library_, CloseMeridelFile)) {
            close(handle_);
        }
        handle_ = nullptr;
    }
    library_.Unload();
}

bool AnalyzerTraceReader::FetchBlock() {
    ReleaseBlock();
    auto* read = MERIDEL_BIND(library_, ReadFramesFromFile);
    auto* size = MERIDEL_BIND(library_, MeridelBufferSize);
    if (read == nullptr || size == nullptr) {
        Sink().AddMessage(kMissingExport,
                          read == nullptr ? "ReadFramesFromFile" : "MeridelBufferSize");
        return false;
    }
    uint32_t records = 0;
    block_ = read(handle_, nextBlock_, &records);
    if (block_ == nullptr) {
        // Past the last block null is the end; before it, a failed read.
        if (recordsFetched_ < static_cast<uint64_t>(info.totalFrames)) {
            ReportReadFailure();
            return Damaged("the library cannot read frame %" PRId64 " in block %" PRIu32
                           ", after %" PRIu64 " of the %" PRId64 " records the file announces",
                           info.framesRead + 1, nextBlock_ + 1, recordsFetched_, info.totalFrames);
        }
        return false;
    }
    recordsFetched_ += records;
    blockSize_ = size(block_);
    blockRecords_ = records;
    consumed_ = 0;
    ++nextBlock_;
    return true;
}

bool AnalyzerTraceReader::ReadNextFrame() {
    if (handle_ == nullptr) {
        return false;
    }
    for (;;) {
        if (block_ == nullptr || consumed_ >= blockRecords_) {
            if (!FetchBlock()) {
                return false;
            }
        }
        frame.Reset();
        const ParsedRecord parsed =
            ParseRecord(shape_, block_ + cursor_, blockSize_ - cursor_, info, frame);
        switch (parsed.status) {
            case ParsedRecord::kFrame:
                cursor_ += parsed.size;
                ++consumed_;
                return true;
            case ParsedRecord::kBlockEnd:
                consumed_ = blockRecords_;
                break;
            case ParsedRecord::kTooLong:
                // A frame that cannot be handed out fails the conversion.
                if (shape_ == MeridelRecord::kLayout1) {
                    char text[80];
                    snprintf(text, sizeof text,
                             // Spelled as the library has always printed it.
                             "Frame %d data size exceeds maxiumum bytes allowed.\r\n",
                             static_cast<int>(info.framesRead + 1));
                    ReportReadFailure(text);
                } else {
                    ReportReadFailure();
                }
                return TooLong(static_cast<int64_t>(parsed.size));
        }
    }
}

bool AnalyzerTraceWriter::SupportsInterface(int, const TraceInfo& info) const {
    return IsMeridelInterface(info);
}

bool AnalyzerTraceWriter::Create(const std::string& path, int formatId,
                                 const ConvertOptions& options) {
    Close();
    if (path.size() > kMaxPath) {
        ReportCreateFailure(path, ENAMETOOLONG);
        return false;
    }
    if (!library_.Load()) {
        Sink().AddMessage("%s", kNotFound);
        return false;
    }
    format_ = formatId;
    options_ = &options;
    path_ = path;
    config_ = std::make_unique<FileConfigInfo>();
    memset(config_.get(), 0, sizeof *config_);
    extension_ = std::make_unique<uint8_t[]>(kMeridelExtensionSize);
    return true;
}

void AnalyzerTraceWriter::FillConfig(const TraceInfo& info) {
    TraceInfoToConfig(info, format_, options_->bytes, options_->slice, *config_, extension_.get());
}

bool AnalyzerTraceWriter::WriteHeader(const TraceInfo& info) {
    if (!library_.IsLoaded() || !config_) {
        return false;
    }
    auto* create = MERIDEL_BIND(library_, CreateMeridelFile);
    if (create == nullptr) {
        Sink().AddMessage(kMissingExport, "CreateMeridelFile");
        return false;
    }
    FillConfig(info);
    handle_ = create(path_.c_str(), 0, config_.get());
    if (handle_ == nullptr) {
        Sink().AddMessage("Cannot create file %s.\r\n", OutputName(path_).c_str());
        return false;
    }
    return true;
}

bool AnalyzerTraceWriter::WriteFrame(const TraceInfo& info, const FrameRecord& frame) {
    if (!library_.IsLoaded() || handle_ == nullptr) {
        return false;
    }
    const MeridelRecord shape = RecordShapeFor(format_, info);
    const int64_t offset = (int64_t{frame.seconds} - info.startTime) * 1000000 + frame.microseconds;
    if (CountsTicks(shape) && !OffsetFits(format_, info, offset, kMaxTickOffsetMicros)) {
        return false;
    }
    if (!LengthFits(format_, info, std::max(frame.capturedLength, 0), MaxRecordedLength(shape))) {
        return false;
    }
    if (!BuildRecord(shape, info, frame, record_)) {
        return false;
    }
    auto* add = MERIDEL_BIND(library_, AddFrameToFile);
    if (add == nullptr) {
        Sink().AddMessage(kMissingExport, "AddFrameToFile");
        return false;
    }
    return add(handle_, record_.data(), static_cast<uint32_t>(record_.size())) == 1;
}

int32_t AnalyzerTraceWriter::CloseHandle() {
    auto* close = MERIDEL_BIND(library_, CloseMeridelFile);
    if (close == nullptr) {
        return -1;
    }
    const int32_t result = close(handle_);
    handle_ = nullptr;
    return result;
}

bool AnalyzerTraceWriter::FinishFile(const TraceInfo& info) {
    if (!library_.IsLoaded() || handle_ == nullptr) {
        return false;
    }
    auto* update = MERIDEL_BIND(library_, UpdateBasicConfig);
    if (update == nullptr) {
        return false;
    }
    // The start time and the statistics are final only now.
    FillConfig(info);
    if (update(handle_, config_.get()) == -1) {
        CloseHandle();
        return false;
    }
    if (MERIDEL_BIND(library_, CloseMeridelFile) == nullptr) {
        return false;
    }
    if (info.framesRead > kClosingNoticeFrames) {
        Sink().Progress(info, "Closing file ...");
    }
    return CloseHandle() != -1;
}

bool AnalyzerTraceWriter::Close() {
    // A conversion that failed or was cancelled still hands its file back,
    // so the library releases it and its spool.
    if (handle_ != nullptr) {
        CloseHandle();
        handle_ = nullptr;
    }
    config_.reset();
    extension_.reset();
    library_.Unload();
    return true;
}

}  // namespace translator
