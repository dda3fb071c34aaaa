// The switches of a run, read once from the stored command line: the date
// mask and kind, how deep to walk, which files to count, where the reports
// go, whether counts accumulate, and whether a chart goes beside each report.
#pragma once

#include <cstdint>

#include "Counting.h"
#include "Text.h"

struct RunOptions {
  Text typedMask = u"yyyy-mm-dd";  // fmt, lower-cased and validated
  Text mask = u"%yyyy-%mm-%dd";    // typedMask translated for rendering
  DateKind kind = DateKind::kCreated;
  int64_t depth = 0;   // 0 the folder only, ScanDir::AllLevels the whole tree
  Text ext;            // the extensions counted ("" counts every file)
  Text exclude;        // the extensions left out
  Text outFolder;      // out: "" is the current folder
  bool each = false;   // each report holds its own folder's counts only
  bool chart = false;  // write "<name>.svg" beside each report
};

// Reads every switch into `options`. Returns Args::ResultOk, or
// Args::ErrBadDepth or Args::ErrNoOutFolder with the fault's `message` (for
// Args::Report); `options` is then only partly read.
int ReadRunOptions(RunOptions& options, Text& message);

// The depth value: a whole number from 0 up (beyond the deepest tree it
// means the whole tree) or "all" in any letter case. False for anything
// else, the empty value included.
bool ParseDepth(TextView value, int64_t& depth);

// Where a report or chart named `fileName` goes: `fileName` itself (the
// current folder) when `outFolder` is empty, else inside `outFolder`.
Text OutputPath(const Text& outFolder, const Text& fileName);
