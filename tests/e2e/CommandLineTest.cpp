// End to end: The command line: folders from the environment, faults, help and
// version, typos.
#include "e2e/EndToEnd.h"

namespace e2e {
namespace {

TEST_F(EndToEnd, FolderFromAnEnvironmentReference) {
  const Text folder = Folder(u"from-env", {UtcStamp(2020, 2, 29, 12, 0, 0)});
  EXPECT_EQ(Run({S(u"date=m"), u"%DM_FOLDER%"}, {{u"DM_FOLDER", folder}}).status, 0u);
  EXPECT_EQ(Report(u"from-env.txt"), "2020-02-29 1\r\n");
}

TEST_F(EndToEnd, HiddenEnvironmentEntriesAreNotVariables) {
  // Entries such as "=C:=C:\dir" have an empty name; the ones after them
  // are still read.
  const Text exposed = Folder(u"exposed", {UtcStamp(2020, 3, 1, 12, 0, 0)});
  const Text after = Folder(u"after", {UtcStamp(2020, 3, 1, 12, 0, 0)});
  // "%=DM_HIDDEN%" stays as written: a folder that does not exist.
  EXPECT_EQ(
      Run({S(u"date=m"), u"%=DM_HIDDEN%", u"%DM_AFTER%"}, {{u"=DM_HIDDEN", exposed}, {u"DM_AFTER", after}})
          .status,
      1u);
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"after.txt"});
}

TEST_F(EndToEnd, OnlySwitchesScanNothing) {
  EXPECT_EQ(Run({S(u"fmt=yyyy")}).status, 0u);
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
}

TEST_F(EndToEnd, CommandLineFaultsEndWithTheirStatus) {
  const Text folder = Folder(u"never", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  TestSupport::RunResult none = Run({});
  EXPECT_EQ(none.status, kNoArguments);
#ifdef _WIN32
  TestSupport::RunResult quotes = Run({folder, u"a\"b"});
  EXPECT_EQ(quotes.status, kMalformedQuotes);
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
  EXPECT_FALSE(TestSupport::Exists(LogFile()));
#else
  EXPECT_EQ(none.errors,
            "Usage: datemill [SWITCH]... FOLDER...\nTry 'datemill --help' for more information.\n");
#endif
}

TEST_F(EndToEnd, BadDepthOrOutFolderEndTheRunBeforeCounting) {
  const Text folder = Folder(u"never", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const std::vector<std::pair<std::vector<Text>, uint32_t>> cases = {
      {{S(u"depth=-1"), folder}, kBadDepth},
      {{S(u"depth="), folder}, kBadDepth},
      {{S(u"depth=two"), S(u"out=") + dir_.path(), folder}, kBadDepth},
      {{S(u"out=") + (dir_ / u"missing"), folder}, kNoOutFolder},
      {{folder, S(u"out=") + Join(folder, u"f0")}, kNoOutFolder}};  // a file is no folder
  for (const auto& [args, status] : cases) {
    const TestSupport::RunResult result = Run(args);
    EXPECT_EQ(result.status, status) << TestSupport::Show(args[0]);
#ifndef _WIN32
    const bool file = args[0] == folder;
    const std::string expected = status == kBadDepth
                                     ? "The value of --depth must be a whole number from 0 up or 'all': '"
                                 : file ? "--out names a file, not a folder: '"
                                        : "The folder of --out does not exist: '";
    EXPECT_TRUE(result.errors.starts_with("datemill: " + expected)) << result.errors;
    EXPECT_TRUE(result.errors.ends_with("'\nTry 'datemill --help' for more information.\n")) << result.errors;
#endif
  }
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
  EXPECT_FALSE(TestSupport::Exists(LogFile()));
}

// The words that ask for the usage or the version count nothing, whatever
// else the command line holds, and write no file.
TEST_F(EndToEnd, HelpAndVersionWordsAnswerWithoutCounting) {
  const Text folder = Folder(u"photos", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  const std::string usage = Utf8FromText(UsageText(u"datemill", false));
  const std::string version =
      "datemill " DATEMILL_VERSION "\nMIT License: free to use, change and share, with no warranty.\n";
  struct Case {
    bool windows;
    std::vector<Text> args;
    std::string output;  // standard output (a box on Windows)
  };
  const Case cases[] = {
      {true, {u"/?"}, ""},
      {true, {folder, u"/?", u"/date=m"}, ""},
      {false, {u"--help"}, usage},
      {false, {folder, u"-h"}, usage},
      {false, {u"--version", folder, u"--help"}, version},
  };
  for (const Case& c : cases) {
    if (c.windows != Platform::kWindowsConventions) continue;
    const TestSupport::RunResult result = Run(c.args);
    EXPECT_EQ(result.status, 0u);
    EXPECT_EQ(result.errors, "");
    EXPECT_EQ(result.output, c.output);
    EXPECT_TRUE(TestSupport::Listing(work_).empty());
  }
  EXPECT_FALSE(TestSupport::Exists(LogFile()));
}

// A switch the program does not know, a help word with a value and a date
// value it does not know end the run before anything is counted (their
// messages: ReadRunOptionsTest).
TEST_F(EndToEnd, TyposEndTheRunBeforeCounting) {
  const Text folder = Folder(u"photos", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  for (const Text& typo : {S(u"exlcude=gz"), S(u"Version"), S(u"help=yes"), S(u"date=modfied")}) {
    const TestSupport::RunResult result = Run({typo, S(u"date=m"), folder});
    EXPECT_EQ(result.status, kBadSwitch) << Show(typo);
    EXPECT_EQ(result.output, "");
    EXPECT_TRUE(TestSupport::Listing(work_).empty()) << Show(typo);
#ifndef _WIN32
    EXPECT_TRUE(result.errors.starts_with("datemill: ")) << result.errors;
    EXPECT_TRUE(result.errors.ends_with("\nTry 'datemill --help' for more information.\n")) << result.errors;
#endif
  }
  // "-H" is a folder of that name on Windows; on POSIX an unknown short
  // switch, and a folder of that name is given as "./-H" or after "--".
  // (There it does not exist: that fails the run, which goes on.)
  EXPECT_EQ(Run({u"-H", folder}).status, Platform::kWindowsConventions ? 1u : kBadSwitch);
  EXPECT_EQ(TestSupport::Listing(work_).size(), Platform::kWindowsConventions ? 1u : 0u);
}

// A value holding "=": on POSIX all of it after the first "=" (folders such
// as "dt=2024" are common); the Windows command line ends it at the next
// "=", and the part it drops is said in the log, since the reports then
// land elsewhere.
TEST_F(EndToEnd, AValueHoldingAnEqualsSign) {
  const Text folder = Folder(u"src", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  for (const Text out : {u"year", u"year=2020"}) TestSupport::MakeDirs(dir_ / out);
  EXPECT_EQ(Run({S(u"out=") + (dir_ / u"year=2020"), S(u"date=m"), S(u"fmt=yyyy=mm"), folder}).status, 0u);
  const bool windows = Platform::kWindowsConventions;
  EXPECT_EQ(TestSupport::Listing(dir_ / u"year"),
            windows ? std::vector<Text>{u"src.txt"} : std::vector<Text>{});
  EXPECT_EQ(TestSupport::Listing(dir_ / u"year=2020"),
            windows ? std::vector<Text>{} : std::vector<Text>{u"src.txt"});
  const Text report = windows ? dir_ / u"year" : dir_ / u"year=2020";
  EXPECT_EQ(ReadBytes(Join(report, u"src.txt")), windows ? "2018 1\r\n" : "2018=09 1\r\n");
  if (windows) {
    EXPECT_TRUE(Logged("the value of '/out' ends at its second '=': it is '" + Utf8FromText(dir_ / u"year") +
                       "', and '=2020' is ignored."))
        << Log();
    EXPECT_TRUE(Logged("the value of '/fmt' ends at its second '=': it is 'yyyy', and '=mm' is ignored."));
  }
}

// A folder value is expanded once, where the command line is read: one that
// expands to "%DMB%" counts the folder of that name and names its report
// after it. Trailing separators all go. On POSIX a switch's value may be
// the next parameter, and nothing after "--" is expanded.
TEST_F(EndToEnd, FolderValuesAreExpandedOnceAndTrimmed) {
  const Text literal = Folder(u"%DMB%", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  TestSupport::MakeFile(Join(literal, u"a.jpg"), "x", UtcStamp(2019, 1, 1, 0, 0, 0));
  const std::vector<std::pair<Text, Text>> env = {{u"DMA", u"%DMB%"}, {u"DMB", u"elsewhere"}};
  const Text sep(1, Platform::kSeparator);
  EXPECT_EQ(Run({S(u"date=m"), dir_ / u"%DMA%" + sep + sep}, env).status, 0u);
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"%DMB%.txt"});
  EXPECT_EQ(Report(u"%DMB%.txt"), "2018-09-26 1\r\n2019-01-01 1\r\n");
  if (Platform::kWindowsConventions) return;
  EXPECT_EQ(Run({u"--each", u"--date", u"m", u"--ext", u"jpg", u"--", literal}, env).status, 0u);
  EXPECT_EQ(Report(u"%DMB%.txt"), "2019-01-01 1\r\n");
}

}  // namespace
}  // namespace e2e
