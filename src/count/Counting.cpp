#include "count/Counting.h"

#include <algorithm>

#include "dates/DateValue.h"
#include "dates/Mask.h"
#include "io/ReportFile.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Search.h"

ValueCounts DateCounts;

namespace {

int64_t DateOf(const FileRecord& file, DateKind kind) {
  switch (kind) {
    case DateKind::kModified: return file.Modified;
    case DateKind::kAccessed: return file.Accessed;
    case DateKind::kTaken: return file.Taken;
    case DateKind::kCreated: break;
  }
  return file.Created;
}

Platform::FileTime StampOf(const Platform::DirEntry& entry, DateKind kind) {
  switch (kind) {
    case DateKind::kModified: return entry.lastWrite;
    case DateKind::kAccessed: return entry.lastAccess;
    case DateKind::kTaken:
    case DateKind::kCreated: break;
  }
  return entry.created;
}

}  // namespace

unsigned SearchedStamp(DateKind kind) {
  switch (kind) {
    case DateKind::kModified:
    case DateKind::kTaken: return Platform::kSearchOnlyWritten;  // a taken date falls back to it
    case DateKind::kAccessed: return Platform::kSearchOnlyAccessed;
    case DateKind::kCreated: break;
  }
  return Platform::kSearchOnlyCreated;
}

void DateCounter::CountUntaken(Platform::TakenRead read) {
  switch (read) {
    case Platform::TakenRead::kNoHandles:
    case Platform::TakenRead::kFailed: ++takenUnread_; return;
    case Platform::TakenRead::kPlaceholder: ++placeholders_; return;
    case Platform::TakenRead::kNotRead:
    case Platform::TakenRead::kRead: ++untaken_; return;
  }
}

void DateCounter::File(const Text& folder, const Platform::DirEntry& entry) {
  if (own_ != nullptr && own_->Holds(folder, entry.name)) {
    ++ownFiles_;
    return;
  }
  bool recorded = true;
  const int64_t date =
      kind_ == DateKind::kTaken ? DateOfTaken(entry, &recorded) : DateOfStamp(StampOf(entry, kind_));
  if (!recorded) CountUntaken(entry.takenRead);
  counts_.Add(date, entry.size);
}

void CountDates(const FolderList& folders, TextView mask, DateKind kind, DateCountList& counts) {
  Text text;
  for (const FolderRecord& folder : folders) {
    for (const FileRecord& file : folder.Files) {
      RenderDateTo(mask, DateOf(file, kind), text);
      counts.Add(text);
    }
  }
}
