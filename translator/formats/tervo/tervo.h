#pragma once

#include <cstdint>
#include <string>

#include "engine/shared_library.h"
#include "engine/trace_reader.h"
#include "engine/trace_writer.h"

namespace translator {

// The library that reads and writes Tervo files ("Tervo.dll").
class TervoLibrary : public SuiteLibrary {
public:
    TervoLibrary() : SuiteLibrary("libTervo.so.1", "libTervo.so") {}
};

// Tervo files through the library's read functions.
class TervoReader : public TraceReader {
public:
    ~TervoReader() override { TervoReader::Close(); }

    static constexpr FormatId kFormats[] = {FMT_TV};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Open(const std::string& path) override;
    void Close() override;

private:
    bool ReadNextFrame() override;

    // Ends the read handle; false when the library cannot close it.
    bool CloseHandle();

    TervoLibrary library_;
    void* handle_ = nullptr;
    int32_t linkType_ = 0;
    int64_t framesConsumed_ = 0;
};

// Tervo files through the library's write functions. The library file is
// created once the capture's start time is known: at the header when the
// source states it, else at the first frame.
class TervoWriter : public TraceWriter {
public:
    // The library stores one length for the line and the bytes.
    bool HoldsEmptyFrames() const override { return false; }
    ~TervoWriter() override { TervoWriter::Close(); }

    static constexpr FormatId kFormats[] = {FMT_TV};
    std::span<const FormatId> Formats() const override { return kFormats; }
    bool Create(const std::string& path, int formatId, const ConvertOptions& options) override;
    bool WriteHeader(const TraceInfo& info) override;
    bool WriteFrame(const TraceInfo& info, const FrameRecord& frame) override;
    bool FinishFile(const TraceInfo& info) override;
    // Saves a file that was not finished, so that what was written stays readable.
    bool Close() override;

protected:
    bool SupportsInterface(int formatId, const TraceInfo& info) const override;

private:
    bool CreateFile(const TraceInfo& info, uint32_t startTime);
    bool Save();

    TervoLibrary library_;
    std::string path_;
    int format_ = FMT_UN;
    const ConvertOptions* options_ = nullptr;
    void* handle_ = nullptr;
    int32_t linkType_ = 0;
    bool createPending_ = false;
    // The start the library file was created with; frame times count from it.
    uint32_t startTime_ = 0;
};

}  // namespace translator
