// Counting files by date text, and the report file.
#pragma once

#include <cstdint>
#include <vector>

#include "DateCounts.h"
#include "Records.h"
#include "ReportFile.h"
#include "Text.h"
#include "modules/ScanDir.h"

// The counts of the whole run; never emptied.
extern DateCountList DateCounts;

// Which time stamp of a file is counted.
enum class DateKind { kCreated, kModified, kAccessed };

// "c", "m" or "a" (exactly); anything else means kCreated.
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

 private:
  const TextView mask_;
  const DateKind kind_;
  DateCountList& counts_;
  Text text_;  // the date text of the file being counted, its storage reused
};

// The report step: sorts `counts` and writes "<reportName>.txt" in the
// current folder, one line "text count" with CR LF per entry, in the narrow
// code page. The report is written to a temporary file beside it and then
// moved over the name, so a report that cannot be written leaves an earlier
// file untouched (unless it had to be written in place).
WriteOutcome WriteReport(const Text& reportName, DateCountList& counts);

// The bytes of the report for `counts` (which must be sorted).
std::string ReportBytes(const DateCountList& counts);
