#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <string>
#include <vector>

#include "meridel/meridel_api.h"
#include "support/bytes.h"

namespace testsupport {

// The Meridel library of this build, loaded and bound by name the way the
// translator does it.
class MeridelExports {
public:
    MeridelExports() : module_(dlopen(TRANSLATOR_BIN_DIR "/libMeridelDLL.so", RTLD_NOW)) {
        create = Bind<decltype(CreateMeridelFile)>("CreateMeridelFile");
        add = Bind<decltype(AddFrameToFile)>("AddFrameToFile");
        update = Bind<decltype(UpdateBasicConfig)>("UpdateBasicConfig");
        close = Bind<decltype(CloseMeridelFile)>("CloseMeridelFile");
        open = Bind<decltype(OpenMeridelFile)>("OpenMeridelFile");
        read = Bind<decltype(ReadFramesFromFile)>("ReadFramesFromFile");
        release = Bind<decltype(FreeMeridelBuffer)>("FreeMeridelBuffer");
        size = Bind<decltype(MeridelBufferSize)>("MeridelBufferSize");
    }
    ~MeridelExports() {
        if (module_ != nullptr) {
            dlclose(module_);
        }
    }
    MeridelExports(const MeridelExports&) = delete;
    MeridelExports& operator=(const MeridelExports&) = delete;

    bool Loaded() const {
        return module_ != nullptr && create && add && update && close && open && read && release &&
               size;
    }

    // Every record of every block of an opened file, as stored.
    std::vector<std::vector<uint8_t>> Blocks(CaptureFileHandle* handle,
                                             std::vector<uint32_t>* counts = nullptr) {
        std::vector<std::vector<uint8_t>> blocks;
        uint32_t count = 0;
        for (uint32_t i = 0; uint8_t* block = read(handle, i, &count); ++i) {
            blocks.emplace_back(block, block + size(block));
            if (counts != nullptr) {
                counts->push_back(count);
            }
            release(block);
        }
        return blocks;
    }

    decltype(&CreateMeridelFile) create = nullptr;
    decltype(&AddFrameToFile) add = nullptr;
    decltype(&UpdateBasicConfig) update = nullptr;
    decltype(&CloseMeridelFile) close = nullptr;
    decltype(&OpenMeridelFile) open = nullptr;
    decltype(&ReadFramesFromFile) read = nullptr;
    decltype(&FreeMeridelBuffer) release = nullptr;
    decltype(&MeridelBufferSize) size = nullptr;

private:
    template <typename F>
    F* Bind(const char* name) {
        return module_ == nullptr ? nullptr : reinterpret_cast<F*>(dlsym(module_, name));
    }

    void* module_;
};

// A FileConfigInfo naming (fileType, fileKind) with a line code and description.
inline FileConfigInfo MeridelConfig(int32_t fileType, int32_t fileKind, int32_t lineCode,
                                    int32_t interfaceCode = 0) {
    FileConfigInfo info{};
    info.fileType = fileType;
    info.fileKind = fileKind;
    info.lineCode = lineCode;
    info.interfaceCode = interfaceCode;
    info.lineRate = 10000000;
    info.startTime = 1200000000;
    return info;
}

// The configuration object as stored, schema-121 shape with the given schema word.
inline Bytes MeridelConfigObject(uint16_t schema, uint16_t extensionLength,
                                 const std::vector<uint8_t>& extension, uint16_t lineCode = 10,
                                 uint16_t interfaceCode = 108) {
    Bytes b;
    b.le16(0xFFFF).le16(schema).le16(12).text("CBasicConfig");
    b.le16(lineCode).le32(1200000000).le32(10000000).le32(0).le16(interfaceCode).le32(7);
    b.le16(extensionLength).append(extension);
    b.zeros(6).u8(13).text("Imported File").u8(0);
    return b;
}

// A whole standard file: header, directory (configuration, frames), the
// configuration object, then the frame stream with one index entry per block.
struct MeridelBlock {
    std::vector<uint8_t> records;
    uint32_t offsetShift = 0;  // added to the stored offset, to point it astray
    uint32_t sizeShift = 0;    // added to the stored size
};

inline Bytes MeridelFile(uint32_t typeCode, const Bytes& config, uint16_t layout,
                         uint32_t recordCount, uint16_t perBlock,
                         const std::vector<MeridelBlock>& blocks) {
    const uint32_t configOffset = 104 + 2 + 16 + 2;
    const uint32_t framesOffset = configOffset + static_cast<uint32_t>(config.size());
    Bytes b;
    b.le32(typeCode).fixedText("hostile", 100).le16(2);
    b.le32(0x80000018).le32(configOffset).le32(5).le32(framesOffset).le16(0);
    b.append(config.data());
    b.le16(layout).le16(25).le32(recordCount).le16(perBlock).le16(0).zeros(16);
    uint32_t offset = 0;
    for (const auto& block : blocks) {
        const auto size = static_cast<uint32_t>(block.records.size());
        b.le32(offset + block.offsetShift).le32(size + block.sizeShift).zeros(16);
        offset += size;
    }
    for (const auto& block : blocks) {
        b.append(block.records);
    }
    return b;
}

}  // namespace testsupport
