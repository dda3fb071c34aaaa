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
  // Those of them that could not be read, and the placeholders of a cloud
  // folder, which were not opened; counted apart from Untaken.
  int64_t TakenUnread() const { return takenUnread_; }
  int64_t Placeholders() const { return placeholders_; }
  void Unread(const ScanDir::UnreadFolder& folder) override { unread_.push_back(folder); }
  // The folders the walk could not read in full, handed over.
  std::vector<ScanDir::UnreadFolder> TakeUnread() { return std::move(unread_); }

 private:
  // Counts a file by taken date that gave none, as its read went.
  void CountUntaken(Platform::TakenRead read);

  const TextView mask_;
  const DateKind kind_;
  DateCountList& counts_;
  Text text_;  // the date text of the file being counted, its storage reused
  int64_t skipped_ = 0, untaken_ = 0, takenUnread_ = 0, placeholders_ = 0;
  std::vector<ScanDir::UnreadFolder> unread_;
};
