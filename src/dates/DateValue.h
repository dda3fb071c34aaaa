// Date values: seconds from 1970-01-01 00:00:00 to a local wall-clock date
// and time, every day 86,400 seconds, with no zone or daylight-saving shift
// in the count, so that a plain calendar breakdown gives the wall-clock
// fields back. Valid values run from 0 to Dates::Latest (2038-01-19
// 03:14:07); Dates::OutOfRange (-1) stands for any other time, and
// Dates::Unconverted (0) for a stamp the platform cannot convert.
#pragma once

#include <cstdint>

#include "platform/Clock.h"
#include "platform/Search.h"

// The date value of a calendar date and time; Dates::OutOfRange when it lies
// outside 1970-01-01 00:00:00 .. 2038-01-19 03:14:07 or a field is invalid.
int64_t MakeDate(int year, int month, int day, int hour, int minute, int second);

// The current local wall-clock time as a date value.
int64_t CurrentDate();

// The date value of a file time stamp: its local wall-clock time with the
// zone rules in force at that time stamp; Dates::Unconverted (0) when the
// platform cannot convert it, Dates::OutOfRange (-1) outside 1970..2038.
int64_t DateOfStamp(Platform::FileTime stamp);

// The date value of when the file `entry` (read with its taken date) was
// taken: an Exif date as it stands, a movie's UTC time made local like a
// file stamp; where the file records none the program can show, the date of
// its last write, and `recorded` (when given) false.
int64_t DateOfTaken(const Platform::DirEntry& entry, bool* recorded = nullptr);
