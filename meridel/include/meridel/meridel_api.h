#pragma once

// The plain-C interface of libMeridelDLL.so, shared by the library and every
// program that loads it, so that both sides agree on each record and signature.
// ReadFramesFromFile and AddFrameToFile share their names, not their
// signatures, with libVantorConverter.so: one translation unit includes one
// of the two headers.
#include <stddef.h>
#include <stdint.h>

#define MERIDEL_EXPORT __attribute__((visibility("default")))

// The library gives its exports the version MERIDEL_1. A program that links
// libMeridelDLL.so and libVantorConverter.so together asks for the two shared
// names by version, so each call reaches its own library. Such a program
// links with gold or lld (-fuse-ld=gold): GNU ld 2.40 binds both versions of
// a name to one library, or reports one of them undefined. Code that defines
// the exports (the library, a stand-in for it, or a program linking its objects)
// defines MERIDEL_DEFINES_EXPORTS.
#if defined(__GNUC__) && defined(__ELF__) && !defined(MERIDEL_DEFINES_EXPORTS)
#define MERIDEL_VERSIONED(name) __asm__("MERIDEL_1_" #name)
__asm__(".symver MERIDEL_1_ReadFramesFromFile, ReadFramesFromFile@MERIDEL_1");
__asm__(".symver MERIDEL_1_AddFrameToFile, AddFrameToFile@MERIDEL_1");
#else
#define MERIDEL_VERSIONED(name)
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Describes a capture file: filled by the caller for Create and Update, by the
// library for Open. The caller allocates it.
typedef struct FileConfigInfo {
    int32_t fileType;
    int32_t fileKind;
    int32_t lineCode;
    int32_t interfaceCode;
    uint32_t lineRate;
    uint32_t lineRate2;
    uint32_t startTime;
    uint32_t auxValue;
    char description[100];
    int32_t extensionLength;
    // Opened files: a copy owned by the caller, released with FreeMeridelBuffer.
    uint8_t* extension;
} FileConfigInfo;

// Opaque: owned by the library from Create or Open until Close.
typedef struct CaptureFileHandle CaptureFileHandle;

MERIDEL_EXPORT CaptureFileHandle* CreateMeridelFile(const char* path, uint32_t expectedFrames,
                                                    FileConfigInfo* info);
// 1 when the record was added, 0 otherwise.
MERIDEL_EXPORT int32_t AddFrameToFile(CaptureFileHandle* handle, const uint8_t* data,
                                      uint32_t length) MERIDEL_VERSIONED(AddFrameToFile);
// 0, or -1 on failure.
MERIDEL_EXPORT int32_t UpdateBasicConfig(CaptureFileHandle* handle, FileConfigInfo* info);
// Records added (0 for opened files), or -1 on failure.
MERIDEL_EXPORT int32_t CloseMeridelFile(CaptureFileHandle* handle);
MERIDEL_EXPORT CaptureFileHandle* OpenMeridelFile(const char* path, uint32_t* recordCount,
                                                  FileConfigInfo* info);
// Block `block` as stored; its record count in *recordCount. Released with FreeMeridelBuffer.
MERIDEL_EXPORT uint8_t* ReadFramesFromFile(CaptureFileHandle* handle, uint32_t block,
                                           uint32_t* recordCount)
    MERIDEL_VERSIONED(ReadFramesFromFile);
// Releases a block or extension copy handed out by the library; null is ignored.
MERIDEL_EXPORT void FreeMeridelBuffer(void* buffer);
// Byte size of a buffer handed out by the library, so that a caller never
// parses past the end of a block; 0 for null.
MERIDEL_EXPORT size_t MeridelBufferSize(const void* buffer);
// The library's version, "1.0.0".
MERIDEL_EXPORT const char* MeridelLibraryVersion(void);

#ifdef __cplusplus
}  // extern "C"

// Checked where the library is built; C99 has no static assertions.
static_assert(offsetof(FileConfigInfo, description) == 32, "FileConfigInfo layout");
static_assert(offsetof(FileConfigInfo, extensionLength) == 132, "FileConfigInfo layout");
static_assert(sizeof(char*) != 8 || offsetof(FileConfigInfo, extension) == 136,
              "FileConfigInfo layout");
#endif
