// Counting files by date text: the counts of the run, and the counter a
// walk feeds.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "count/DateCounts.h"
#include "dates/DateKind.h"
#include "scan/Walk.h"
#include "scan/records/Records.h"

// The counts of the whole run; never emptied.
extern DateCountList DateCounts;

// The counting step: renders the chosen date of every file of every folder
// through `mask` (already translated to "%" tokens) and counts the texts.
void CountDates(const FolderList& folders, TextView mask, DateKind kind, DateCountList& counts);

// The counting step as a walk goes: each file handed to it is counted as
// CountDates counts a record, and nothing of it is kept.
class DateCounter : public ScanDir::Sink {
 public:
  DateCounter(TextView mask, DateKind kind, DateCountList& counts)
      : mask_(mask), kind_(kind), counts_(counts) {}
  void File(const Text& folder, const Platform::DirEntry& entry) override;
  void Skipped(const Text&, const Platform::DirEntry&) override { ++skipped_; }
  // The files left out by the extension lists so far.
  int64_t Skipped() const { return skipped_; }
  // The files counted by taken date that recorded none (counted by their
  // last write instead).
  int64_t Untaken() const { return untaken_; }
  void FolderLeftOut(const Text&, ScanDir::LeftOut why) override { leftOut_.Count(why); }
  // The subfolders the walk left out so far.
  const ScanDir::LeftOutFolders& LeftOut() const { return leftOut_; }
  void Unread(const ScanDir::UnreadFolder& folder) override { unread_.push_back(folder); }
  // The folders the walk could not read in full, handed over.
  std::vector<ScanDir::UnreadFolder> TakeUnread() { return std::move(unread_); }

 private:
  const TextView mask_;
  const DateKind kind_;
  DateCountList& counts_;
  Text text_;  // the date text of the file being counted, its storage reused
  int64_t skipped_ = 0, untaken_ = 0;
  std::vector<ScanDir::UnreadFolder> unread_;
  ScanDir::LeftOutFolders leftOut_;
};
