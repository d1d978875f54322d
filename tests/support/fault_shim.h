#pragma once

// Shared by the fault-injecting stand-ins for the run-time libraries: each
// forwards to the real library named by FAULT_REAL_LIBRARY and makes the
// function named by FAULT_FUNCTION fail once it has been called FAULT_AFTER
// times.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace testsupport {

inline void* RealLibrary() {
    static void* const handle = [] {
        const char* path = std::getenv("FAULT_REAL_LIBRARY");
        return path != nullptr ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
    }();
    return handle;
}

template <typename Function>
Function* RealFunction(const char* name) {
    void* library = RealLibrary();
    if (library == nullptr) {
        std::abort();
    }
    return reinterpret_cast<Function*>(dlsym(library, name));
}

// Whether this call of function is one that fails.
inline bool InjectFault(const char* function) {
    const char* target = std::getenv("FAULT_FUNCTION");
    const char* after = std::getenv("FAULT_AFTER");
    if (target == nullptr || std::strcmp(target, function) != 0) {
        return false;
    }
    static long calls = 0;
    return ++calls > (after != nullptr ? std::atol(after) : 0);
}

}  // namespace testsupport
