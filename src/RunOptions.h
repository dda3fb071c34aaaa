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
  int64_t levels = 0;   // depth: 0 the folder only, ScanDir::AllLevels the whole tree
  Text extensions;      // ext: the scanner's include list ("" counts every file)
  Text skipExtensions;  // exclude: the scanner's exclude list
  Text outFolder;       // out: "" is the current folder
  bool each = false;    // each report holds its own folder's counts only
  bool follow = false;  // a walk enters links to folders, each real folder once
  bool chart = false;   // write "<name>.svg" beside each report
  bool open = false;    // open each report and chart once written; a missing out folder is made
};

// Reads every switch into `options`. Returns Args::ResultOk, or
// Args::ErrBadDepth or Args::ErrNoOutFolder with the fault's `message` (for
// Args::Report); `options` is then only partly read. With the open switch a
// missing out folder whose parent exists is made (the run then shows its
// files, so a mistyped name cannot go unseen); without it, a missing folder
// is a fault.
int ReadRunOptions(RunOptions& options, Text& message);

// The depth value: a whole number from 0 up (one too big to hold means the
// whole tree, as "all" does) or "all" in any letter case. False for anything
// else, the empty value included.
bool ParseDepth(TextView value, int64_t& levels);

// Where a report or chart named `fileName` goes: `fileName` itself (the
// current folder) when `outFolder` is empty, else inside `outFolder`.
Text OutputPath(const Text& outFolder, const Text& fileName);
