#include <gtest/gtest.h>

#include "app/Usage.h"
#include "io/Program.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::Show;

struct UsageCase {
  bool windows;
  const char16_t* program;
  std::vector<const char16_t*> present;
  std::vector<const char16_t*> absent;
};

class UsageTextTest : public testing::TestWithParam<UsageCase> {};

TEST_P(UsageTextTest, ListsEverySwitchStatusAndWordOfItsPlatform) {
  const UsageCase& c = GetParam();
  const Text text = UsageText(c.program, c.windows);
  EXPECT_TRUE(text.starts_with(u"Usage: " + Text(c.program) + u" [SWITCH]... FOLDER...\n")) << Show(text);
  for (const char16_t* piece : c.present) EXPECT_NE(text.find(piece), Text::npos) << Show(piece);
  for (const char16_t* piece : c.absent) EXPECT_EQ(text.find(piece), Text::npos) << Show(piece);
  // Fits an 80-column terminal.
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find(u'\n', start);
    ASSERT_NE(end, Text::npos);
    EXPECT_LE(end - start, 79u) << Show(text.substr(start, end - start));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Platforms, UsageTextTest,
    testing::Values(UsageCase{false,
                              u"datemill",
                              {u"      --fmt=MASK      date mask",
                               u"\n      --date=c|m|a|t ",
                               u"\n      --depth=N|all ",
                               u"\n      --ext=LIST ",
                               u"\n      --exclude=LIST  ",
                               u"(wins over --ext)",
                               u"\n      --out=FOLDER ",
                               u"\n      --each ",
                               u"\n      --chart ",
                               u"\n  -h, --help ",
                               u"\n      --version ",
                               u"\n  0    done\n",
                               u"\n  1    a report",
                               u"\n  250  an unknown switch, one given a value",
                               u"\n  251  the --out folder",
                               u"\n  252  the --depth value",
                               u"\n  255  no arguments",
                               u"\n      --quiet ",
                               u"~/.local/state/datemill/Log.txt",
                               u"After --,",
                               u"  datemill --fmt=yyyy-mm --date=m ~/Pictures/2018\n"},
                              {u"/fmt", u"/?", u"4294967", u"253", u"beside the program"}},
                    UsageCase{
                        true,
                        u"Datemill.exe",
                        {u"\n  /fmt=MASK           date mask", u"\n  /date=c|m|a|t ", u"\n  /depth=N|all ",
                         u"\n  /ext=LIST ", u"\n  /exclude=LIST ", u"(wins over /ext)", u"\n  /out=FOLDER ",
                         u"\n  /each ", u"\n  /chart ", u"\n  /?                  show this help\n",
                         u"\n  4294967290 (-6)  an unknown switch", u"\n  4294967291 (-5)  the /out folder",
                         u"\n  /quiet ", u"Log.txt beside the program, or in %LOCALAPPDATA%\\Datemill",
                         u"\n  4294967292 (-4)  the /depth value", u"\n  4294967293 (-3)  the double quotes",
                         u"\n  4294967295 (-1)  no arguments",
                         u"  Datemill.exe /fmt=yyyy-mm /date=m C:\\Photos\\2018\\\n"},
                        {u"--", u"-h", u"version", u"{-}"}}));

TEST(Usage, ListsTheOpenSwitchAndWhatItDoesToTheOutFolder) {
  for (const bool windows : {false, true}) {
    const Text text = UsageText(u"datemill", windows);
    const Text open = windows ? u"\n  /open " : u"\n      --open ";
    EXPECT_NE(text.find(open), Text::npos) << Show(text);
    EXPECT_NE(text.find(windows ? u"(a missing /out folder" : u"(a missing --out folder"), Text::npos);
  }
}

// The switches that leave out subfolders, as each platform writes them; a
// left side too long for its column has its text on the next line.
TEST(Usage, ListsTheSwitchesThatLeaveOutSubfolders) {
  const Text posix = UsageText(u"datemill", false), windows = UsageText(u"Datemill.exe", true);
  for (const char16_t* line :
       {u"\n      --skip=LIST     do not enter the subfolders of these names\n",
        u"\n  -x, --one-file-system\n                      do not enter subfolders on"})
    EXPECT_NE(posix.find(line), Text::npos) << Show(line);
  for (const char16_t* line : {u"\n  /skip=LIST          do not enter the subfolders of these names\n",
                               u"\n  /xdev               do not enter subfolders on"})
    EXPECT_NE(windows.find(line), Text::npos) << Show(line);
}

TEST(Usage, VersionTextNamesTheBuildsVersionAndTheLicence) {
  InitProcessContext();
  EXPECT_EQ(VersionText(), u"datemill " + FromAscii(DATEMILL_VERSION) +
                               u"\nMIT License: free to use, change and share, with no warranty.\n");
}

Args::Argument Named(const char16_t* name) { return {name, u"", Args::NamedFlag}; }
Args::Argument Valued(const char16_t* name) { return {name, u"x", Args::NamedWithValue}; }
Args::Argument Folder(const char16_t* name) { return {name, u"", Args::Unnamed}; }

struct RequestCase {
  std::vector<Args::Argument> arguments;
  InformationRequest posix, windows;
};

TEST(Usage, OnlyTheExactWordsAskForInformationAndTheFirstWins) {
  using enum InformationRequest;
  const RequestCase cases[] = {
      {{Folder(u"photos"), Named(u"--help")}, kUsage, kNone},
      {{Named(u"-h"), Folder(u"photos")}, kUsage, kNone},
      {{Named(u"--version"), Named(u"--help")}, kVersion, kNone},
      {{Named(u"-h"), Named(u"--version")}, kUsage, kNone},
      {{Named(u"/?")}, kNone, kUsage},
      {{Folder(u"photos"), Named(u"/?"), Named(u"--version")}, kVersion, kUsage},
      {{Named(u"--HELP"), Named(u"--Version"), Named(u"-H"), Folder(u"--help"), Folder(u"/?"), Folder(u"-h")},
       kNone,
       kNone},
      {{Valued(u"--help"), Valued(u"--version"), Valued(u"/?"), Named(u"/?x")}, kNone, kNone},
      {{Named(u"-help"), Named(u"---help"), Named(u"--versions"), Named(u"/h")}, kNone, kNone},
      {{Named(u"--"), Named(u"-h"), Named(u"/?")}, kNone, kUsage},  // POSIX: the switches end at "--"
      {{}, kNone, kNone},
  };
  for (const RequestCase& c : cases) {
    SCOPED_TRACE(Show(c.arguments.empty() ? Text() : c.arguments.front().name));
    EXPECT_EQ(FindInformationRequest(c.arguments, false), c.posix);
    EXPECT_EQ(FindInformationRequest(c.arguments, true), c.windows);
  }
}

}  // namespace
