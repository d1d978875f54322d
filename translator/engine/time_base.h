#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// Time-base conversions shared by the format modules. Unix seconds are the
// common base; formats count from 1904 or 1601, or in milliseconds.
namespace translator {

constexpr uint32_t kSeconds1904To1970 = 2082844800u;
constexpr uint64_t kSeconds1601To1970 = 11644473600ull;
constexpr uint32_t kSecondsPerDay = 86400u;

inline uint64_t SecondsToMicros(uint64_t s) {
    return s * 1000000ull;
}
inline uint64_t MicrosToSeconds(uint64_t us) {
    return us / 1000000ull;
}
inline uint32_t MicrosRemainder(uint64_t us) {
    return static_cast<uint32_t>(us % 1000000ull);
}
inline uint64_t TimesThousand(uint64_t v) {
    return v * 1000ull;
}
inline uint64_t DivThousand(uint64_t v) {
    return v / 1000ull;
}

inline uint32_t StartOfDay(uint32_t s) {
    return s - s % kSecondsPerDay;
}
inline uint32_t SecondsOfDay(uint32_t s) {
    return s % kSecondsPerDay;
}

// Modulo 2^32, like the fields that hold them.
inline uint32_t UnixTo1904(uint32_t s) {
    return s + kSeconds1904To1970;
}
inline uint32_t From1904ToUnix(uint32_t s) {
    return s - kSeconds1904To1970;
}

inline uint64_t UnixTo1601(uint32_t s) {
    return s + kSeconds1601To1970;
}
inline uint32_t From1601ToUnix(uint64_t s) {
    return static_cast<uint32_t>(s - kSeconds1601To1970);
}

// "Month D, YYYY  hh:mm:ss" in local time; empty when the time cannot be converted.
std::string FormatDate(uint32_t t);

// Unix seconds of a local date and time (daylight saving as the local rules
// decide); 0 when it cannot be converted.
uint32_t LocalTimeToUnix(int year, int month, int day, int hour, int minute, int second);
// Local broken-down time of t; false when it cannot be converted.
bool UnixToLocalTime(uint32_t t, struct tm* local);

// Base of formats that stamp frames with the time of day only and carry no
// date: the UTC day that holds now, moved by the zone's standard offset west
// of UTC, so that stored times of day fall on the day of the conversion.
uint32_t DayBase(uint32_t now);

// Seconds west of UTC of the process's zone, plus 3600 when daylight-saving
// time is in effect at local time t.
int32_t TimeZoneBiasSeconds(uint32_t t);

}  // namespace translator
