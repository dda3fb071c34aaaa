#include <gtest/gtest.h>

#include <regex>

#include "Process.h"
#include "modules/Dbg.h"
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
  TestSupport::MakeDirs(folder_);
  auto run = [&] {
    TestSupport::WriteBytes(Join(folder_, u"Log.txt"), "an earlier run's lines\r\n");
    ProgramFolder = folder_ + Platform::kSeparator;
    Dbg::Log(u"first \u00E4");
    Dbg::Log(u"");
    Dbg::Log(u"third " + TextFromUtf8("f\xE9te"));  // a name that is not UTF-8
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadBytes(Join(folder_, u"Log.txt")), "first \xC3\xA4\r\n\r\nthird f\xEF\xBF\xBDte\r\n");
}

TEST_F(DbgLogDeathTest, AFailedFirstCallIsNotRepeated) {
  auto run = [&] {
    ProgramFolder = folder_ + Platform::kSeparator;
    Dbg::Log(u"lost: the folder is missing");
    TestSupport::MakeDirs(folder_);
    TestSupport::WriteBytes(Join(folder_, u"Log.txt"), "kept\r\n");
    Dbg::Log(u"appended");
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadBytes(Join(folder_, u"Log.txt")), "kept\r\nappended\r\n");
}

TEST(DbgTrace, LineHasTheTimeStampAndLineEnds) {
  const std::string plain = Utf8FromText(Dbg::TraceLine(u"abc", false, false));
  EXPECT_EQ(plain, "abc\r\n");
  const std::string stamped = Utf8FromText(Dbg::TraceLine(u"abc", false, true));
  EXPECT_TRUE(std::regex_match(stamped, std::regex(R"(\[\d\d:\d\d:\d\d\] abc\r\n)"))) << stamped;
  EXPECT_EQ(Utf8FromText(Dbg::TraceLine(u"abc", true, false)), "abc\r\n\r\n");
}

}  // namespace
