// A libTervo.so of another version: its read and write functions are there,
// OpenTervoFile and CreateTervoFile are not.
#include "tervo_file.h"

extern "C" {

TervoFrame* ReadTervoFrame(void*) {
    return nullptr;
}
void FreeTervoFrame(void*, TervoFrame*) {}
void CloseTervoFile(void*) {}
int WriteTervoFrame(void*, TervoFrame*) {
    return 0;
}
int SaveTervoFile(void*) {
    return 0;
}

}  // extern "C"
