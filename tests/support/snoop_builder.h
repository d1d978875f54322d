#pragma once

#include <cstdint>
#include <vector>

#include "bytes.h"

namespace testsupport {

struct SnoopRecord {
    uint32_t seconds = 0;
    uint32_t microseconds = 0;
    std::vector<uint8_t> bytes;
    uint32_t lineLength = 0;  // 0: the number of bytes
    bool trailer = false;     // extended record with a 16-byte trailer
    uint16_t status = 0;      // trailer status bits
    uint32_t extra = 0;       // bytes beyond the padding that the record length claims
};

inline void AppendSnoopRecord(Bytes& file, const SnoopRecord& r) {
    const auto size = static_cast<uint32_t>(r.bytes.size());
    const uint32_t padded = (24 + size + 3) & ~3u;
    const uint32_t recordLength = padded + (r.trailer ? 16 : 0) + r.extra;
    file.be32(r.lineLength ? r.lineLength : size).be32(size).be32(recordLength).be32(0);
    file.be32(r.seconds).be32(r.microseconds).append(r.bytes).zeros(padded - 24 - size + r.extra);
    if (r.trailer) {
        file.be16(0).be16(r.status).be32(0).be32(0).be32(0);
    }
}

// A snoop file: header with the data link type, then the records.
inline Bytes SnoopFile(uint32_t dataLink, const std::vector<SnoopRecord>& records) {
    Bytes file;
    file.text("snoop").zeros(3).be32(2).be32(dataLink);
    for (const auto& r : records)
        AppendSnoopRecord(file, r);
    return file;
}

}  // namespace testsupport
