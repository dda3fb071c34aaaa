// The counting driver: start-up and the run over the folders of the command
// line.
#pragma once

#include <set>
#include <vector>

#include "base/Text.h"
#include "cli/RunOptions.h"

// Sets up the process-wide values before Main runs.
void StartUp();

// Reads the switches, then scans, counts and reports each folder in turn.
// Leaves ExitCode at 0, or ExitReportFailed when a report could not be
// written or memory ran out while counting a folder (which ends the run
// there, before that folder's report), or ExitFolderUnread when a walk
// could not list a subfolder.
void Main();

// The names of the files a run of `options` over the folder values
// `folders` writes into its output folder: each folder's report, and its
// chart with the chart switch (the names of copies as ClaimReportName gives
// them with the each switch).
std::set<Text> OutputNames(const RunOptions& options, const std::vector<Text>& folders);

// `wanted` when no name of `taken` is the same (Windows: letter case
// ignored), else the first free one of "wanted (2)", "wanted (3)", and so
// on; the name returned is added to `taken`.
Text ClaimReportName(const Text& wanted, std::set<Text>& taken);
