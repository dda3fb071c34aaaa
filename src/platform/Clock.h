// Time: the local clock, and the local wall-clock time of a file time stamp
// with the zone rules in force at that stamp.
#pragma once

#include <cstdint>

namespace Platform {

// A file time stamp: UTC, 100-nanosecond units since 1601-01-01.
using FileTime = int64_t;
// A time stamp that could not be read (POSIX: the folder may be listed but
// not searched); it converts to no date.
constexpr FileTime kTimeUnread = INT64_MIN;

// Calendar fields of a local wall-clock time (month 1-12, day 1-31).
struct CalendarTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The current local wall-clock time, fractions of a second dropped.
CalendarTime LocalNow();

// The local wall-clock time of a file time stamp, with the time-zone rules in
// force at that time stamp (not those of today), as seconds since
// 1970-01-01 00:00:00 counted with every day 86,400 seconds long. False when
// the platform cannot convert it (a stamp before 1601); a stamp past the last
// date the system's calendar holds gives a time past it.
bool LocalSeconds(FileTime time, int64_t& local);

}  // namespace Platform
