#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "base/Constants.h"
#include "dates/DateValue.h"
#include "dates/Mask.h"
#include "platform/Clock.h"
#include "platform/Search.h"
#include "support/TestSupport.h"

namespace {

struct MakeDateCase {
  int year, month, day, hour, minute, second;
  int64_t expected;
};

class MakeDateTest : public testing::TestWithParam<MakeDateCase> {};

TEST_P(MakeDateTest, GivesSecondsOrNone) {
  const MakeDateCase& c = GetParam();
  EXPECT_EQ(MakeDate(c.year, c.month, c.day, c.hour, c.minute, c.second), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    RangeEnds, MakeDateTest,
    testing::Values(
        MakeDateCase{1970, 1, 1, 0, 0, 0, 0}, MakeDateCase{1970, 1, 1, 0, 0, 1, 1},
        MakeDateCase{1970, 1, 2, 0, 0, 0, 86400}, MakeDateCase{2000, 3, 1, 0, 0, 0, 951868800},
        MakeDateCase{2018, 9, 26, 14, 30, 5, 1537972205},
        // The whole calendar, 32 bits or not, and no second of it is "no date".
        MakeDateCase{1969, 12, 31, 23, 59, 59, -1}, MakeDateCase{2038, 1, 19, 3, 14, 8, 2147483648},
        MakeDateCase{1601, 1, 1, 0, 0, 0, Dates::First}, MakeDateCase{1601, 1, 1, 0, 0, 0, -11644473600},
        MakeDateCase{9999, 12, 31, 23, 59, 59, Dates::Last},
        MakeDateCase{9999, 12, 31, 23, 59, 59, 253402300799},
        MakeDateCase{1600, 12, 31, 23, 59, 59, Dates::None}, MakeDateCase{10000, 1, 1, 0, 0, 0, Dates::None},
        MakeDateCase{1900, 2, 29, 0, 0, 0, Dates::None}, MakeDateCase{2000, 2, 29, 0, 0, 0, 951782400},
        MakeDateCase{2018, 2, 29, 0, 0, 0, Dates::None}, MakeDateCase{2018, 13, 1, 0, 0, 0, Dates::None},
        MakeDateCase{2018, 1, 1, 24, 0, 0, Dates::None}));

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
TEST(LocalTime, DatesOfStampsAtTheCalendarsEnds) {
  if (TestSupport::EnvironmentValue("TZ") != "UTC") GTEST_SKIP() << "needs TZ=UTC";
  ExpectDates({
      {UtcStamp(1970, 1, 1, 0, 0, 0), 0},
      {UtcStamp(2018, 9, 26, 14, 30, 5), MakeDate(2018, 9, 26, 14, 30, 5)},
      {UtcStamp(2018, 9, 26, 14, 30, 5) + 9999999, MakeDate(2018, 9, 26, 14, 30, 5)},  // fractions dropped
      {UtcStamp(2038, 1, 19, 3, 14, 8), MakeDate(2038, 1, 19, 3, 14, 8)},
      {UtcStamp(2040, 6, 1, 0, 0, 0), MakeDate(2040, 6, 1, 0, 0, 0)},
      {UtcStamp(1969, 12, 31, 23, 59, 59), MakeDate(1969, 12, 31, 23, 59, 59)},
      {UtcStamp(1965, 6, 1, 0, 0, 0), MakeDate(1965, 6, 1, 0, 0, 0)},
      {UtcStamp(1601, 1, 1, 0, 0, 0), Dates::First},
      {UtcStamp(9999, 12, 31, 23, 59, 59), Dates::Last},
      {UtcStamp(10000, 1, 1, 0, 0, 0), Dates::None},  // past four digits of year
      {-1, Dates::None},                              // before 1601: no time at all
      {Platform::kTimeUnread, Dates::None},
  });
}

// The date of a stamp is the system's own conversion of it, for any year
// of the calendar and at the changes of daylight saving, in every zone the
// tests run in (UTC, Europe/Berlin, America/New_York).
TEST(CalendarZones, StampsConvertAsTheSystemConvertsThem) {
  std::vector<Platform::FileTime> stamps;
  for (int year : {1601, 1899, 1965, 1970, 2024, 2038, 2039, 2100, 9999}) {
    for (int month = 1; month <= 12; ++month) stamps.push_back(UtcStamp(year, month, 15, 12, 0, 0));
  }
  // Every hour of the days of the changes in Europe and in the US, then and now.
  for (const auto& [year, month, day] : std::vector<std::tuple<int, int, int>>{{1965, 4, 25},
                                                                               {1965, 10, 31},
                                                                               {1980, 4, 6},
                                                                               {1980, 9, 28},
                                                                               {2024, 3, 10},
                                                                               {2024, 3, 31},
                                                                               {2024, 10, 27},
                                                                               {2024, 11, 3},
                                                                               {2050, 3, 27},
                                                                               {2050, 10, 30}}) {
    for (int hour = 0; hour < 24; ++hour) {
      for (int second : {0, 1799, 3599})
        stamps.push_back(UtcStamp(year, month, day, hour, 0, 0) + second * 10000000LL);
    }
  }
  for (const Platform::FileTime stamp : stamps) {
    Platform::CalendarTime local;
    ASSERT_TRUE(TestSupport::SystemLocalTime(stamp, local));
    EXPECT_EQ(DateOfStamp(stamp),
              MakeDate(local.year, local.month, local.day, local.hour, local.minute, local.second))
        << Utf8FromText(RenderDate(u"%yyyy-%mm-%dd %hh:%ii:%ss", DateOfStamp(stamp)));
  }
}

// A taken date: an Exif time as it stands, a movie's UTC time made local;
// none, one outside the calendar, or the Unix epoch (a clock never set)
// gives the last write.
TEST(LocalTime, DatesTakenOrElseLastWritten) {
  if (TestSupport::EnvironmentValue("TZ") != "UTC") GTEST_SKIP() << "needs TZ=UTC";
  using TakenDate::Kind;
  const int64_t written = MakeDate(2016, 2, 3, 0, 0, 0);
  const int64_t shot = MakeDate(2018, 9, 26, 10, 11, 12);
  const int64_t scanned = MakeDate(1965, 6, 1, 9, 0, 0);
  const int64_t future = MakeDate(2040, 6, 1, 0, 0, 0);
  const struct {
    TakenDate::Moment taken;
    int64_t expected;
  } cases[] = {
      {{Kind::kWallClock, shot}, shot},
      {{Kind::kUtc, shot}, shot},
      {{Kind::kWallClock, scanned}, scanned},
      {{Kind::kUtc, scanned}, scanned},
      {{Kind::kUtc, future}, future},
      {{Kind::kWallClock, Dates::Last + 1}, written},
      {{Kind::kUtc, Dates::Last + 1}, written},
      {{Kind::kWallClock, Dates::First - 1}, written},
      {{Kind::kWallClock, 0}, written},
      {{Kind::kUtc, 0}, written},
      {{}, written},
  };
  for (const auto& c : cases) {
    Platform::DirEntry entry;
    entry.lastWrite = UtcStamp(2016, 2, 3, 0, 0, 0);
    entry.taken = c.taken;
    bool recorded = false;
    EXPECT_EQ(DateOfTaken(entry, &recorded), c.expected) << c.taken.seconds;
    EXPECT_EQ(recorded, c.expected != written) << c.taken.seconds;
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
      {UtcStamp(2038, 1, 19, 2, 14, 8), MakeDate(2038, 1, 19, 3, 14, 8)},
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
      // Before 1970 too; a local time before 1601 is no date, though the
      // stamp itself lies after 1601.
      {UtcStamp(1970, 1, 1, 4, 0, 0), MakeDate(1969, 12, 31, 23, 0, 0)},
      {UtcStamp(1965, 7, 1, 12, 0, 0), MakeDate(1965, 7, 1, 8, 0, 0)},  // summer time of 1965
      {UtcStamp(1601, 1, 1, 3, 0, 0), Dates::None},
  });
}

}  // namespace
