#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/trace_reader.h"
#include "engine/trace_writer.h"
#include "meridel_library.h"
#include "meridel_records.h"

namespace translator {

// Reads Trellan and Ostrel files through the Meridel library, one block of
// records at a time.
class AnalyzerTraceReader : public TraceReader {
public:
    ~AnalyzerTraceReader() override { AnalyzerTraceReader::Close(); }

    static constexpr FormatId kFormats[] = {FMT_TL, FMT_OS};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Open(const std::string& path) override;
    void Close() override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool ReadNextFrame() override;

    // Moves on to the next block; false at the end of the file.
    bool FetchBlock();
    void ReleaseBlock();

    MeridelLibrary library_;
    CaptureFileHandle* handle_ = nullptr;
    MeridelRecord shape_ = MeridelRecord::kLayout3;
    uint32_t nextBlock_ = 0;
    uint32_t blockRecords_ = 0;
    uint32_t consumed_ = 0;
    uint64_t recordsFetched_ = 0;  // in all blocks so far
    uint8_t* block_ = nullptr;
    size_t blockSize_ = 0;
    size_t cursor_ = 0;
};

// Writes Trellan and Ostrel files through the Meridel library.
class AnalyzerTraceWriter : public TraceWriter {
public:
    // A frame stream holds at most 65,535 blocks of 100 records.
    static constexpr int64_t kMaxFrames = 6553500;
    // Past this many frames, closing takes long enough to say so.
    static constexpr int64_t kClosingNoticeFrames = 10000;

    ~AnalyzerTraceWriter() override { AnalyzerTraceWriter::Close(); }

    static constexpr FormatId kFormats[] = {FMT_TL, FMT_OS};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Create(const std::string& path, int formatId, const ConvertOptions& options) override;
    bool WriteHeader(const TraceInfo& info) override;
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override;
    bool FinishFile(const TraceInfo& info) override;
    bool Close() override;
    int64_t MaxFrames() const override { return kMaxFrames; }

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    void FillConfig(const TraceInfo& info);
    // Closes the file in the library, which composes what it holds; -1 on failure.
    int32_t CloseHandle();

    MeridelLibrary library_;
    CaptureFileHandle* handle_ = nullptr;
    std::string path_;
    int format_ = FMT_UN;
    const ConvertOptions* options_ = nullptr;
    std::unique_ptr<FileConfigInfo> config_;
    std::unique_ptr<uint8_t[]> extension_;
    std::vector<uint8_t> record_;
};

}  // namespace translator
