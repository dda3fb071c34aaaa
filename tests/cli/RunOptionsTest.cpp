#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "base/Conventions.h"
#include "cli/Args.h"
#include "cli/RunOptions.h"
#include "cli/Switches.h"
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

// Staying on one file system is /xdev on Windows, --one-file-system or -x
// on POSIX; the other platform's name is an unknown switch.
TEST_F(ReadRunOptionsTest, OneFileSystemIsNamedAsOnItsPlatform) {
  const bool windows = Platform::kWindowsConventions;
  const struct {
    const char16_t* name;
    bool posix, windows;
  } cases[] = {{u"--one-file-system", true, false},
               {u"--One-File-System", true, false},
               {u"-x", true, false},
               {u"--xdev", false, false},
               {u"/xdev", false, true},
               {u"/XDev", false, true},
               {u"/one-file-system", false, false}};
  for (const auto& c : cases) {
    if (!Switches::IsSwitch(c.name, windows)) continue;  // a folder here
    Args::Arguments = {Args::Argument{c.name, u"", Args::NamedFlag}};
    options_ = RunOptions();
    const bool known = windows ? c.windows : c.posix;
    EXPECT_EQ(ReadRunOptions(options_, message_), known ? Args::ResultOk : Args::ErrBadSwitch)
        << TestSupport::Show(c.name);
    EXPECT_EQ(options_.oneFileSystem, known) << TestSupport::Show(c.name);
  }
}

TEST_F(ReadRunOptionsTest, UnknownSwitchesAndDateValuesAreFaults) {
  const Text prefix(Platform::kSwitchPrefix);
  // A Windows box lists the switches one a line.
  const bool windows = Platform::kWindowsConventions;
  const Text first = windows ? u":\n/fmt=MASK \u2013 " : u" --fmt, ";
  const Text list = windows ? u"\n/quiet \u2013 no progress line on a terminal\n/? \u2013 "
                            : u"--chart, --open, --quiet, --verbose, --help, --version";
  // A name close to one switch names it; the switch is not taken for it.
  const std::pair<Text, Text> typos[] = {{u"exlcude", u" (did you mean " + prefix + u"exclude?)"},
                                         {u"dpeth", u" (did you mean " + prefix + u"depth?)"},
                                         {u"HELP", windows ? u"" : u" (did you mean --help?)"},
                                         {u"Version", windows ? u"" : u" (did you mean --version?)"},
                                         {u"-", u""},
                                         {u"?x", windows ? u" (did you mean /?\?)" : u""}};
  for (const auto& [typo, hint] : typos) {
    EXPECT_EQ(Read({{u"fmt", u"yyyy"}, {typo, u"-"}}), Args::ErrBadSwitch) << TestSupport::Show(typo);
    const Text shown = windows && !hint.empty() ? u"\n" + hint.substr(1) : hint;  // a box's line of its own
    EXPECT_TRUE(message_.starts_with(u"Unknown switch '" + prefix + typo + u"'" + shown +
                                     u"; the switches are" + first))
        << TestSupport::Show(message_);
    EXPECT_NE(message_.find(list), Text::npos) << TestSupport::Show(message_);
  }
  for (const Text bad : {u"x", u"", u"-", u"mod", u"c m"}) {
    EXPECT_EQ(Read({{u"date", bad}}), Args::ErrBadSwitch) << TestSupport::Show(bad);
  }
  EXPECT_EQ(message_, u"The value of " + prefix +
                          u"date must be c, m, a or t (or created, modified, accessed, taken): 'c m'");
  // Known names in any letter case pass.
  EXPECT_EQ(Read({{u"FMT", u"yy"}, {u"Each", u"-"}, {u"follow", u"-"}, {u"open", u"-"}, {u"quiet", u"-"}}),
            Args::ResultOk);
  EXPECT_TRUE(options_.each && options_.quiet);
}

TEST_F(ReadRunOptionsTest, UnnamedValuesNeverStandForSwitches) {
  Args::Arguments = {{u"--each", u"", Args::Unnamed}, {u"--x", u"", Args::Unnamed}};
  RunOptions options;
  EXPECT_EQ(ReadRunOptions(options, message_), Args::ResultOk);
  EXPECT_FALSE(options.each);
}

// A switch written otherwise than the table has it: the fault names it.
struct FaultCase {
  std::vector<Args::Argument> arguments;
  const char16_t* posix;    // how the message on POSIX starts ("": no fault)
  const char16_t* windows;  // ... and on Windows
};

TEST(SwitchFault, NamesTheFirstSwitchWrittenWrongly) {
  const Args::Kind flag = Args::NamedFlag, valued = Args::NamedWithValue, folder = Args::Unnamed;
  const FaultCase cases[] = {
      {{{u"--chart", u"no", valued}}, u"'--chart' takes no value", u"Unknown switch '--chart'"},
      {{{u"/quiet", u"0", valued}}, u"Unknown switch '/quiet'", u"'/quiet' takes no value"},
      {{{u"--each", u"1", valued}, {u"--fmt", u"", flag}}, u"'--each' takes no value", u"Unknown"},
      {{{u"--ext", u"", flag}}, u"'--ext' needs a value: --ext=LIST or --ext LIST", u"Unknown"},
      {{{u"/ext", u"", flag}, {u"/depth", u"", flag}}, u"Unknown", u""},  // Windows: an empty value
      {{{u"-h", u"", flag}, {u"-z", u"", flag}}, u"Unknown switch '-z'", u"Unknown switch '-h'"},
      // "--" ends the switches on POSIX; an unnamed value never is one.
      {{{u"--", u"", flag}, {u"--x", u"", flag}}, u"", u"Unknown switch '--'"},
      {{{u"--each", u"", folder}, {u"-q", u"", folder}}, u"", u""},
      // No switch is taken by a name that only begins like it, or begins
      // with it: each is named, as a hint.
      {{{u"--dat", u"m", valued}},
       u"Unknown switch '--dat' (did you mean --date?)",
       u"Unknown switch '--dat';"},
      {{{u"/dat", u"m", valued}}, u"Unknown switch '/dat';", u"Unknown switch '/dat'\n(did you mean /date?)"},
      {{{u"--depths", u"2", valued}}, u"Unknown switch '--depths' (did you mean --depth?)", u"Unknown"},
      {{{u"--eachx", u"", flag}}, u"Unknown switch '--eachx' (did you mean --each?)", u"Unknown"},
      {{{u"--dates", u"m", valued}}, u"Unknown switch '--dates' (did you mean --date?)", u"Unknown"},
      {{{u"/dates", u"m", valued}}, u"Unknown", u"Unknown switch '/dates'\n(did you mean /date?)"},
      {{{u"--ver", u"", flag}}, u"Unknown switch '--ver';", u"Unknown"}};
  for (const FaultCase& c : cases) {
    for (const bool windows : {false, true}) {
      const Text fault = SwitchFault(c.arguments, windows);
      const TextView expected = windows ? c.windows : c.posix;
      EXPECT_TRUE(fault.starts_with(expected) && fault.empty() == expected.empty())
          << TestSupport::Show(fault);
    }
  }
  // A short form the program does not know says how a folder of that name is given.
  EXPECT_TRUE(SwitchFault({{u"-q", u"", flag}}, false)
                  .ends_with(u" (a folder of that name is given as ./-q or after --)"));
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
  // No value at all: on POSIX the switch is written wrongly.
  EXPECT_EQ(Read({{u"depth", u"-"}}), Platform::kWindowsConventions ? Args::ErrBadDepth : Args::ErrBadSwitch);
  EXPECT_EQ(Read({{u"out", u"no such folder"}}), Args::ErrNoOutFolder);
  EXPECT_EQ(message_, u"The folder of " + prefix + u"out does not exist: 'no such folder'");
  EXPECT_EQ(Read({{u"out", u""}}), Args::ErrNoOutFolder);
  const Text file = TestSupport::ProgramPath();
  EXPECT_EQ(Read({{u"out", file}}), Args::ErrNoOutFolder);
  EXPECT_EQ(message_, prefix + u"out names a file, not a folder: '" + file + u"'");
  // A bad depth is found before a bad out folder.
  EXPECT_EQ(Read({{u"out", u"no such folder"}, {u"depth", u"x"}}), Args::ErrBadDepth);
}

// POSIX "--out=-" writes the reports to standard output: a chart or the
// opening of files cannot go with it.
TEST_F(ReadRunOptionsTest, StandardOutputTakesNoFilesToChartOrOpen) {
  if (Platform::kWindowsConventions) GTEST_SKIP() << "no standard output on Windows";
  const std::pair<Text, int> cases[] = {
      {u"", Args::ResultOk}, {u"--chart", Args::ErrBadSwitch}, {u"--open", Args::ErrBadSwitch}};
  for (const auto& [with, result] : cases) {
    Args::Arguments = {{u"--out", u"-", Args::NamedWithValue}};
    if (!with.empty()) Args::Arguments.push_back({with, u"", Args::NamedFlag});
    options_ = RunOptions();
    EXPECT_EQ(ReadRunOptions(options_, message_), result) << TestSupport::Show(with);
    if (result == Args::ResultOk) {
      EXPECT_TRUE(options_.toStandardOutput);
    } else {
      EXPECT_EQ(message_, with + u" needs a file: it cannot go with --out=- (standard output)");
    }
  }
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
