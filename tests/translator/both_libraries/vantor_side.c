// The Vantor half of a program that links libMeridelDLL and
// libVantorConverter together: its ReadFramesFromFile and AddFrameToFile
// must reach the Vantor library.
#include <string.h>
#include <veltrix/vantor_converter.h>

#include "sides.h"

// Writes a MAC capture of three frames through AddFrameToFile and reads it
// back: the items of block 0, or -1 on any failure.
int VantorSide(const char* path, int* added) {
    VantorFileInfo info;
    memset(&info, 0, sizeof info);
    info.kind = 8;
    info.captureStart = 1234567890.0;
    void* file = CreateVantorFile(path, 3, &info);
    if (file == NULL) {
        return -1;
    }
    *added = 0;
    for (int i = 0; i < 3; ++i) {
        // T (6 bytes, 100 ns units since midnight), the item length, the frame.
        unsigned char item[6 + 2 + 64];
        memset(item, 0, sizeof item);
        item[5] = (unsigned char)(i + 1);
        item[7] = 64 + 8;
        memset(item + 8, 0xA0 + i, 64);
        *added += AddFrameToFile(file, item, (int)sizeof item);
    }
    if (CloseVantorFile(file) != 3) {
        return -1;
    }
    int count = 0;
    file = OpenVantorFile(path, &count, &info);
    if (file == NULL) {
        return -1;
    }
    int items = 0;
    const void* block = ReadFramesFromFile(file, 0, &items);
    CloseVantorFile(file);
    return block != NULL ? items : -1;
}
