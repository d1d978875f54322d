#pragma once

#include <cstdint>

namespace meridel {

// How the records of a file are cut and which stream ids and schema it uses.
enum class Variant { kLegacyLengthPrefixed, kLengthPrefixed, kLegacyCell, kCell, kBase };

struct FileTypeRow {
    uint32_t typeCode;
    int32_t fileType;
    int32_t fileKind;
    uint16_t recordLayout;
    Variant variant;
};

constexpr int kFileTypeRows = 21;
extern const FileTypeRow FileTypeTable[kFileTypeRows];

// Type code of files that carry no stream directory.
constexpr uint32_t kNoDirectoryTypeCode = 0x2100aa21;
constexpr uint32_t kLanTypeCode = 0x21000721;
constexpr uint32_t kTrellanTypeCode = 0x21001721;

// First row for the (file type, kind) pair a caller names; null when none.
const FileTypeRow* FindFileType(int32_t fileType, int32_t fileKind);
// First row with this stored type code and kind; null when none.
const FileTypeRow* FindTypeCode(uint32_t typeCode, int32_t fileKind);

}  // namespace meridel
