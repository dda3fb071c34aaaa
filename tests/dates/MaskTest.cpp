#include <gtest/gtest.h>

#include "base/Constants.h"
#include "base/Conventions.h"
#include "dates/DateValue.h"
#include "dates/Mask.h"
#include "io/Program.h"
#include "platform/Clock.h"
#include "platform/Process.h"
#include "support/TestSupport.h"

namespace {

struct MakeDateCase {
  int year, month, day, hour, minute, second;
  int64_t expected;
};

class MakeDateTest : public testing::TestWithParam<MakeDateCase> {};

TEST_P(MakeDateTest, GivesSecondsOrOutOfRange) {
  const MakeDateCase& c = GetParam();
  EXPECT_EQ(MakeDate(c.year, c.month, c.day, c.hour, c.minute, c.second), c.expected);
}

INSTANTIATE_TEST_SUITE_P(RangeEnds, MakeDateTest,
                         testing::Values(MakeDateCase{1970, 1, 1, 0, 0, 0, 0},
                                         MakeDateCase{1970, 1, 1, 0, 0, 1, 1},
                                         MakeDateCase{1970, 1, 2, 0, 0, 0, 86400},
                                         MakeDateCase{2000, 3, 1, 0, 0, 0, 951868800},
                                         MakeDateCase{2018, 9, 26, 14, 30, 5, 1537972205},
                                         MakeDateCase{2038, 1, 19, 3, 14, 7, Dates::Latest},
                                         MakeDateCase{2038, 1, 19, 3, 14, 8, Dates::OutOfRange},
                                         MakeDateCase{2038, 1, 20, 0, 0, 0, Dates::OutOfRange},
                                         MakeDateCase{2039, 6, 1, 0, 0, 0, Dates::OutOfRange},
                                         MakeDateCase{1969, 12, 31, 23, 59, 59, Dates::OutOfRange},
                                         MakeDateCase{2018, 2, 29, 0, 0, 0, Dates::OutOfRange},
                                         MakeDateCase{2018, 13, 1, 0, 0, 0, Dates::OutOfRange}));

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
                    RenderCase{u"%yyyy-%mm-%dd", Dates::OutOfRange, u"0000-00-00"},
                    RenderCase{u"%yy %hh:%ii:%ss", Dates::OutOfRange, u"00 00:00:00"},
                    RenderCase{u"%yyyy-%mm-%dd %hh:%ii:%ss", Dates::Latest, u"2038-01-19 03:14:07"},
                    RenderCase{u"%yyyy%mm%dd%hh%ii%ss", 1537972205, u"20180926143005"},
                    RenderCase{u"%dd.%mm.%yy", 1546300799, u"31.12.18"},
                    RenderCase{u"no tokens here", 1537972205, u"no tokens here"},
                    RenderCase{u"%q%", 1537972205, u"%q%"}, RenderCase{u"%YYYY/%Mm", 1537972205, u"2018/09"},
                    RenderCase{u"%yyy", 1537972205, u"18y"}, RenderCase{u"%%yyyy", 1537972205, u"%2018"},
                    RenderCase{u"su%mmary %yyyy", 1537972205, u"su09ary 2018"},
                    RenderCase{u"100%-yy", 1537972205, u"100%-yy"}, RenderCase{u"", 1537972205, u""},
                    // Only the low 32 bits count, read as signed.
                    RenderCase{u"%yyyy-%mm-%dd", (int64_t{1} << 32) + 86400, u"1970-01-02"},
                    RenderCase{u"%yyyy-%mm-%dd", (int64_t{1} << 32) - 1, u"0000-00-00"}));

// What a mask does that may surprise is said; how it renders stays as it
// is (the mask table of the driver's tests).
TEST(MaskWarnings, SayWhatTheMaskDoesThatMaySurprise) {
  const std::pair<const char16_t*, std::vector<Text>> cases[] = {
      {u"yyyy-mm-dd", {}},
      {u"Summary yyyy", {}},
      {u"DD.MM.YYYY hh:ii", {}},
      {u"week", {u"the mask 'week' holds no date token; yyyy-mm-dd is used"}},
      {u"", {u"the mask '' holds no date token; yyyy-mm-dd is used"}},
      {u"100%-yy", {u"the mask '100%-yy' renders no date: every file gives the text '100%-yy'"}},
      {u"yyyy-mm-dd hh:mm",
       {u"the mask 'yyyy-mm-dd hh:mm' holds 'mm' again where it is kept as text: only the first of a token "
        u"counts (minutes are ii)"}},
      {u"YYYY yyyy",
       {u"the mask 'YYYY yyyy' holds 'yyyy' again where it is kept as text: only the first of a token "
        u"counts"}}};
  for (const auto& [mask, warnings] : cases)
    EXPECT_EQ(MaskWarnings(mask), warnings) << TestSupport::Show(mask);
}

TEST(ProcessContext, SplitsTheProgramPathAfterTheLastSeparator) {
  struct Case {
    const char16_t *path, *folder, *file;
  };
  // The platform's separators: on POSIX a "\\" is part of a name.
  const bool windows = Platform::kWindowsConventions;
  const Case cases[] = {{u"C:\\Tools\\Datemill.exe", windows ? u"C:\\Tools\\" : u"",
                         windows ? u"Datemill.exe" : u"C:\\Tools\\Datemill.exe"},
                        {u"\\\\?\\C:\\a/b\\c.exe", windows ? u"\\\\?\\C:\\a/b\\" : u"\\\\?\\C:\\a/",
                         windows ? u"c.exe" : u"b\\c.exe"},
                        {u"/usr/bin/datemill", u"/usr/bin/", u"datemill"},
                        {u"bare", u"", u"bare"}};
  for (const Case& c : cases) {
    Text folder, file;
    SplitProgramPath(c.path, folder, file);
    EXPECT_EQ(folder, c.folder);
    EXPECT_EQ(file, c.file);
  }
}

TEST(ProcessContext, StartUpValuesComeFromTheTestProgramsOwnPath) {
  InitProcessContext();
  EXPECT_EQ(Version, u"" DATEMILL_VERSION);  // the project's version, from the build
  EXPECT_EQ(ProgramFolder + ProgramFile, Platform::ModulePath());
  EXPECT_TRUE(ProgramFile.starts_with(u"datemill_tests")) << Utf8FromText(ProgramFile);
}

TEST(ProcessContext, CurrentDateIsTheLocalClock) {
  const Platform::CalendarTime before = Platform::LocalNow();
  const int64_t now = CurrentDate();
  ASSERT_GT(now, MakeDate(2020, 1, 1, 0, 0, 0));
  // The rendered date is today's (unless midnight passed in between).
  const Text today = RenderDate(u"%yyyy", now);
  EXPECT_EQ(today, DecimalText(before.year));
}

TEST(ProcessContextDeath, EndProgramExitsWithTheLowBitsOfExitCode) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ExitCode = 7;
  EXPECT_EXIT(EndProgram(), testing::ExitedWithCode(7), "");
  ExitCode = 0;
}

}  // namespace
