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
                    DepthCase{u"99999999999999999999999", true, kMost}, DepthCase{u"", false, 0},
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

TEST_F(ReadRunOptionsTest, WithoutSwitchesEverythingIsAsBefore) {
  EXPECT_EQ(Read({}), Args::ResultOk);
  EXPECT_EQ(options_.mask, u"%yyyy-%mm-%dd");
  EXPECT_EQ(options_.kind, DateKind::kCreated);
  EXPECT_EQ(options_.levels, 0);
  EXPECT_TRUE(options_.extensions.empty() && options_.skipExtensions.empty() && options_.outFolder.empty());
  EXPECT_FALSE(options_.each || options_.chart);
}

TEST_F(ReadRunOptionsTest, ReadsEverySwitchFirstOccurrenceWinning) {
  TestSupport::ScopedTempDir dir;
  EXPECT_EQ(Read({{u"DEPTH", u"2"},
                  {u"depth", u"x"},
                  {u"Ext", u"jpg;png"},
                  {u"exclude", u"tmp"},
                  {u"out", dir.path()},
                  {u"each", u"-"},
                  {u"CHART", u"-"},
                  {u"fmt", u"YYYY"},
                  {u"date", u"m"}}),
            Args::ResultOk);
  EXPECT_EQ(options_.levels, 2);
  EXPECT_EQ(options_.extensions, u"jpg;png");
  EXPECT_EQ(options_.skipExtensions, u"tmp");
  EXPECT_EQ(options_.outFolder, dir.path());
  EXPECT_TRUE(options_.each && options_.chart);
  EXPECT_EQ(options_.typedMask, u"yyyy");
  EXPECT_EQ(options_.kind, DateKind::kModified);
}

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

}  // namespace
