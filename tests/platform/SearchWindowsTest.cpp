// The Windows folder search and the taken dates: placeholders of a cloud
// folder are not opened, and a read leaves the file's last-access time.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>

#include "platform/Search.h"
#include "support/TestSupport.h"

namespace {

using Platform::TakenRead;
using TestSupport::Join;

// The entries of `folder` that a search with taken dates delivers, by name.
std::map<Text, Platform::DirEntry> TakenEntries(const Text& folder) {
  Platform::DirSearch search;
  std::map<Text, Platform::DirEntry> entries;
  if (search.Open(Join(folder, u"*.*"), Platform::kSearchTimes | Platform::kSearchTaken).status !=
      Platform::SearchStatus::kOpened)
    return entries;
  Platform::DirEntry entry;
  while (search.Next(entry)) entries[entry.name] = entry;
  return entries;
}

// Whether the tests run under Wine, whose ntdll says so.
bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// A file whose data is elsewhere (offline, or to be recalled on open or on
// access) is not opened; the picture beside it is read.
TEST(WindowsSearch, APlaceholderOfACloudFolderIsNotOpened) {
  TestSupport::ScopedTempDir dir;
  const std::string picture = TestSupport::SeedFile(u"jpeg-original.jpg");
  TestSupport::WriteBytes(dir / u"here.jpg", picture);
  TestSupport::WriteBytes(dir / u"cloud.jpg", picture);
  const Text cloud = dir / u"cloud.jpg";
  ASSERT_TRUE(::SetFileAttributesW(reinterpret_cast<const wchar_t*>(cloud.c_str()), FILE_ATTRIBUTE_OFFLINE));
  const DWORD kept = ::GetFileAttributesW(reinterpret_cast<const wchar_t*>(cloud.c_str()));
  if ((kept & FILE_ATTRIBUTE_OFFLINE) == 0) GTEST_SKIP() << "this system keeps no offline attribute (Wine)";
  const auto entries = TakenEntries(dir.path());
  EXPECT_EQ(entries.at(u"cloud.jpg").takenRead, TakenRead::kPlaceholder);
  EXPECT_EQ(entries.at(u"cloud.jpg").taken.kind, TakenDate::Kind::kNone);
  EXPECT_EQ(entries.at(u"here.jpg").takenRead, TakenRead::kRead);
  EXPECT_NE(entries.at(u"here.jpg").taken.kind, TakenDate::Kind::kNone);
}

// Last accessed before its last write, a picture read for its taken date
// keeps that time: the handle's reads leave it as it was. Under Wine the
// Linux file system sets the time on a read whatever the handle says.
TEST(WindowsSearch, AReadLeavesTheLastAccessTime) {
  if (UnderWine()) GTEST_SKIP() << "Wine's reads set the last-access time as Linux does";
  TestSupport::ScopedTempDir dir;
  const Text photo = dir / u"photo.jpg";
  TestSupport::WriteBytes(photo, TestSupport::SeedFile(u"jpeg-original.jpg"));
  const Platform::FileTime accessed = TestSupport::UtcStamp(2001, 1, 1, 0, 0, 0);
  TestSupport::SetTimes(photo, TestSupport::UtcStamp(2015, 1, 1, 0, 0, 0), accessed);
  const auto entries = TakenEntries(dir.path());
  ASSERT_EQ(entries.at(u"photo.jpg").takenRead, TakenRead::kRead);
  EXPECT_EQ(entries.at(u"photo.jpg").lastAccess, accessed);
  EXPECT_EQ(TakenEntries(dir.path()).at(u"photo.jpg").lastAccess, accessed);
}

}  // namespace
