// Starts the built program on real folders and checks what it leaves.
#include <gtest/gtest.h>

#include <filesystem>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "support/TestSupport.h"

namespace {

using TestSupport::Join;
using TestSupport::ReadBytes;
using TestSupport::Show;
using TestSupport::UtcStamp;

#ifdef _WIN32
constexpr uint32_t kNoArguments = 0xFFFFFFFF;      // -1, all 32 bits
constexpr uint32_t kMalformedQuotes = 0xFFFFFFFD;  // -3
#else
constexpr uint32_t kNoArguments = 255;  // POSIX passes on the low 8 bits
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
#ifdef _WIN32
  TestSupport::RunResult quotes = Run({folder, u"a\"b"});
  EXPECT_EQ(quotes.status, kMalformedQuotes);
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
  EXPECT_FALSE(TestSupport::Exists(dir_ / u"bin" + Platform::kSeparator + u"Log.txt"));
#else
  const std::string name = Utf8FromText(program_.substr(program_.rfind(u'/') + 1));
  EXPECT_EQ(none.errors, name + ": [Args::] No command line arguments given...\n\nTerminating now!\n");
#endif
}

#ifndef _WIN32
// The shell has dealt with quotes already: each argument is one parameter,
// taken as it is, whatever it holds.
TEST_F(EndToEnd, ShellArgumentsAreTakenAsTheyAre) {
  const std::vector<Text> names{u"x\"y z\"w", u"\"xy zw\"", u"a \"b\" \\\"c\\\" Q", u"5% off", u"a\"b"};
  std::vector<Text> args{S(u"date=m"), S(u"fmt=yyyy")};
  for (const Text& name : names) args.push_back(Folder(name, {UtcStamp(2018, 1, 1, 0, 0, 0)}));
  args[4] = dir_ / u"a \"b\" \\\"c\\\" %DM_Q%";
  const TestSupport::RunResult result = Run(args, {{u"DM_Q", u"Q"}});
  EXPECT_EQ(result.status, 0u) << result.errors;
  EXPECT_EQ(result.errors, "");
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(Report(names[i] + u".txt"), "2018 " + std::to_string(i + 1) + "\r\n") << Show(names[i]);
  }
}

TEST_F(EndToEnd, AQuoteInTheProgramsPathOrAnArgumentHoldingItsName) {
  Folder(u"work/x datemill y", {UtcStamp(2019, 5, 1, 0, 0, 0)});
  const Text quoted = dir_ / u"bin\"q";
  TestSupport::MakeDirs(quoted);
  std::filesystem::copy_file(Utf8FromText(program_), Utf8FromText(Join(quoted, u"datemill")));
  const TestSupport::RunResult fromQuoted =
      TestSupport::Run(Join(quoted, u"datemill"), {S(u"date=m"), u"x datemill y"}, work_);
  EXPECT_EQ(fromQuoted.status, 0u) << fromQuoted.errors;
  EXPECT_EQ(Report(u"x datemill y.txt"), "2019-05-01 1\r\n");

  // Started through a link of another name, the program's name inside an
  // argument cuts nothing.
  const Text link = dir_ / u"bin/dm";
  ASSERT_EQ(::symlink(Utf8FromText(program_).c_str(), Utf8FromText(link).c_str()), 0);
  const TestSupport::RunResult fromLink =
      TestSupport::Run(link, {S(u"fmt=yyyy"), S(u"date=m"), u"x datemill y"}, work_);
  EXPECT_EQ(fromLink.status, 0u) << fromLink.errors;
  EXPECT_EQ(Report(u"x datemill y.txt"), "2019 1\r\n");
}

// A report keeps the bytes of its folder's name; the log stays UTF-8.
TEST_F(EndToEnd, NamesThatAreNotUtf8KeepTheirBytesButNotInTheLog) {
  const Text good = Folder(TextFromUtf8("f\xE9te"), {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text bad = Folder(TextFromUtf8("b\xE9" "d"), {UtcStamp(2019, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(work_, TextFromUtf8("b\xE9" "d.txt")));  // where that report would go
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), good, bad}).status, 1u);
  EXPECT_EQ(Report(TextFromUtf8("f\xE9te.txt")), "2018 1\r\n");
  const std::string log = Log();
  EXPECT_NE(log.find("'b\xEF\xBF\xBD"
                     "d.txt'"),
            std::string::npos)
      << log;
}
#endif

TEST_F(EndToEnd, AReportThatCannotBeWrittenIsLoggedAndFailsTheRun) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(work_, u"a.txt"));  // a folder where the report would go
  TestSupport::WriteBytes(Join(work_, u"b.txt"), "an older report that is much longer than the new one\r\n");
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), a, b}).status, 1u);
  // The next folder is still done, and its report replaces the older one.
  EXPECT_EQ(Report(u"b.txt"), "2018 1\r\n2019 1\r\n");
  const std::string log = Log();
  EXPECT_NE(log.find(" [Datemill] The report file 'a.txt' could not be written"), std::string::npos) << log;
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

}  // namespace
