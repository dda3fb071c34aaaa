// Local time of file time stamps on POSIX, through localtime_r and a cache
// of whole days with one offset.
#include <time.h>

#include "platform/LocalTimeCache.h"
#include "platform/Platform.h"

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

bool LocalSeconds(FileTime time, int64_t& local) {
  // localtime_r, unlike localtime, does not look at the zone file again on
  // every call; tzset once so the zone is read before the first one.
  static bool zoneRead = (::tzset(), true);
  (void)zoneRead;
  static LocalTimeCache<bool (*)(int64_t, int64_t&)> cache(PosixOffsetAt);
  return cache.LocalSeconds(time, local);
}

}  // namespace Platform
