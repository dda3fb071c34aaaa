// Units of time: a date value's second, minute, hour, day, month or year,
// numbered from those of 1970 (before it, negative), and where each starts.
// The counts of a run keep the unit of the mask's finest token; the chart's
// time axis has one slot per unit.
#pragma once

#include <cstdint>

// The units, finest first.
enum class TimeUnit { kSecond, kMinute, kHour, kDay, kMonth, kYear };

// The number of the unit that holds the date value `date`.
int64_t UnitNumber(int64_t date, TimeUnit unit);

// The date value where unit number `number` starts.
int64_t UnitStart(int64_t number, TimeUnit unit);
