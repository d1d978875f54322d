// A C99 program linked against libMeridelDLL and libVantorConverter, which
// export ReadFramesFromFile and AddFrameToFile under the same names with
// different signatures. Each half calls them and prints what its library
// answered: "meridel RECORDS ADDED" and "vantor ITEMS ADDED".
#include <stdio.h>

#include "sides.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s MERIDEL-FILE MERIDEL-COPY VANTOR-FILE\n", argv[0]);
        return 2;
    }
    int meridelAdded = 0;
    int vantorAdded = 0;
    const int records = MeridelSide(argv[1], argv[2], &meridelAdded);
    const int items = VantorSide(argv[3], &vantorAdded);
    // The Vantor library prints its block sizes on standard output.
    fprintf(stderr, "meridel %d %d\nvantor %d %d\n", records, meridelAdded, items, vantorAdded);
    return records > 0 && meridelAdded == 1 && items == 3 && vantorAdded == 3 ? 0 : 1;
}
