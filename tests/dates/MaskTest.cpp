#include <gtest/gtest.h>

#include "base/Constants.h"
#include "base/Conventions.h"
#include "dates/DateValue.h"
#include "dates/Mask.h"
#include "platform/TextCase.h"
#include "support/TestSupport.h"

namespace {

struct RenderCase {
  const char16_t* mask;
  int64_t date;
  const char16_t* expected;
};

class RenderDateTest : public testing::TestWithParam<RenderCase> {};

TEST_P(RenderDateTest, RendersTokensAndKeepsTheRest) {
  const RenderCase& c = GetParam();
  EXPECT_EQ(RenderDate(c.mask, c.date), c.expected);
}

// 1537972205 is 2018-09-26 14:30:05; 1546300799 is 2018-12-31 23:59:59.
INSTANTIATE_TEST_SUITE_P(
    MaskRules, RenderDateTest,
    testing::Values(RenderCase{u"%yyyy-%mm-%dd", 0, u"1970-01-01"},
                    RenderCase{u"%yyyy-%mm-%dd", Dates::None, u"0000-00-00"},
                    RenderCase{u"%yy %hh:%ii:%ss", Dates::None, u"00 00:00:00"},
                    RenderCase{u"%yyyy-%mm-%dd %hh:%ii:%ss", -1, u"1969-12-31 23:59:59"},
                    RenderCase{u"%yyyy-%mm-%dd %hh:%ii:%ss", Dates::First, u"1601-01-01 00:00:00"},
                    RenderCase{u"%yyyy-%mm-%dd %hh:%ii:%ss", Dates::Last, u"9999-12-31 23:59:59"},
                    RenderCase{u"%dd.%mm.%yy", MakeDate(1965, 6, 1, 0, 0, 0), u"01.06.65"},
                    RenderCase{u"%yyyy%mm%dd%hh%ii%ss", 1537972205, u"20180926143005"},
                    RenderCase{u"%dd.%mm.%yy", 1546300799, u"31.12.18"},
                    RenderCase{u"no tokens here", 1537972205, u"no tokens here"},
                    RenderCase{u"%q%", 1537972205, u"%q%"}, RenderCase{u"%YYYY/%Mm", 1537972205, u"2018/09"},
                    RenderCase{u"%yyy", 1537972205, u"18y"}, RenderCase{u"%%yyyy", 1537972205, u"%2018"},
                    RenderCase{u"su%mmary %yyyy", 1537972205, u"su09ary 2018"},
                    RenderCase{u"100%-yy", 1537972205, u"100%-yy"}, RenderCase{u"", 1537972205, u""},
                    // All 64 bits count.
                    RenderCase{u"%yyyy-%mm-%dd", (int64_t{1} << 32) + 86400, u"2106-02-08"},
                    RenderCase{u"%yyyy-%mm-%dd %hh:%ii:%ss", int64_t{1} << 31, u"2038-01-19 03:14:08"}));

// What a mask does that may surprise is said; how it renders stays as it
// is (the mask table of the driver's tests).
TEST(MaskWarnings, SayWhatTheMaskDoesThatMaySurprise) {
  const std::pair<const char16_t*, std::vector<Text>> cases[] = {
      {u"yyyy-mm-dd", {}},
      {u"DD.MM.YYYY hh:ii", {}},
      {u"yyyymmdd-hhiiss", {}},
      // A typed "%" is text of its own: the token after it is no second one.
      {u"%yyyy", {}},
      {u"yyyy%mm", {}},
      {u"100%mm yyyy", {}},
      {u"Summary yyyy", {u"in the mask 'Summary yyyy', 'mm' inside 'summary' is read as the month"}},
      {u"summer yyyy", {u"in the mask 'summer yyyy', 'mm' inside 'summer' is read as the month"}},
      {u"yyyy Hammer", {u"in the mask 'yyyy Hammer', 'mm' inside 'hammer' is read as the month"}},
      {u"yyyyy-mm", {u"in the mask 'yyyyy-mm', 'yyyy' inside 'yyyyy' is read as the year"}},
      {u"day dd, yyyy", {}},
      {u"odd yyyy-mm", {u"in the mask 'odd yyyy-mm', 'dd' inside 'odd' is read as the day"}},
      {u"yyyy mm\u00E4ss", {u"in the mask 'yyyy mm\u00E4ss', 'mm' inside 'mm\u00E4ss' is read as the month"}},
      {u"week", {u"the mask 'week' holds no date token; yyyy-mm-dd is used"}},
      {u"", {u"the mask '' holds no date token; yyyy-mm-dd is used"}},
      {u"100%-yy", {u"the mask '100%-yy' renders no date: every file gives the text '100%-yy'"}},
      {u"yyyy-mm-dd hh:mm",
       {u"the mask 'yyyy-mm-dd hh:mm' holds 'mm' again where it is kept as text: only the first of a token "
        u"counts (minutes are ii)"}},
      {u"summer mmdd",
       {u"the mask 'summer mmdd' holds 'mm' again where it is kept as text: only the first of a token counts "
        u"(minutes are ii)",
        u"in the mask 'summer mmdd', 'mm' inside 'summer' is read as the month"}},
      {u"YYYY yyyy",
       {u"the mask 'YYYY yyyy' holds 'yyyy' again where it is kept as text: only the first of a token "
        u"counts"}}};
  for (const auto& [mask, warnings] : cases)
    EXPECT_EQ(MaskWarnings(mask), warnings) << TestSupport::Show(mask);
}

struct MaskCase {
  const char16_t* typed;  // as given, before lower-casing
  const char16_t* translated;
};

class MaskTest : public testing::TestWithParam<MaskCase> {};

TEST_P(MaskTest, IsLowerCasedValidatedAndTranslated) {
  EXPECT_EQ(TranslateMask(ValidateMask(Platform::ToLower(GetParam().typed))), GetParam().translated);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskTest,
    testing::Values(MaskCase{u"yyyy-mm-dd", u"%yyyy-%mm-%dd"}, MaskCase{u"DD.MM.YYYY", u"%dd.%mm.%yyyy"},
                    MaskCase{u"dd.mm.yy", u"%dd.%mm.%yy"}, MaskCase{u"mm/dd/yy", u"%mm/%dd/%yy"},
                    MaskCase{u"yyymmdd hhiiss", u"%yyy%mm%dd %hh%ii%ss"},
                    MaskCase{u"yyyymmdd hhiiss", u"%yyyy%mm%dd %hh%ii%ss"},
                    MaskCase{u"yyyy yyyy", u"%yyyy yyyy"}, MaskCase{u"yyy", u"%yyy"},
                    MaskCase{u"100%-yy", u"100%-yy"}, MaskCase{u"week", u"%yyyy-%mm-%dd"},
                    MaskCase{u"", u"%yyyy-%mm-%dd"}, MaskCase{u"Day dd", u"day %dd"},
                    MaskCase{u"Summary yyyy", u"su%mmary %yyyy"}, MaskCase{u"%yyyy", u"%%yyyy"},
                    MaskCase{u"\u00C4 yyyy", u"\u00E4 %yyyy"}));

}  // namespace
