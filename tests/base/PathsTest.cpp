#include <gtest/gtest.h>

#include "base/Conventions.h"
#include "base/Paths.h"
#include "platform/FileSystem.h"
#include "support/TestSupport.h"

namespace {

// A folder value as typed, what is left of it without trailing separators,
// its last component and the name of its report.
struct FolderCase {
  const char16_t* typed;
  const char16_t* trimmed;
  const char16_t* last;
  const char16_t* report;
};

Text NoFullPath(const Text&) { return Text(); }

class FolderValues : public testing::TestWithParam<FolderCase> {};

TEST_P(FolderValues, LoseTheirTrailingSeparatorsButARootKeepsItsOwn) {
  const FolderCase& c = GetParam();
  EXPECT_EQ(Paths::Trimmed(c.typed), c.trimmed);
  EXPECT_EQ(Paths::LastComponent(c.typed), c.last);
  EXPECT_EQ(Paths::ReportName(c.typed, NoFullPath), c.report);
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(
    Windows, FolderValues,
    testing::Values(
        FolderCase{u"C:\\Data\\Photos\\", u"C:\\Data\\Photos", u"Photos", u"Photos"},
        FolderCase{u"C:/Data/Photos//", u"C:/Data/Photos", u"Photos", u"Photos"},
        FolderCase{u"p\\/\\", u"p", u"p", u"p"}, FolderCase{u"C:\\", u"C:\\", u"", u"C"},
        FolderCase{u"c:\\\\", u"c:\\", u"", u"c"}, FolderCase{u"C:", u"C:", u"C:", u"C"},
        FolderCase{u"\\\\?\\D:\\", u"\\\\?\\D:\\", u"", u"D"},
        FolderCase{u"\\\\?\\UNC\\server\\share\\", u"\\\\?\\UNC\\server\\share", u"share", u"share"},
        FolderCase{u"a|b\\c", u"a|b\\c", u"c", u"c"},
        FolderCase{u"x\\a<b>c\"d|e?f*g:h", u"x\\a<b>c\"d|e?f*g:h", u"a<b>c\"d|e?f*g:h", u"a_b_c_d_e_f_g_h"},
        FolderCase{u"\\", u"\\", u"", u""}, FolderCase{u"/.", u"/.", u".", u"."},
        FolderCase{u"\\\\", u"\\\\", u"", u""}, FolderCase{u"\\/\\", u"\\/", u"", u""},
        FolderCase{u"//server/share/", u"//server/share", u"share", u"share"},
        FolderCase{u"", u"", u"", u""}));
#else
INSTANTIATE_TEST_SUITE_P(
    Posix, FolderValues,
    testing::Values(FolderCase{u"p//", u"p", u"p", u"p"}, FolderCase{u"p///", u"p", u"p", u"p"},
                    FolderCase{u"/data/photos/", u"/data/photos", u"photos", u"photos"},
                    FolderCase{u"/", u"/", u"", u"root"}, FolderCase{u"///", u"/", u"", u"root"},
                    FolderCase{u"a\\", u"a\\", u"a\\", u"a\\"},  // a backslash is part of a name
                    FolderCase{u"/data/C:", u"/data/C:", u"C:", u"C:"},
                    FolderCase{u"/no such folder/..", u"/no such folder/..", u"..",
                               u".."},  // nothing to resolve
                    FolderCase{u"", u"", u"", u""}));
#endif

// What a value of separators (and a little more) stands for: a root, and
// on Windows one on the current drive, or the start of a share name, which
// is neither, whichever separators it is made of.
struct RootCase {
  const char16_t* path;
  bool root;
  bool onCurrentDrive;
};

class RootValues : public testing::TestWithParam<RootCase> {};

TEST_P(RootValues, AreRootsOfTheirOwnKind) {
  const RootCase& c = GetParam();
  EXPECT_EQ(Paths::IsRoot(c.path), c.root);
  EXPECT_EQ(Paths::OnCurrentDrive(c.path), c.onCurrentDrive);
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Windows, RootValues,
                         testing::Values(RootCase{u"\\", true, true}, RootCase{u"/", true, true},
                                         RootCase{u"\\.", false, true}, RootCase{u"/photos", false, true},
                                         RootCase{u"\\\\", false, false}, RootCase{u"//", false, false},
                                         RootCase{u"\\/", false, false}, RootCase{u"/\\", false, false},
                                         RootCase{u"\\\\\\", false, false},
                                         RootCase{u"\\\\server\\share", false, false},
                                         RootCase{u"C:\\", true, false}, RootCase{u"C:", false, false},
                                         RootCase{u"\\\\?\\C:\\", true, false},
                                         RootCase{u"photos", false, false}));
#else
INSTANTIATE_TEST_SUITE_P(Posix, RootValues,
                         testing::Values(RootCase{u"/", true, false}, RootCase{u"//", true, false},
                                         RootCase{u"/photos", false, false}, RootCase{u"\\", false, false}));
#endif

TEST(Paths, JoinAndFolderForms) {
  const Text sep(1, Platform::kSeparator);
  EXPECT_EQ(Paths::Join(u"", u"a.txt"), u"a.txt");
  EXPECT_EQ(Paths::Join(u"out", u"a.txt"), u"out" + sep + u"a.txt");
  EXPECT_EQ(Paths::Join(u"out" + sep, u"a.txt"), u"out" + sep + u"a.txt");
  EXPECT_EQ(Paths::AsFolder(u"out" + sep + sep), u"out" + sep);
  EXPECT_EQ(Paths::AsFolder(u""), u"");
  EXPECT_EQ(Paths::FolderOf(u"a" + sep + u"b" + sep + u"c"), u"a" + sep + u"b" + sep);
  EXPECT_EQ(Paths::FolderOf(u"c"), u"");
}

// "." and ".." name the folder they stand for; so does a path ending in one.
TEST(Paths, DotsNameTheFolderTheyStandFor) {
  TestSupport::ScopedTempDir dir;
  const Text sep(1, Platform::kSeparator);
  const Text inner = dir / (u"outer" + sep + u"inner");
  TestSupport::MakeDirs(TestSupport::Join(inner, u"sub"));
  TestSupport::ScopedCurrentDir here(inner);
  const bool windows = Platform::kWindowsConventions;
  const std::pair<Text, Text> cases[] = {
      {u".", u"inner"},
      {u".." + sep, u"outer"},
      {u"sub" + sep + u"..", u"inner"},
      {u".." + sep + u"inner" + sep + u".", u"inner"},
      {u"sub" + sep + u"." + sep + u".", u"sub"},
      {windows ? u"C:\\.." : u"/..", windows ? u"C" : u"root"},
      // a root without its drive: the current drive's
      {windows ? u"\\" : u"/", windows ? Platform::FullPath(u".").substr(0, 1) : u"root"}};
  for (const auto& [folder, name] : cases) {
    EXPECT_EQ(Paths::ReportName(folder, Platform::FullPath), name) << TestSupport::Show(folder);
  }
}

}  // namespace
