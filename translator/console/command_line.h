#pragma once

namespace translator {

// The console face of the translator: converts one file or a folder and
// reports on standard output. Returns the exit status (0, 2 or -1).
int RunCommandLine(int argc, char** argv);

}  // namespace translator
