#include "dim_string.h"

#include <algorithm>

#include "common/byte_order.h"

namespace vcf {

using namespace byte_order;

void CVcfDimString::Attach(const uint8_t* image, size_t room) {
    ownsBuffer_ = false;
    if (image == nullptr || room < 2) {
        length_ = 0;
        buffer_ = nullptr;
        return;
    }
    length_ = static_cast<uint16_t>(std::min<size_t>(LoadBE16(image), room - 2));
    buffer_ = reinterpret_cast<const char*>(image + 2);
}

std::string CVcfDimString::GetText() const {
    return length_ == 0 ? std::string() : std::string(buffer_, length_);
}

}  // namespace vcf
