#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace vcf {

// A signed time of seconds plus nanoseconds; after normalisation both parts
// carry the same sign.
class CVcfTimestamp {
public:
    CVcfTimestamp() = default;
    CVcfTimestamp(int32_t seconds, int32_t nanoseconds);
    explicit CVcfTimestamp(double nanoseconds);
    virtual ~CVcfTimestamp() = default;

    CVcfTimestamp& operator=(double nanoseconds);
    void Set(int32_t seconds, int32_t nanoseconds);

    int32_t GetSeconds() const { return seconds_; }
    int32_t GetNanoseconds() const { return nanoseconds_; }
    double AsNanoseconds() const;

    CVcfTimestamp operator+(const CVcfTimestamp& other) const;
    CVcfTimestamp operator-(const CVcfTimestamp& other) const;
    bool operator==(const CVcfTimestamp& other) const;
    bool operator!=(const CVcfTimestamp& other) const { return !(*this == other); }
    bool operator<(const CVcfTimestamp& other) const;
    bool operator>(const CVcfTimestamp& other) const { return other < *this; }
    bool operator<=(const CVcfTimestamp& other) const { return !(other < *this); }
    bool operator>=(const CVcfTimestamp& other) const { return !(*this < other); }

    // "seconds:nanoseconds", as header dumps show it.
    std::string ToString() const;

private:
    // Sums of hostile values may leave 32 bits; they wrap instead of overflowing.
    void Normalise(int64_t seconds, int64_t nanoseconds);

    int32_t seconds_ = 0;
    int32_t nanoseconds_ = 0;
};

// "seconds.nanoseconds"
std::ostream& operator<<(std::ostream& out, const CVcfTimestamp& timestamp);

}  // namespace vcf
