// Replacing a whole file: what the user set on the old one is kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <new>

#include "base/Conventions.h"
#include "base/Paths.h"
#include "io/ReportFile.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "support/TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using TestSupport::ReadBytes;

Outcome<WriteStatus> Written(const Text& name, const std::string& bytes) {
  return WriteFileReplacing(name, [&bytes](const ByteSink& out) { out(bytes); });
}

bool WriteWith(const Text& name, const std::string& bytes) {
  return Written(name, bytes).status == WriteStatus::kWritten;
}

#ifdef _WIN32
const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
void MakeReadOnly(const Text& path) { ASSERT_TRUE(::SetFileAttributesW(W(path), FILE_ATTRIBUTE_READONLY)); }
void HardLink(const Text& existing, const Text& link) {
  ASSERT_TRUE(::CreateHardLinkW(W(link), W(existing), nullptr));
}
#else
void MakeReadOnly(const Text& path) { ASSERT_EQ(::chmod(Utf8FromText(path).c_str(), 0444), 0); }
void HardLink(const Text& existing, const Text& link) {
  ASSERT_EQ(::link(Utf8FromText(existing).c_str(), Utf8FromText(link).c_str()), 0);
}
#endif

class ReportFile : public testing::Test {
 protected:
  TestSupport::ScopedTempDir dir_;
  TestSupport::ScopedCurrentDir here_{dir_.path()};
};

TEST_F(ReportFile, AReadOnlyFileIsNotReplaced) {
  TestSupport::WriteBytes(dir_ / u"r.txt", "old\r\n");
  MakeReadOnly(dir_ / u"r.txt");
  EXPECT_FALSE(WriteWith(u"r.txt", "new\r\n"));
  EXPECT_EQ(ReadBytes(dir_ / u"r.txt"), "old\r\n");
  EXPECT_EQ(TestSupport::Listing(dir_.path()), std::vector<Text>{u"r.txt"});
}

TEST_F(ReportFile, AFileWithSeveralHardLinksIsWrittenInPlace) {
  TestSupport::WriteBytes(dir_ / u"r.txt", "an old text longer than the new one\r\n");
  HardLink(dir_ / u"r.txt", dir_ / u"other.txt");
  ASSERT_TRUE(WriteWith(u"r.txt", "new\r\n"));
  EXPECT_EQ(ReadBytes(dir_ / u"other.txt"), "new\r\n");
  EXPECT_EQ(ReadBytes(dir_ / u"r.txt"), "new\r\n");
  EXPECT_EQ(TestSupport::Listing(dir_.path()), (std::vector<Text>{u"other.txt", u"r.txt"}));
}

TEST_F(ReportFile, ATakenTemporaryNameIsPassedOver) {
  const Text taken = TemporaryName(u"r.txt", 0);
  TestSupport::WriteBytes(dir_ / taken, "someone else's");
  ASSERT_TRUE(WriteWith(u"r.txt", "new\r\n"));
  EXPECT_EQ(ReadBytes(dir_ / u"r.txt"), "new\r\n");
  EXPECT_EQ(ReadBytes(dir_ / taken), "someone else's");
  EXPECT_EQ(TestSupport::Listing(dir_.path()), (std::vector<Text>{taken, u"r.txt"}));
}

// However the bytes stop coming, no temporary file stays behind and the
// earlier file is kept whole.
TEST_F(ReportFile, AnExceptionWhileWritingLeavesNoTemporaryFile) {
  TestSupport::WriteBytes(dir_ / u"r.txt", "old\r\n");
  for (const char16_t* name : {u"r.txt", u"fresh.txt"}) {
    const auto produce = [](const ByteSink& out) {
      out(std::string(10000, 'x'));  // more than one block written already
      throw std::bad_alloc();
    };
    EXPECT_THROW(WriteFileReplacing(name, produce), std::bad_alloc);
  }
  EXPECT_EQ(ReadBytes(dir_ / u"r.txt"), "old\r\n");
  EXPECT_EQ(TestSupport::Listing(dir_.path()), std::vector<Text>{u"r.txt"});
}

// A file another handle holds open may still be written by this process:
// that is no reason to call it read-only.
TEST_F(ReportFile, AFileHeldOpenIsNotReadOnly) {
  TestSupport::WriteBytes(dir_ / u"held.txt", "old\r\n");
  Platform::OutputFile holder;
  ASSERT_EQ(holder
                .Open(dir_ / u"held.txt", Platform::OutputFile::Mode::kOpenAlways,
                      Platform::OutputFile::Share::kNone)
                .status,
            Platform::OutputFile::Opening::kOpened);
  Platform::FileFacts facts;
  ASSERT_TRUE(Platform::QueryFile(dir_ / u"held.txt", facts).status);
  EXPECT_TRUE(facts.exists);
  EXPECT_FALSE(facts.readOnly);
}

TEST_F(ReportFile, OpenSaysWhyItFailed) {
  using Mode = Platform::OutputFile::Mode;
  const auto share = Platform::OutputFile::Share::kNone;
  TestSupport::WriteBytes(dir_ / u"there.txt", "x");
  using Opening = Platform::OutputFile::Opening;
  Platform::OutputFile file;
  const Outcome<Opening> there = file.Open(dir_ / u"there.txt", Mode::kCreateNew, share);
  EXPECT_EQ(there.status, Opening::kExists);
  EXPECT_FALSE(there.reason.empty());
  EXPECT_FALSE(file.Discard());  // not this process's file
  // No folder that refuses files: a failure of its own.
  EXPECT_EQ(file.Open(dir_ / u"missing" + Platform::kSeparator + u"r.txt", Mode::kCreateNew, share).status,
            Opening::kOther);
  ASSERT_EQ(file.Open(dir_ / u"new.txt", Mode::kCreateNew, share).status, Opening::kOpened);
  EXPECT_TRUE(file.Discard());
  EXPECT_EQ(TestSupport::Listing(dir_.path()), std::vector<Text>{u"there.txt"});
}

TEST_F(ReportFile, TemporaryNamesAreShortWhateverTheTarget) {
  const Text sep(1, Platform::kSeparator);
  const Text longest(251, u'n');  // with ".txt", as long as a file name may be
  for (const Text& target : {Text(u"a.txt"), longest + u".txt", u"sub" + sep + longest + u".txt"}) {
    const Text name = TemporaryName(target, 17);
    const size_t start = target.rfind(Platform::kSeparator) + 1;  // 0 without a folder
    EXPECT_EQ(name.substr(0, start), target.substr(0, start));
    EXPECT_EQ(name.size() - start, 16u) << TestSupport::Show(name);
    EXPECT_TRUE(name.ends_with(u"-11.tmp")) << TestSupport::Show(name);
  }
  TestSupport::MakeDirs(dir_ / u"sub");
  ASSERT_TRUE(WriteWith(u"sub" + sep + longest + u".txt", "fits\r\n"));
  EXPECT_EQ(ReadBytes(dir_ / u"sub" + sep + longest + u".txt"), "fits\r\n");
  EXPECT_EQ(TestSupport::Listing(dir_ / u"sub"), std::vector<Text>{longest + u".txt"});
}

// The temporary files a run could not delete (ended without a chance: a
// power cut, a kill) are deleted by a later run: only names of the
// writer's own pattern, last written an hour ago and more, whose process
// no longer runs. A user's file of a name like it stays.
TEST_F(ReportFile, ALaterRunDeletesOnlyTheTemporaryFilesEarlierRunsLeft) {
  uint32_t process = 0;
  ASSERT_TRUE(IsTemporaryName(TemporaryName(u"r.txt", 0x2a), process));
  EXPECT_EQ(process, Platform::ProcessId());
  struct LeftFile {
    Text name;
    bool old, removed;
  };
  std::vector<LeftFile> files = {{u".fffffff0-00.tmp", true, true},  // no process has that id
                                 {u".fffffff1-3f.tmp", true, true},
                                 {u".fffffff3-00.tmp", false, false},        // written just now
                                 {TemporaryName(u"r.txt", 0), true, false},  // this process's own
                                 {u".FFFFFFF2-00.tmp", true, false},         // not as the writer writes names
                                 {u".fffffff4-0.tmp", true, false},
                                 {u".fffffff5-000.tmp", true, false},
                                 {u".fffffff6_00.tmp", true, false},
                                 {u".fffffff7-00.tmp.bak", true, false},
                                 {u"fffffff8-00.tmp", true, false},
                                 {u".fffffffg-00.tmp", true, false},
                                 {u"x.tmp", true, false}};
#ifndef _WIN32
  // A process that runs: this one's parent.
  files.push_back({TemporaryName(u"r.txt", 0), true, false});
  const auto parent = static_cast<uint32_t>(::getppid());
  for (int digit = 0; digit < 8; ++digit)
    files.back().name[1 + digit] = u"0123456789abcdef"[(parent >> (28 - 4 * digit)) & 0xF];
#endif
  TestSupport::MakeDirs(u"out");
  TestSupport::MakeDirs(Paths::Join(u"out", u".fffffff9-00.tmp"));  // a folder
  std::vector<Text> removed, kept{u".fffffff9-00.tmp"};
  for (const LeftFile& file : files) {
    const Text path = Paths::Join(u"out", file.name);
    TestSupport::WriteBytes(path, "x");
    const Platform::FileTime written = TestSupport::UtcStamp(2018, 1, 1, 0, 0, 0);
    if (file.old) TestSupport::SetTimes(path, written, written);
    (file.removed ? removed : kept).push_back(file.name);
  }
  std::sort(removed.begin(), removed.end());
  std::sort(kept.begin(), kept.end());
  std::vector<Text> said = RemoveLeftTemporaries(u"out");
  std::sort(said.begin(), said.end());
  EXPECT_EQ(said, removed);
  EXPECT_EQ(TestSupport::Listing(u"out"), kept);
  EXPECT_TRUE(RemoveLeftTemporaries(u"no such folder").empty());
}

// A failed write says why, in the system's words.
TEST_F(ReportFile, AFailureKeepsTheSystemsReason) {
  TestSupport::MakeDirs(u"folder");
  TestSupport::WriteBytes(u"locked", "x");
  MakeReadOnly(u"locked");
  const std::pair<Text, Text> cases[] = {
      {u"folder", Platform::RefusalReason(Platform::Refusal::kIsFolder)},
      {u"locked", Platform::RefusalReason(Platform::Refusal::kReadOnly)},
      {u"missing" + Text(1, Platform::kSeparator) + u"r.txt", u""},  // the system's own reason
      {Text(300, u'n'), u""}};
  for (const auto& [name, reason] : cases) {
    const Outcome<WriteStatus> written = Written(name, "x");
    EXPECT_NE(written.status, WriteStatus::kWritten);
    EXPECT_FALSE(written.reason.empty()) << TestSupport::Show(name);
    if (!reason.empty()) {
      EXPECT_EQ(written.reason, reason);
    }
  }
#ifndef _WIN32
  EXPECT_EQ(Written(Text(300, u'n'), "x").reason, u"File name too long");
  EXPECT_EQ(Written(u"missing/r.txt", "x").reason, u"No such file or directory");
#endif
}

}  // namespace
