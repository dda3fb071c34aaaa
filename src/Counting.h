// Counting files by date text, and the report file.
#pragma once

#include <cstdint>
#include <vector>

#include "Records.h"
#include "ReportFile.h"
#include "Text.h"

struct DateCount {
  Text DateText;      // the rendered date, unique in its list
  int64_t Count = 0;  // files counted for it, at least 1
};

// The ordered list of date texts and their counts, in order of first
// occurrence until Sort orders it by text; texts counted after a sort are
// appended behind the sorted ones. A hash index over the texts makes
// counting one file cost O(1) expected, whatever the number of texts.
class DateCountList {
 public:
  // Counts one more file for `text`: raises its count, or appends it with 1.
  void Add(TextView text);
  // Sorts the entries by text, ordinal by UTF-16 code unit (a prefix first).
  void Sort();

  bool Empty() const { return entries_.empty(); }
  size_t Size() const { return entries_.size(); }
  const std::vector<DateCount>& Entries() const { return entries_; }

 private:
  // Index of the entry holding `text`, or -1 when there is none.
  int64_t Find(TextView text, uint32_t hash) const;
  void Append(TextView text, uint32_t hash);
  void Rebuild(size_t capacity);

  // Open addressing: a slot holds an entry's hash in its high half and the
  // entry's index + 1 in its low half; 0 is a free slot. With the hash in
  // the slot, a probe reads an entry's text only when the hashes agree.
  static uint64_t SlotOf(uint32_t hash, size_t entry) { return uint64_t{hash} << 32 | (entry + 1); }

  std::vector<DateCount> entries_;
  std::vector<uint32_t> hashes_;  // hash of each entry's text, same order
  std::vector<uint64_t> slots_;
};

// The counts of the whole run; never emptied.
extern DateCountList DateCounts;

// Which time stamp of a file is counted.
enum class DateKind { kCreated, kModified, kAccessed };

// "c", "m" or "a" (exactly); anything else means kCreated.
DateKind DateKindFromText(TextView kind);

// The counting step: renders the chosen date of every file of every folder
// through `mask` (already translated to "%" tokens) and counts the texts.
void CountDates(const FolderList& folders, TextView mask, DateKind kind, DateCountList& counts);

// The report step: sorts `counts` and writes "<reportName>.txt" in the
// current folder, one line "text count" with CR LF per entry, in the narrow
// code page. The report is written to a temporary file beside it and then
// moved over the name, so a report that cannot be written leaves an earlier
// file untouched (unless it had to be written in place).
WriteOutcome WriteReport(const Text& reportName, DateCountList& counts);

// The bytes of the report for `counts` (which must be sorted).
std::string ReportBytes(const DateCountList& counts);
