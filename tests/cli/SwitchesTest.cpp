#include <gtest/gtest.h>

#include "cli/Switches.h"
#include "support/TestSupport.h"

namespace {

// The switch an unknown name was most likely meant for: the one the name
// begins, else the one fewest edits away; none where two are as close.
struct ClosestCase {
  const char16_t* typed;
  bool windows;
  const char16_t* meant;  // "": none
};

class ClosestSwitch : public testing::TestWithParam<ClosestCase> {};

TEST_P(ClosestSwitch, IsTheOnlyOneThatClose) {
  const Switches::Switch* meant = Switches::Closest(GetParam().typed, GetParam().windows);
  EXPECT_EQ(meant != nullptr ? Text(meant->name) : Text(), GetParam().meant)
      << TestSupport::Show(GetParam().typed);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ClosestSwitch,
    testing::Values(ClosestCase{u"--dat", false, u"date"}, ClosestCase{u"--DATE", false, u"date"},
                    ClosestCase{u"--dates", false, u"date"}, ClosestCase{u"--depths", false, u"depth"},
                    ClosestCase{u"--eachx", false, u"each"}, ClosestCase{u"--exlcude", false, u"exclude"},
                    ClosestCase{u"--folow", false, u"follow"}, ClosestCase{u"--chrt", false, u"chart"},
                    ClosestCase{u"--HELP", false, u"help"},
                    // The start of two, and as many edits from two: no hint.
                    ClosestCase{u"--ver", false, u""}, ClosestCase{u"--oxt", false, u""},
                    ClosestCase{u"--ex", false, u"ext"},
                    // The start of one switch only.
                    ClosestCase{u"--verb", false, u"verbose"}, ClosestCase{u"--excl", false, u"exclude"},
                    // Nothing near; a short form or a bare prefix never gets one.
                    ClosestCase{u"--xyz", false, u""}, ClosestCase{u"-q", false, u""},
                    ClosestCase{u"--", false, u""}, ClosestCase{u"--o", false, u""},
                    // Each platform's own switches and prefix.
                    ClosestCase{u"/dat", true, u"date"}, ClosestCase{u"/verbos", true, u""},
                    ClosestCase{u"/?\?", true, u"?"}, ClosestCase{u"--dat", true, u""},
                    ClosestCase{u"/dat", false, u""}));

}  // namespace
