#pragma once

#include <cstdint>
#include <string>

namespace vcf {

// Local midnight of a calendar day, daylight saving taken as off; 0 when the
// day cannot be converted. Day 0 is the last day of the month before.
int64_t LocalMidnight(int year, int month, int day);

// The date of a ctime-style text ("Tue Jul 17 04:46:22 2007") as the local
// midnight of that day; 0 when no month, day or year can be found in it or
// the result does not fit 32 bits.
int64_t LocalMidnightOfDateText(const std::string& text);

// The date after "#Date created: " in a header string, up to the next "#";
// 0 when the label or that "#" is missing or the date cannot be read.
int64_t CaptureDateOfHeaderString(const std::string& headerString);

// Local midnight of the day the file was last modified (of today when the
// file cannot be examined).
int64_t LocalMidnightOfFileDate(const std::string& path);

// The latest local midnight, as LocalMidnight gives it, not after t; in
// *onThatDay a time whose date text converts back to it (t itself unless
// daylight saving puts t before its own day's midnight).
int64_t LocalDayStart(int64_t t, int64_t* onThatDay);

}  // namespace vcf
