// Counting files by date text: the counts of the run, and the counter a
// walk feeds.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "count/DateCounts.h"
#include "count/OwnFiles.h"
#include "count/ValueCounts.h"
#include "dates/DateKind.h"
#include "scan/Walk.h"
#include "scan/records/Records.h"

// The counts of the whole run; never emptied.
extern ValueCounts DateCounts;

// The counting step: renders the chosen date of every file of every folder
// through `mask` (already translated to "%" tokens) and counts the texts.
void CountDates(const FolderList& folders, TextView mask, DateKind kind, DateCountList& counts);

// The one time stamp a walk's search is asked for when files are counted
// by `kind` (a Platform::kSearchOnly* bit, ScanDir::WalkRules::onlyStamp).
unsigned SearchedStamp(DateKind kind);

// The counting step as a walk goes: each file handed to it is counted by
// the date of `kind` (in the unit and with the bytes `counts` uses), and
// nothing of it is kept; the files that `own` holds (the run's own
// outputs) are left out.
class DateCounter : public ScanDir::Sink {
 public:
  DateCounter(DateKind kind, ValueCounts& counts, OwnFiles* own = nullptr)
      : kind_(kind), counts_(counts), own_(own) {}
  void File(const Text& folder, const Platform::DirEntry& entry) override;
  void Skipped(const Text&, const Platform::DirEntry&) override { ++skipped_; }
  void Unread(const ScanDir::UnreadFolder& folder) override { unread_.push_back(folder); }
  void BeyondDepth(const Text&, const Platform::DirEntry&) override { ++beyondDepth_; }
  // The files left out by the extension lists so far.
  int64_t Skipped() const { return skipped_; }
  // The files left out as the run's own outputs.
  int64_t Own() const { return ownFiles_; }
  // The subfolders left, the depth asked for being walked.
  int64_t BeyondDepth() const { return beyondDepth_; }
  // The files counted by taken date that recorded none (counted by their
  // last write instead).
  int64_t Untaken() const { return untaken_; }
  void FolderLeftOut(const Text&, ScanDir::LeftOut why) override { leftOut_.Count(why); }
  // The subfolders the walk left out so far.
  const ScanDir::LeftOutFolders& LeftOut() const { return leftOut_; }
  // Those of them that could not be read, and the placeholders of a cloud
  // folder, which were not opened; counted apart from Untaken.
  int64_t TakenUnread() const { return takenUnread_; }
  int64_t Placeholders() const { return placeholders_; }
  // The folders the walk could not read in full, handed over.
  std::vector<ScanDir::UnreadFolder> TakeUnread() { return std::move(unread_); }

 private:
  // Counts a file by taken date that gave none, as its read went.
  void CountUntaken(Platform::TakenRead read);

  const DateKind kind_;
  ValueCounts& counts_;
  OwnFiles* own_;
  int64_t skipped_ = 0, untaken_ = 0, takenUnread_ = 0, placeholders_ = 0, ownFiles_ = 0, beyondDepth_ = 0;
  std::vector<ScanDir::UnreadFolder> unread_;
  ScanDir::LeftOutFolders leftOut_;
};
