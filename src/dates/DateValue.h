// Date values: seconds from 1970-01-01 00:00:00 to a local wall-clock date
// and time, every day 86,400 seconds, with no zone or daylight-saving shift
// in the count, so that a plain calendar breakdown gives the wall-clock
// fields back. Valid values run from Dates::First (1601-01-01 00:00:00) to
// Dates::Last (9999-12-31 23:59:59); Dates::None stands for no date: a time
// outside them, or a stamp the platform cannot convert or could not read.
#pragma once

#include <cstdint>

#include "platform/Clock.h"
#include "platform/Search.h"

// The date value of a calendar date and time; Dates::None when it lies
// outside 1601-01-01 00:00:00 .. 9999-12-31 23:59:59 or a field is invalid.
int64_t MakeDate(int year, int month, int day, int hour, int minute, int second);

// The current local wall-clock time as a date value.
int64_t CurrentDate();

// The date value of a file time stamp: its local wall-clock time with the
// zone rules in force at that time stamp; Dates::None when it was not read,
// the platform cannot convert it, or it lies outside the calendar.
int64_t DateOfStamp(Platform::FileTime stamp);

// The date value of when the file `entry` (read with its taken date) was
// taken: an Exif date as it stands, a movie's UTC time made local like a
// file stamp; where the file records none the program can show (none, one
// outside the calendar, or 1970-01-01 00:00:00, a clock never set), the
// date of its last write, and `recorded` (when given) false.
int64_t DateOfTaken(const Platform::DirEntry& entry, bool* recorded = nullptr);
