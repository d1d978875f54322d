#include <cstdio>

#include "core/command_line.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        return translator::RunCommandLine(argc, argv);
    }
    printf("The translator window is not available in this build.\r\n");
    return -1;
}
