#include "capture_date.h"

#include <sys/stat.h>

#include <climits>
#include <cstdint>
#include <ctime>

namespace vcf {

namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char kDateLabel[] = "#Date created: ";
constexpr const char kDigits[] = "0123456789";
// More digits than this cannot be a day or a year.
constexpr size_t kMaxDigits = 4;

bool LocalDate(int64_t t, struct tm* local) {
    const time_t value = static_cast<time_t>(t);
    return localtime_r(&value, local) != nullptr;
}

// The decimal number of at most kMaxDigits digits at text[from]; -1 when
// there is none or it is longer.
int NumberAt(const std::string& text, size_t from) {
    const size_t end = text.find_first_not_of(kDigits, from);
    const size_t length = (end == std::string::npos ? text.size() : end) - from;
    if (from >= text.size() || length == 0 || length > kMaxDigits) {
        return -1;
    }
    return std::stoi(text.substr(from, length));
}

}  // namespace

std::optional<int64_t> LocalMidnight(int year, int month, int day) {
    struct tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_isdst = 0;
    const time_t t = mktime(&local);
    if (t == static_cast<time_t>(-1)) {
        return std::nullopt;
    }
    return static_cast<int64_t>(t);
}

std::optional<int64_t> LocalMidnightOfDateText(const std::string& text) {
    int month = 0;
    for (int i = 0; i < 12 && month == 0; ++i) {
        if (text.find(kMonths[i]) != std::string::npos) {
            month = i + 1;
        }
    }
    const size_t dayAt = text.find_first_of(kDigits);
    if (month == 0 || dayAt == std::string::npos) {
        return std::nullopt;
    }
    const size_t afterDay = text.find_first_not_of(kDigits, dayAt);
    const int day = NumberAt(text, dayAt);
    if (afterDay == std::string::npos || day < 1 || day > 31) {
        return std::nullopt;
    }
    const size_t space = text.find(' ', afterDay + 1);
    if (space == std::string::npos) {
        return std::nullopt;
    }
    const int year = NumberAt(text, text.find_first_not_of(' ', space));
    if (year < 1) {
        return std::nullopt;
    }
    const std::optional<int64_t> t = LocalMidnight(year, month, day);
    if (!t || *t < INT32_MIN || *t > INT32_MAX) {
        return std::nullopt;
    }
    return t;
}

std::optional<int64_t> CaptureDateOfHeaderString(const std::string& headerString) {
    const size_t label = headerString.find(kDateLabel);
    if (label == std::string::npos) {
        return std::nullopt;
    }
    const size_t from = label + sizeof kDateLabel - 1;
    const size_t end = headerString.find('#', from);
    if (end == std::string::npos) {
        return std::nullopt;
    }
    return LocalMidnightOfDateText(headerString.substr(from, end - from));
}

int64_t LocalMidnightOfFileDate(const std::string& path) {
    struct stat st {};
    const int64_t t = stat(path.c_str(), &st) == 0 ? st.st_mtime : time(nullptr);
    struct tm local {};
    if (!LocalDate(t, &local)) {
        return 0;
    }
    return LocalMidnight(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).value_or(0);
}

int64_t LocalDayStart(int64_t t, int64_t* onThatDay) {
    *onThatDay = t;
    struct tm local {};
    if (!LocalDate(t, &local)) {
        return t;
    }
    const int year = local.tm_year + 1900;
    const int month = local.tm_mon + 1;
    const int64_t midnight = LocalMidnight(year, month, local.tm_mday).value_or(t);
    if (midnight <= t) {
        return midnight;
    }
    // In daylight saving time the standard-time midnight comes an hour late:
    // t belongs to the day before, which its own midnight names.
    *onThatDay = LocalMidnight(year, month, local.tm_mday - 1).value_or(t);
    return *onThatDay;
}

}  // namespace vcf
