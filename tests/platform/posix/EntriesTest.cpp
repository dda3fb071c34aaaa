// What the POSIX search makes of names that are not UTF-8 and of modes,
// types and links.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <new>

#include "base/Constants.h"
#include "count/Counting.h"
#include "count/Report.h"
#include "dates/DateValue.h"
#include "io/Dbg.h"
#include "io/ReportFile.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/posix/Common.h"
#include "scan/ScanDir.h"
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

}  // namespace
