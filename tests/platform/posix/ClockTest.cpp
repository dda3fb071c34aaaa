#include <gtest/gtest.h>

#include "base/Constants.h"
#include "dates/DateValue.h"
#include "platform/posix/Common.h"
#include "support/TestSupport.h"

namespace {

// Any seconds a file system may hold convert without overflow; beyond the
// year 9999 and before 1601 they give no date.
TEST(PosixTime, StatTimesOfAnyValueConvert) {
  if (TestSupport::EnvironmentValue("TZ") != "UTC") GTEST_SKIP() << "needs TZ=UTC";
  using Platform::posix::TicksOf;
  const struct {
    int64_t seconds;
    uint32_t nanoseconds;
    int64_t date;
  } cases[] = {
      {1537972205, 999999999, MakeDate(2018, 9, 26, 14, 30, 5)},
      {int64_t{1} << 31, 0, MakeDate(2038, 1, 19, 3, 14, 8)},
      {-86400, 0, MakeDate(1969, 12, 31, 0, 0, 0)},
      {253402300799, 0, Dates::Last},
      {253402300800, 0, Dates::None},   // 10000-01-01
      {910692730085, 0, Dates::None},   // 30828-09-14, the last file time
      {1000000000000, 0, Dates::None},  // the year 33658
      {INT64_MAX, 999999999, Dates::None},
      {-11644473600, 0, Dates::First},  // 1601-01-01 00:00:00
      {-11644473601, 0, Dates::None},   // 1600-12-31 23:59:59
      {INT64_MIN, 0, Dates::None},
  };
  for (const auto& c : cases) {
    const Platform::FileTime ticks = TicksOf(c.seconds, c.nanoseconds);
    EXPECT_NE(ticks, Platform::kTimeUnread);
    EXPECT_EQ(DateOfStamp(ticks), c.date) << c.seconds;
  }
}

}  // namespace
