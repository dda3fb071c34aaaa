// The switches of a run, read once from the stored command line: the date
// mask and kind, how deep to walk and which subfolders to leave out, which
// files to count, where the reports
// go, whether counts accumulate, and whether a chart goes beside each report.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Text.h"
#include "cli/Args.h"
#include "count/Report.h"
#include "dates/DateKind.h"

struct RunOptions {
  bool maskGiven = false;          // the fmt switch was given
  Text givenMask;                  // ... with this value
  Text typedMask = u"yyyy-mm-dd";  // fmt, lower-cased and validated
  Text mask = u"%yyyy-%mm-%dd";    // typedMask translated for rendering
  DateKind kind = DateKind::kCreated;
  int64_t depth = 0;              // 0 the folder only, ScanDir::AllLevels the whole tree
  Text ext;                       // the extensions counted ("" counts every file)
  Text exclude;                   // the extensions left out
  Text outFolder;                 // out: "" is the current folder
  bool each = false;              // each report holds its own folder's counts only
  bool follow = false;            // a walk enters links to folders, each real folder once
  Text skip;                      // the names of the subfolders a walk leaves out, as given
  bool oneFileSystem = false;     // a walk enters no subfolder on another file system
  bool chart = false;             // write "<name>.svg" beside each report
  bool open = false;              // open each report and chart once written; a missing out folder is made
  bool quiet = false;             // no progress line on a terminal
  bool verbose = false;           // a line for each report, each folder without one, and the totals
  bool toStandardOutput = false;  // POSIX "out=-": the reports go to standard output, not to files
  ReportFormat format = ReportFormat::kTxt;
  EntryOrder order = EntryOrder::kText;
};

// Reads every switch into `options`. Returns Args::ResultOk, or
// Args::ErrBadSwitch, Args::ErrBadDepth or Args::ErrNoOutFolder with the
// fault's `message` (for Args::Report); `options` is then only partly read.
// Only switches are read: an unnamed value (a folder) never stands for one.
// With the open switch a missing out folder whose parent exists is made (the
// run then shows its files, so a mistyped name cannot go unseen); without
// it, a missing folder is a fault.
int ReadRunOptions(RunOptions& options, Text& message);

// What is wrong with the first stored switch that is not written as the
// switch table has it, for the message of a command-line fault; "" when
// every switch is right. A switch is wrong when the program does not know
// it (on POSIX also a short form "-q"; the hint then says how such a
// folder is given), when it takes no value but is given one ("--chart=no",
// "--help=1"), and on POSIX when it takes a value but was given none (the
// last parameter). On POSIX the switches end at "--". An unknown name
// close to one switch names it ("did you mean --date?"), which is still a
// fault: no switch is taken by a part of its name. `windows` chooses the
// platform's conventions; there the message of an unknown switch lists
// the switches one a line (Switches::BoxList), for the fault box.
Text SwitchFault(const std::vector<Args::Argument>& arguments, bool windows);

// The depth value: a whole number from 0 up (beyond the deepest tree it
// means the whole tree) or "all" in any letter case. False for anything
// else, the empty value included.
bool ParseDepth(TextView value, int64_t& depth);
