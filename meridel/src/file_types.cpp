#include "file_types.h"

namespace meridel {

const FileTypeRow FileTypeTable[kFileTypeRows] = {
    {0x21000021, 1, 2, 3, Variant::kLegacyLengthPrefixed},
    {0x21000121, 3, 2, 3, Variant::kLegacyLengthPrefixed},
    {0x21000221, 2, 2, 3, Variant::kLegacyLengthPrefixed},
    {0x21000321, 4, 2, 3, Variant::kLegacyLengthPrefixed},
    {0x21000421, 5, 2, 3, Variant::kLegacyLengthPrefixed},
    {0x21000c21, 12, 2, 3, Variant::kLegacyLengthPrefixed},
    {0x21000b21, 11, 2, 3, Variant::kLegacyLengthPrefixed},
    {0x21000d21, 1, 3, 3, Variant::kLengthPrefixed},
    {0x21000e21, 3, 3, 3, Variant::kLengthPrefixed},
    {0x21000f21, 2, 3, 3, Variant::kLengthPrefixed},
    {0x21001021, 4, 3, 3, Variant::kLengthPrefixed},
    {0x21001121, 5, 3, 3, Variant::kLengthPrefixed},
    {0x21001321, 12, 3, 3, Variant::kLengthPrefixed},
    {0x21001221, 11, 3, 3, Variant::kLengthPrefixed},
    {0x21000621, 7, 1, 0, Variant::kLegacyCell},
    {0x21000a21, 7, 3, 0, Variant::kCell},
    {0x21000721, 8, 3, 12, Variant::kBase},
    {0x21000821, 9, 3, 12, Variant::kBase},
    {0x21001721, 8, 0, 1, Variant::kBase},
    {0x21001521, 14, 3, 3, Variant::kLengthPrefixed},
    {0x2100aa21, 7, 3, 0, Variant::kCell},
};

const FileTypeRow* FindFileType(int32_t fileType, int32_t fileKind) {
    for (const auto& row : FileTypeTable) {
        if (row.fileType == fileType && row.fileKind == fileKind) {
            return &row;
        }
    }
    return nullptr;
}

const FileTypeRow* FindTypeCode(uint32_t typeCode, int32_t fileKind) {
    for (const auto& row : FileTypeTable) {
        if (row.typeCode == typeCode && row.fileKind == fileKind) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace meridel
