// The exported functions: plain C, every failure a return value, no
// exception past this file.
#include <cstring>
#include <memory>

#include "buffers.h"
#include "common/byte_order.h"
#include "disk_file.h"
#include "file_types.h"
#include "meridel/meridel_api.h"
#include "meridel_file.h"

struct CaptureFileHandle {
    std::unique_ptr<meridel::DiskFile> file;
    std::unique_ptr<meridel::CMeridelFile> format;
    int32_t writing = 0;
    uint32_t framesAdded = 0;
};

namespace {

using namespace byte_order;
using namespace meridel;

constexpr int kDefaultKey = 10;
constexpr size_t kHeaderProbe = 104;

CaptureFileHandle* Create(const char* path, uint32_t expectedFrames, FileConfigInfo* info) {
    if (path == nullptr || info == nullptr) {
        return nullptr;
    }
    const FileTypeRow* row = FindFileType(info->fileType, info->fileKind);
    if (row == nullptr) {
        return nullptr;
    }
    auto handle = std::make_unique<CaptureFileHandle>();
    handle->file = std::make_unique<DiskFile>();
    if (!handle->file->Create(path)) {
        return nullptr;
    }
    handle->format = MakeFormatObject(*row, *handle->file, info->lineCode);
    char description[sizeof info->description + 1] = {};
    memcpy(description, info->description, sizeof info->description);
    if (!handle->format->Begin(row->typeCode, expectedFrames == 0 ? 1 : expectedFrames, description,
                               kFrameStream, kConfigStream) ||
        !handle->format->ApplyInfo(*info)) {
        // Nothing usable was made: leave no empty output behind.
        handle->format.reset();
        handle->file->Abort();
        RemoveFile(path);
        return nullptr;
    }
    handle->writing = 1;
    return handle.release();
}

int32_t Close(CaptureFileHandle* handle) {
    std::unique_ptr<CaptureFileHandle> owned(handle);
    const bool empty = handle->writing != 0 && handle->framesAdded == 0;
    int32_t result = 0;
    if (empty) {
        handle->format->Discard();
    } else {
        if (handle->writing != 0) {
            handle->format->SetFrameCount(handle->framesAdded);
        }
        result = handle->format->Finish() ? static_cast<int32_t>(handle->framesAdded) : -1;
    }
    const std::string path = handle->file->Path();
    handle->format.reset();
    handle->file->Abort();
    if (empty) {
        RemoveFile(path);
    }
    return result;
}

CaptureFileHandle* Open(const char* path, uint32_t* recordCount, FileConfigInfo* info) {
    auto handle = std::make_unique<CaptureFileHandle>();
    handle->file = std::make_unique<DiskFile>();
    uint8_t header[kHeaderProbe];
    if (!handle->file->OpenRead(path) || !handle->file->Read(header, sizeof header)) {
        return nullptr;
    }
    const uint32_t typeCode = LoadLE32(header);
    const FileTypeRow* row = FindTypeCode(typeCode, 0);
    if (row == nullptr) {
        row = FindTypeCode(typeCode, 3);
    }
    if (row == nullptr) {
        return nullptr;
    }
    handle->format = MakeFormatObject(*row, *handle->file, 0);
    if (!handle->format->BeginDefault(0, kDefaultKey, "", kFrameStream, kConfigStream)) {
        return nullptr;
    }
    const CBasicConfig& config = handle->format->Config();
    uint8_t* extension = nullptr;
    if (!config.m_extension.empty()) {
        extension = AllocateBuffer(config.m_extension.size());
        if (extension == nullptr) {
            return nullptr;
        }
        memcpy(extension, config.m_extension.data(), config.m_extension.size());
    }
    *recordCount = handle->format->RecordCount();
    info->fileType = row->fileType;
    info->fileKind = row->fileKind;
    info->lineCode = config.m_lineCode;
    info->interfaceCode = config.m_interfaceCode;
    info->lineRate = config.m_lineRate;
    info->lineRate2 = config.m_lineRate2;
    info->startTime = config.m_startTime;
    info->auxValue = config.m_auxValue;
    const char* description = handle->format->Description();
    memset(info->description, 0, sizeof info->description);
    memcpy(info->description, description, strnlen(description, sizeof info->description - 1));
    info->extensionLength = static_cast<int32_t>(config.m_extension.size());
    info->extension = extension;
    return handle.release();
}

}  // namespace

extern "C" {

MERIDEL_EXPORT CaptureFileHandle* CreateMeridelFile(const char* path, uint32_t expectedFrames,
                                                    FileConfigInfo* info) {
    try {
        return Create(path, expectedFrames, info);
    } catch (...) {
        return nullptr;
    }
}

MERIDEL_EXPORT int32_t AddFrameToFile(CaptureFileHandle* handle, const uint8_t* data,
                                      uint32_t length) {
    // A frame stream holds at most kMaxRecords; refusing more tells the caller.
    if (handle == nullptr || handle->format == nullptr || data == nullptr || length == 0 ||
        handle->framesAdded >= kMaxRecords) {
        return 0;
    }
    try {
        if (!handle->format->AddRecord(data, length)) {
            return 0;
        }
        ++handle->framesAdded;
        return 1;
    } catch (...) {
        return 0;
    }
}

MERIDEL_EXPORT int32_t UpdateBasicConfig(CaptureFileHandle* handle, FileConfigInfo* info) {
    if (handle == nullptr || handle->format == nullptr || info == nullptr) {
        return -1;
    }
    try {
        return handle->format->ApplyInfo(*info) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

MERIDEL_EXPORT int32_t CloseMeridelFile(CaptureFileHandle* handle) {
    if (handle == nullptr) {
        return -1;
    }
    try {
        return Close(handle);
    } catch (...) {
        return -1;
    }
}

MERIDEL_EXPORT CaptureFileHandle* OpenMeridelFile(const char* path, uint32_t* recordCount,
                                                  FileConfigInfo* info) {
    if (path == nullptr || recordCount == nullptr || info == nullptr) {
        return nullptr;
    }
    *recordCount = 0;
    try {
        return Open(path, recordCount, info);
    } catch (...) {
        return nullptr;
    }
}

MERIDEL_EXPORT uint8_t* ReadFramesFromFile(CaptureFileHandle* handle, uint32_t block,
                                           uint32_t* recordCount) {
    if (handle == nullptr || handle->format == nullptr || recordCount == nullptr ||
        handle->writing != 0) {
        return nullptr;
    }
    try {
        return handle->format->ReadBlock(block, recordCount);
    } catch (...) {
        return nullptr;
    }
}

MERIDEL_EXPORT void FreeMeridelBuffer(void* buffer) {
    ReleaseBuffer(buffer);
}

MERIDEL_EXPORT size_t MeridelBufferSize(const void* buffer) {
    return BufferSize(buffer);
}

MERIDEL_EXPORT const char* MeridelLibraryVersion(void) {
    return LIBRARY_VERSION;
}

}  // extern "C"
