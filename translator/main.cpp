#include <cstdio>

#include "console/command_line.h"
#ifdef TRANSLATOR_GUI
#include "ui/main_window.h"
#endif

int main(int argc, char** argv) {
    if (argc > 1) {
        return translator::RunCommandLine(argc, argv);
    }
#ifdef TRANSLATOR_GUI
    return translator::ui::RunWindow(argc, argv);
#else
    printf("The translator window is not available in this build.\r\n");
    return -1;
#endif
}
