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
#include "count/Report.h"
#include "count/ValueCounts.h"
#include "io/ReportFile.h"
#include "scan/Walk.h"

// What a folder's walk found: the files it saw, those it counted (the
// others left out by the extension lists or as the run's own outputs), of
// those counted by taken date the ones that recorded none, could not be
// read, or were placeholders of a cloud folder, the subfolders it left for
// the depth, and the folders it could not read in full.
struct FolderCounts {
  int64_t seen = 0, counted = 0, untaken = 0, takenUnread = 0, placeholders = 0, own = 0, beyondDepth = 0;
  std::vector<ScanDir::UnreadFolder> unread;  // the folders it could not read in full
  ScanDir::LeftOutFolders leftOut;            // the subfolders it left out
};

class RunOutput {
 public:
  // For a run of `folders` folder arguments.
  RunOutput(const RunOptions& options, size_t folders) : options_(options), folders_(folders) {}

  // Writes the report of `folder` named `reportName` (without extension)
  // from `counts` (settled here), which its `files` gave, and with the chart
  // switch the chart; opens them with the open switch. False, after a log
  // line for each, when one could not be written.
  bool Write(const Text& folder, const Text& reportName, ValueCounts& counts, const FolderCounts& files);

  // The folder gave no report, having found `files`: said, with why, and
  // whether an earlier report `reportName` stands in the output folder.
  void NoReport(const Text& folder, const Text& reportName, const FolderCounts& files);

  // The run's totals, told with the verbose switch as its last line. Said
  // apart with it, or on Windows in the log: the files that recorded no
  // taken date, and the placeholders of a cloud folder left unopened; the
  // files that could not be read for one are logged in any case. A json
  // array on standard output is closed.
  void Totals();

 private:
  bool WriteFile(const Text& what, const Text& path, const Outcome<WriteStatus>& outcome);
  bool WriteToStandardOutput(const Text& reportFile, const ValueCounts& counts, const ReportStyle& style);
  // What the report holds, for the verbose line: " (3 files, 2 dates)", or
  // with the counts of earlier folders " (7 files of 2 folders: a, b; 4 dates)".
  Text Holds(const ValueCounts& counts, const std::vector<Text>& folders) const;
  void Told(const Text& line) const;
  // The files counted by their last write for want of a taken date, by why.
  void TellUntaken() const;

  const RunOptions& options_;
  const size_t folders_;
  std::vector<Text> written_;  // the files of the folder last written
  std::vector<Text> counted_;  // the folders whose counts the run's counts hold
  int64_t files_ = 0, untaken_ = 0, takenUnread_ = 0, placeholders_ = 0;
  int64_t reports_ = 0, charts_ = 0, folderCount_ = 0;
  ScanDir::LeftOutFolders leftOut_;
  bool printed_ = false;  // a report has gone to standard output
};
