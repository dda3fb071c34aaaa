#include <gtest/gtest.h>

#include "base/Constants.h"
#include "dates/DateValue.h"
#include "platform/posix/Common.h"
#include "support/TestSupport.h"

namespace {

// Any seconds a file system may hold convert without overflow; beyond the
// year 30828 they give the out-of-range date, before 1601 none at all.
TEST(PosixTime, StatTimesOfAnyValueConvert) {
  if (TestSupport::EnvironmentValue("TZ") != "UTC") GTEST_SKIP() << "needs TZ=UTC";
  using Platform::posix::TicksOf;
  const struct {
    int64_t seconds;
    uint32_t nanoseconds;
    int64_t date;
  } cases[] = {
      {1537972205, 999999999, MakeDate(2018, 9, 26, 14, 30, 5)},
      {int64_t{1} << 31, 0, Dates::OutOfRange},  // 2038-01-19 03:14:08
      {910692730085, 0, Dates::OutOfRange},      // 30828-09-14, the last file time
      {1000000000000, 0, Dates::OutOfRange},     // the year 33658
      {INT64_MAX, 999999999, Dates::OutOfRange},
      {-11644473601, 0, Dates::Unconverted},  // 1600-12-31 23:59:59
      {INT64_MIN, 0, Dates::Unconverted},
  };
  for (const auto& c : cases) {
    const Platform::FileTime ticks = TicksOf(c.seconds, c.nanoseconds);
    EXPECT_NE(ticks, Platform::kTimeUnread);
    EXPECT_EQ(DateOfStamp(ticks), c.date) << c.seconds;
  }
}

}  // namespace
