// End to end: Trees and folders: depth, links, folders that cannot be read.
#include "e2e/EndToEnd.h"

namespace e2e {
namespace {

// ---- The switches depth, ext, exclude, out, each and chart ----
TEST_F(EndToEnd, DepthCountsSubfoldersDownToItsLevel) {
  // root: 2018; root/a: 2017; root/a/b: 2016; root/c: 2015.
  const Text root = Folder(u"root", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text a = Join(root, u"a");
  TestSupport::MakeDirs(Join(a, u"b"));
  TestSupport::MakeDirs(Join(root, u"c"));
  TestSupport::MakeFile(Join(a, u"f"), "x", UtcStamp(2017, 1, 1, 0, 0, 0));
  TestSupport::MakeFile(Join(Join(a, u"b"), u"f"), "x", UtcStamp(2016, 1, 1, 0, 0, 0));
  TestSupport::MakeFile(Join(Join(root, u"c"), u"f"), "x", UtcStamp(2015, 1, 1, 0, 0, 0));
  const std::vector<std::pair<Text, std::string>> cases = {
      {u"0", "2018 1\r\n"},
      {u"1", "2015 1\r\n2017 1\r\n2018 1\r\n"},
      {u"2", "2015 1\r\n2016 1\r\n2017 1\r\n2018 1\r\n"},
      {u"all", "2015 1\r\n2016 1\r\n2017 1\r\n2018 1\r\n"}};
  for (const auto& [depth, report] : cases) {
    EXPECT_EQ(Run({S(u"DEPTH=" + depth), S(u"depth=0"), S(u"date=m"), S(u"fmt=yyyy"), root}).status, 0u);
    EXPECT_EQ(Report(u"root.txt"), report) << TestSupport::Show(depth);
  }
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"root.txt"});  // one report per named folder
}

TEST_F(EndToEnd, LinksToFoldersAreEnteredOnlyWithFollow) {
  // root: 2018, root/a: 2017, root/a/up -> .., root/out -> ../outside: 2016.
  const Text root = Folder(u"root", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  Folder(u"outside", {UtcStamp(2016, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(root, u"a"));
  TestSupport::MakeFile(Join(Join(root, u"a"), u"f"), "x", UtcStamp(2017, 1, 1, 0, 0, 0));
  TestSupport::MakeFolderLink(u"..", Join(Join(root, u"a"), u"up"));
  TestSupport::MakeFolderLink(u"../outside", Join(root, u"out"));
  const std::vector<std::pair<std::vector<Text>, std::string>> cases = {
      {{S(u"depth=all")}, "2017 1\r\n2018 1\r\n"},
      {{S(u"depth=all"), S(u"FOLLOW")}, "2016 1\r\n2017 1\r\n2018 1\r\n"},
      {{S(u"follow")}, "2018 1\r\n"}};
  for (const auto& [switches, report] : cases) {
    std::vector<Text> args = switches;
    args.insert(args.end(), {S(u"date=m"), S(u"fmt=yyyy"), root});
    EXPECT_EQ(Run(args).status, 0u);
    EXPECT_EQ(Report(u"root.txt"), report) << Show(switches.back());
  }
}

// The subfolders named by skip are not entered, at any depth; the folder
// named on the command line is counted whatever its name.
TEST_F(EndToEnd, SkipLeavesOutTheSubfoldersOfItsNames) {
  // tmp: 2018; tmp/.git: 2017; tmp/src: 2016; tmp/src/tmp: 2015; tmp/src/tmp2: 2014.
  const Text root = Folder(u"tmp", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const std::pair<Text, int> folders[] = {
      {u".git", 2017}, {u"src", 2016}, {Join(u"src", u"tmp"), 2015}, {Join(u"src", u"tmp2"), 2014}};
  for (const auto& [folder, year] : folders) {
    TestSupport::MakeDirs(Join(root, folder));
    TestSupport::MakeFile(Join(Join(root, folder), u"f"), "x", UtcStamp(year, 1, 1, 0, 0, 0));
  }
  EXPECT_EQ(Run({S(u"depth=all"), S(u"skip=.git, tmp"), S(u"date=m"), S(u"fmt=yyyy"), root}).status, 0u);
  EXPECT_EQ(Report(u"tmp.txt"), "2014 1\r\n2016 1\r\n2018 1\r\n");
  EXPECT_EQ(Run({S(u"depth=all"), S(u"SKIP=*"), S(u"date=m"), S(u"fmt=yyyy"), root}).status, 0u);
  EXPECT_EQ(Report(u"tmp.txt"), "2018 1\r\n");
}

// POSIX: a folder of mode 000 and the program run as an ordinary user;
// Windows: a folder whose name no Windows path can reach.
TEST_F(EndToEnd, AnUnreadableSubfolderIsNamedAndFailsTheRun) {
  const Text root = Folder(u"root", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text later = Folder(u"later", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(root, u"ok"));
  TestSupport::MakeFile(Join(Join(root, u"ok"), u"f"), "x", UtcStamp(2016, 1, 1, 0, 0, 0));
  const Text locked = TestSupport::MakeUnlistableFolder(root);
  // The whole tree, and one level: a subfolder entered for its files only.
  for (const Text depth : {u"depth=all", u"depth=1"}) {
    SCOPED_TRACE(Show(depth));
    const TestSupport::RunResult result =
        RunUnprivileged({S(depth), S(u"each"), S(u"date=m"), S(u"fmt=yyyy"), root, later});
    EXPECT_EQ(result.status, 1u);
    EXPECT_EQ(Report(u"root.txt"), "2016 1\r\n2018 1\r\n");
    EXPECT_EQ(Report(u"later.txt"), "2019 1\r\n");  // the run went on
    const std::string log = Log();
    // The system's reason: a folder Windows names cannot reach, there.
    EXPECT_NE(log.find(Platform::kWindowsConventions ? "q?x: " : ": Permission denied"), std::string::npos)
        << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
#ifndef _WIN32
    EXPECT_EQ(result.errors, "datemill: " + Utf8FromText(locked) + ": Permission denied\n");
#endif
  }
#ifndef _WIN32
  std::filesystem::permissions(Utf8FromText(locked), std::filesystem::perms::owner_all);
#endif
}

// A folder that cannot be listed is logged (and on POSIX told on standard
// error), the others are still counted, and the run ends with status 1.
TEST_F(EndToEnd, FolderProblemsAreToldAndTheRunGoesOn) {
  const Text good = Folder(u"good", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  const Text empty = Folder(u"empty", {});
  const Text missing = dir_ / u"missing";
  const Text file = dir_ / u"plain";
  TestSupport::WriteBytes(file, "x");
  std::vector<Text> args = {S(u"date=m"), missing, file, empty};
  std::string expected = "datemill: " + Utf8FromText(missing) + ": No such file or directory\n" +
                         "datemill: " + Utf8FromText(file) + ": Not a directory\n" +
                         "datemill: " + Utf8FromText(empty) + ": no report: no files directly in it\n";
#ifndef _WIN32
  const Text locked = Folder(u"locked", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const std::filesystem::path lockedPath(Utf8FromText(locked));
  std::filesystem::permissions(lockedPath, std::filesystem::perms::none);
  args.push_back(locked);
  expected += "datemill: " + Utf8FromText(locked) + ": Permission denied\n";
#endif
  args.push_back(good);
  const TestSupport::RunResult result = RunUnprivileged(args);
  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(Report(u"good.txt"), "2018-09-26 1\r\n");
  EXPECT_EQ(result.errors, Platform::kWindowsConventions ? "" : expected);
  for (const Text& folder : {missing, file}) EXPECT_TRUE(Logged(Utf8FromText(folder) + ": ")) << Log();
#ifndef _WIN32
  std::filesystem::permissions(lockedPath, std::filesystem::perms::owner_all);
#endif
}

}  // namespace
}  // namespace e2e
