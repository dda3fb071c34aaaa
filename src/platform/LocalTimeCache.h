// Shared by the POSIX and Windows clocks: local time of file time stamps
// (100-nanosecond ticks since 1601), with the zone rules in force at each time
// stamp. Asking the system for every stamp is costly (three stamps a file),
// so the offset from UTC is remembered per UTC day: a day whose first and
// last second have the same offset is taken to have it throughout. No zone
// of the time-zone database changes its offset twice within one UTC day
// from 1600 to 2100 (each zone's transitions, listed by zdump, were checked),
// and the rules after that repeat yearly, so this holds; a day with a change
// in it is asked about stamp by stamp.
#pragma once

#include <cstdint>
#include <memory>

#include "base/Calendar.h"

namespace Platform {

// `OffsetAt(utcSeconds, offsetSeconds)` asks the system for the offset of
// local time from UTC at that second; it returns false when it cannot say.
template <class OffsetAt>
class LocalTimeCache {
 public:
  explicit LocalTimeCache(OffsetAt offsetAt) : offsetAt_(offsetAt) {}

  // Local wall-clock seconds since 1970-01-01 00:00:00 of a time stamp, or
  // false when there is none: a stamp or a local time before 1601 (where
  // Windows fails the conversion, so that both builds fail it alike). A
  // stamp within a day of the last date a calendar of the system holds
  // (30827-12-31), or past it, gives its UTC second without asking the
  // system, which cannot say: a time past every date value all the same.
  bool LocalSeconds(int64_t time, int64_t& local) {
    if (time < 0) return false;
    const int64_t utc = time / Calendar::kTicksPerSecond - kEpochSeconds;
    if (utc > kLastSecond - Calendar::kSecondsPerDay) {
      local = utc;
      return true;
    }
    int64_t offset = 0;
    if (!OffsetOf(utc, offset)) return false;
    local = utc + offset;
    return local >= kFirstSecond && local <= kLastSecond;
  }

 private:
  static constexpr int64_t kEpochSeconds = Calendar::kUnixEpochTicks / Calendar::kTicksPerSecond;
  static constexpr int64_t kFirstSecond = -kEpochSeconds;  // 1601-01-01 00:00:00
  static constexpr int64_t kLastSecond = Calendar::SecondsFromFields(30827, 12, 31, 23, 59, 59);
  static constexpr size_t kSlots = size_t{1}
                                   << 14;       // 44 years of days in 128 KiB (a run's stamps mostly are)
  static constexpr int32_t kMixed = INT32_MIN;  // the offset changes within the day
  struct Slot {
    int32_t day = INT32_MIN;
    int32_t offset = 0;
  };

  bool OffsetOf(int64_t utc, int64_t& offset) {
    const int64_t day = (utc >= 0 ? utc : utc - 86399) / 86400;
    if (day < INT32_MIN + 1 || day > INT32_MAX) return offsetAt_(utc, offset);
    if (!slots_) slots_ = std::make_unique<Slot[]>(kSlots);
    Slot& slot = slots_[static_cast<uint64_t>(day) % kSlots];
    if (slot.day != day) {
      int64_t first = 0, last = 0;
      if (!offsetAt_(day * 86400, first) || !offsetAt_(day * 86400 + 86399, last)) {
        return offsetAt_(utc, offset);
      }
      slot.day = static_cast<int32_t>(day);
      slot.offset = first == last ? static_cast<int32_t>(first) : kMixed;
    }
    if (slot.offset != kMixed) {
      offset = slot.offset;
      return true;
    }
    return offsetAt_(utc, offset);
  }

  OffsetAt offsetAt_;
  std::unique_ptr<Slot[]> slots_;
};

}  // namespace Platform
