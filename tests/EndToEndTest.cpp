// Starts the built program on real folders and checks what it leaves.
#include <gtest/gtest.h>

#include <filesystem>

#include "Usage.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::Join;
using TestSupport::ReadBytes;
using TestSupport::UtcStamp;

#ifdef _WIN32
constexpr uint32_t kNoArguments = 0xFFFFFFFF;      // -1, all 32 bits
constexpr uint32_t kMalformedQuotes = 0xFFFFFFFD;  // -3
#else
constexpr uint32_t kNoArguments = 255;  // POSIX passes on the low 8 bits
constexpr uint32_t kMalformedQuotes = 253;
#endif

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    // A copy of the program of its own, so its log lands in this test's folder.
    const Text bin = dir_ / u"bin";
    TestSupport::MakeDirs(bin);
    const Text original = TestSupport::ProgramPath();
    program_ = Join(bin, original.substr(original.find_last_of(Platform::kNameSeparators) + 1));
    std::filesystem::copy_file(std::filesystem::path(original), std::filesystem::path(program_));
    work_ = dir_ / u"work";
    TestSupport::MakeDirs(work_);
  }

  TestSupport::RunResult Run(const std::vector<Text>& args,
                             const std::vector<std::pair<Text, Text>>& env = {}) {
    return TestSupport::Run(program_, args, work_, env);
  }
  // A folder below the test folder holding files last written at the given
  // times (UTC, which is the zone of the test run).
  Text Folder(const Text& name, const std::vector<Platform::FileTime>& written) {
    const Text folder = dir_ / name;
    TestSupport::MakeDirs(folder);
    int n = 0;
    for (Platform::FileTime time : written)
      TestSupport::MakeFile(Join(folder, u"f" + DecimalText(n++)), "x", time);
    return folder;
  }
  std::string Report(const Text& name) { return ReadBytes(Join(work_, name)); }
  std::string Log() { return ReadBytes(dir_ / u"bin" + Platform::kSeparator + u"Log.txt"); }
  static Text S(const Text& rest) { return Text(Platform::kSwitchPrefix) + rest; }

  TestSupport::ScopedTempDir dir_;
  Text program_, work_;
};

TEST_F(EndToEnd, TypicalRunCountsModifiedDatesByMonth) {
  const Text folder = Folder(u"2018", {UtcStamp(2018, 8, 30, 10, 0, 0), UtcStamp(2018, 9, 1, 0, 0, 0),
                                       UtcStamp(2018, 9, 30, 23, 59, 59)});
  TestSupport::MakeDirs(Join(folder, u"sub"));
  TestSupport::MakeFile(Join(folder, u"sub" + Text(1, Platform::kSeparator) + u"deeper"), "x",
                        UtcStamp(2017, 1, 1, 0, 0, 0));
  const TestSupport::RunResult result = Run({S(u"fmt=yyyy-mm"), folder + Platform::kSeparator, S(u"date=m")});
  EXPECT_EQ(result.status, 0u) << result.errors;
  EXPECT_EQ(result.errors, "");
  EXPECT_EQ(Report(u"2018.txt"), "2018-08 1\r\n2018-09 2\r\n");
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"2018.txt"});
  EXPECT_FALSE(TestSupport::Exists(dir_ / u"bin" + Platform::kSeparator + u"Log.txt"));
}

TEST_F(EndToEnd, SwitchNamesIgnoreCaseValuesDoNot) {
  const Text folder = Folder(u"photos", {UtcStamp(2018, 9, 26, 12, 0, 0), UtcStamp(2018, 10, 1, 12, 0, 0)});
  EXPECT_EQ(Run({S(u"FMT=DD.MM.YYYY"), S(u"DATE=m"), folder}).status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "01.10.2018 1\r\n26.09.2018 1\r\n");

  // "M" is no kind: created dates are counted, as without the switch.
  EXPECT_EQ(Run({S(u"date=M"), S(u"fmt=yyyy"), folder}).status, 0u);
  const std::string withUpperM = Report(u"photos.txt");
  EXPECT_EQ(Run({S(u"fmt=yyyy"), folder}).status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), withUpperM);

  // The first of two switches counts; a "%" typed before a token stays.
  EXPECT_EQ(Run({S(u"date=a"), S(u"date=c"), S(u"fmt=%yyyy"), S(u"date=m"), folder}).status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "%2018 2\r\n");
  EXPECT_EQ(Run({S(u"fmt=week"), S(u"date=m"), folder}).status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "2018-09-26 1\r\n2018-10-01 1\r\n");
}

TEST_F(EndToEnd, CountsAccumulateOverTheFoldersOfARun) {
  const Text empty = Folder(u"empty", {});
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0), UtcStamp(2019, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 6, 1, 0, 0, 0)});
  const Text missing = dir_ / u"missing";
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), empty, missing + u"x", a, b, missing}).status, 0u);
  // A first folder without files gets no report; later ones carry all counts.
  EXPECT_EQ(TestSupport::Listing(work_), (std::vector<Text>{u"a.txt", u"b.txt", u"missing.txt"}));
  EXPECT_EQ(Report(u"a.txt"), "2018 1\r\n2019 1\r\n");
  EXPECT_EQ(Report(u"b.txt"), "2018 1\r\n2019 2\r\n");
  EXPECT_EQ(Report(u"missing.txt"), "2018 1\r\n2019 2\r\n");
}

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
  EXPECT_EQ(
      Run({S(u"date=m"), u"%=DM_HIDDEN%", u"%DM_AFTER%"}, {{u"=DM_HIDDEN", exposed}, {u"DM_AFTER", after}})
          .status,
      0u);
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
  TestSupport::RunResult quotes = Run({folder, u"a\"b"});
  EXPECT_EQ(quotes.status, kMalformedQuotes);
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
  EXPECT_FALSE(TestSupport::Exists(dir_ / u"bin" + Platform::kSeparator + u"Log.txt"));
#ifndef _WIN32
  const std::string name = Utf8FromText(program_.substr(program_.rfind(u'/') + 1));
  EXPECT_EQ(none.errors, name + ": [Args::] No command line arguments given...\n\nTerminating now!\n");
  EXPECT_EQ(quotes.errors, name + ": [Args::] Command line: '" + Utf8FromText(folder) +
                               " a\"b'\n\nMalformed double quotes in command line...\n\nTerminating now!\n");
#endif
}

TEST_F(EndToEnd, AReportThatCannotBeWrittenIsLoggedAndFailsTheRun) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(work_, u"a.txt"));  // a folder where the report would go
  TestSupport::WriteBytes(Join(work_, u"b.txt"), "an older report that is much longer than the new one\r\n");
  const TestSupport::RunResult result = Run({S(u"date=m"), S(u"fmt=yyyy"), a, b});
  EXPECT_EQ(result.status, 1u);
  // The next folder is still done, and its report replaces the older one.
  EXPECT_EQ(Report(u"b.txt"), "2018 1\r\n2019 1\r\n");
  const std::string log = Log();
  EXPECT_NE(log.find(" [Datemill] The report file 'a.txt' could not be written"), std::string::npos) << log;
#ifndef _WIN32
  EXPECT_EQ(result.errors, "datemill: a.txt: the report could not be written\n");
#endif
  EXPECT_TRUE(log.ends_with("\r\n"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}

TEST_F(EndToEnd, LiteralTextGoesOutInTheNarrowCodePage) {
  const Text folder = Folder(u"lit", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  EXPECT_EQ(Run({S(u"fmt=\u00C4 yyyy"), S(u"date=m"), folder}).status, 0u);
#ifdef _WIN32
  EXPECT_EQ(Report(u"lit.txt"), "\xE4 2018 1\r\n");  // code page 1252, lower-cased
#else
  EXPECT_EQ(Report(u"lit.txt"), "\xC3\xA4 2018 1\r\n");  // the UTF-8 locale of the test run
#endif
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
  EXPECT_FALSE(TestSupport::Exists(dir_ / u"bin" + Platform::kSeparator + u"Log.txt"));
}

TEST_F(EndToEnd, OtherSpellingsOfTheWordsKeepTheirMeaning) {
  const Text folder = Folder(u"photos", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  for (const Text& word : {S(u"HELP"), S(u"help=yes"), S(u"Version"), S(u"?x"), Text(u"-H")}) {
    const TestSupport::RunResult result = Run({S(u"date=m"), word, folder});
    EXPECT_EQ(result.status, 0u) << TestSupport::Show(word);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(Report(u"photos.txt"), "2018-09-26 1\r\n") << TestSupport::Show(word);
  }
}

// A folder that cannot be listed is told on standard error (POSIX; the
// Windows program stays silent), and the others are still counted.
TEST_F(EndToEnd, FolderProblemsAreToldAndTheRunGoesOn) {
  const Text good = Folder(u"good", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  const Text empty = Folder(u"empty", {});
  const Text missing = dir_ / u"missing";
  const Text file = dir_ / u"plain";
  TestSupport::WriteBytes(file, "x");
  std::vector<Text> args = {S(u"date=m"), missing, file, empty};
  std::string expected = "datemill: " + Utf8FromText(missing) + ": No such file or directory\n" +
                         "datemill: " + Utf8FromText(file) + ": Not a directory\n";
  std::string report = "2018-09-26 1\r\n";
#ifndef _WIN32
  // Unreadable unless the tests run with the rights to read it anyway.
  const Text locked = Folder(u"locked", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const std::filesystem::path lockedPath(Utf8FromText(locked));
  std::filesystem::permissions(lockedPath, std::filesystem::perms::none);
  std::error_code refused;
  std::filesystem::directory_iterator probe(lockedPath, refused);
  args.push_back(locked);
  if (refused) {
    expected += "datemill: " + Utf8FromText(locked) + ": Permission denied\n";
  } else {
    report = "2018-01-01 1\r\n" + report;
  }
#endif
  args.push_back(good);
  const TestSupport::RunResult result = Run(args);
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(Report(u"good.txt"), report);
  EXPECT_FALSE(TestSupport::Exists(dir_ / u"bin" + Platform::kSeparator + u"Log.txt"));
  EXPECT_EQ(result.errors, Platform::kWindowsConventions ? "" : expected);
#ifndef _WIN32
  std::filesystem::permissions(lockedPath, std::filesystem::perms::owner_all);
#endif
}

}  // namespace
