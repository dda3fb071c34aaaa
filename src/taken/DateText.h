// The dates of the formats as they are written (texts, BCD fields, counts
// of seconds) read into Moments, with the one rule of what is a valid date.
#pragma once

#include <cstddef>
#include <cstdint>

#include "taken/Moment.h"

namespace TakenDate {

// The wall-clock moment of the fields (a year of at most four digits), or
// kNone when they name no real day and time of day, lie outside
// Calendar::kFirstSecond .. kLastSecond, or give 1970-01-01 00:00:00.
Moment WallClock(int64_t year, int month, int day, int hour, int minute, int second);

// A wall-clock time kept as a count of seconds since 1970-01-01 00:00:00
// (CIFF, X3F), or kNone when it is 0 or outside the range.
Moment WallClockAt(int64_t seconds);

// `seconds` since 1970-01-01 00:00:00 UTC as kUtc, or kNone when it is 0 (a
// writer that knew no time) or outside the range.
Moment Utc(int64_t seconds);

// An Exif date, "YYYY:MM:DD HH:MM:SS" then nothing, a NUL or blanks, in
// `size` bytes: kWallClock, or kNone for any other text.
Moment FromExifText(const unsigned char* text, size_t size);

// An ISO 8601 date and time as XMP and QuickTime write them, all of `size`
// bytes: "YYYY-MM-DDThh:mm", then ":ss" and a fraction, then a zone (Z,
// +hh:mm, +hhmm or +hh), each optional; ':' in the date and a blank before
// the time are taken too. The zone is not applied; a date alone is kNone.
Moment FromIsoText(const unsigned char* text, size_t size);

// IPTC's DateCreated ("CCYYMMDD") and TimeCreated ("HHMMSS", then
// nothing or a zone such as "+HHMM", not applied).
Moment FromIptcText(const unsigned char* date, size_t dateSize, const unsigned char* time, size_t timeSize);

// An AVI's IDIT text, of `size` bytes: "Mon Mar 10 15:04:43 2003" (the
// day may be blank-padded), or an Exif date with ':', '/' or '-' between
// the date's fields; then nothing, a newline, NULs or blanks.
Moment FromIditText(const unsigned char* text, size_t size);

// The number that `count` decimal digits write, or -1 for anything else.
int Digits(const unsigned char* text, size_t count);

// The two binary-coded decimal digits of `byte` (after `mask` clears the
// bits that are no digits), or -1 when a digit is above 9.
int Bcd(unsigned char byte, unsigned char mask = 0xFF);

}  // namespace TakenDate
