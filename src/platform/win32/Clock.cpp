// Time on Windows: the local clock, and the local time of file time stamps
// with the zone's rules for each stamp's own year.
#include "platform/Clock.h"

#include <map>

#include "base/Calendar.h"
#include "platform/LocalTimeCache.h"
#include "platform/win32/Common.h"

namespace Platform {

namespace {

int64_t SecondsOf(const SYSTEMTIME& t) {
  return Calendar::SecondsFromFields(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

// The zone's rules for one year, asked once per year: daylight-saving rules
// change over the years (the US rules of 2007, for one), and without them
// SystemTimeToTzSpecificLocalTime applies this year's rules to every stamp.
// Null when the system cannot say; the current rules are used then.
const TIME_ZONE_INFORMATION* ZoneRulesFor(WORD year) {
  struct Rules {
    bool known = false;
    TIME_ZONE_INFORMATION info{};
  };
  static std::map<WORD, Rules> years;
  auto [at, added] = years.try_emplace(year);
  if (added) at->second.known = ::GetTimeZoneInformationForYear(year, nullptr, &at->second.info) != 0;
  return at->second.known ? &at->second.info : nullptr;
}

// The offset of local time at a UTC second, with the rules of that second's
// year. (SystemTimeToTzSpecificLocalTimeEx would end the process under some
// Windows emulations, where it is missing.)
bool WindowsOffsetAt(int64_t utc, int64_t& offset) {
  const int64_t ticks = (utc * Calendar::kTicksPerSecond) + Calendar::kUnixEpochTicks;
  if (ticks < 0) return false;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  SYSTEMTIME universal, local;
  if (!::FileTimeToSystemTime(&time, &universal)) return false;
  if (!::SystemTimeToTzSpecificLocalTime(ZoneRulesFor(universal.wYear), &universal, &local)) return false;
  offset = SecondsOf(local) - SecondsOf(universal);
  return true;
}

}  // namespace

CalendarTime LocalNow() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  CalendarTime result;
  result.year = now.wYear;
  result.month = now.wMonth;
  result.day = now.wDay;
  result.hour = now.wHour;
  result.minute = now.wMinute;
  result.second = now.wSecond;
  return result;
}

bool LocalSeconds(FileTime time, int64_t& local) {
  static LocalTimeCache<bool (*)(int64_t, int64_t&)> cache(WindowsOffsetAt);
  return cache.LocalSeconds(time, local);
}

}  // namespace Platform
