// Replacing a whole file on Windows: its attributes and its access list.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include "io/ReportFile.h"
#include "platform/Files.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::ReadBytes;

bool WriteWith(const Text& name, const std::string& bytes) {
  return WriteFileReplacing(name, [&bytes](const ByteSink& out) { out(bytes); }).status ==
         WriteStatus::kWritten;
}

const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

class ReportFileWindows : public testing::Test {
 protected:
  TestSupport::ScopedTempDir dir_;
  TestSupport::ScopedCurrentDir here_{dir_.path()};
};

TEST_F(ReportFileWindows, TheNewFileKeepsTheHiddenAndSystemAttributes) {
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
TEST_F(ReportFileWindows, AFileThisProcessMayNotWriteIsNotReplaced) {
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

// A run that ends while a report is written, however it ends (here killed
// from within, as the end of a session or a kill from outside ends it),
// leaves no temporary file: the open file is marked for deletion until it
// is closed to be moved into place. Each end runs in a process of its own,
// in a folder of a fixed name (the child runs this body again).
TEST(ReportFileWindowsDeathTest, AProcessEndedWhileWritingLeavesNoTemporaryFile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const Text folder = TestSupport::Join(TestSupport::TempRoot(), u"dm-report-killed");
  TestSupport::RemoveAll(folder);
  TestSupport::MakeDirs(folder);
  TestSupport::WriteBytes(TestSupport::Join(folder, u"r.txt"), "earlier\r\n");
  const auto killedWhileWriting = [&folder] {
    WriteFileReplacing(TestSupport::Join(folder, u"r.txt"), [](const ByteSink& out) {
      out(std::string(10000, 'x'));
      ::TerminateProcess(::GetCurrentProcess(), 7);
    });
  };
  EXPECT_EXIT(killedWhileWriting(), testing::ExitedWithCode(7), "");
  EXPECT_EQ(TestSupport::Listing(folder), std::vector<Text>{u"r.txt"});
  EXPECT_EQ(ReadBytes(TestSupport::Join(folder, u"r.txt")), "earlier\r\n");
  TestSupport::RemoveAll(folder);
}

}  // namespace
