#include <gtest/gtest.h>

#include "base/Conventions.h"
#include "cli/Envs.h"
#include "scan/LPS.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::Join;

struct PathCase {
  const char16_t* in;
  const char16_t* out;
};

class ToLongPathTest : public testing::TestWithParam<PathCase> {};
class FromLongPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(ToLongPathTest, PrefixesDriveAndSharePathsOnly) {
  const Text expected = Platform::kLongPathPrefixes ? GetParam().out : GetParam().in;
  EXPECT_EQ(LPS::ToLongPath(GetParam().in, 0), expected);
  EXPECT_EQ(LPS::ToLongPath(LPS::ToLongPath(GetParam().in, 0), 0), expected);  // idempotent
}

TEST_P(FromLongPathTest, RemovesThePrefix) {
  const Text expected = Platform::kLongPathPrefixes ? GetParam().out : GetParam().in;
  EXPECT_EQ(LPS::FromLongPath(GetParam().in), expected);
}

INSTANTIATE_TEST_SUITE_P(Paths, ToLongPathTest,
                         testing::Values(PathCase{u"C:\\Data", u"\\\\?\\C:\\Data"},
                                         PathCase{u"C:Data", u"\\\\?\\C:Data"},
                                         PathCase{u"\\\\server\\share", u"\\\\?\\UNC\\server\\share"},
                                         PathCase{u"\\\\.\\x", u"\\\\?\\UNC\\.\\x"},
                                         PathCase{u"Data\\Sub", u"Data\\Sub"}, PathCase{u"\\Data", u"\\Data"},
                                         PathCase{u"", u""}, PathCase{u"C", u"C"},
                                         PathCase{u"//server/share", u"//server/share"},
                                         PathCase{u"C:/Data/Sub", u"\\\\?\\C:/Data/Sub"},
                                         PathCase{u"C:\\a\\..\\b", u"\\\\?\\C:\\a\\..\\b"},
                                         PathCase{u"\\\\?\\C:\\x", u"\\\\?\\C:\\x"},
                                         PathCase{u"\\\\?\\UNC\\s\\h", u"\\\\?\\UNC\\s\\h"}));

INSTANTIATE_TEST_SUITE_P(Paths, FromLongPathTest,
                         testing::Values(PathCase{u"\\\\?\\C:\\x", u"C:\\x"},
                                         PathCase{u"\\\\?\\UNC\\s\\h", u"\\\\s\\h"},
                                         PathCase{u"\\\\?\\unc\\s\\h", u"\\\\s\\h"},
                                         PathCase{u"C:\\x", u"C:\\x"}, PathCase{u"\\\\?", u"\\\\?"}));

class ProbePathTest : public testing::Test {
 protected:
  void SetUp() override {
    TestSupport::MakeDirs(dir_ / u"sub");
    TestSupport::WriteBytes(dir_ / u"five.txt", "12345");
    TestSupport::WriteBytes(dir_ / u"empty.txt", "");
  }
  void TearDown() override { Envs::Vars.Clear(); }
  TestSupport::ScopedTempDir dir_;
};

TEST_F(ProbePathTest, TellsFilesFoldersAndNothingApart) {
  const Text sep(1, Platform::kSeparator);
  EXPECT_EQ(LPS::ProbePath(dir_ / u"five.txt", 0), 5);
  EXPECT_EQ(LPS::ProbePath(dir_ / u"empty.txt", 0), 0);
  EXPECT_EQ(LPS::ProbePath(dir_ / u"sub", 0), LPS::IsAFolder);
  EXPECT_EQ(LPS::ProbePath(dir_ / u"sub" + sep + sep, 0), LPS::IsAFolder);
  EXPECT_EQ(LPS::ProbePath(dir_ / u"missing", 0), LPS::NotFound);
  EXPECT_EQ(LPS::ProbePath(dir_ / u"missing" + sep + u"x", 0), LPS::NotFound);
  EXPECT_EQ(LPS::ProbePath(u"", 0), LPS::NotFound);
  EXPECT_EQ(LPS::ProbePath(dir_.path(), LPS::FlagLongForm), LPS::IsAFolder);
  EXPECT_TRUE(LPS::IsFolder(dir_ / u"sub", 0));
  EXPECT_FALSE(LPS::IsFolder(dir_ / u"five.txt", 0));
  EXPECT_FALSE(LPS::IsFolder(dir_ / u"missing", LPS::FlagLongForm));
}

TEST_F(ProbePathTest, ExpandsReferencesWhenAsked) {
  Envs::StoreEntries({u"DM_PROBE=" + dir_.path()});
  const Text path = Join(u"%dm_probe%", u"five.txt");
  EXPECT_EQ(LPS::ProbePath(path, LPS::FlagExpandEnv), 5);
  EXPECT_EQ(LPS::ProbePath(path, 0), LPS::NotFound);
  EXPECT_TRUE(LPS::IsFolder(u"%DM_PROBE%", LPS::FlagExpandEnv | LPS::FlagLongForm));
  EXPECT_EQ(LPS::ToLongPath(u"%DM_PROBE%", LPS::FlagExpandEnv), LPS::ToLongPath(dir_.path(), 0));
}

#ifdef _WIN32
TEST_F(ProbePathTest, DriveRootsAreFolders) {
  EXPECT_EQ(LPS::ProbePath(u"C:", 0), LPS::IsAFolder);
  EXPECT_EQ(LPS::ProbePath(u"\\\\?\\C:\\", 0), LPS::IsAFolder);
  EXPECT_EQ(LPS::ProbePath(u"Q:\\", 0), LPS::NotFound);  // no such drive here
}

TEST_F(ProbePathTest, LongPathsAreLookedUpInTheirParentsListing) {
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

TEST_F(ProbePathTest, FromTwoHundredSixtyCharactersOnlyTheNameCounts) {
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
#else
TEST_F(ProbePathTest, NamesThatAreNotUtf8AreFound) {
  const Text odd = dir_ / TextFromUtf8("bad\xFF");
  TestSupport::MakeDirs(odd);
  EXPECT_EQ(LPS::ProbePath(odd, 0), LPS::IsAFolder);
  EXPECT_EQ(LPS::ToLongPath(odd, 0), odd);
}

TEST_F(ProbePathTest, TheRootIsAFolder) {
  EXPECT_EQ(LPS::ProbePath(u"/", 0), LPS::IsAFolder);
  EXPECT_EQ(LPS::ProbePath(u"//", 0), LPS::IsAFolder);
}
#endif

}  // namespace
