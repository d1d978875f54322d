#include "meridel_library.h"

#include <unistd.h>

#include <string>

namespace translator {

namespace {

std::string ProgramFolder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return {};
    }
    const std::string program(path, static_cast<size_t>(n));
    const size_t slash = program.find_last_of('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

}  // namespace

bool MeridelLibrary::Load() {
    Release();
    const std::string folder = ProgramFolder();
    if (!folder.empty()) {
        module_ = dlopen((folder + kFileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (module_ == nullptr) {
        module_ = dlopen(kFileName, RTLD_NOW | RTLD_LOCAL);
    }
    return module_ != nullptr;
}

void MeridelLibrary::Release() {
    if (module_ != nullptr) {
        dlclose(module_);
        module_ = nullptr;
    }
}

}  // namespace translator
