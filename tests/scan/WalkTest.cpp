// The walk's choice of the subfolders it leaves out: names to skip, and
// subfolders on another file system than the root's.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/Conventions.h"
#include "scan/ScanDir.h"
#include "support/TestSupport.h"

namespace {

using namespace ScanDir;
using TestSupport::Join;
using Names = std::vector<Text>;

// What a walk hands on: the folders it enters and the ones it leaves out
// (paths below the root, "/" between names, sorted), and the files.
struct Recorder : Sink {
  void Root(const Text& path) override { root = path; }
  void Folder(const Text& path, const Platform::DirEntry*) override { entered.push_back(Below(path)); }
  void File(const Text&, const Platform::DirEntry&) override { ++files; }
  void FolderLeftOut(const Text& path, LeftOut why) override {
    (why == LeftOut::kNamed ? named : otherFileSystem).push_back(Below(path));
  }
  Text Below(const Text& path) const {
    Text below = path.substr(root.size());
    std::replace(below.begin(), below.end(), Platform::kSeparator, u'/');
    return below;
  }
  void Sort() {
    for (Names* paths : {&entered, &named, &otherFileSystem}) std::sort(paths->begin(), paths->end());
  }
  Text root;
  Names entered, named, otherFileSystem;
  int64_t files = 0;
};

class ScanDirWalk : public testing::Test {
 protected:
  void TearDown() override {
    FoldersLeftOut = nullptr;
    Reset();
  }
  // A path below the test folder, given with "/" between names.
  Text At(Text relative) const {
    std::replace(relative.begin(), relative.end(), u'/', Platform::kSeparator);
    return dir_ / relative;
  }
  void WithFile(const Text& folder) {
    TestSupport::MakeDirs(At(folder));
    TestSupport::WriteBytes(Join(At(folder), u"f"), "x");
  }
  // Walks `root` below the test folder to all levels (`follow`: links to
  // folders entered too).
  Recorder Walk(const Text& root, bool follow, const WalkRules& given) {
    WalkRules rules(given);
    rules.followLinks = follow;
    Recorder recorder;
    ScanDir::Walk(At(root), rules, recorder);
    recorder.Sort();
    return recorder;
  }
  static WalkRules Rules(int64_t levels) { return WalkRules(levels, SkipFolderLinks); }
  TestSupport::ScopedTempDir dir_;
};

// root: f  root/.git: f  root/src: f  root/src/.git: f
// root/src/node_modules/pkg: f  root/Cache: f
// root/node_link -> src (a link whose own name is skipped)
// root/mods -> src/node_modules (a link whose own name is not)
TEST_F(ScanDirWalk, SubfoldersOfTheNamesToSkipAreNotEntered) {
  for (const Text folder :
       {u"root", u"root/.git", u"root/src", u"root/src/.git", u"root/src/node_modules/pkg", u"root/Cache"})
    WithFile(folder);
  TestSupport::MakeFolderLink(u"src", At(u"root/node_link"));
  TestSupport::MakeFolderLink(u"src/node_modules", At(u"root/mods"));
  const struct {
    const char16_t* skip;
    int64_t levels;
    bool follow;
    Names entered, named;
    int64_t files;
  } cases[] = {
      {u".git; node_*",
       AllLevels,
       false,
       {u"", u"Cache/", u"src/"},
       {u".git/", u"src/.git/", u"src/node_modules/"},
       3},
      // Below the levels nothing is entered, so nothing is left out.
      {u".git; node_*", 1, false, {u"", u"Cache/", u"src/"}, {u".git/"}, 3},
      {u".git; node_*", 0, false, {u""}, {}, 1},
      // A link is left out by its own name, whatever it leads to.
      {u".git; node_*",
       AllLevels,
       true,
       {u"", u"Cache/", u"mods/", u"mods/pkg/", u"src/"},
       {u".git/", u"node_link/", u"src/.git/", u"src/node_modules/"},
       4},
      // The folder walked is walked whatever its name.
      {u"root",
       AllLevels,
       false,
       {u"", u".git/", u"Cache/", u"src/", u"src/.git/", u"src/node_modules/", u"src/node_modules/pkg/"},
       {},
       6},
      {u"",
       AllLevels,
       false,
       {u"", u".git/", u"Cache/", u"src/", u"src/.git/", u"src/node_modules/", u"src/node_modules/pkg/"},
       {},
       6},
  };
  static int64_t told = 0;
  FoldersLeftOut = [](const Text&) { ++told; };
  for (const auto& c : cases) {
    told = 0;
    WalkRules rules = Rules(c.levels);
    rules.skipNames = FolderNames(c.skip);
    const Recorder walked = Walk(u"root", c.follow, rules);
    EXPECT_EQ(walked.entered, c.entered) << TestSupport::Show(c.skip) << " " << c.levels << " " << c.follow;
    EXPECT_EQ(walked.named, c.named) << TestSupport::Show(c.skip) << " " << c.levels << " " << c.follow;
    EXPECT_TRUE(walked.otherFileSystem.empty());
    EXPECT_EQ(walked.files, c.files);
    EXPECT_EQ(told, static_cast<int64_t>(c.named.size()));  // the progress line hears of each
  }
}

// root: f  root/plain: f  root/m (another file system): f  root/m/sub: f
// root/to_m -> m
TEST_F(ScanDirWalk, StayingOnOneFileSystemLeavesOutTheFoldersOnOthers) {
  for (const Text folder : {u"root", u"root/plain", u"root/m"}) WithFile(folder);
  const TestSupport::ScopedTmpfs mounted(At(u"root/m"));
  if (!mounted.Refused().empty()) GTEST_SKIP() << mounted.Refused();
  WithFile(u"root/m/sub");
  TestSupport::MakeFolderLink(u"m", At(u"root/to_m"));
  const struct {
    const char16_t* root;
    bool oneFileSystem, follow;
    Names entered, otherFileSystem;
    int64_t files;
  } cases[] = {
      {u"root", false, false, {u"", u"m/", u"m/sub/", u"plain/"}, {}, 3},
      {u"root", true, false, {u"", u"plain/"}, {u"m/"}, 2},
      {u"root", true, true, {u"", u"plain/"}, {u"m/", u"to_m/"}, 2},
      // The file system is the root's own.
      {u"root/m", true, false, {u"", u"sub/"}, {}, 1},
      {u"root/to_m", true, true, {u"", u"sub/"}, {}, 1},
  };
  for (const auto& c : cases) {
    WalkRules rules = Rules(AllLevels);
    rules.oneFileSystem = c.oneFileSystem;
    const Recorder walked = Walk(c.root, c.follow, rules);
    EXPECT_EQ(walked.entered, c.entered) << TestSupport::Show(c.root) << " " << c.oneFileSystem << c.follow;
    EXPECT_EQ(walked.otherFileSystem, c.otherFileSystem) << TestSupport::Show(c.root);
    EXPECT_TRUE(walked.named.empty());
    EXPECT_EQ(walked.files, c.files) << TestSupport::Show(c.root);
  }
}

}  // namespace
