#include <gtest/gtest.h>

#include "Driver.h"
#include "Process.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"

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

TEST(Folders, LoseOneTrailingSeparatorAndNameTheirReport) {
  const Text sep(1, Platform::kSeparator);
  EXPECT_EQ(NormaliseFolder(u"data" + sep + u"photos" + sep), u"data" + sep + u"photos");
  EXPECT_EQ(NormaliseFolder(u"x" + sep + sep), u"x" + sep);
  EXPECT_EQ(NormaliseFolder(u""), u"");
  EXPECT_EQ(ReportNameOf(u"data" + sep + u"photos"), u"photos");
  EXPECT_EQ(ReportNameOf(u"x" + sep), u"");
  EXPECT_EQ(ReportNameOf(u"a|b" + sep + u"c"), u"c");
}

// "." and ".." name the folder they stand for; so does a path ending in one.
TEST(Folders, DotsNameTheFolderTheyStandFor) {
  TestSupport::ScopedTempDir dir;
  const Text sep(1, Platform::kSeparator);
  const Text inner = dir / (u"outer" + sep + u"inner");
  TestSupport::MakeDirs(TestSupport::Join(inner, u"sub"));
  TestSupport::ScopedCurrentDir here(inner);
  const std::pair<Text, Text> cases[] = {
      {u".", u"inner"},
      {u"..", u"outer"},
      {u"sub" + sep + u"..", u"inner"},
      {u".." + sep + u"inner" + sep + u".", u"inner"},
      {u"sub" + sep + u"." + sep + u".", u"sub"},
      {Platform::kWindowsConventions ? u"C:\\.." : u"/..", Platform::kWindowsConventions ? u"C" : u"root"},
      {Platform::kWindowsConventions ? u"C:\\" : u"/", Platform::kWindowsConventions ? u"C" : u"root"}};
  for (const auto& [folder, name] : cases)
    EXPECT_EQ(ReportNameOf(NormaliseFolder(folder)), name) << TestSupport::Show(folder);
}

#ifdef _WIN32
TEST(Folders, WindowsFormsKeepTheirSlashes) {
  EXPECT_EQ(NormaliseFolder(u"C:\\Data\\Photos\\"), u"C:\\Data\\Photos");
  EXPECT_EQ(NormaliseFolder(u"C:\\"), u"C:");
  // A trailing "/" stays, so the report name is empty.
  EXPECT_EQ(NormaliseFolder(u"C:/Data/Photos/"), u"C:/Data/Photos/");
  EXPECT_EQ(ReportNameOf(u"C:/Data/Photos/"), u"");
  EXPECT_EQ(ReportNameOf(u"C:\\Data/Photos"), u"Photos");
}

// A drive is named by its letter ("C:.txt" would land in drive C's current
// folder); characters Windows names cannot hold become "_".
TEST(Folders, WindowsReportNamesAreNamesWindowsCanHold) {
  const std::pair<Text, Text> cases[] = {
      {u"C:", u"C"},
      {u"\\\\?\\d:", u"d"},
      {u"\\\\?\\UNC\\server\\share", u"share"},
      {u"C:x", u"C_x"},
      {u"1:", u"1_"},
      {u"a<b>c\"d|e?f*g:h", u"a_b_c_d_e_f_g_h"},
      {Text(u"tab\tnl\n\x1F.") + u'\0', u"tab_nl__._"},
      {u"caf\u00E9 [1] {2} #3", u"caf\u00E9 [1] {2} #3"},
  };
  for (const auto& [folder, name] : cases) EXPECT_EQ(ReportNameOf(folder), name) << TestSupport::Show(folder);
}
#else
TEST(Folders, PosixFormsTreatBackslashAsAName) {
  EXPECT_EQ(NormaliseFolder(u"/data/photos/"), u"/data/photos");
  EXPECT_EQ(NormaliseFolder(u"/"), u"/");                 // the root keeps its only separator
  EXPECT_EQ(ReportNameOf(u"/no such folder/.."), u"..");  // nothing to resolve
  EXPECT_EQ(NormaliseFolder(u"a\\"), u"a\\");
  EXPECT_EQ(ReportNameOf(u"/data/a\\b"), u"a\\b");
  // Every character but "/" may stand in a POSIX name.
  EXPECT_EQ(ReportNameOf(u"/data/C:"), u"C:");
  EXPECT_EQ(ReportNameOf(u"a<b>c\"d|e?f*g:h\t"), u"a<b>c\"d|e?f*g:h\t");
}
#endif

}  // namespace
