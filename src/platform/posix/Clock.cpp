// Time on POSIX: the local clock, and the local time of file time stamps
// through localtime_r and a cache of whole days with one offset.
#include "platform/Clock.h"

#include <time.h>

#include "platform/LocalTimeCache.h"

namespace Platform {

namespace {

bool PosixOffsetAt(int64_t utc, int64_t& offset) {
  const auto t = static_cast<time_t>(utc);
  struct tm local {};
  if (::localtime_r(&t, &local) == nullptr) return false;
  offset = local.tm_gmtoff;
  return true;
}

}  // namespace

CalendarTime LocalNow() {
  const time_t now = ::time(nullptr);
  struct tm local {};
  CalendarTime result;
  if (::localtime_r(&now, &local) != nullptr) {
    result.year = local.tm_year + 1900;
    result.month = local.tm_mon + 1;
    result.day = local.tm_mday;
    result.hour = local.tm_hour;
    result.minute = local.tm_min;
    result.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second
  }
  return result;
}

bool LocalSeconds(FileTime time, int64_t& local) {
  // localtime_r, unlike localtime, does not look at the zone file again on
  // every call; tzset once so the zone is read before the first one.
  static bool zoneRead = (::tzset(), true);
  (void)zoneRead;
  static LocalTimeCache<bool (*)(int64_t, int64_t&)> cache(PosixOffsetAt);
  return cache.LocalSeconds(time, local);
}

}  // namespace Platform
