#pragma once

#include <string>
#include <vector>

namespace translator {

bool IsRegularFile(const std::string& path);
bool IsFolder(const std::string& path);
// path with a "/" appended unless it already ends in a separator.
std::string WithSeparator(const std::string& path);

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
