#include <gtest/gtest.h>

#include <limits>

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

TEST_F(ReadRunOptionsTest, FaultsCarryTheirMessage) {
  const Text prefix(Platform::kSwitchPrefix);
  EXPECT_EQ(Read({{u"depth", u"-1"}}), Args::ErrBadDepth);
  EXPECT_EQ(message_, u"The value of " + prefix + u"depth must be a whole number from 0 up or 'all': '-1'");
  EXPECT_EQ(Read({{u"depth", u"-"}}), Args::ErrBadDepth);  // no value at all
  EXPECT_EQ(Read({{u"out", u"no such folder"}}), Args::ErrNoOutFolder);
  EXPECT_EQ(message_, u"The folder of " + prefix + u"out does not exist: 'no such folder'");
  EXPECT_EQ(Read({{u"out", u""}}), Args::ErrNoOutFolder);
  // A bad depth is found before a bad out folder.
  EXPECT_EQ(Read({{u"out", u"no such folder"}, {u"depth", u"x"}}), Args::ErrBadDepth);
}

// With the open switch a missing out folder is made, one level deep; without
// it a missing folder stays a fault and nothing is made.
TEST_F(ReadRunOptionsTest, OpenMakesAMissingOutFolder) {
  TestSupport::ScopedTempDir dir;
  struct Case {
    bool open;
    Text out;
    int result;
  };
  const Text deeper = TestSupport::Join(dir / u"no parent", u"out");
  for (const Case& c : {Case{false, dir / u"a", Args::ErrNoOutFolder}, Case{true, dir / u"b", Args::ResultOk},
                        Case{true, deeper, Args::ErrNoOutFolder}}) {
    SCOPED_TRACE(TestSupport::Show(c.out));
    std::vector<std::pair<Text, Text>> switches{{u"out", c.out}};
    if (c.open) switches.emplace_back(u"open", u"-");
    EXPECT_EQ(Read(switches), c.result);
    EXPECT_EQ(options_.open, c.open);
    EXPECT_EQ(TestSupport::Exists(c.out), c.result == Args::ResultOk);
  }
}

}  // namespace
