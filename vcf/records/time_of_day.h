#pragma once

#include <cstdint>
#include <string>

namespace vcf {

// A wall-clock time of day to the millisecond. Setters clamp out-of-range
// parts instead of failing; arithmetic wraps round midnight.
class CVcfTimeOfDay {
public:
    static constexpr int32_t kMillisPerDay = 86400000;

    CVcfTimeOfDay() = default;
    CVcfTimeOfDay(uint16_t hours, uint16_t minutes, uint16_t millisecondsInMinute);
    CVcfTimeOfDay(uint16_t hours, uint16_t minutes, uint16_t seconds, uint16_t milliseconds);
    virtual ~CVcfTimeOfDay() = default;

    void SetHours(uint16_t hours);
    void SetMinutes(uint16_t minutes);
    void SetMillisecondsInMinute(uint16_t millisecondsInMinute);
    void SetSeconds(uint16_t seconds, uint16_t milliseconds);
    void SetFromMilliseconds(int64_t milliseconds);

    uint16_t GetHours() const { return hours_; }
    uint16_t GetMinutes() const { return minutes_; }
    uint16_t GetMillisecondsInMinute() const { return millisecondsInMinute_; }
    uint16_t GetSeconds() const { return millisecondsInMinute_ / 1000; }
    uint16_t GetMilliseconds() const { return millisecondsInMinute_ % 1000; }
    int32_t InMilliseconds() const;

    CVcfTimeOfDay operator+(const CVcfTimeOfDay& other) const;
    CVcfTimeOfDay operator-(const CVcfTimeOfDay& other) const;
    bool operator==(const CVcfTimeOfDay& other) const {
        return InMilliseconds() == other.InMilliseconds();
    }
    bool operator!=(const CVcfTimeOfDay& other) const { return !(*this == other); }
    bool operator<(const CVcfTimeOfDay& other) const {
        return InMilliseconds() < other.InMilliseconds();
    }
    bool operator>(const CVcfTimeOfDay& other) const { return other < *this; }
    bool operator<=(const CVcfTimeOfDay& other) const { return !(other < *this); }
    bool operator>=(const CVcfTimeOfDay& other) const { return !(*this < other); }

    // "hh:mm:ss.mmm"
    std::string ToString() const;

private:
    uint16_t hours_ = 0;
    uint16_t minutes_ = 0;
    uint16_t millisecondsInMinute_ = 0;
};

}  // namespace vcf
