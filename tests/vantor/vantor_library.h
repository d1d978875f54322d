#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "vantor_converter.h"

namespace testsupport {

// The library as a program sees it: loaded from the build's bin folder and
// bound by export name.
class VantorLibrary {
public:
    VantorLibrary() {
        handle_ = dlopen((std::string(TRANSLATOR_BIN_DIR) + "/libVantorConverter.so").c_str(),
                         RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            ADD_FAILURE() << dlerror();
            return;
        }
        Bind(open, "OpenVantorFile");
        Bind(read, "ReadFramesFromFile");
        Bind(create, "CreateVantorFile");
        Bind(add, "AddFrameToFile");
        Bind(close, "CloseVantorFile");
        Bind(print, "printPayloadList");
    }
    ~VantorLibrary() {
        if (handle_ != nullptr) {
            dlclose(handle_);
        }
    }
    VantorLibrary(const VantorLibrary&) = delete;
    VantorLibrary& operator=(const VantorLibrary&) = delete;

    bool loaded() const { return print != nullptr; }

    decltype(&OpenVantorFile) open = nullptr;
    decltype(&ReadFramesFromFile) read = nullptr;
    decltype(&CreateVantorFile) create = nullptr;
    decltype(&AddFrameToFile) add = nullptr;
    decltype(&CloseVantorFile) close = nullptr;
    decltype(&printPayloadList) print = nullptr;

    // Block b as a byte vector, or nothing when the call returned null.
    bool ReadBlock(void* file, int block, std::vector<uint8_t>& items, int& count,
                   size_t itemBytes) {
        const auto* data = static_cast<const uint8_t*>(read(file, block, &count));
        if (data == nullptr) {
            return false;
        }
        items.assign(data, data + itemBytes);
        return true;
    }

private:
    template <typename F>
    void Bind(F& function, const char* name) {
        function = reinterpret_cast<F>(dlsym(handle_, name));
        if (function == nullptr) {
            ADD_FAILURE() << "missing export " << name;
        }
    }

    void* handle_ = nullptr;
};

inline VantorFileInfo MakeInfo(int kind, double start) {
    VantorFileInfo info{};
    info.kind = kind;
    info.captureStart = start;
    return info;
}

}  // namespace testsupport
