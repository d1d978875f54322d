#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace meridel {

class DiskFile;

// The description of a capture: line, rates, interface and the extension
// block, stored as one archived object in the configuration stream.
class CBasicConfig {
public:
    static constexpr uint16_t kSchema = 121;
    static constexpr uint16_t kLegacySchema = 1;
    // Byte offset of the schema word in the stored object.
    static constexpr size_t kSchemaOffset = 2;

    // Keeps a copy of at least 32 bytes; anything shorter (or null) clears the block.
    void SetExtension(const uint8_t* data, size_t n);
    // The object in its stored form, always in the schema-121 shape.
    std::vector<uint8_t> Store() const;
    // Reads the object at the file's position; false when it is not a whole CBasicConfig.
    bool Load(DiskFile& file);

    uint16_t m_lineCode = 10;
    uint32_t m_startTime = 0;
    uint32_t m_lineRate = 0;
    uint32_t m_lineRate2 = 0;
    uint16_t m_interfaceCode = 401;
    uint32_t m_auxValue = 0;
    std::vector<uint8_t> m_extension;
    uint8_t m_flags[6] = {};
    std::string m_name = "Imported File";
    uint8_t m_tail = 0;
    uint16_t m_schema = kSchema;
};

}  // namespace meridel
