#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vcf {

// The length-prefixed string of the binary capture-file headers: a
// big-endian 16-bit length followed by that many characters, no terminator.
class CVcfDimString {
public:
    CVcfDimString() = default;
    virtual ~CVcfDimString() = default;
    CVcfDimString(const CVcfDimString&) = delete;
    CVcfDimString& operator=(const CVcfDimString&) = delete;

    // Points into a stored image without owning it. The image may claim more
    // characters than the room it has; the length is cut to that room.
    void Attach(const uint8_t* image, size_t room);

    uint16_t GetLength() const { return length_; }
    bool OwnsBuffer() const { return ownsBuffer_; }
    std::string GetText() const;

private:
    uint16_t length_ = 0;
    const char* buffer_ = nullptr;
    bool ownsBuffer_ = true;
};

}  // namespace vcf
