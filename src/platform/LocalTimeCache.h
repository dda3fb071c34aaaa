// Local time of file time stamps, with the zone rules in force at each time
// stamp. Asking the system for every stamp is costly (three stamps a file),
// so the offset from UTC is remembered per UTC hour: an hour whose first and
// last second have the same offset is taken to have it throughout (zones
// change their offset at most once within an hour). An hour with a change
// in it is asked about second by second.
#pragma once

#include <cstdint>
#include <memory>

#include "Calendar.h"
#include "platform/Platform.h"

namespace Platform {

// `OffsetAt(utcSeconds, offsetSeconds)` asks the system for the offset of
// local time from UTC at that second; it returns false when it cannot say.
template <class OffsetAt>
class LocalTimeCache {
 public:
  explicit LocalTimeCache(OffsetAt offsetAt) : offsetAt_(offsetAt) {}

  bool Convert(FileTime time, CalendarTime& local) {
    if (time < 0) return false;  // before 1601: not a time stamp
    const int64_t utc = time / Calendar::kTicksPerSecond - Calendar::kUnixEpochTicks / Calendar::kTicksPerSecond;
    int64_t offset = 0;
    if (!OffsetOf(utc, offset)) return false;
    const Calendar::Fields f = Calendar::FieldsFromSeconds(utc + offset);
    if (f.year < 1 || f.year > 30827) return false;  // beyond what a system time holds
    local.year = static_cast<int>(f.year);
    local.month = static_cast<int>(f.month);
    local.day = static_cast<int>(f.day);
    local.hour = static_cast<int>(f.hour);
    local.minute = static_cast<int>(f.minute);
    local.second = static_cast<int>(f.second);
    return true;
  }

 private:
  static constexpr size_t kSlots = size_t{1} << 17;  // 15 years of hours
  static constexpr int64_t kEmpty = INT64_MIN;
  struct Slot {
    int64_t hour = kEmpty;
    int32_t offset = 0;
    bool uniform = false;
  };

  bool OffsetOf(int64_t utc, int64_t& offset) {
    const int64_t hour = utc >= 0 ? utc / 3600 : (utc - 3599) / 3600;
    if (!slots_) slots_ = std::make_unique<Slot[]>(kSlots);
    Slot& slot = slots_[static_cast<uint64_t>(hour) % kSlots];
    if (slot.hour != hour) {
      int64_t first = 0, last = 0;
      if (!offsetAt_(hour * 3600, first) || !offsetAt_(hour * 3600 + 3599, last)) {
        return offsetAt_(utc, offset);
      }
      slot.hour = hour;
      slot.offset = static_cast<int32_t>(first);
      slot.uniform = first == last;
    }
    if (slot.uniform) {
      offset = slot.offset;
      return true;
    }
    return offsetAt_(utc, offset);
  }

  OffsetAt offsetAt_;
  std::unique_ptr<Slot[]> slots_;
};

}  // namespace Platform
