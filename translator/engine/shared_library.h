#pragma once

#include <dlfcn.h>

#include <string>

namespace translator {

// Path of the running program.
std::string ProgramPath();
// Folder of the running program with its trailing '/', where the run-time
// libraries are looked for first; empty when the path is unknown.
std::string ProgramFolder();

// One of the suite's run-time libraries, loaded when a reader or writer
// first needs it and released when that one closes. It is looked for in the
// program's own folder first, then through the loader's search path; in each
// place the versioned name (the SONAME, all that an installation without
// development files has) comes before the plain one (all that a copied or
// stand-in library has).
class SuiteLibrary {
public:
    SuiteLibrary(const char* versionedName, const char* plainName)
        : versionedName_(versionedName), plainName_(plainName) {}
    ~SuiteLibrary() { Unload(); }
    SuiteLibrary(const SuiteLibrary&) = delete;
    SuiteLibrary& operator=(const SuiteLibrary&) = delete;

    // True when the library is loaded, already or now.
    bool Load();
    void Unload();
    bool IsLoaded() const { return handle_ != nullptr; }
    // The export name, looked up at this moment as a function of type
    // Function; null when the library is not loaded or lacks it.
    template <typename Function>
    Function* Bind(const char* name) const {
        return handle_ == nullptr ? nullptr : reinterpret_cast<Function*>(dlsym(handle_, name));
    }

private:
    const char* versionedName_;
    const char* plainName_;
    void* handle_ = nullptr;
};

}  // namespace translator
