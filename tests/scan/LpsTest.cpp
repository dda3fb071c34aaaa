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
                                         PathCase{u"Data\\Sub", u"Data\\Sub"}, PathCase{u"", u""},
                                         PathCase{u"C", u"C"}, PathCase{u"//server/share", u"//server/share"},
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

#ifndef _WIN32
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
