// Replacing a whole file: what the user set on the old one is kept.
#include <gtest/gtest.h>

#include <new>

#include "base/Conventions.h"
#include "io/ReportFile.h"
#include "platform/Files.h"
#include "support/TestSupport.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>
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

#ifdef _WIN32
TEST_F(ReportFile, TheNewFileKeepsTheHiddenAndSystemAttributes) {
  TestSupport::WriteBytes(dir_ / u"r.txt", "old\r\n");
  ASSERT_TRUE(::SetFileAttributesW(W(dir_ / u"r.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(WriteWith(u"r.txt", "new\r\n"));
  EXPECT_EQ(ReadBytes(dir_ / u"r.txt"), "new\r\n");
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
  EXPECT_EQ(::GetFileAttributesW(W(dir_ / u"r.txt")) & kept, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  // New content is marked as not yet backed up (Wine marks every file so).
  EXPECT_NE(::GetFileAttributesW(W(dir_ / u"r.txt")) & FILE_ATTRIBUTE_ARCHIVE, 0u);
  // A plain file stays plain.
  ASSERT_TRUE(WriteWith(u"plain.txt", "new\r\n"));
  ASSERT_TRUE(WriteWith(u"plain.txt", "newer\r\n"));
  EXPECT_EQ(::GetFileAttributesW(W(dir_ / u"plain.txt")) & kept, 0u);
  ::SetFileAttributesW(W(dir_ / u"r.txt"), FILE_ATTRIBUTE_NORMAL);
}

// A file whose access list denies this process writing is not replaced,
// though neither its attributes nor its folder stand in the way.
TEST_F(ReportFile, AFileThisProcessMayNotWriteIsNotReplaced) {
  TestSupport::WriteBytes(dir_ / u"r.txt", "old\r\n");
  // Everyone: all rights but writing the data.
  wchar_t sddl[] = L"D:P(D;;FW;;;WD)(A;;FA;;;WD)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(
      ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr));
  const bool set = ::SetFileSecurityW(W(dir_ / u"r.txt"), DACL_SECURITY_INFORMATION, descriptor) != 0;
  ::LocalFree(descriptor);
  ASSERT_TRUE(set);
  HANDLE probe = ::CreateFileW(W(dir_ / u"r.txt"), FILE_WRITE_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    ::CloseHandle(probe);
    GTEST_SKIP() << "this system does not enforce access lists (Wine)";
  }
  Platform::FileFacts facts;
  ASSERT_TRUE(Platform::QueryFile(dir_ / u"r.txt", facts).status);
  EXPECT_TRUE(facts.readOnly);
  EXPECT_FALSE(WriteWith(u"r.txt", "new\r\n"));
  EXPECT_EQ(ReadBytes(dir_ / u"r.txt"), "old\r\n");
  EXPECT_EQ(TestSupport::Listing(dir_.path()), std::vector<Text>{u"r.txt"});
}
#else
TEST_F(ReportFile, TheNewFileKeepsPermissionsOwnerAndGroup) {
  const std::string path = Utf8FromText(dir_ / u"r.txt");
  TestSupport::WriteBytes(dir_ / u"r.txt", "old\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  // Only a privileged process may give a file away.
  const bool privileged = ::geteuid() == 0;
  if (privileged) {
    ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
  }
  struct stat before;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_TRUE(WriteWith(u"r.txt", "new\r\n"));
  struct stat after;
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not written in place
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(ReadBytes(dir_ / u"r.txt"), "new\r\n");
}
#endif

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
