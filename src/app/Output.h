// What a run writes and tells for its folders: each folder's report (and
// chart) as files, or on standard output; the files opened when asked; and
// with the verbose switch a line for each report, for each folder that gave
// none, and the run's totals.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Outcome.h"
#include "base/Text.h"
#include "cli/RunOptions.h"
#include "count/DateCounts.h"
#include "io/ReportFile.h"
#include "scan/Walk.h"

// What a folder's walk found: the files it saw, those it counted (the
// others left out by the extension lists), of those counted by taken date
// the ones that recorded none, could not be read, or were placeholders of
// a cloud folder, and the folders it could not read in full.
struct FolderCounts {
  int64_t seen = 0, counted = 0, untaken = 0, takenUnread = 0, placeholders = 0;
  std::vector<ScanDir::UnreadFolder> unread;  // the folders it could not read in full
};

class RunOutput {
 public:
  // For a run of `folders` folder arguments.
  RunOutput(const RunOptions& options, size_t folders) : options_(options), folders_(folders) {}

  // Writes the report of `folder` named `reportName` from `counts` (sorted
  // here), which its `files` gave, and with the chart switch the
  // chart (`foldersBefore`: the earlier folders whose counts it holds);
  // opens them with the open switch. False, after a log line for each,
  // when one could not be written.
  bool Write(const Text& folder, const Text& reportName, int64_t foldersBefore, DateCountList& counts,
             const FolderCounts& files);

  // The folder gave no report, having found `files`. Told with the verbose
  // switch.
  void NoReport(const Text& folder, const FolderCounts& files);

  // The run's totals, told with the verbose switch as its last line. Said
  // apart with it, or on Windows in the log: the files that recorded no
  // taken date, and the placeholders of a cloud folder left unopened; the
  // files that could not be read for one are logged in any case.
  void Totals() const;

 private:
  bool WriteFile(const Text& what, const Text& path, const Outcome<WriteStatus>& outcome);
  bool WriteToStandardOutput(const Text& reportName, const DateCountList& counts);
  void Told(const Text& line) const;
  // The files counted by their last write for want of a taken date, by why.
  void TellUntaken() const;

  const RunOptions& options_;
  const size_t folders_;
  std::vector<Text> written_;  // the files of the folder last written
  int64_t files_ = 0, untaken_ = 0, takenUnread_ = 0, placeholders_ = 0;
  int64_t reports_ = 0, charts_ = 0, folderCount_ = 0;
  bool printed_ = false;  // a report has gone to standard output
};
