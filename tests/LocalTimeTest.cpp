#include <gtest/gtest.h>

#include "Constants.h"
#include "Process.h"
#include "modules/ScanDir.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::UtcStamp;

struct StampCase {
  Platform::FileTime stamp;
  int64_t expected;
};

void ExpectDates(const std::vector<StampCase>& cases) {
  for (const StampCase& c : cases) {
    EXPECT_EQ(ScanDir::DateOfStamp(c.stamp), c.expected)
        << Utf8FromText(RenderDate(u"%yyyy-%mm-%dd %hh:%ii:%ss", ScanDir::DateOfStamp(c.stamp)));
  }
}

// Runs with TZ=UTC: local time is UTC.
TEST(LocalTime, DatesOfStampsAtTheRangeEnds) {
  if (TestSupport::EnvironmentValue("TZ") != "UTC") GTEST_SKIP() << "needs TZ=UTC";
  ExpectDates({
      {UtcStamp(1970, 1, 1, 0, 0, 0), 0},
      {UtcStamp(2018, 9, 26, 14, 30, 5), MakeDate(2018, 9, 26, 14, 30, 5)},
      {UtcStamp(2038, 1, 19, 3, 14, 7), Dates::Latest},
      {UtcStamp(2038, 1, 19, 3, 14, 8), Dates::OutOfRange},
      {UtcStamp(2040, 5, 1, 0, 0, 0), Dates::OutOfRange},
      {UtcStamp(1969, 12, 31, 23, 59, 59), Dates::OutOfRange},
      {UtcStamp(2018, 9, 26, 14, 30, 5) + 9999999, MakeDate(2018, 9, 26, 14, 30, 5)},  // fractions dropped
      {-1, Dates::Unconverted},  // before 1601: no time at all
  });
}

// Runs again with TZ=Europe/Berlin (CET, CEST from the last Sunday of March
// to the last Sunday of October): a stamp gets the offset of its own date,
// whatever the season of the run.
TEST(BerlinTime, StampsUseTheOffsetOfTheirOwnDate) {
  if (TestSupport::EnvironmentValue("TZ") != "Europe/Berlin") GTEST_SKIP() << "needs TZ=Europe/Berlin";
  ExpectDates({
      {UtcStamp(2024, 1, 15, 12, 0, 0), MakeDate(2024, 1, 15, 13, 0, 0)},   // winter: +1
      {UtcStamp(2024, 7, 15, 12, 0, 0), MakeDate(2024, 7, 15, 14, 0, 0)},   // summer: +2
      {UtcStamp(2024, 7, 15, 22, 30, 0), MakeDate(2024, 7, 16, 0, 30, 0)},  // the next day locally
      {UtcStamp(2024, 12, 31, 23, 0, 0), MakeDate(2025, 1, 1, 0, 0, 0)},
      // Around the changes, to the second.
      {UtcStamp(2024, 3, 31, 0, 59, 59), MakeDate(2024, 3, 31, 1, 59, 59)},
      {UtcStamp(2024, 3, 31, 1, 0, 0), MakeDate(2024, 3, 31, 3, 0, 0)},
      {UtcStamp(2024, 10, 27, 0, 59, 59), MakeDate(2024, 10, 27, 2, 59, 59)},
      {UtcStamp(2024, 10, 27, 1, 0, 0), MakeDate(2024, 10, 27, 2, 0, 0)},
      {UtcStamp(2038, 1, 19, 2, 14, 7), Dates::Latest},
  });
}

}  // namespace
