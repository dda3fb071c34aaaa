#include "dates/DateValue.h"

#include "base/Calendar.h"
#include "base/Constants.h"

int64_t MakeDate(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1970 || year > 2038 || !Calendar::ValidFields(year, month, day, hour, minute, second)) {
    return Dates::OutOfRange;
  }
  const int64_t value = Calendar::SecondsFromFields(
      year, static_cast<unsigned>(month), static_cast<unsigned>(day), static_cast<unsigned>(hour),
      static_cast<unsigned>(minute), static_cast<unsigned>(second));
  return value > Dates::Latest ? Dates::OutOfRange : value;
}

int64_t CurrentDate() {
  Platform::CalendarTime now = Platform::LocalNow();
  return MakeDate(now.year, now.month, now.day, now.hour, now.minute, now.second);
}

int64_t DateOfStamp(Platform::FileTime stamp) {
  // The local seconds count the same way as a date value, so a value in
  // range is one (as MakeDate of its calendar fields would give).
  int64_t local = 0;
  if (stamp == Platform::kTimeUnread) return Dates::Unconverted;
  if (!Platform::LocalSeconds(stamp, local)) return Dates::Unconverted;
  return (local < 0 || local > Dates::Latest) ? Dates::OutOfRange : local;
}

int64_t DateOfTaken(const Platform::DirEntry& entry, bool* recorded) {
  int64_t date = Dates::OutOfRange;
  switch (entry.taken.kind) {
    case TakenDate::Kind::kWallClock:  // a local time already
      date = entry.taken.seconds >= 0 && entry.taken.seconds <= Dates::Latest ? entry.taken.seconds
                                                                              : Dates::OutOfRange;
      break;
    case TakenDate::Kind::kUtc:
      date = DateOfStamp((entry.taken.seconds + Calendar::kUnixEpochTicks / Calendar::kTicksPerSecond) *
                         Calendar::kTicksPerSecond);
      break;
    case TakenDate::Kind::kNone: break;
  }
  // A movie time the program cannot show (past 2038, or not converted)
  // counts as none, as an Exif date out of range does; so does the date
  // value 0, which a failed conversion gives (and a camera clock never set).
  const bool usable = date != Dates::OutOfRange && date != Dates::Unconverted;
  if (recorded != nullptr) *recorded = usable;
  return usable ? date : DateOfStamp(entry.lastWrite);
}
