#include "timestamp.h"

#include <cmath>
#include <cstdio>

namespace vcf {

namespace {

constexpr int64_t kNanosPerSecond = 1000000000;

// Doubles beyond 32 bits saturate: converting them directly is undefined.
int32_t SaturateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0) {
        return INT32_MAX;
    }
    if (value <= -2147483648.0) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

}  // namespace

CVcfTimestamp::CVcfTimestamp(int32_t seconds, int32_t nanoseconds) {
    Set(seconds, nanoseconds);
}

CVcfTimestamp::CVcfTimestamp(double nanoseconds) {
    *this = nanoseconds;
}

CVcfTimestamp& CVcfTimestamp::operator=(double nanoseconds) {
    seconds_ = SaturateToInt32(std::trunc(nanoseconds / 1e9));
    nanoseconds_ = SaturateToInt32(nanoseconds - static_cast<double>(seconds_) * 1e9);
    return *this;
}

void CVcfTimestamp::Set(int32_t seconds, int32_t nanoseconds) {
    Normalise(seconds, nanoseconds);
}

void CVcfTimestamp::Normalise(int64_t seconds, int64_t nanoseconds) {
    seconds += nanoseconds / kNanosPerSecond;
    nanoseconds %= kNanosPerSecond;
    if (seconds > 0 && nanoseconds < 0) {
        seconds -= 1;
        nanoseconds += kNanosPerSecond;
    } else if (seconds < 0 && nanoseconds > 0) {
        seconds += 1;
        nanoseconds -= kNanosPerSecond;
    }
    seconds_ = static_cast<int32_t>(seconds);
    nanoseconds_ = static_cast<int32_t>(nanoseconds);
}

double CVcfTimestamp::AsNanoseconds() const {
    return static_cast<double>(seconds_) * 1e9 + static_cast<double>(nanoseconds_);
}

CVcfTimestamp CVcfTimestamp::operator+(const CVcfTimestamp& other) const {
    CVcfTimestamp sum;
    sum.Normalise(int64_t{seconds_} + other.seconds_, int64_t{nanoseconds_} + other.nanoseconds_);
    return sum;
}

CVcfTimestamp CVcfTimestamp::operator-(const CVcfTimestamp& other) const {
    CVcfTimestamp difference;
    difference.Normalise(int64_t{seconds_} - other.seconds_,
                         int64_t{nanoseconds_} - other.nanoseconds_);
    return difference;
}

bool CVcfTimestamp::operator==(const CVcfTimestamp& other) const {
    return seconds_ == other.seconds_ && nanoseconds_ == other.nanoseconds_;
}

bool CVcfTimestamp::operator<(const CVcfTimestamp& other) const {
    return seconds_ < other.seconds_ ||
           (seconds_ == other.seconds_ && nanoseconds_ < other.nanoseconds_);
}

std::string CVcfTimestamp::ToString() const {
    char text[32];
    snprintf(text, sizeof text, "%.2d:%.9d", seconds_, nanoseconds_);
    return text;
}

std::ostream& operator<<(std::ostream& out, const CVcfTimestamp& timestamp) {
    char text[32];
    snprintf(text, sizeof text, "%d.%.9d", timestamp.GetSeconds(), timestamp.GetNanoseconds());
    return out << text;
}

}  // namespace vcf
