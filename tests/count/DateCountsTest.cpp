#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "count/DateCounts.h"

namespace {

std::vector<Text> Texts(const DateCountList& counts) {
  std::vector<Text> texts;
  for (size_t i = 0; i < counts.Size(); ++i)
    texts.push_back(counts.TextAt(i) + u" " + DecimalText(counts.CountAt(i)));
  return texts;
}

TEST(DateCountList, KeepsFirstOccurrenceOrderUntilSorted) {
  DateCountList counts;
  for (const char16_t* text : {u"b", u"a", u"b", u"c", u"a", u"b"}) counts.Add(text);
  EXPECT_EQ(Texts(counts), (std::vector<Text>{u"b 3", u"a 2", u"c 1"}));
  counts.Sort();
  EXPECT_EQ(Texts(counts), (std::vector<Text>{u"a 2", u"b 3", u"c 1"}));
  // New texts go behind the sorted ones; known ones are still found.
  counts.Add(u"0");
  counts.Add(u"b");
  EXPECT_EQ(Texts(counts), (std::vector<Text>{u"a 2", u"b 4", u"c 1", u"0 1"}));
}

TEST(DateCountList, SortsByCodeUnitWithPrefixesFirst) {
  DateCountList counts;
  for (const char16_t* text : {u"02.09.2018", u"01.10.2018", u"a", u"Z", u"2018", u"2018-01", u"\u00E4"}) {
    counts.Add(text);
  }
  counts.Sort();
  EXPECT_EQ(Texts(counts), (std::vector<Text>{u"01.10.2018 1", u"02.09.2018 1", u"2018 1", u"2018-01 1",
                                              u"Z 1", u"a 1", u"\u00E4 1"}));
}

TEST(DateCountList, SortMatchesTheOrdinalOrderForTrickyTexts) {
  const Text longA(30, u'a');
  const std::vector<Text> narrow{longA + u"b",    longA, longA + u"a", Text(u"ab\0", 3),  u"ab",
                                 u"a\u00FF",      u"a",  u"",          u"20181231235959", u"20181231235958",
                                 u"2018123123595"};
  const std::vector<Text> wide = [&] {
    std::vector<Text> texts = narrow;
    texts.push_back(u"\u20AC");  // one unit above 0xFF: the keys hold 16-bit units
    texts.push_back(u"\uFFFF\uFFFF\uFFFF\uFFFF\uFFFF");
    texts.push_back(u"\uFFFF\uFFFF\uFFFF\uFFFF");
    return texts;
  }();
  for (const std::vector<Text>* texts : {&narrow, &wide}) {
    DateCountList counts;
    for (const Text& text : *texts) counts.Add(text);
    counts.Sort();
    std::vector<Text> expected = *texts;
    std::sort(expected.begin(), expected.end());
    std::vector<Text> got;
    for (size_t i = 0; i < counts.Size(); ++i) got.push_back(counts.TextAt(i));
    EXPECT_EQ(got, expected);
    // The index still finds every text after the entries moved.
    for (const Text& text : *texts) counts.Add(text);
    for (size_t i = 0; i < counts.Size(); ++i) EXPECT_EQ(counts.CountAt(i), 2);
  }
}

TEST(DateCountList, CountsManyDistinctTextsThroughItsIndex) {
  // Hundreds of thousands of distinct texts: a list searched from its first
  // entry for every file would take hours here.
  DateCountList counts;
  constexpr int kTexts = 400000;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < kTexts; ++i) counts.Add(DecimalText(i * 7919LL % kTexts));
  }
  ASSERT_EQ(counts.Size(), static_cast<size_t>(kTexts));
  EXPECT_EQ(counts.TextAt(0), u"0");
  EXPECT_EQ(counts.TextAt(1), u"7919");
  for (size_t i = 0; i < counts.Size(); ++i) ASSERT_EQ(counts.CountAt(i), 2);
}

}  // namespace
