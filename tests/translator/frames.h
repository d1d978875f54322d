#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "engine/checksum.h"
#include "engine/trace_reader.h"

namespace translator {

// What a test compares of one frame.
struct FrameSummary {
    uint32_t seconds = 0;
    uint32_t microseconds = 0;
    uint32_t nanoseconds = 0;
    int32_t frameLength = 0;
    std::vector<uint8_t> bytes;

    bool operator==(const FrameSummary&) const = default;
};

inline FrameSummary Summary(const FrameRecord& f) {
    return {f.seconds, f.microseconds, f.nanoseconds, f.frameLength,
            std::vector<uint8_t>(f.Bytes(), f.Bytes() + f.capturedLength)};
}

// Every frame a reader delivers from path; opened reports whether Open succeeded.
inline std::vector<FrameSummary> ReadFrames(TraceReader& reader, const std::string& path,
                                            bool* opened = nullptr) {
    std::vector<FrameSummary> frames;
    const bool ok = reader.Open(path);
    if (opened != nullptr) {
        *opened = ok;
    }
    if (!ok) {
        return frames;
    }
    while (reader.ReadFrame()) {
        const FrameRecord& f = reader.frame;
        frames.push_back(Summary(f));
    }
    reader.Close();
    return frames;
}

// An Ethernet frame as readers deliver it: zero-padded to minimum bytes, then
// followed by its FCS.
inline std::vector<uint8_t> WithFcs(std::vector<uint8_t> bytes, size_t minimum = 60) {
    if (bytes.size() < minimum) {
        bytes.resize(minimum, 0);
    }
    uint8_t fcs[4];
    byte_order::StoreLE32(fcs, Crc32(bytes.data(), static_cast<int64_t>(bytes.size())));
    bytes.insert(bytes.end(), fcs, fcs + 4);
    return bytes;
}

inline std::ostream& operator<<(std::ostream& out, const FrameSummary& f) {
    return out << "{" << f.seconds << "s " << f.microseconds << "us " << f.nanoseconds << "ns len "
               << f.frameLength << " captured " << f.bytes.size() << "}";
}

}  // namespace translator
