#include <gtest/gtest.h>

#include "Driver.h"
#include "platform/Platform.h"

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

TEST(Folders, LoseOneTrailingSeparatorAndNameTheirReport) {
  const Text sep(1, Platform::kSeparator);
  EXPECT_EQ(NormaliseFolder(u"data" + sep + u"photos" + sep), u"data" + sep + u"photos");
  EXPECT_EQ(NormaliseFolder(u"x" + sep + sep), u"x" + sep);
  EXPECT_EQ(NormaliseFolder(u""), u"");
  EXPECT_EQ(ReportNameOf(u"data" + sep + u"photos"), u"photos");
  EXPECT_EQ(ReportNameOf(u"x" + sep), u"");
  EXPECT_EQ(ReportNameOf(u"."), u".");
  EXPECT_EQ(ReportNameOf(u"a|b" + sep + u"c"), u"c");
}

#ifdef _WIN32
TEST(Folders, WindowsFormsKeepTheirSlashes) {
  EXPECT_EQ(NormaliseFolder(u"C:\\Data\\Photos\\"), u"C:\\Data\\Photos");
  EXPECT_EQ(NormaliseFolder(u"C:\\"), u"C:");
  EXPECT_EQ(ReportNameOf(u"C:"), u"C:");
  // A trailing "/" stays, so the report name is empty.
  EXPECT_EQ(NormaliseFolder(u"C:/Data/Photos/"), u"C:/Data/Photos/");
  EXPECT_EQ(ReportNameOf(u"C:/Data/Photos/"), u"");
  EXPECT_EQ(ReportNameOf(u"C:\\Data/Photos"), u"Photos");
}
#else
TEST(Folders, PosixFormsTreatBackslashAsAName) {
  EXPECT_EQ(NormaliseFolder(u"/data/photos/"), u"/data/photos");
  EXPECT_EQ(NormaliseFolder(u"/"), u"/");  // the root keeps its only separator
  EXPECT_EQ(NormaliseFolder(u"a\\"), u"a\\");
  EXPECT_EQ(ReportNameOf(u"/data/a\\b"), u"a\\b");
}
#endif

}  // namespace
