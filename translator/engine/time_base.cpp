#include "time_base.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace translator {

namespace {
// tzset and mktime rewrite the C library's zone variables, which DayBase and
// TimeZoneBiasSeconds read; the engines of a folder run call them at once.
std::mutex zoneMutex;

const char* const kMonthNames[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
}  // namespace

std::string FormatDate(uint32_t t) {
    time_t value = static_cast<time_t>(t);
    struct tm local {};
    if (localtime_r(&value, &local) == nullptr || local.tm_mon < 0 || local.tm_mon > 11) {
        return {};
    }
    char text[96];
    snprintf(text, sizeof text, "%s %d, %d  %02d:%02d:%02d", kMonthNames[local.tm_mon],
             local.tm_mday, local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

uint32_t LocalTimeToUnix(int year, int month, int day, int hour, int minute, int second) {
    struct tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    std::lock_guard<std::mutex> lock(zoneMutex);
    const time_t t = mktime(&local);
    return t < 0 || t > static_cast<time_t>(UINT32_MAX) ? 0 : static_cast<uint32_t>(t);
}

bool UnixToLocalTime(uint32_t t, struct tm* local) {
    const time_t value = static_cast<time_t>(t);
    return localtime_r(&value, local) != nullptr;
}

uint32_t DayBase(uint32_t now) {
    std::lock_guard<std::mutex> lock(zoneMutex);
    tzset();
    return StartOfDay(now) + static_cast<uint32_t>(static_cast<int32_t>(timezone));
}

int32_t TimeZoneBiasSeconds(uint32_t t) {
    std::lock_guard<std::mutex> lock(zoneMutex);
    tzset();
    int32_t bias = static_cast<int32_t>(timezone);
    time_t value = static_cast<time_t>(t);
    struct tm local {};
    if (localtime_r(&value, &local) != nullptr && local.tm_isdst > 0) {
        bias += 3600;
    }
    return bias;
}

}  // namespace translator
