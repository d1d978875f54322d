#pragma once

#include <dlfcn.h>

#include <string>

#include "core/settings.h"

namespace translator {

// Opens one of the suite's run-time libraries: from the program's own folder
// first, then through the loader's search path. In each place the versioned
// name (the SONAME, all that an installation without development files has)
// comes before the plain one (all that a copied or stand-in library has).
inline void* OpenSuiteLibrary(const char* versionedName, const char* plainName) {
    const std::string places[] = {ProgramFolder(), std::string()};
    for (const std::string& place : places) {
        for (const char* name : {versionedName, plainName}) {
            if (void* handle = dlopen((place + name).c_str(), RTLD_NOW | RTLD_LOCAL)) {
                return handle;
            }
        }
    }
    return nullptr;
}

}  // namespace translator
