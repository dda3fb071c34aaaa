// Behaviour that only the POSIX build has: names that are not UTF-8,
// symbolic links, permission bits and write limits.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>

#include "Counting.h"
#include "ReportFile.h"
#include "modules/Dbg.h"
#include "modules/ScanDir.h"
#include "support/TestSupport.h"

namespace {

using namespace ScanDir;
using TestSupport::Join;

class PosixScanTest : public testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  void Link(const std::string& target, const Text& at) {
    ASSERT_EQ(::symlink(target.c_str(), Utf8FromText(at).c_str()), 0);
  }
  std::vector<Text> FolderPaths() {
    std::vector<Text> paths;
    for (const FolderRecord& f : Folders) paths.push_back(f.Path);
    std::sort(paths.begin(), paths.end());
    return paths;
  }
  TestSupport::ScopedTempDir dir_;
};

TEST_F(PosixScanTest, NamesThatAreNotUtf8SurviveTheWalk) {
  const Text odd = dir_ / TextFromUtf8("f\xE9te");  // Latin-1 bytes
  TestSupport::MakeDirs(odd);
  TestSupport::WriteBytes(Join(odd, TextFromUtf8("caf\xE9.txt")), "x");
  EXPECT_EQ(Scan(Folders, dir_.path(), u"", AllLevels, ReturnFileCount, 0, 0, u"", u"", u""), 1);
  const Text path = Folders.back().Files.at(0).Path;
  EXPECT_EQ(Utf8FromText(path), Utf8FromText(dir_.path()) + "/f\xE9te/caf\xE9.txt");
  EXPECT_EQ(TestSupport::ReadBytes(path), "x");
}

TEST_F(PosixScanTest, ALinkToAnAncestorIsRecordedButNotEntered) {
  TestSupport::MakeDirs(dir_ / u"a");
  TestSupport::WriteBytes(dir_ / u"top.txt", "t");
  Link("..", dir_ / u"a/up");
  // The link's own record lists what it leads to: top.txt once more.
  EXPECT_EQ(Scan(Folders, dir_.path(), u"", AllLevels, ReturnFileCount, 0, 0, u"", u"", u""), 2);
  const Text root = dir_.path() + u"/";
  EXPECT_EQ(FolderPaths(), (std::vector<Text>{root, root + u"a/", root + u"a/up/"}));
}

TEST_F(PosixScanTest, AFiniteDepthWalksALinkToAnAncestorAsFarAsItSays) {
  TestSupport::MakeDirs(dir_ / u"a");
  TestSupport::WriteBytes(dir_ / u"top.txt", "t");
  TestSupport::WriteBytes(dir_ / u"a/in.txt", "i");
  Link("..", dir_ / u"a/up");
  EXPECT_EQ(Scan(Folders, dir_.path(), u"", 3, ReturnFileCount, 0, 0, u"", u"", u""), 4);
  const Text root = dir_.path() + u"/";
  EXPECT_EQ(FolderPaths(), (std::vector<Text>{root, root + u"a/", root + u"a/up/", root + u"a/up/a/"}));
  EXPECT_EQ(Folders.back().Files.at(0).Path, root + u"a/up/a/in.txt");
}

TEST_F(PosixScanTest, ALinkToASiblingIsWalkedOncePerPath) {
  TestSupport::MakeDirs(dir_ / u"a");
  TestSupport::MakeDirs(dir_ / u"b/c");
  Link("../b", dir_ / u"a/lb");
  EXPECT_EQ(Scan(Folders, dir_.path(), u"", AllLevels, FoldersOnly | ReturnFileCount, 0, 0, u"", u"", u""),
            0);
  const Text root = dir_.path() + u"/";
  EXPECT_EQ(FolderPaths(), (std::vector<Text>{root, root + u"a/", root + u"a/lb/", root + u"a/lb/c/",
                                              root + u"b/", root + u"b/c/"}));
}

TEST_F(PosixScanTest, AttributesComeFromModeNameAndType) {
  TestSupport::WriteBytes(dir_ / u"ro", "r");
  ASSERT_EQ(::chmod(Utf8FromText(dir_ / u"ro").c_str(), 0444), 0);
  TestSupport::WriteBytes(dir_ / u"plain", "p");
  TestSupport::MakeDirs(dir_ / u"d");
  Link("d", dir_ / u"dlink");
  Link("plain", dir_ / u"flink");
  Scan(Folders, dir_.path(), u"", 0, WithAttributes, 0, 0, u"", u"", u"");
  std::map<Text, int64_t> attributes;
  for (const FileRecord& f : Folders.at(0).Files) attributes[f.Path.name()] = f.Attributes;
  EXPECT_EQ(attributes, (std::map<Text, int64_t>{{u"ro", 0x1}, {u"plain", 0x80}, {u"flink", 0x400}}));
  // The link to a folder is a folder: not listed as a file, but walked.
  Reset();
  Scan(Folders, dir_.path(), u"", 1, FoldersOnly | WithAttributes, 0, 0, u"", u"", u"");
  for (const FolderRecord& f : Folders) {
    if (f.Path.ends_with(u"dlink/")) {
      EXPECT_EQ(f.Attributes, 0x410);
    }
  }
  EXPECT_EQ(Folders.size(), 3u);
}

// Runs `body` in a child process; its exit status, or -1 when it did not
// exit.
int InChild(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WriteWith(const Text& name, const std::string& bytes) {
  return WriteFileReplacing(name, [&bytes](const ByteSink& out) { out(bytes); });
}

bool IsLink(const Text& path) {
  struct stat info;
  return ::lstat(Utf8FromText(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// A write that falls short fails the report; a replaced report is left as it
// was, and no temporary file remains.
TEST(PosixReport, AShortWriteIsAFailure) {
  for (const bool inPlace : {false, true}) {
    TestSupport::ScopedTempDir dir;
    TestSupport::ScopedCurrentDir here(dir.path());
    TestSupport::WriteBytes(dir / u"limited.txt", "earlier\r\n");
    if (inPlace) {
      ASSERT_EQ(::link("limited.txt", "other.txt"), 0);
    }
    const int status = InChild([] {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{1000, 1000};  // no file may grow beyond 1000 bytes
      ::setrlimit(RLIMIT_FSIZE, &limit);
      DateCountList counts;
      for (int i = 0; i < 1000; ++i) counts.Add(DecimalText(100000 + i));
      return WriteReport(u"limited", counts) ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << "the report claimed success, in place: " << inPlace;
    if (inPlace) continue;
    EXPECT_EQ(TestSupport::ReadBytes(dir / u"limited.txt"), "earlier\r\n");
    EXPECT_EQ(TestSupport::Listing(dir.path()), std::vector<Text>{u"limited.txt"});
  }
}

TEST(PosixReport, LinksAreFollowedAndStay) {
  TestSupport::ScopedTempDir dir;
  TestSupport::ScopedCurrentDir here(dir.path());
  TestSupport::MakeDirs(dir / u"sub");
  TestSupport::WriteBytes(dir / u"sub/real.txt", "old\r\n");
  ASSERT_EQ(::symlink("sub/real.txt", "r.txt"), 0);
  ASSERT_EQ(::symlink("r.txt", "chain.txt"), 0);
  ASSERT_TRUE(WriteWith(u"chain.txt", "new\r\n"));
  EXPECT_EQ(TestSupport::ReadBytes(dir / u"sub/real.txt"), "new\r\n");
  EXPECT_TRUE(IsLink(dir / u"r.txt"));
  EXPECT_TRUE(IsLink(dir / u"chain.txt"));
  EXPECT_EQ(TestSupport::Listing(dir / u"sub"), std::vector<Text>{u"real.txt"});

  // A link to a file not yet there makes that file.
  ASSERT_EQ(::symlink("sub/fresh.txt", "dangling.txt"), 0);
  ASSERT_TRUE(WriteWith(u"dangling.txt", "fresh\r\n"));
  EXPECT_EQ(TestSupport::ReadBytes(dir / u"sub/fresh.txt"), "fresh\r\n");
  EXPECT_TRUE(IsLink(dir / u"dangling.txt"));

  // Links that lead round in a circle name no file.
  ASSERT_EQ(::symlink("loop2.txt", "loop1.txt"), 0);
  ASSERT_EQ(::symlink("loop1.txt", "loop2.txt"), 0);
  EXPECT_FALSE(WriteWith(u"loop1.txt", "lost\r\n"));
  EXPECT_EQ(TestSupport::Listing(dir.path()),
            (std::vector<Text>{u"chain.txt", u"dangling.txt", u"loop1.txt", u"loop2.txt", u"r.txt", u"sub"}));
}

// Where no temporary file can be made, a report that can be opened is
// written in place; one that is not there yet cannot be made either.
TEST(PosixReport, AFolderThatTakesNoNewFilesGetsItsReportInPlace) {
  TestSupport::ScopedTempDir dir;
  const Text folder = dir / u"closed";
  TestSupport::MakeDirs(folder);
  TestSupport::WriteBytes(folder + u"/r.txt", "an older report, longer than the new one\r\n");
  const std::string bytes = Utf8FromText(folder);
  ASSERT_EQ(::chmod(Utf8FromText(dir.path()).c_str(), 0755), 0);
  ASSERT_EQ(::chmod((bytes + "/r.txt").c_str(), 0666), 0);
  ASSERT_EQ(::chmod(bytes.c_str(), 0555), 0);
  const int status = InChild([&bytes] {
    // Permissions do not hold back root: write as an ordinary user.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 10;
    if (::chdir(bytes.c_str()) != 0) return 11;
    if (!WriteWith(u"r.txt", "new\r\n")) return 12;
    return WriteWith(u"missing.txt", "new\r\n") ? 13 : 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(TestSupport::ReadBytes(folder + u"/r.txt"), "new\r\n");
  EXPECT_EQ(TestSupport::Listing(folder), std::vector<Text>{u"r.txt"});
  ::chmod(bytes.c_str(), 0755);
}

}  // namespace
