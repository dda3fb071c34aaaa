#include <gtest/gtest.h>

#include "app/Usage.h"
#include "cli/Switches.h"
#include "io/Program.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::Show;

TEST(Usage, TerminalTextListsEverySwitchStatusAndWordOfPosix) {
  const Text text = UsageText(u"datemill", false);
  EXPECT_TRUE(text.starts_with(u"Usage: datemill [SWITCH]... FOLDER...\n")) << Show(text);
  const char16_t* const present[] = {u"      --fmt=MASK      date mask",
                                     u"\n      --date=c|m|a|t ",
                                     u"\n      --depth=N|all ",
                                     u"\n      --ext=LIST ",
                                     u"\n      --exclude=LIST  ",
                                     u"(wins over --ext)",
                                     u"\n      --out=FOLDER ",
                                     u"\n      --each ",
                                     u"\n      --chart ",
                                     u"\n      --open ",
                                     u"(a missing --out folder",
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
                                     u"  datemill --fmt=yyyy-mm --date=m ~/Pictures/2018\n"};
  for (const char16_t* piece : present) EXPECT_NE(text.find(piece), Text::npos) << Show(piece);
  for (const char16_t* piece : {u"/fmt", u"/?", u"4294967", u"253", u"beside the program", u"{-}"}) {
    EXPECT_EQ(text.find(piece), Text::npos) << Show(piece);
  }
  // Fits an 80-column terminal.
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find(u'\n', start);
    ASSERT_NE(end, Text::npos);
    EXPECT_LE(end - start, 79u) << Show(text.substr(start, end - start));
  }
}

// The /? box: every Windows switch on a line of its own, with its brief
// text; the version and README.md named.
TEST(Usage, BoxTextFitsTheScreenAndGivesEachSwitchALine) {
  InitProcessContext();
  const Text text = UsageText(u"Datemill.exe", true);
  EXPECT_TRUE(TestSupport::FitsABox(text)) << Show(text);
  EXPECT_TRUE(text.starts_with(u"Usage: Datemill.exe [SWITCH]... FOLDER...\n")) << Show(text);
  for (const Switches::Switch& entry : Switches::All()) {
    const Text start = u"\n" + Switches::UsageForm(entry, true) + u" \u2013 ";
    const size_t at = text.find(start);
    EXPECT_EQ(at != Text::npos, Switches::Exists(entry, true)) << Show(start);
    if (at != Text::npos) {
      EXPECT_NE(text[at + start.size()], u'\n') << Show(start);  // the brief text
    }
  }
  const Text pieces[] = {u"\n/follow \u2013 with /depth,",
                         u"\nDatemill.exe /fmt=yyyy-mm /date=m C:\\Photos\n",
                         u" Log.txt ",
                         u"%LOCALAPPDATA%\\Datemill",
                         u"\nREADME.md beside Datemill.exe ",
                         u"\nDatemill " + Version + u", MIT License.\n"};
  for (const Text& piece : pieces) {
    EXPECT_NE(text.find(piece), Text::npos) << Show(piece);
  }
  for (const char16_t* piece : {u"--", u"-h", u"verbose", u"{-}"}) EXPECT_EQ(text.find(piece), Text::npos);
}

// The switches that leave out subfolders, as each platform writes them; a
// left side too long for its column has its text on the next line.
TEST(Usage, ListsTheSwitchesThatLeaveOutSubfolders) {
  const Text posix = UsageText(u"datemill", false), windows = UsageText(u"Datemill.exe", true);
  for (const char16_t* line :
       {u"\n      --skip=LIST     do not enter the subfolders of these names\n",
        u"\n  -x, --one-file-system\n                      do not enter subfolders on"})
    EXPECT_NE(posix.find(line), Text::npos) << Show(line);
  for (const char16_t* line : {u"\n/skip=LIST \u2013 leave out subfolders of these names\n",
                               u"\n/xdev \u2013 stay on the folder's own file system\n"})
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
