#include <gtest/gtest.h>

#include "base/Constants.h"
#include "dates/DateValue.h"
#include "dates/Mask.h"
#include "platform/Clock.h"
#include "platform/Search.h"
#include "scan/ScanDir.h"
#include "support/TestSupport.h"

namespace {

struct MakeDateCase {
  int year, month, day, hour, minute, second;
  int64_t expected;
};

class MakeDateTest : public testing::TestWithParam<MakeDateCase> {};

TEST_P(MakeDateTest, GivesSecondsOrOutOfRange) {
  const MakeDateCase& c = GetParam();
  EXPECT_EQ(MakeDate(c.year, c.month, c.day, c.hour, c.minute, c.second), c.expected);
}

INSTANTIATE_TEST_SUITE_P(RangeEnds, MakeDateTest,
                         testing::Values(MakeDateCase{1970, 1, 1, 0, 0, 0, 0},
                                         MakeDateCase{1970, 1, 1, 0, 0, 1, 1},
                                         MakeDateCase{1970, 1, 2, 0, 0, 0, 86400},
                                         MakeDateCase{2000, 3, 1, 0, 0, 0, 951868800},
                                         MakeDateCase{2018, 9, 26, 14, 30, 5, 1537972205},
                                         MakeDateCase{2038, 1, 19, 3, 14, 7, Dates::Latest},
                                         MakeDateCase{2038, 1, 19, 3, 14, 8, Dates::OutOfRange},
                                         MakeDateCase{2038, 1, 20, 0, 0, 0, Dates::OutOfRange},
                                         MakeDateCase{2039, 6, 1, 0, 0, 0, Dates::OutOfRange},
                                         MakeDateCase{1969, 12, 31, 23, 59, 59, Dates::OutOfRange},
                                         MakeDateCase{2018, 2, 29, 0, 0, 0, Dates::OutOfRange},
                                         MakeDateCase{2018, 13, 1, 0, 0, 0, Dates::OutOfRange}));

TEST(DateValue, CurrentDateIsTheLocalClock) {
  const Platform::CalendarTime before = Platform::LocalNow();
  const int64_t now = CurrentDate();
  ASSERT_GT(now, MakeDate(2020, 1, 1, 0, 0, 0));
  // The rendered date is today's (unless midnight passed in between).
  const Text today = RenderDate(u"%yyyy", now);
  EXPECT_EQ(today, DecimalText(before.year));
}

using TestSupport::UtcStamp;

struct StampCase {
  Platform::FileTime stamp;
  int64_t expected;
};

void ExpectDates(const std::vector<StampCase>& cases) {
  for (const StampCase& c : cases) {
    EXPECT_EQ(DateOfStamp(c.stamp), c.expected)
        << Utf8FromText(RenderDate(u"%yyyy-%mm-%dd %hh:%ii:%ss", DateOfStamp(c.stamp)));
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
      {UtcStamp(1601, 1, 1, 0, 0, 0), Dates::OutOfRange},  // converted, but before 1970
      {UtcStamp(1700, 6, 1, 12, 0, 0), Dates::OutOfRange},
      {-1, Dates::Unconverted},  // before 1601: no time at all
  });
}

// A taken date: an Exif time as it stands, a movie's UTC time made local;
// none, or one the program cannot show, gives the last write.
TEST(LocalTime, DatesTakenOrElseLastWritten) {
  if (TestSupport::EnvironmentValue("TZ") != "UTC") GTEST_SKIP() << "needs TZ=UTC";
  using TakenDate::Kind;
  const int64_t written = MakeDate(2016, 2, 3, 0, 0, 0);
  const int64_t shot = MakeDate(2018, 9, 26, 10, 11, 12);
  const struct {
    TakenDate::Moment taken;
    int64_t expected;
  } cases[] = {
      {{Kind::kWallClock, shot}, shot},
      {{Kind::kUtc, shot}, shot},
      {{Kind::kUtc, MakeDate(2038, 1, 19, 3, 14, 7) + 1}, written},  // past what a date can hold
      {{Kind::kWallClock, 0}, written},
      {{}, written},
  };
  for (const auto& c : cases) {
    Platform::DirEntry entry;
    entry.lastWrite = UtcStamp(2016, 2, 3, 0, 0, 0);
    entry.taken = c.taken;
    bool recorded = false;
    EXPECT_EQ(DateOfTaken(entry, &recorded), c.expected) << c.taken.seconds;
    EXPECT_EQ(recorded, c.expected == shot) << c.taken.seconds;
  }
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

// Runs again with TZ=America/New_York, whose daylight saving ran from the
// first Sunday of April to the last Sunday of October up to 2006, and from
// the second Sunday of March to the first Sunday of November since 2007:
// each stamp takes the rules of its own year, not those of the run's year.
TEST(NewYorkTime, StampsUseTheRulesOfTheirOwnYear) {
  if (TestSupport::EnvironmentValue("TZ") != "America/New_York") GTEST_SKIP() << "needs TZ=America/New_York";
  ExpectDates({
      {UtcStamp(2006, 3, 20, 12, 0, 0), MakeDate(2006, 3, 20, 7, 0, 0)},  // not yet summer in 2006
      {UtcStamp(2007, 3, 20, 12, 0, 0), MakeDate(2007, 3, 20, 8, 0, 0)},
      {UtcStamp(2006, 4, 2, 6, 59, 59), MakeDate(2006, 4, 2, 1, 59, 59)},
      {UtcStamp(2006, 4, 2, 7, 0, 0), MakeDate(2006, 4, 2, 3, 0, 0)},
      {UtcStamp(2007, 3, 11, 6, 59, 59), MakeDate(2007, 3, 11, 1, 59, 59)},
      {UtcStamp(2007, 3, 11, 7, 0, 0), MakeDate(2007, 3, 11, 3, 0, 0)},
      {UtcStamp(2006, 10, 29, 5, 59, 59), MakeDate(2006, 10, 29, 1, 59, 59)},
      {UtcStamp(2006, 10, 29, 6, 0, 0), MakeDate(2006, 10, 29, 1, 0, 0)},
      {UtcStamp(2006, 11, 2, 12, 0, 0), MakeDate(2006, 11, 2, 7, 0, 0)},  // already winter in 2006
      {UtcStamp(2007, 11, 2, 12, 0, 0), MakeDate(2007, 11, 2, 8, 0, 0)},
      {UtcStamp(2007, 11, 4, 6, 0, 0), MakeDate(2007, 11, 4, 1, 0, 0)},
      {UtcStamp(1990, 7, 1, 12, 0, 0), MakeDate(1990, 7, 1, 8, 0, 0)},
      {UtcStamp(2030, 3, 20, 12, 0, 0), MakeDate(2030, 3, 20, 8, 0, 0)},
      // Local times before 1970 are out of range; before 1601 they cannot be
      // converted at all, though the stamp itself lies after 1601.
      {UtcStamp(1970, 1, 1, 4, 0, 0), Dates::OutOfRange},
      {UtcStamp(1601, 1, 1, 5, 0, 0), Dates::OutOfRange},
      {UtcStamp(1601, 1, 1, 4, 0, 0), Dates::Unconverted},
  });
}

}  // namespace
