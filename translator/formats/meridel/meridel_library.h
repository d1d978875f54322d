#pragma once

#include <dlfcn.h>

#include "meridel/meridel_api.h"

namespace translator {

// The Meridel library loaded at run time: from the program's own folder
// first, then through the loader's search path.
class MeridelLibrary {
public:
    static constexpr const char* kVersionedName = "libMeridelDLL.so.1";
    static constexpr const char* kFileName = "libMeridelDLL.so";

    MeridelLibrary() = default;
    ~MeridelLibrary() { Release(); }
    MeridelLibrary(const MeridelLibrary&) = delete;
    MeridelLibrary& operator=(const MeridelLibrary&) = delete;

    bool Load();
    void Release();
    bool IsLoaded() const { return module_ != nullptr; }

    // The export `name`, looked up at this moment; null when the library lacks it.
    template <typename Function>
    Function* Bind(const char* name) const {
        return module_ == nullptr ? nullptr : reinterpret_cast<Function*>(dlsym(module_, name));
    }

private:
    void* module_ = nullptr;
};

// Looks an export up by its own name, typed by its declaration.
#define MERIDEL_BIND(library, export_name) (library).Bind<decltype(export_name)>(#export_name)

}  // namespace translator
