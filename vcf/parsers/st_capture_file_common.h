#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vcf {

// The tables every Stavrel parser and writer keeps: one record type and one
// source name per source index, and the free-text header.
class CVcfStCaptureFileCommon {
public:
    static constexpr int kSourceCount = 256;
    static constexpr size_t kSlotSize = 128;
    static constexpr size_t kMaxSourceNameLength = 120;
    static constexpr size_t kRecordTypeTableSize = kSourceCount * 2;
    static constexpr size_t kSourceNameTableSize = kSourceCount * kSlotSize;

    CVcfStCaptureFileCommon();
    virtual ~CVcfStCaptureFileCommon() = default;

    virtual std::string DumpTables(const std::string& extra) const;
    virtual void ResetTables();

    // Both are 0 or empty for an index outside the table.
    uint16_t GetRecordTypeOfSource(int index) const;
    void SetRecordTypeOfSource(int index, uint16_t type);
    std::string GetSourceNameOfSlot(int index) const;
    // Names longer than 120 characters are cut.
    void SetSourceNameOfSlot(int index, const std::string& name);
    // Names from slot 0 up to the first empty slot.
    std::vector<std::string> GetSourceNames() const;
    const std::string& GetHeaderString() const { return headerString_; }

protected:
    uint16_t recordTypes_[kSourceCount];
    uint8_t sourceNames_[kSourceNameTableSize];
    std::string headerString_;
    uint32_t nonEmptySourceNames_ = 0;
};

}  // namespace vcf
