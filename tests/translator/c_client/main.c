// A C program of the kind the development package is for, built against the
// installed headers: it reads the record counts of a Tervo and a Meridel
// capture, asks the Vantor library about a file that is not its own, and
// prints each library's version.
#include <stdio.h>
#include <string.h>
#include <veltrix/meridel_api.h>
#include <veltrix/tervo_file.h>

// In a file of its own: the Vantor header shares export names with Meridel's.
int VantorRefuses(const char* path);
const char* VantorVersion(void);

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s TERVO-FILE MERIDEL-FILE OTHER-FILE\n", argv[0]);
        return 2;
    }
    TervoFileInfo tervo;
    memset(&tervo, 0, sizeof tervo);
    void* tervoFile = OpenTervoFile(argv[1], &tervo);
    if (tervoFile == NULL) {
        return 1;
    }
    CloseTervoFile(tervoFile);

    FileConfigInfo meridel;
    memset(&meridel, 0, sizeof meridel);
    uint32_t meridelRecords = 0;
    CaptureFileHandle* meridelFile = OpenMeridelFile(argv[2], &meridelRecords, &meridel);
    if (meridelFile == NULL) {
        return 1;
    }
    FreeMeridelBuffer(meridel.extension);
    CloseMeridelFile(meridelFile);

    printf("%u %u %d\n", tervo.records, meridelRecords, VantorRefuses(argv[3]));
    printf("%s %s %s\n", TervoLibraryVersion(), MeridelLibraryVersion(), VantorVersion());
    return 0;
}
