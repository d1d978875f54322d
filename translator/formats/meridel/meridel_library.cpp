#include "meridel_library.h"

#include <string>

#include "core/settings.h"

namespace translator {

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
