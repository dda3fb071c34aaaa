#include <gtest/gtest.h>

#include <regex>

#include "base/Conventions.h"
#include "io/Dbg.h"
#include "io/Program.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::Join;
using TestSupport::ReadBytes;

// The first Log call of a process behaves apart from later ones, so these
// run in processes of their own; their folders have fixed names because the
// child runs the test body again.
class DbgLogDeathTest : public testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TestSupport::RemoveAll(folder_);
  }
  void TearDown() override { TestSupport::RemoveAll(folder_); }
  const Text folder_ =
      Join(TestSupport::TempRoot(),
           u"dm-dbg-" + DecimalText(testing::UnitTest::GetInstance()->current_test_info()->line()));
};

TEST_F(DbgLogDeathTest, FirstLineReplacesTheFileLaterLinesAppend) {
  const Text log = TestSupport::LogInto(folder_);
  auto run = [&] {
    TestSupport::MakeDirs(folder_);
    TestSupport::LogInto(folder_);
    Dbg::Log(u"to be replaced");  // makes the log's folders
    Dbg::Log(u"first \u00E4");
    Dbg::Log(u"");
    Dbg::Log(u"third " + TextFromUtf8("f\xE9te"));  // a name that is not UTF-8
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadBytes(log), "to be replaced\r\nfirst \xC3\xA4\r\n\r\nthird f\xEF\xBF\xBDte\r\n");
  // A second run starts the file anew.
  EXPECT_EXIT(
      {
        TestSupport::LogInto(folder_);
        Dbg::Log(u"again");
        std::exit(0);
      },
      testing::ExitedWithCode(0), Platform::kWindowsConventions ? "" : ": again\n");
  EXPECT_EQ(ReadBytes(log), "again\r\n");
}

TEST_F(DbgLogDeathTest, AFailedFirstCallIsNotRepeated) {
  const Text log = TestSupport::LogInto(folder_);
  auto run = [&] {
    TestSupport::LogInto(folder_);
    TestSupport::MakeDirs(log);  // a folder where the log would go
    Dbg::Log(u"lost");
    TestSupport::RemoveAll(log);
    TestSupport::WriteBytes(log, "kept\r\n");
    Dbg::Log(u"appended");
    std::exit(0);
  };
  // The line that was lost is told all the same, and that the log lacks it.
  EXPECT_EXIT(run(), testing::ExitedWithCode(0),
              Platform::kWindowsConventions
                  ? ""
                  : ": lost\n.*: the log could not be written \\(tried .*Log.txt\\)\n");
  EXPECT_EQ(ReadBytes(log), "kept\r\nappended\r\n");
}

#ifdef _WIN32
TEST_F(DbgLogDeathTest, BesideTheProgramWhenThatFolderTakesItElseLocalAppData) {
  auto run = [&] {
    TestSupport::MakeDirs(Join(folder_, u"Log.txt"));  // the program's folder takes no log
    ProgramFolder = folder_ + u"\\";
    TestSupport::SetEnvironment("LOCALAPPDATA", Join(folder_, u"local"));
    Dbg::Log(u"line");
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadBytes(Join(folder_, u"local\\Datemill\\Log.txt")), "line\r\n");
}
#else
TEST(DbgLog, GoesIntoTheUsersStateFolderNeverBesideTheProgram) {
  struct Case {
    const char16_t *state, *home, *path;
  };
  const Case cases[] = {{u"/s", u"/h", u"/s/datemill/Log.txt"},
                        {u"/s/", u"/h", u"/s/datemill/Log.txt"},
                        {u"relative", u"/h", u"/h/.local/state/datemill/Log.txt"},
                        {u"", u"/h/", u"/h/.local/state/datemill/Log.txt"}};
  const std::string state = TestSupport::EnvironmentValue("XDG_STATE_HOME");
  const std::string home = TestSupport::EnvironmentValue("HOME");
  ProgramFolder = u"/usr/bin/";
  for (const Case& c : cases) {
    TestSupport::SetEnvironment("XDG_STATE_HOME", c.state);
    TestSupport::SetEnvironment("HOME", c.home);
    EXPECT_EQ(Dbg::LogPaths(), std::vector<Text>{c.path}) << TestSupport::Show(c.state);
  }
  TestSupport::SetEnvironment("XDG_STATE_HOME", TextFromUtf8(state));
  TestSupport::SetEnvironment("HOME", TextFromUtf8(home));
}
#endif

TEST(DbgLog, StandardErrorShowsTheLineWithoutStampAndTag) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"2019.03.07 08:05:09 [Args::] Recoverable", u"dm: Recoverable"},
      {u"2019.03.07 08:05:09 [Datemill] The report", u"dm: The report"},
      {u"2019.03.07 08:05:09 plain [x] y", u"dm: plain [x] y"},
      {u"[a b] c", u"dm: [a b] c"},
      {u"2019.03.07 08:05 [x] y", u"dm: 2019.03.07 08:05 [x] y"},
      {u"", u"dm: "}};
  for (const auto& [line, told] : cases)
    EXPECT_EQ(Dbg::ToldForm(line, u"dm"), told) << TestSupport::Show(line);
}

TEST(DbgTrace, LineHasTheTimeStampAndLineEnds) {
  const std::string plain = Utf8FromText(Dbg::TraceLine(u"abc", false, false));
  EXPECT_EQ(plain, "abc\r\n");
  const std::string stamped = Utf8FromText(Dbg::TraceLine(u"abc", false, true));
  EXPECT_TRUE(std::regex_match(stamped, std::regex(R"(\[\d\d:\d\d:\d\d\] abc\r\n)"))) << stamped;
  EXPECT_EQ(Utf8FromText(Dbg::TraceLine(u"abc", true, false)), "abc\r\n\r\n");
}

}  // namespace
