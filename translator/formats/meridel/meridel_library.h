#pragma once

#include "engine/shared_library.h"
#include "meridel/meridel_api.h"

namespace translator {

// The Meridel library ("MeridelDLL").
class MeridelLibrary : public SuiteLibrary {
public:
    MeridelLibrary() : SuiteLibrary("libMeridelDLL.so.1", "libMeridelDLL.so") {}
};

// Looks an export up by its own name, typed by its declaration.
#define MERIDEL_BIND(library, export_name) (library).Bind<decltype(export_name)>(#export_name)

}  // namespace translator
