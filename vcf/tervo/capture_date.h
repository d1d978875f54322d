#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vcf {

// Local midnight of a calendar day, daylight saving taken as off; nothing
// when the day cannot be converted. Day 0 is the last day of the month before.
std::optional<int64_t> LocalMidnight(int year, int month, int day);

// The date of a ctime-style text ("Tue Jul 17 04:46:22 2007") as the local
// midnight of that day; nothing when no month, day or year can be found in
// it or the result does not fit 32 bits. Midnight of 1970-01-01 in UTC is a
// date like any other.
std::optional<int64_t> LocalMidnightOfDateText(const std::string& text);

// The date after "#Date created: " in a header string, up to the next "#";
// nothing when the label or that "#" is missing or the date cannot be read.
std::optional<int64_t> CaptureDateOfHeaderString(const std::string& headerString);

// Local midnight of the day the file was last modified (of today when the
// file cannot be examined).
int64_t LocalMidnightOfFileDate(const std::string& path);

// The latest local midnight, as LocalMidnight gives it, not after t; in
// *onThatDay a time whose date text converts back to it (t itself unless
// daylight saving puts t before its own day's midnight).
int64_t LocalDayStart(int64_t t, int64_t* onThatDay);

}  // namespace vcf
