// Exported interface of libTervo.so: reads Stavrel B3/B4 capture files frame
// by frame and writes B4 files. The translator includes this header for the
// records and the function types only; it binds the functions by name.
#pragma once

#include <stdint.h>

#define TERVO_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

// Link types of TervoFileInfo and TervoFrame.
enum {
    TERVO_LINK_UNKNOWN = 0,
    TERVO_LINK_HDLC = 1,
    TERVO_LINK_PPP = 2,
    TERVO_LINK_RAW_IP = 3,
    TERVO_LINK_ETHERNET = 4,
    TERVO_LINK_ATM = 5,
    TERVO_LINK_FRAME_RELAY = 6,
};

// Frame flags, the values of the translator's frame record.
enum {
    TERVO_FLAG_INVALID = 0x0001,
    TERVO_FLAG_VALID = 0x0002,
    TERVO_FLAG_OTHER_ERROR = 0x2000,
    TERVO_FLAG_CRC_ERROR = 0x8000,
};

typedef struct TervoFileInfo {
    uint32_t records;
    uint32_t linkType;      // of the first frame
    int32_t startTime;      // seconds since 1970
    char description[300];  // NUL-terminated
} TervoFileInfo;

typedef struct TervoFrame {
    uint32_t linkType;
    uint32_t seconds;  // since the capture start of the file
    uint32_t nanoseconds;
    uint32_t capturedLength;
    uint32_t originalLength;
    uint32_t flags;
    uint8_t* data;  // capturedLength bytes; null when there are none
} TervoFrame;

// The caller passes a zeroed info, which is filled. Null for a file that is
// not B3/B4, has no records or whose first record cannot be read.
TERVO_EXPORT void* OpenTervoFile(const char* fileName, TervoFileInfo* info);
// The next frame, owned by the library until FreeTervoFrame; null at the end.
TERVO_EXPORT TervoFrame* ReadTervoFrame(void* handle);
TERVO_EXPORT void FreeTervoFrame(void* handle, TervoFrame* frame);
// Ends the read handle.
TERVO_EXPORT void CloseTervoFile(void* handle);
// A B4 file starting at the start time of info, with its description.
TERVO_EXPORT void* CreateTervoFile(const char* fileName, TervoFileInfo* info);
TERVO_EXPORT int WriteTervoFrame(void* handle, TervoFrame* frame);
// Finishes the file and ends the write handle.
TERVO_EXPORT int SaveTervoFile(void* handle);
// The library's version, "1.0.0".
TERVO_EXPORT const char* TervoLibraryVersion(void);

#ifdef __cplusplus
}

class TERVO_EXPORT Ccapturefiledll {
public:
    Ccapturefiledll();
    Ccapturefiledll& operator=(const Ccapturefiledll& other);
};
#endif
