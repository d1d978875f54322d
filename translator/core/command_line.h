#pragma once

#include <string>
#include <vector>

#include "convert_options.h"
#include "engine.h"

namespace translator {

// The console face of the translator: converts one file or a folder and
// reports on standard output. Returns the exit status (0, 2 or -1).
int RunCommandLine(int argc, char** argv);

// Creates a folder and any missing parents; false when path names a file or
// a folder cannot be made.
bool CreateFolderWithParents(const std::string& path);

// Destination file name of a folder run: the entry's name with everything
// from its last "." replaced by suffix; names without a "." stay as they are.
std::string ConvertedName(const std::string& entryName, const char* suffix);

// Regular files of a folder (symbolic links followed), sorted by name;
// recursive adds those of its subfolders (links to folders are not
// followed) as paths below folder, each folder's files before its
// subfolders. False when the folder cannot be listed or holds no entries at
// all.
bool ListFolderFiles(const std::string& folder, std::vector<std::string>* names,
                     bool recursive = false);

}  // namespace translator
