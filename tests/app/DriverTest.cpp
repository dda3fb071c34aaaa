#include <gtest/gtest.h>

#include "app/Driver.h"
#include "base/Conventions.h"
#include "dates/Mask.h"
#include "platform/TextCase.h"

namespace {

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

// The names a run's reports get in turn when each holds its own folder.
TEST(ReportNames, ALaterReportOfANameGivenBeforeIsACopy) {
  const bool fold = Platform::kNamesIgnoreCase;
  const struct {
    const char16_t* wanted;
    const char16_t* given;
  } turns[] = {{u"photos", u"photos"},
               {u"photos", u"photos (2)"},
               {u"photos (2)", u"photos (2) (2)"},
               {u"Photos", fold ? u"Photos (3)" : u"Photos"},
               {u"photos", fold ? u"photos (4)" : u"photos (3)"},
               {u"", u""},
               {u"", u" (2)"}};
  std::set<Text> taken;
  for (const auto& turn : turns) EXPECT_EQ(ClaimReportName(turn.wanted, taken), turn.given);
}

}  // namespace
