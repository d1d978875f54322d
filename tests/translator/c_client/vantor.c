#include <stddef.h>
#include <string.h>
#include <veltrix/vantor_converter.h>

int VantorRefuses(const char* path) {
    int count = 0;
    VantorFileInfo info;
    memset(&info, 0, sizeof info);
    void* file = OpenVantorFile(path, &count, &info);
    if (file == NULL) {
        return 1;
    }
    CloseVantorFile(file);
    return 0;
}

const char* VantorVersion(void) {
    return VantorLibraryVersion();
}
