#include "dates/Unit.h"

#include "base/Calendar.h"

namespace {

constexpr int64_t SecondsOf(TimeUnit unit) {
  switch (unit) {
    case TimeUnit::kSecond: return 1;
    case TimeUnit::kMinute: return 60;
    case TimeUnit::kHour: return 3600;
    default: return Calendar::kSecondsPerDay;
  }
}

// `a / b` rounded down, also for a negative `a`.
constexpr int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }

}  // namespace

int64_t UnitNumber(int64_t date, TimeUnit unit) {
  if (unit <= TimeUnit::kDay) return FloorDiv(date, SecondsOf(unit));
  const Calendar::Fields f = Calendar::FieldsFromSeconds(date);
  return unit == TimeUnit::kYear ? f.year - 1970 : (f.year - 1970) * 12 + f.month - 1;
}

int64_t UnitStart(int64_t number, TimeUnit unit) {
  if (unit <= TimeUnit::kDay) return number * SecondsOf(unit);
  if (unit == TimeUnit::kYear) return Calendar::SecondsFromFields(1970 + number, 1, 1, 0, 0, 0);
  const int64_t years = FloorDiv(number, 12);
  return Calendar::SecondsFromFields(1970 + years, static_cast<unsigned>(number - years * 12 + 1), 1, 0, 0,
                                     0);
}
