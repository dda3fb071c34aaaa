#include <gtest/gtest.h>

#include "app/Driver.h"
#include "base/Conventions.h"

namespace {

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
