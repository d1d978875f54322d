#include "basic_config.h"

#include <cstring>

#include "common/byte_order.h"
#include "disk_file.h"

namespace meridel {

using namespace byte_order;

namespace {

constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr char kClassName[] = "CBasicConfig";
constexpr size_t kClassNameLength = sizeof kClassName - 1;

// Fields are stored in place at the end of the record: inserting them from a
// local array sends GCC's range-insert path through a reallocation that its
// overflow check misreads.
void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.resize(out.size() + 2);
    StoreLE16(out.data() + out.size() - 2, v);
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    out.resize(out.size() + 4);
    StoreLE32(out.data() + out.size() - 4, v);
}

}  // namespace

void CBasicConfig::SetExtension(const uint8_t* data, size_t n) {
    if (data != nullptr && n >= 32) {
        m_extension.assign(data, data + n);
    } else {
        m_extension.clear();
    }
}

std::vector<uint8_t> CBasicConfig::Store() const {
    std::vector<uint8_t> out;
    Put16(out, kNewClassTag);
    Put16(out, kSchema);
    Put16(out, static_cast<uint16_t>(kClassNameLength));
    out.insert(out.end(), kClassName, kClassName + kClassNameLength);
    Put16(out, m_lineCode);
    Put32(out, m_startTime);
    Put32(out, m_lineRate);
    Put32(out, m_lineRate2);
    Put16(out, m_interfaceCode);
    Put32(out, m_auxValue);
    Put16(out, static_cast<uint16_t>(m_extension.size()));
    out.insert(out.end(), m_extension.begin(), m_extension.end());
    out.insert(out.end(), m_flags, m_flags + sizeof m_flags);
    out.push_back(static_cast<uint8_t>(m_name.size()));
    out.insert(out.end(), m_name.begin(), m_name.end());
    out.push_back(m_tail);
    return out;
}

bool CBasicConfig::Load(DiskFile& file) {
    uint8_t head[6 + kClassNameLength];
    if (!file.Read(head, sizeof head) || LoadLE16(head) != kNewClassTag ||
        LoadLE16(head + 4) != kClassNameLength ||
        memcmp(head + 6, kClassName, kClassNameLength) != 0) {
        return false;
    }
    m_schema = LoadLE16(head + 2);
    uint8_t fields[16];
    if (!file.Read(fields, sizeof fields)) {
        return false;
    }
    m_lineCode = LoadLE16(fields);
    m_startTime = LoadLE32(fields + 2);
    m_lineRate = LoadLE32(fields + 6);
    m_lineRate2 = LoadLE32(fields + 10);
    m_interfaceCode = LoadLE16(fields + 14);
    m_auxValue = 0;
    m_extension.clear();
    if (m_schema < 7) {
        return true;
    }
    uint8_t tail[6];
    if (!file.Read(tail, sizeof tail)) {
        return false;
    }
    m_auxValue = LoadLE32(tail);
    const uint16_t length = LoadLE16(tail + 4);
    // Older schemas wrote a length word without a block; only plausible
    // lengths are taken for a block there.
    const bool present = (length != 0 && m_schema > 7) || (length >= 30 && length <= 99);
    if (!present) {
        return true;
    }
    const int64_t size = file.Size();
    if (size < 0 || file.Tell() + length > size) {
        return false;
    }
    m_extension.resize(length);
    return file.Read(m_extension.data(), length);
}

}  // namespace meridel
