// The Meridel half of a program that links libMeridelDLL and
// libVantorConverter together: its ReadFramesFromFile and AddFrameToFile
// must reach the Meridel library.
#include <stdio.h>
#include <string.h>
#include <veltrix/meridel_api.h>

#include "sides.h"

// The records of block 0 of a Meridel file, and 1 when they were added to a
// new file as one record; -1 on any failure.
int MeridelSide(const char* source, const char* destination, int* added) {
    FileConfigInfo info;
    memset(&info, 0, sizeof info);
    uint32_t records = 0;
    CaptureFileHandle* file = OpenMeridelFile(source, &records, &info);
    if (file == NULL) {
        return -1;
    }
    uint32_t count = 0;
    uint8_t* block = ReadFramesFromFile(file, 0, &count);
    int result = block != NULL && count > 0 ? (int)count : -1;
    *added = 0;
    if (block != NULL) {
        CaptureFileHandle* copy = CreateMeridelFile(destination, 1, &info);
        if (copy != NULL) {
            *added = AddFrameToFile(copy, block, (uint32_t)MeridelBufferSize(block));
            CloseMeridelFile(copy);
        }
    }
    FreeMeridelBuffer(block);
    FreeMeridelBuffer(info.extension);
    CloseMeridelFile(file);
    return result;
}
