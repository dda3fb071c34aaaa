#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/Constants.h"
#include "count/DateCounts.h"
#include "count/Entries.h"
#include "count/ValueCounts.h"
#include "dates/DateValue.h"
#include "dates/Mask.h"

namespace {

// Dates over the whole calendar: before 1970, the ends, no date, many of
// one second and many seconds of one day.
std::vector<int64_t> SomeDates(size_t seconds) {
  std::vector<int64_t> dates = {Dates::First,
                                Dates::Last,
                                Dates::None,
                                Dates::None,
                                MakeDate(1965, 6, 1, 9, 30, 0),
                                MakeDate(1969, 12, 31, 23, 59, 59),
                                MakeDate(1970, 1, 1, 0, 0, 0),
                                MakeDate(2038, 1, 19, 3, 14, 8),
                                MakeDate(2019, 5, 5, 12, 0, 0),
                                MakeDate(2020, 5, 5, 12, 0, 0)};
  for (int i = 0; i < 50; ++i) dates.push_back(MakeDate(2018, 9, 26, 14, 30, 5));
  // Seconds spread over two days, in no order (7919 is prime).
  for (size_t i = 0; i < seconds; ++i)
    dates.push_back(MakeDate(2024, 2, 28, 0, 0, 0) + int64_t(i * 7919 % 172800));
  return dates;
}

// The report lines "text files bytes" of counts by text: each file's date
// rendered and counted, as the program counted before it counted values.
std::string ByText(const std::vector<int64_t>& dates, TextView mask) {
  DateCountList list;
  Text text;
  for (size_t i = 0; i < dates.size(); ++i) {
    RenderDateTo(mask, dates[i], text);
    list.Add(text, 1, i % 10, dates[i]);
  }
  list.Sort();
  std::string lines;
  for (size_t i = 0; i < list.Size(); ++i) {
    lines += Utf8FromText(list.TextAt(i)) + " " + std::to_string(list.CountAt(i)) + " " +
             std::to_string(list.BytesAt(i)) + "\n";
  }
  return lines;
}

// The same lines from counts by value, settled once or every `settleEvery` files.
std::string ByValue(const std::vector<int64_t>& dates, TextView mask, size_t settleEvery) {
  ValueCounts counts;
  counts.Use(FinestUnit(MaskPieces(mask)), true);
  for (size_t i = 0; i < dates.size(); ++i) {
    counts.Add(dates[i], i % 10);
    if ((i + 1) % settleEvery == 0) counts.Settle();
  }
  counts.Settle();
  std::string lines;
  ForEachEntry(counts, mask, EntryOrder::kText, [&lines](const DateEntry& entry) {
    lines += Utf8FromText(entry.text) + " " + std::to_string(entry.files) + " " +
             std::to_string(entry.bytes) + "\n";
  });
  return lines;
}

// Counting values and rendering each once gives the report that rendering
// every file's date gives: every token, literals, no year, no date, a mask
// that renders none; with few values (the hash table), with many (kept and
// sorted), and settled in steps (the counts of several folders).
TEST(ValueCounts, AgreeWithCountingTexts) {
  const char16_t* masks[] = {u"%yyyy-%mm-%dd",
                             u"%yyyy%mm%dd%hh%ii%ss",
                             u"%dd.%mm.%yyyy",
                             u"%mm",
                             u"%hh:%ii",
                             u"%yy-%mm",
                             u"%yyyy",
                             u"%mm/%yyyy",
                             u"su%mmary %yyyy",
                             u"100%-yy",
                             u"%ss",
                             u"%yyyy-%mm %hh"};
  for (const size_t seconds : {size_t{100}, ValueCounts::kFewUnits + 5000}) {
    const std::vector<int64_t> dates = SomeDates(seconds);
    for (const char16_t* mask : masks) {
      const std::string expected = ByText(dates, mask);
      EXPECT_EQ(ByValue(dates, mask, dates.size()), expected) << Utf8FromText(mask) << " " << seconds;
      EXPECT_EQ(ByValue(dates, mask, 977), expected) << Utf8FromText(mask) << " in steps " << seconds;
    }
  }
}

// Kept units that lie far apart (more than 2^31 seconds) are kept in 8
// bytes each, and still sort.
TEST(ValueCounts, UnitsFarApartStillSort) {
  ValueCounts counts;
  counts.Use(TimeUnit::kSecond, false);
  std::vector<int64_t> expected;
  for (size_t i = 0; i < ValueCounts::kFewUnits + 10; ++i)
    counts.Add(MakeDate(2000, 1, 1, 0, 0, 0) + int64_t(i), 0);
  for (const int64_t far : {Dates::Last, Dates::First, MakeDate(1800, 1, 1, 0, 0, 0)}) counts.Add(far, 0);
  counts.Settle();
  ASSERT_EQ(counts.Size(), ValueCounts::kFewUnits + 13);
  EXPECT_EQ(counts.DateAt(0), Dates::First);
  EXPECT_EQ(counts.DateAt(1), MakeDate(1800, 1, 1, 0, 0, 0));
  EXPECT_EQ(counts.DateAt(counts.Size() - 1), Dates::Last);
  for (size_t i = 2; i + 1 < counts.Size(); ++i) EXPECT_LT(counts.DateAt(i - 1), counts.DateAt(i));
  EXPECT_EQ(counts.TotalFiles(), ValueCounts::kFewUnits + 13);
}

}  // namespace
