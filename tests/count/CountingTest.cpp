#include <gtest/gtest.h>

#include <algorithm>

#include "base/Constants.h"
#include "base/Conventions.h"
#include "base/Paths.h"
#include "count/Counting.h"
#include "count/Entries.h"
#include "count/OwnFiles.h"
#include "count/Report.h"
#include "dates/DateValue.h"
#include "io/ReportFile.h"
#include "platform/CodePage.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::ReadBytes;

std::vector<Text> Texts(const DateCountList& counts) {
  std::vector<Text> texts;
  for (size_t i = 0; i < counts.Size(); ++i)
    texts.push_back(counts.TextAt(i) + u" " + DecimalText(counts.CountAt(i)));
  return texts;
}

FolderRecord FolderWithDates(std::initializer_list<int64_t> created, int64_t modified = 0) {
  FolderRecord folder;
  for (int64_t date : created) {
    FileRecord& file = folder.Files.emplace_back();
    file.Created = date;
    file.Modified = modified;
    file.Accessed = Dates::None;
  }
  folder.FileCount = static_cast<int64_t>(folder.Files.size());
  return folder;
}

const int64_t kSep25 = MakeDate(2018, 9, 25, 10, 0, 0);
const int64_t kSep26 = MakeDate(2018, 9, 26, 23, 59, 59);
const int64_t kOct01 = MakeDate(2018, 10, 1, 0, 0, 0);

TEST(CountDates, CountsTheChosenStampOfEveryFileAcrossFolders) {
  FolderList folders;
  folders.push_back(FolderWithDates({kSep26, kSep25, kSep26}, kOct01));
  folders.push_back(FolderRecord());  // a folder without files
  folders.push_back(FolderWithDates({kSep25}, kOct01));

  DateCountList created, modified, accessed;
  CountDates(folders, u"%yyyy-%mm-%dd", DateKind::kCreated, created);
  CountDates(folders, u"%yyyy-%mm-%dd", DateKind::kModified, modified);
  CountDates(folders, u"%yyyy-%mm-%dd", DateKind::kAccessed, accessed);
  EXPECT_EQ(Texts(created), (std::vector<Text>{u"2018-09-26 2", u"2018-09-25 2"}));
  EXPECT_EQ(Texts(modified), (std::vector<Text>{u"2018-10-01 4"}));
  // A stamp without a valid date counts under the all-zero text.
  EXPECT_EQ(Texts(accessed), (std::vector<Text>{u"0000-00-00 4"}));

  // Counts accumulate over later folders.
  CountDates(folders, u"%yyyy", DateKind::kCreated, created);
  EXPECT_EQ(Texts(created), (std::vector<Text>{u"2018-09-26 2", u"2018-09-25 2", u"2018 4"}));
}

// A file counted by taken date that gave none counts by its last write,
// and apart by why: it records none, it could not be read, or it is a
// placeholder of a cloud folder that was not opened.
TEST(DateCounter, FilesWithoutATakenDateAreCountedApartByWhy) {
  using Platform::TakenRead;
  ValueCounts counts;
  counts.Use(TimeUnit::kYear, false);
  DateCounter counter(DateKind::kTaken, counts);
  Platform::DirEntry entry;
  entry.lastWrite = TestSupport::UtcStamp(2016, 1, 1, 0, 0, 0);
  for (const TakenRead read : {TakenRead::kRead, TakenRead::kNotRead, TakenRead::kNoHandles,
                               TakenRead::kFailed, TakenRead::kFailed, TakenRead::kPlaceholder}) {
    entry.takenRead = read;
    counter.File(u"", entry);
  }
  entry.taken = {TakenDate::Kind::kWallClock, MakeDate(2018, 9, 25, 10, 0, 0)};
  entry.takenRead = TakenRead::kRead;
  counter.File(u"", entry);
  counts.Settle();
  EXPECT_EQ(Texts(EntryList(counts, u"%yyyy", EntryOrder::kText)), (std::vector<Text>{u"2016 6", u"2018 1"}));
  EXPECT_EQ(counter.Untaken(), 2);
  EXPECT_EQ(counter.TakenUnread(), 3);
  EXPECT_EQ(counter.Placeholders(), 1);
}

}  // namespace

namespace {

// The run's own outputs: its names and its temporary files, in the output
// folder only, however the walk names that folder.
TEST(OwnFiles, AreTheRunsNamesInItsOutputFolder) {
  TestSupport::ScopedTempDir dir;
  TestSupport::MakeDirs(dir / u"sub");
  TestSupport::MakeDirs(dir / u"out");
  const Text out = dir / u"out";
  OwnFiles own(out, {u"a.txt", u"a.svg"});
  const Text sep(1, Platform::kSeparator);
  const Text roundabout = dir / u"sub" + sep + u".." + sep + u"out" + sep;
  const Text temporary(Paths::LastComponent(TemporaryName(TestSupport::Join(out, u"a.txt"), 3)));
  const struct {
    Text folder;
    Text name;
    bool own;
  } cases[] = {
      {out, u"a.txt", true},           {out + sep, u"a.svg", true},    {roundabout, u"a.txt", true},
      {out, temporary, true},          {out, u"b.txt", false},         {out, u".0000000z-00.tmp", false},
      {dir / u"sub", u"a.txt", false}, {dir.path(), temporary, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(own.Holds(c.folder, c.name), c.own) << Utf8FromText(c.folder) << " " << Utf8FromText(c.name);
  }
}

}  // namespace
