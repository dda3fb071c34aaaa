// Long paths on Windows: drive roots, and paths past 260 characters.
#include <gtest/gtest.h>

#include "base/Conventions.h"
#include "cli/Envs.h"
#include "platform/FileSystem.h"
#include "scan/LPS.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::Join;
using TestSupport::Show;

class ProbePathWindowsTest : public testing::Test {
 protected:
  void SetUp() override {
    TestSupport::MakeDirs(dir_ / u"sub");
    TestSupport::WriteBytes(dir_ / u"five.txt", "12345");
    TestSupport::WriteBytes(dir_ / u"empty.txt", "");
  }
  void TearDown() override { Envs::Vars.Clear(); }
  TestSupport::ScopedTempDir dir_;
};

TEST_F(ProbePathWindowsTest, DriveRootsAreFolders) {
  EXPECT_EQ(LPS::ProbePath(u"C:", 0), LPS::IsAFolder);
  EXPECT_EQ(LPS::ProbePath(u"\\\\?\\C:\\", 0), LPS::IsAFolder);
  EXPECT_EQ(LPS::ProbePath(u"Q:\\", 0), LPS::NotFound);  // no such drive here
}

// A path from the current drive's root takes that drive; the start of a
// share name does not, whichever separators it has.
TEST_F(ProbePathWindowsTest, APathWithoutItsDriveTakesTheCurrentOne) {
  const Text drive = Platform::FullPath(u".").substr(0, 2);
  const std::pair<Text, Text> cases[] = {
      {u"\\", u"\\\\?\\" + drive + u"\\"},
      {u"\\Data", u"\\\\?\\" + drive + u"\\Data"},
      {u"/Data/Sub", u"\\\\?\\" + drive + u"\\Data\\Sub"},
      {u"\\.", u"\\\\?\\" + drive + u"\\"},
      {u"\\\\", u"\\\\?\\UNC\\"},
      {u"\\/", u"\\/"},
  };
  for (const auto& [path, longPath] : cases) EXPECT_EQ(LPS::ToLongPath(path, 0), longPath) << Show(path);
  EXPECT_EQ(LPS::ProbePath(u"\\", LPS::FlagLongForm), LPS::IsAFolder);
}

TEST_F(ProbePathWindowsTest, LongPathsAreLookedUpInTheirParentsListing) {
  // Nest folders until the path passes 260 characters.
  Text deep = LPS::ToLongPath(dir_.path(), 0);
  while (deep.size() < 300) deep = Join(deep, u"folder-with-a-long-name");
  TestSupport::MakeDirs(deep);
  TestSupport::WriteBytes(Join(deep, u"data.bin"), "123");
  EXPECT_EQ(LPS::ProbePath(deep, 0), LPS::IsAFolder);
  EXPECT_EQ(LPS::ProbePath(deep + u"\\", 0), LPS::IsAFolder);
  EXPECT_EQ(LPS::ProbePath(Join(deep, u"DATA.BIN"), 0), 3);  // letter case does not matter
  EXPECT_EQ(LPS::ProbePath(Join(deep, u"missing"), 0), LPS::NotFound);
  // A wildcard only matches in the listing; no entry has that name.
  EXPECT_EQ(LPS::ProbePath(Join(deep, u"*"), 0), LPS::NotFound);
  EXPECT_EQ(LPS::ProbePath(dir_ / u"*", 0), LPS::IsAFolder);  // short: the first entry counts
}

TEST_F(ProbePathWindowsTest, FromTwoHundredSixtyCharactersOnlyTheNameCounts) {
  // Wine lists paths of any length, so the threshold shows in how a
  // wildcard is taken: as a pattern below 260 characters, as a name (which
  // no entry has) from 260 on.
  ASSERT_LT(dir_.path().size(), 200u);
  for (size_t length : {259u, 260u, 261u}) {
    const Text folder = dir_ / Text(length - 3 - dir_.path().size(), u'd');
    TestSupport::MakeDirs(folder);
    TestSupport::WriteBytes(Join(folder, u"f"), "123");
    ASSERT_EQ(Join(folder, u"*").size(), length);
    EXPECT_EQ(LPS::ProbePath(Join(folder, u"*"), 0), length < 260 ? LPS::IsAFolder : LPS::NotFound) << length;
    EXPECT_EQ(LPS::ProbePath(Join(folder, u"f"), 0), 3) << length;
  }
}

}  // namespace
