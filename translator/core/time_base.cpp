#include "time_base.h"

#include <cstdio>
#include <ctime>

namespace translator {

namespace {
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

int32_t TimeZoneBiasSeconds(uint32_t t) {
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
