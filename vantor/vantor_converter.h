// Exported interface of libVantorConverter.so: reads Vantor capture files and
// the tester's text listings block by block, and writes Vantor capture files.
// One file is open at a time. ReadFramesFromFile and AddFrameToFile share
// their names, not their signatures, with libMeridelDLL.so: one translation
// unit includes one of the two headers.
#pragma once

#include <stdint.h>

#define VANTOR_EXPORT __attribute__((visibility("default")))

// The library gives its exports the version VANTOR_1. A program that links
// libVantorConverter.so and libMeridelDLL.so together asks for the two shared
// names by version, so each call reaches its own library. Such a program
// links with gold or lld (-fuse-ld=gold): GNU ld 2.40 binds both versions of
// a name to one library, or reports one of them undefined. Code that defines
// the exports (the library, or a program linking its objects)
// defines VANTOR_DEFINES_EXPORTS.
#if defined(__GNUC__) && defined(__ELF__) && !defined(VANTOR_DEFINES_EXPORTS)
#define VANTOR_VERSIONED(name) __asm__("VANTOR_1_" #name)
__asm__(".symver VANTOR_1_ReadFramesFromFile, ReadFramesFromFile@VANTOR_1");
__asm__(".symver VANTOR_1_AddFrameToFile, AddFrameToFile@VANTOR_1");
#else
#define VANTOR_VERSIONED(name)
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VantorFileInfo {
    int32_t kind;  // 7 = ATM cells, 8 = MAC (Ethernet) frames
    int32_t reserved;
    int32_t lineCode;  // 7 = ATM port, 10 = Ethernet port
    int32_t lineRate;  // bit/s
    int32_t secondRate;
    int32_t truncated;    // 1 when a text listing shows abbreviated payloads
    double captureStart;  // seconds since 1970
    char description[100];
    void* reservedPointer1;
    void* reservedPointer2;
} VantorFileInfo;

VANTOR_EXPORT void* OpenVantorFile(const char* path, int* count, VantorFileInfo* info);
VANTOR_EXPORT void* ReadFramesFromFile(void* handle, int block, int* count)
    VANTOR_VERSIONED(ReadFramesFromFile);
VANTOR_EXPORT void* CreateVantorFile(const char* path, int count, VantorFileInfo* info);
VANTOR_EXPORT int AddFrameToFile(void* handle, const unsigned char* item, int length)
    VANTOR_VERSIONED(AddFrameToFile);
VANTOR_EXPORT int CloseVantorFile(void* handle);
VANTOR_EXPORT int printPayloadList(const unsigned char* buffer, int count);
// The library's version, "1.0.0".
VANTOR_EXPORT const char* VantorLibraryVersion(void);

#ifdef __cplusplus
}
#endif
