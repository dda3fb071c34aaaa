#include <gtest/gtest.h>

#include "base/Conventions.h"
#include "cli/Args.h"
#include "cli/Envs.h"
#include "cli/RunOptions.h"
#include "cli/Switches.h"
#include "io/Program.h"
#include "support/TestSupport.h"

namespace {

// A switch written the way this platform marks switches.
Text S(const Text& rest) { return Text(Platform::kSwitchPrefix) + rest; }

// Each test parses a line of its own into an empty store.
class ArgsTest : public testing::Test {
 protected:
  void SetUp() override {
    Args::Arguments.clear();
    Args::CutValues.clear();
    Envs::Vars.Clear();
    Envs::StoreEntries({u"A=alpha", u"DATE=/date", u"SP=a b"});
  }
  void TearDown() override {
    Args::Arguments.clear();
    Envs::Vars.Clear();
  }
  int Parse(const Text& params) { return Args::TokenizeLine(u"prog.exe " + params, u"prog.exe"); }
  std::vector<Text> Stored() {
    std::vector<Text> rows;
    for (const Args::Argument& a : Args::Arguments) {
      rows.push_back(a.name + u"|" + a.value + u"|" + DecimalText(a.kind));
    }
    return rows;
  }
};

TEST_F(ArgsTest, SplitsAtSpacesOutsideQuotes) {
  using V = std::vector<Text>;
  EXPECT_EQ(Args::SplitLine(u"p a  b"), (V{u"p", u"a", u"b"}));
  EXPECT_EQ(Args::SplitLine(u"p \"a b\" c"), (V{u"p", u"a b", u"c"}));
  EXPECT_EQ(Args::SplitLine(u"p \"a b\"c"), (V{u"p", u"a b", u"c"}));  // a closing quote ends the token
  EXPECT_EQ(Args::SplitLine(u"p x\"a b\"y z"), (V{u"p", u"xa by", u"z"}));
  EXPECT_EQ(Args::SplitLine(u"p \"\" \"\""), (V{u"p", u"", u""}));
  EXPECT_EQ(Args::SplitLine(u"p a\\\"b c\""), (V{u"p", u"a\\b c"}));  // no escapes
  EXPECT_EQ(Args::SplitLine(u"p \"open"), (V{u"p", u"open"}));
  EXPECT_EQ(Args::SplitLine(u"p\ta"), (V{u"p\ta"}));  // a tab is no separator
  EXPECT_EQ(Args::SplitLine(u"   "), V{});
}

// A value holds everything after the first "=" (POSIX); on Windows it ends
// at the next "=", and what that drops is kept to be told.
TEST_F(ArgsTest, StoresSwitchesAndExpandedValues) {
  ASSERT_EQ(Parse(S(u"fmt=\"yyyy mm\" ") + S(u"x=a=b ") + S(u"x= ") + S(u"x ") + S(u" ") + u"%A% \"\" " +
                  S(u"out=C:\\a=%A%==")),
            Args::ResultOk);
  const bool windows = Platform::kWindowsConventions;
  EXPECT_EQ(Stored(), (std::vector<Text>{S(u"fmt|yyyy mm|1"), S(windows ? u"x|a|1" : u"x|a=b|1"), S(u"x||1"),
                                         S(u"x||2"), S(u"||2"), u"alpha||0", u"||0",
                                         S(windows ? u"out|C:\\a|1" : u"out|C:\\a=alpha==|1")}));
  const std::vector<Text> cut = {
      u"the value of '/x' ends at its second '=': it is 'a', and '=b' is ignored",
      u"the value of '/out' ends at its second '=': it is 'C:\\a', and '=%A%==' is ignored"};
  EXPECT_EQ(Args::CutValues, windows ? cut : std::vector<Text>{});
}

TEST_F(ArgsTest, NamesAreNeverExpandedButValuesAre) {
  ASSERT_EQ(Parse(u"\"" + S(u"%A%=%A%\" ") + S(u"d=%sp%")), Args::ResultOk);
  EXPECT_EQ(Stored(), (std::vector<Text>{S(u"%A%|alpha|1"), S(u"d|a b|1")}));
}

// On POSIX a single dash and a letter is a switch's short form too.
TEST_F(ArgsTest, DoubleDashIsASwitchSingleDashOnlyOnPosix) {
  ASSERT_EQ(Parse(u"--level=3 -level=3 -5 -"), Args::ResultOk);
  const Text single = Platform::kWindowsConventions ? u"-level=3||0" : u"-level|3|1";
  EXPECT_EQ(Stored(), (std::vector<Text>{u"--level|3|1", single, u"-5||0", u"-||0"}));
}

#ifdef _WIN32
TEST_F(ArgsTest, SlashMarksASwitchOnWindows) {
  ASSERT_EQ(Parse(u"/fmt=yy C:\\x"), Args::ResultOk);
  EXPECT_EQ(Stored(), (std::vector<Text>{u"/fmt|yy|1", u"C:\\x||0"}));
}
#else
TEST_F(ArgsTest, SlashStartsAPathOnPosix) {
  ASSERT_EQ(Parse(u"/fmt=yy /home/x"), Args::ResultOk);
  EXPECT_EQ(Stored(), (std::vector<Text>{u"/fmt=yy||0", u"/home/x||0"}));
}
#endif

TEST_F(ArgsTest, RejectsAnEmptyLineAndOddQuotesWithoutStoring) {
  EXPECT_EQ(Args::TokenizeLine(u"prog.exe", u"prog.exe"), Args::ErrNoArguments);
  EXPECT_EQ(Args::TokenizeLine(u"\"C:\\a b\\prog.exe\"    ", u"prog.exe"), Args::ErrNoArguments);
  EXPECT_EQ(Parse(u"a\"b"), Args::ErrMalformedQuotes);
  EXPECT_EQ(Parse(S(u"fmt=\"yyyy\" x\"")), Args::ErrMalformedQuotes);
  EXPECT_TRUE(Args::Arguments.empty());
  // Quotes in the program's own name do not count.
  EXPECT_EQ(Args::TokenizeLine(u"\"C:\\a b\\prog.exe\" x", u"prog.exe"), Args::ResultOk);
}

// Parameters handed over one by one (POSIX argv) are taken as they are:
// quotes are ordinary characters and no program name is searched for.
struct ListCase {
  std::vector<Text> parameters;
  std::vector<Text> stored;
};

class ArgumentListTest : public ArgsTest, public testing::WithParamInterface<ListCase> {};

TEST_P(ArgumentListTest, StoresEachParameterExactly) {
  ASSERT_EQ(Args::TokenizeArguments(GetParam().parameters), Args::ResultOk);
  EXPECT_EQ(Stored(), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, ArgumentListTest,
    testing::Values(
        ListCase{{u"x\"y z\"w"}, {u"x\"y z\"w||0"}}, ListCase{{u"\"xy zw\""}, {u"\"xy zw\"||0"}},
        ListCase{{u"a \"b\" \\\"c\\\" %A%", u"5% off"}, {u"a \"b\" \\\"c\\\" alpha||0", u"5% off||0"}},
        ListCase{{u"x datemill y", u"\"", u""}, {u"x datemill y||0", u"\"||0", u"||0"}},
        ListCase{{u"--fmt=\"yy mm\"=z", u"--%A%=%A%", u"--x\""},
                 {u"--fmt|\"yy mm\"=z|1", u"--%A%|alpha|1", u"--x\"||2"}},
        // Both forms give everything after the first "=" as the value.
        ListCase{{u"--out=t/year=2020", u"--out", u"t/year=2020", u"--fmt=yyyy=mm", u"--ext==%A%="},
                 {u"--out|t/year=2020|1", u"--out|t/year=2020|1", u"--fmt|yyyy=mm|1", u"--ext|=alpha=|1"}},
        // A switch after a folder is a switch still, and takes its value.
        ListCase{{u"d", u"--fmt", u"yyyy"}, {u"d||0", u"--fmt|yyyy|1"}},
        // "--" ends the switches; a second one is a folder, and
        // nothing after it is expanded.
        ListCase{{u"--each", u"--", u"--fmt=x", u"--", u"-h", u"%A%"},
                 {u"--each||2", u"--||2", u"--fmt=x||0", u"--||0", u"-h||0", u"%A%||0"}},
        // A switch that takes a value takes the next parameter when
        // written without "="; the last one has none to take.
        ListCase{{u"--ext", u"jpg", u"--DATE", u"-m", u"--fmt=", u"p", u"--depth"},
                 {u"--ext|jpg|1", u"--DATE|-m|1", u"--fmt||1", u"p||0", u"--depth||2"}},
        ListCase{{u"--fmt", u"%A%", u"--help", u"x", u"--chart", u"y", u"-q", u"-h"},
                 {u"--fmt|alpha|1", u"--help||2", u"x||0", u"--chart||2", u"y||0", u"-q||2", u"-h||2"}}));

TEST_F(ArgsTest, AnEmptyArgumentListHasNoParameters) {
  EXPECT_EQ(Args::TokenizeArguments({}), Args::ErrNoArguments);
  EXPECT_TRUE(Args::Arguments.empty());
  EXPECT_EQ(Args::JoinArguments({u"a \"b", u"", u"c"}), u"a \"b  c");
}

struct CutCase {
  const char16_t* line;
  const char16_t* file;
  const char16_t* rest;
};

class CutProgramNameTest : public testing::TestWithParam<CutCase> {};

TEST_P(CutProgramNameTest, LeavesTheParameters) {
  EXPECT_EQ(Args::CutProgramName(GetParam().line, GetParam().file), GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CutProgramNameTest,
    testing::Values(CutCase{u"\"Z:\\dir\\Datemill.exe\" /fmt=yy C:\\x", u"Datemill.exe", u"/fmt=yy C:\\x"},
                    CutCase{u"datemill.EXE  a b  ", u"Datemill.exe", u"a b"},
                    CutCase{u"C:\\Datemill.exe\\Datemill.exe a", u"Datemill.exe", u"a"},
                    CutCase{u"/opt/datemill/bin/datemill --fmt=yy", u"datemill", u"--fmt=yy"},
                    CutCase{u"other a \"b\"", u"Datemill.exe", u"a \"b\""},  // started by another name
                    CutCase{u"\"C:\\x\\other.exe\"a b", u"Datemill.exe", u"a b"},
                    // The closing quote and one further character go with the name.
                    CutCase{u"\"C:\\dir\\prog.exe\"abc def", u"prog.exe", u"bc def"},
                    CutCase{u"Datemill.exe", u"Datemill.exe", u""}));

TEST_F(ArgsTest, QueriesMatchWholeNamesWithoutRegardToCase) {
  ASSERT_EQ(Parse(S(u"FMT ") + S(u"fmt=late ") + S(u"date=m ") + S(u"date=a ") + u"%DATE% fmt"),
            Args::ResultOk);
  EXPECT_EQ(Args::HasNamed(S(u"fmt")), 1);
  EXPECT_EQ(Args::NamedValue(S(u"fmt")), u"");  // the first match is a flag
  EXPECT_EQ(Args::NamedValue(S(u"DATE")), u"m");
  EXPECT_EQ(Args::HasNamed(u"fmt"), 1);  // an unnamed value of that text
  EXPECT_EQ(Args::HasNamed(S(u"fm")), 0);
  EXPECT_EQ(Args::HasNamed(u"--" + S(u"fmt")), 0);
  EXPECT_EQ(Args::HasNamed(u"/date"), 1);  // the expanded unnamed value
}

TEST_F(ArgsTest, CopyByKindReplacesTheTarget) {
  ASSERT_EQ(Parse(u"one " + S(u"x=1 ") + u"\"\" two " + S(u"y")), Args::ResultOk);
  std::vector<Text> target{u"old"};
  EXPECT_EQ(Args::CopyByKind(target, Args::Unnamed), 3);
  EXPECT_EQ(target, (std::vector<Text>{u"one", u"", u"two"}));
  EXPECT_EQ(Args::CopyByKind(target, Args::NamedFlag), 1);
  EXPECT_EQ(target, std::vector<Text>{S(u"y")});
  Args::Arguments.clear();
  EXPECT_EQ(Args::CopyByKind(target, Args::Unnamed), 0);
  EXPECT_TRUE(target.empty());
  EXPECT_EQ(Args::HasNamed(S(u"x")), 0);
  EXPECT_EQ(Args::NamedValue(S(u"x")), u"");
}

TEST(ArgsReport, TextsAreExact) {
  const Text line = u"/fmt=\"x";
  EXPECT_EQ(
      Args::ReportText(-1, u"", line, u"dm.exe"),
      u"[Args::] No command line arguments given...\r\n\r\nGive the folders to count:\r\ndm.exe FOLDER..."
      u"\r\nor, once it is installed, right-click a folder\r\nin Explorer and choose \"Count files by date\"."
      u"\r\ndm.exe /? lists the switches, and README.md\r\nbeside dm.exe tells more.\r\n\r\nTerminating "
      u"now!");
  EXPECT_EQ(Args::ReportText(-2, u"", line, u"dm.exe"),
            u"[Args::] Command line: '/fmt=\"x'\r\n\r\nA required command line argument was missing..."
            u"\r\n\r\nTerminating now!");
  EXPECT_EQ(Args::ReportText(-3, u"", line, u"dm.exe"),
            u"[Args::] Command line: '/fmt=\"x'\r\n\r\nMalformed double quotes in command line..."
            u"\r\n\r\nTerminating now!");
  EXPECT_EQ(Args::ReportText(-4, u"", line, u"dm.exe"),
            u"[Args::] Command line: '/fmt=\"x'\r\n\r\n\r\n\r\nTerminating now!");
  EXPECT_EQ(Args::ReportText(-3, u"custom", line, u"dm.exe"), u"[Args::] custom");
  EXPECT_EQ(Args::ReportText(0, u"", line, u"dm.exe"),
            u"[Args::] Recoverable error - No custom message given...");
  EXPECT_EQ(Args::ReportText(0, u"why", line, u"dm.exe"), u"[Args::] why");
}

// The Windows boxes of a command line without arguments and of an unknown
// switch, which lists every switch.
TEST(ArgsReport, BoxTextsFitTheScreen) {
  const Text unknown = Args::ReportText(
      Args::ErrBadSwitch, SwitchFault({{u"/dtae", u"", Args::NamedFlag}}, true), u"", u"Datemill.exe");
  EXPECT_TRUE(unknown.ends_with(u"the switches are:\n" + Switches::BoxList())) << TestSupport::Show(unknown);
  for (const Text& text : {Args::ReportText(Args::ErrNoArguments, u"", u"", u"Datemill.exe"), unknown}) {
    EXPECT_TRUE(TestSupport::FitsABox(text)) << TestSupport::Show(text);
  }
}

TEST(ArgsReport, PosixLinesNameTheProgramAndPointToHelp) {
  const std::string hint = "\nTry 'dm --help' for more information.";
  const std::pair<int, std::string> cases[] = {
      {Args::ErrNoArguments, "Usage: dm [SWITCH]... FOLDER..." + hint},
      {Args::ErrMalformedQuotes, "dm: Malformed double quotes in command line" + hint},
      {-9, "dm: The command line is faulty" + hint}};
  for (const auto& [code, lines] : cases) EXPECT_EQ(Utf8FromText(Args::FaultLines(code, u"", u"dm")), lines);
  EXPECT_EQ(Args::FaultLines(Args::ErrBadSwitch, u"why", u"dm"), u"dm: why" + TextFromUtf8(hint));
}

TEST(ArgsReport, ReturnsForSuccessCodes) {
  EXPECT_EQ(Args::Report(1, u""), 1);
  EXPECT_EQ(Args::Report(7, u"ignored"), 7);
}

// These end the process, so each runs in a process of its own.
class ArgsDeathTest : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ArgsDeathTest, ParseRunsOnce) {
  auto check = [] {
    const int first = Args::Parse();
    const size_t stored = Args::Arguments.size();
    if (first != Args::ResultOk && first != Args::ErrNoArguments) return 1;
    if (Args::Parse() != Args::ResultOk || Args::Arguments.size() != stored) return 2;
    return 0;
  };
  EXPECT_EXIT(std::exit(check()), testing::ExitedWithCode(0), "");
}

TEST_F(ArgsDeathTest, RecoverableCodeLogsAndExitsWithZero) {
  // The child process runs this body again, so the folder has a fixed name.
  const Text folder = TestSupport::Join(TestSupport::TempRoot(), u"dm-args-report-log");
  TestSupport::MakeDirs(folder);
  auto run = [&] {
    TestSupport::LogInto(folder);
    Args::Report(0, u"");
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(0),
              Platform::kWindowsConventions ? "" : ": Recoverable error - No custom message given");
  const std::string log = TestSupport::ReadBytes(TestSupport::LogInto(folder));
  const std::string message = "[Args::] Recoverable error - No custom message given...\r\n";
  EXPECT_TRUE(log.ends_with(" " + message)) << log;
  EXPECT_EQ(log.size(), std::string("2019.03.07 08:05:09 ").size() + message.size());
  TestSupport::RemoveAll(folder);
}

TEST_F(ArgsDeathTest, FatalCodeShowsTheBoxAndExitsWithTheCode) {
  auto run = [] {
    ProgramFile = u"prog";
    Args::Report(Args::ErrNoArguments, u"");
  };
#ifdef _WIN32
  EXPECT_EXIT(run(), testing::ExitedWithCode(-1), "");
#else
  EXPECT_EXIT(run(), testing::ExitedWithCode(255),
              "^Usage: prog \\[SWITCH\\]\\.\\.\\. FOLDER\\.\\.\\.\nTry 'prog --help'");
#endif
}

}  // namespace
