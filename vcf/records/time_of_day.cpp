#include "time_of_day.h"

#include <algorithm>
#include <cstdio>

namespace vcf {

CVcfTimeOfDay::CVcfTimeOfDay(uint16_t hours, uint16_t minutes, uint16_t millisecondsInMinute) {
    SetHours(hours);
    SetMinutes(minutes);
    SetMillisecondsInMinute(millisecondsInMinute);
}

CVcfTimeOfDay::CVcfTimeOfDay(uint16_t hours, uint16_t minutes, uint16_t seconds,
                             uint16_t milliseconds) {
    SetHours(hours);
    SetMinutes(minutes);
    SetSeconds(seconds, milliseconds);
}

void CVcfTimeOfDay::SetHours(uint16_t hours) {
    hours_ = std::min<uint16_t>(hours, 23);
}

void CVcfTimeOfDay::SetMinutes(uint16_t minutes) {
    minutes_ = std::min<uint16_t>(minutes, 59);
}

void CVcfTimeOfDay::SetMillisecondsInMinute(uint16_t millisecondsInMinute) {
    millisecondsInMinute_ = std::min<uint16_t>(millisecondsInMinute, 59999);
}

void CVcfTimeOfDay::SetSeconds(uint16_t seconds, uint16_t milliseconds) {
    millisecondsInMinute_ = static_cast<uint16_t>(std::min<uint16_t>(seconds, 59) * 1000 +
                                                  std::min<uint16_t>(milliseconds, 999));
}

void CVcfTimeOfDay::SetFromMilliseconds(int64_t milliseconds) {
    // Wrap into 0..one day; exactly one day is kept and the clamping setters
    // turn it into 23:59:59.000.
    int64_t m = milliseconds;
    if (m < 0) {
        m %= kMillisPerDay;
        if (m < 0) {
            m += kMillisPerDay;
        }
    } else if (m > kMillisPerDay) {
        m = (m - 1) % kMillisPerDay + 1;
    }
    SetHours(static_cast<uint16_t>(m / 3600000));
    m -= int64_t{hours_} * 3600000;
    SetMinutes(static_cast<uint16_t>(m / 60000));
    m -= int64_t{minutes_} * 60000;
    SetSeconds(static_cast<uint16_t>(m / 1000), static_cast<uint16_t>(m % 1000));
}

int32_t CVcfTimeOfDay::InMilliseconds() const {
    return int32_t{hours_} * 3600000 + int32_t{minutes_} * 60000 + millisecondsInMinute_;
}

CVcfTimeOfDay CVcfTimeOfDay::operator+(const CVcfTimeOfDay& other) const {
    CVcfTimeOfDay sum;
    sum.SetFromMilliseconds(int64_t{InMilliseconds()} + other.InMilliseconds());
    return sum;
}

CVcfTimeOfDay CVcfTimeOfDay::operator-(const CVcfTimeOfDay& other) const {
    CVcfTimeOfDay difference;
    difference.SetFromMilliseconds(int64_t{InMilliseconds()} - other.InMilliseconds());
    return difference;
}

std::string CVcfTimeOfDay::ToString() const {
    char text[32];
    snprintf(text, sizeof text, "%.2d:%.2d:%.2d.%.3d", GetHours(), GetMinutes(), GetSeconds(),
             GetMilliseconds());
    return text;
}

}  // namespace vcf
