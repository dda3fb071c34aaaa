// Counting files by date text, and the report file.
#pragma once

#include <cstdint>
#include <vector>

#include "count/DateCounts.h"
#include "scan/records/Records.h"
#include "io/ReportFile.h"
#include "base/Text.h"
#include "scan/ScanDir.h"

// The counts of the whole run; never emptied.
extern DateCountList DateCounts;

// Which time stamp of a file is counted.
enum class DateKind {
  kCreated,
  kModified,
  kAccessed,
  kTaken,  // when a picture or video was taken, from its metadata; else the last write
};

// "c", "m", "a" or "t" (exactly); anything else means kCreated.
DateKind DateKindFromText(TextView kind);

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

 private:
  const TextView mask_;
  const DateKind kind_;
  DateCountList& counts_;
  Text text_;  // the date text of the file being counted, its storage reused
  int64_t skipped_ = 0, untaken_ = 0;
};

// The report step: sorts `counts` and writes "<reportName>.txt" in the
// current folder, one line "text count" with CR LF per entry, in the narrow
// code page. The report is written to a temporary file beside it and then
// moved over the name, so a report that cannot be written leaves an earlier
// file untouched (unless it had to be written in place).
WriteOutcome WriteReport(const Text& reportName, DateCountList& counts);

// Hands the bytes of the report for `counts` (which must be sorted) to
// `out` a few lines at a time, its lines ended by `lineEnd` (the report
// file's CR LF; standard output takes LF).
void RenderReport(const DateCountList& counts, TextView lineEnd, const ByteSink& out);

// The same bytes all at once, with CR LF.
std::string ReportBytes(const DateCountList& counts);
