#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "RunOptions.h"
#include "modules/Args.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"

namespace {

struct DepthCase {
  const char16_t* value;
  bool valid;
  int64_t levels;
};

class DepthTest : public testing::TestWithParam<DepthCase> {};

TEST_P(DepthTest, IsAWholeNumberOrAll) {
  int64_t levels = -7;
  EXPECT_EQ(ParseDepth(GetParam().value, levels), GetParam().valid);
  if (GetParam().valid) {
    EXPECT_EQ(levels, GetParam().levels);
  }
}

constexpr int64_t kMost = std::numeric_limits<int64_t>::max();
INSTANTIATE_TEST_SUITE_P(
    Values, DepthTest,
    testing::Values(DepthCase{u"0", true, 0}, DepthCase{u"1", true, 1}, DepthCase{u"007", true, 7},
                    DepthCase{u"all", true, ScanDir::AllLevels}, DepthCase{u"ALL", true, ScanDir::AllLevels},
                    DepthCase{u"9223372036854775807", true, kMost},
                    DepthCase{u"9223372036854775808", true, ScanDir::AllLevels},  // too big to hold: all
                    DepthCase{u"99999999999999999999999", true, ScanDir::AllLevels}, DepthCase{u"", false, 0},
                    DepthCase{u"-1", false, 0}, DepthCase{u"+1", false, 0}, DepthCase{u" 1", false, 0},
                    DepthCase{u"1.5", false, 0}, DepthCase{u"al", false, 0}, DepthCase{u"alll", false, 0},
                    DepthCase{u"\uFF11", false, 0}));  // a full-width digit

TEST(RunOptions, OutputGoesIntoTheOutFolder) {
  const Text sep(1, Platform::kSeparator);
  EXPECT_EQ(OutputPath(u"", u"a.txt"), u"a.txt");
  EXPECT_EQ(OutputPath(u"out", u"a.txt"), u"out" + sep + u"a.txt");
  EXPECT_EQ(OutputPath(u"out" + sep, u"a.svg"), u"out" + sep + u"a.svg");
}

class ReadRunOptionsTest : public testing::Test {
 protected:
  void TearDown() override { Args::Arguments.clear(); }
  int Read(std::vector<std::pair<Text, Text>> switches) {
    Args::Arguments.clear();
    for (const auto& [name, value] : switches) {
      const bool flag = value == u"-";
      Args::Arguments.push_back(Args::Argument{Text(Platform::kSwitchPrefix) + name, flag ? Text() : value,
                                               flag ? Args::NamedFlag : Args::NamedWithValue});
    }
    message_.clear();
    options_ = RunOptions();
    return ReadRunOptions(options_, message_);
  }
  RunOptions options_;
  Text message_;
};

TEST_F(ReadRunOptionsTest, UnknownSwitchesAndDateValuesAreFaults) {
  const Text prefix(Platform::kSwitchPrefix);
  const Text list = Platform::kWindowsConventions ? u"/chart, /follow, /open, /quiet, /?"
                                                  : u"--chart, --follow, --open, --quiet, --help, --version";
  for (const Text typo : {u"exlcude", u"dpeth", u"HELP", u"Version", u"-", u"?x"}) {
    EXPECT_EQ(Read({{u"fmt", u"yyyy"}, {typo, u"-"}}), Args::ErrBadSwitch) << TestSupport::Show(typo);
    EXPECT_TRUE(message_.starts_with(u"Unknown switch '" + prefix + typo + u"'; the switches are " + prefix +
                                     u"fmt, "))
        << TestSupport::Show(message_);
    EXPECT_TRUE(message_.ends_with(list)) << TestSupport::Show(message_);
  }
  const Text word = Platform::kWindowsConventions ? u"?" : u"help";
  EXPECT_EQ(Read({{word, u"1"}}), Args::ErrBadSwitch);
  EXPECT_EQ(message_, u"'" + prefix + word + u"' takes no value");
  for (const Text bad : {u"x", u"", u"-", u"mod", u"c m"}) {
    EXPECT_EQ(Read({{u"date", bad}}), Args::ErrBadSwitch) << TestSupport::Show(bad);
  }
  EXPECT_EQ(message_,
            u"The value of " + prefix + u"date must be c, m or a (or created, modified, accessed): 'c m'");
  // Known names in any letter case, flags with a value, and the coming
  // switches pass.
  EXPECT_EQ(Read({{u"FMT", u"yy"}, {u"Each", u"1"}, {u"follow", u"-"}, {u"open", u"-"}, {u"quiet", u"-"}}),
            Args::ResultOk);
  EXPECT_TRUE(options_.each && options_.quiet);
}

TEST_F(ReadRunOptionsTest, UnnamedValuesNeverStandForSwitches) {
  Args::Arguments = {{u"--each", u"", Args::Unnamed}, {u"--x", u"", Args::Unnamed}};
  RunOptions options;
  EXPECT_EQ(ReadRunOptions(options, message_), Args::ResultOk);
  EXPECT_FALSE(options.each);
  // On POSIX "--" ends the switches; on Windows it is an unknown switch.
  const std::vector<Args::Argument> ended = {{u"--", u"", Args::NamedFlag}, {u"--x", u"", Args::NamedFlag}};
  EXPECT_EQ(UnknownSwitchMessage(ended).empty(), !Platform::kWindowsConventions);
}

TEST(RunOptions, DateValuesInAnyLetterCase) {
  const std::pair<const char16_t*, DateKind> cases[] = {
      {u"c", DateKind::kCreated},  {u"C", DateKind::kCreated},        {u"Created", DateKind::kCreated},
      {u"m", DateKind::kModified}, {u"M", DateKind::kModified},       {u"MODIFIED", DateKind::kModified},
      {u"a", DateKind::kAccessed}, {u"accessed", DateKind::kAccessed}};
  for (const auto& [value, expected] : cases) {
    DateKind kind = expected == DateKind::kCreated ? DateKind::kAccessed : DateKind::kCreated;
    EXPECT_TRUE(ParseDateKind(value, kind)) << TestSupport::Show(value);
    EXPECT_EQ(kind, expected) << TestSupport::Show(value);
  }
}

TEST_F(ReadRunOptionsTest, FaultsCarryTheirMessage) {
  const Text prefix(Platform::kSwitchPrefix);
  EXPECT_EQ(Read({{u"depth", u"-1"}}), Args::ErrBadDepth);
  EXPECT_EQ(message_, u"The value of " + prefix + u"depth must be a whole number from 0 up or 'all': '-1'");
  EXPECT_EQ(Read({{u"depth", u"-"}}), Args::ErrBadDepth);  // no value at all
  EXPECT_EQ(Read({{u"out", u"no such folder"}}), Args::ErrNoOutFolder);
  EXPECT_EQ(message_, u"The folder of " + prefix + u"out does not exist: 'no such folder'");
  EXPECT_EQ(Read({{u"out", u""}}), Args::ErrNoOutFolder);
  const Text file = TestSupport::ProgramPath();
  EXPECT_EQ(Read({{u"out", file}}), Args::ErrNoOutFolder);
  EXPECT_EQ(message_, prefix + u"out names a file, not a folder: '" + file + u"'");
  // A bad depth is found before a bad out folder.
  EXPECT_EQ(Read({{u"out", u"no such folder"}, {u"depth", u"x"}}), Args::ErrBadDepth);
}

// With the open switch a missing out folder is made, one level deep; without
// it a missing folder stays a fault and nothing is made.
TEST_F(ReadRunOptionsTest, OpenMakesAMissingOutFolder) {
  TestSupport::ScopedTempDir dir;
  const Text deeper = TestSupport::Join(dir / u"no parent", u"out");
  const std::tuple<bool, Text, int> cases[] = {{false, dir / u"a", Args::ErrNoOutFolder},
                                               {true, dir / u"b", Args::ResultOk},
                                               {true, deeper, Args::ErrNoOutFolder}};
  for (const auto& [open, out, result] : cases) {
    SCOPED_TRACE(TestSupport::Show(out));
    std::vector<std::pair<Text, Text>> switches{{u"out", out}};
    if (open) switches.emplace_back(u"open", u"-");
    EXPECT_EQ(Read(switches), result);
    EXPECT_EQ(options_.open, open);
    EXPECT_EQ(TestSupport::Exists(out), result == Args::ResultOk);
  }
}

}  // namespace
