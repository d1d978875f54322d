#include "trace_writer.h"

#include "common/byte_order.h"

namespace translator {

using namespace byte_order;

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

bool FileTraceWriter::Create(const std::string& path, int formatId,
                             const ConvertOptions& convertOptions) {
    Sink().ClearMessages();
    file.Close();
    // A longer path would have been cut by the fixed path fields of the front ends.
    if (path.size() > kMaxOptionText || !file.Create(path)) {
        Sink().AddMessage("Error creating file %s for writing.\r\n", path.c_str());
        return false;
    }
    format = formatId;
    options = &convertOptions;
    return true;
}

bool FileTraceWriter::Close() {
    return file.Close();
}

bool FileTraceWriter::WriteBytes(const void* data, int64_t n) {
    return n <= 0 || file.Write(data, static_cast<size_t>(n));
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

void BinaryTraceWriter::MarkOffsets(int64_t offsetInRecord, int count) {
    if (!file.IsOpen() || !offsetStream.IsOpen()) {
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
