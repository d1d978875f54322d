#include "folders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace translator {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

std::string WithSeparator(const std::string& path) {
    return EndsWithSeparator(path) ? path : path + "/";
}

std::string ConvertedName(const std::string& entryName, const char* suffix) {
    const size_t dot = entryName.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return entryName;
    }
    return entryName.substr(0, dot) + suffix;
}

namespace {

// The entries of folder: its regular files (symbolic links followed) and,
// when subfolders is given, its folders (a link to a folder is not
// followed, which keeps a run out of loops), each sorted by name. False when
// it cannot be listed or holds no entries at all.
bool ReadFolder(const std::string& folder, std::vector<std::string>* files,
                std::vector<std::string>* subfolders) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool anyEntry = false;
    const std::string prefix = WithSeparator(folder);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        anyEntry = true;
        struct stat st {};
        if (IsRegularFile(prefix + name)) {
            files->push_back(name);
        } else if (subfolders != nullptr && lstat((prefix + name).c_str(), &st) == 0 &&
                   S_ISDIR(st.st_mode)) {
            subfolders->push_back(name);
        }
    }
    closedir(dir);
    std::sort(files->begin(), files->end());
    if (subfolders != nullptr) {
        std::sort(subfolders->begin(), subfolders->end());
    }
    return anyEntry;
}

// Adds the files of folder's subfolder below ("a/b/") and of its subfolders.
void AddSubfolder(const std::string& folder, const std::string& below,
                  std::vector<std::string>* names) {
    std::vector<std::string> files;
    std::vector<std::string> subfolders;
    ReadFolder(WithSeparator(folder) + below, &files, &subfolders);
    for (const std::string& file : files) {
        names->push_back(below + file);
    }
    for (const std::string& subfolder : subfolders) {
        AddSubfolder(folder, below + subfolder + "/", names);
    }
}

}  // namespace

bool ListFolderFiles(const std::string& folder, std::vector<std::string>* names, bool recursive) {
    std::vector<std::string> subfolders;
    if (!ReadFolder(folder, names, recursive ? &subfolders : nullptr)) {
        return false;
    }
    for (const std::string& subfolder : subfolders) {
        AddSubfolder(folder, subfolder + "/", names);
    }
    return true;
}

bool CreateFolderWithParents(const std::string& path) {
    if (path.empty() || IsRegularFile(path)) {
        return false;
    }
    auto makeFolder = [](const std::string& p) {
        if (mkdir(p.c_str(), 0777) == 0) {
            return true;
        }
        struct stat st {};
        return errno == EEXIST && stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    };
    if (makeFolder(path)) {
        return true;
    }
    const size_t separator = path.find_last_of("/\\");
    if (separator == std::string::npos || separator == 0) {
        return false;
    }
    return CreateFolderWithParents(path.substr(0, separator)) && makeFolder(path);
}

}  // namespace translator
