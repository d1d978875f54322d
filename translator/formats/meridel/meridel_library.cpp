#include "meridel_library.h"

#include "core/shared_library.h"

namespace translator {

bool MeridelLibrary::Load() {
    Release();
    module_ = OpenSuiteLibrary(kVersionedName, kFileName);
    return module_ != nullptr;
}

void MeridelLibrary::Release() {
    if (module_ != nullptr) {
        dlclose(module_);
        module_ = nullptr;
    }
}

}  // namespace translator
