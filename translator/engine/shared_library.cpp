#include "shared_library.h"

#include <unistd.h>

#include <vector>

namespace translator {

std::string ProgramPath() {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

std::string ProgramFolder() {
    const std::string program = ProgramPath();
    const size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

bool SuiteLibrary::Load() {
    const std::string places[] = {ProgramFolder(), std::string()};
    for (const std::string& place : places) {
        for (const char* name : {versionedName_, plainName_}) {
            if (handle_ == nullptr) {
                handle_ = dlopen((place + name).c_str(), RTLD_NOW | RTLD_LOCAL);
            }
        }
    }
    return handle_ != nullptr;
}

void SuiteLibrary::Unload() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

}  // namespace translator
