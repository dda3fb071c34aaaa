#include "dates/DateValue.h"

#include "base/Calendar.h"
#include "base/Constants.h"

namespace {

constexpr int64_t kEpochSeconds = Calendar::kUnixEpochTicks / Calendar::kTicksPerSecond;

bool InCalendar(int64_t value) { return value >= Dates::First && value <= Dates::Last; }

}  // namespace

int64_t MakeDate(int year, int month, int day, int hour, int minute, int second) {
  if (year < Calendar::kFirstYear || year > Calendar::kLastYear ||
      !Calendar::ValidFields(year, month, day, hour, minute, second)) {
    return Dates::None;
  }
  return Calendar::SecondsFromFields(year, static_cast<unsigned>(month), static_cast<unsigned>(day),
                                     static_cast<unsigned>(hour), static_cast<unsigned>(minute),
                                     static_cast<unsigned>(second));
}

int64_t CurrentDate() {
  Platform::CalendarTime now = Platform::LocalNow();
  return MakeDate(now.year, now.month, now.day, now.hour, now.minute, now.second);
}

int64_t DateOfStamp(Platform::FileTime stamp) {
  // The local seconds count the same way as a date value, so a value in
  // range is one (as MakeDate of its calendar fields would give).
  int64_t local = 0;
  if (stamp == Platform::kTimeUnread || !Platform::LocalSeconds(stamp, local)) return Dates::None;
  return InCalendar(local) ? local : Dates::None;
}

int64_t DateOfTaken(const Platform::DirEntry& entry, bool* recorded) {
  const TakenDate::Moment& taken = entry.taken;
  int64_t date = Dates::None;
  // A time of exactly 1970-01-01 00:00:00 is what a camera whose clock was
  // never set writes, and a movie whose writer knew no time: none.
  if (taken.seconds != 0) {
    switch (taken.kind) {
      case TakenDate::Kind::kWallClock: date = InCalendar(taken.seconds) ? taken.seconds : Dates::None; break;
      case TakenDate::Kind::kUtc:
        // Made local like a file's stamp, which counts from 1601.
        if (taken.seconds >= Dates::First - kEpochSeconds && taken.seconds <= Dates::Last) {
          date = DateOfStamp((taken.seconds + kEpochSeconds) * Calendar::kTicksPerSecond);
        }
        break;
      case TakenDate::Kind::kNone: break;
    }
  }
  const bool usable = date != Dates::None;
  if (recorded != nullptr) *recorded = usable;
  return usable ? date : DateOfStamp(entry.lastWrite);
}
