// The counting driver: start-up and the run over the folders of the command
// line.
#pragma once

#include "Text.h"

// Sets up the process-wide values before Main runs.
void StartUp();

// Reads the switches, then scans, counts and reports each folder in turn.
// Leaves ExitCode at 0, or ExitReportFailed when a report could not be
// written or memory ran out while counting a folder (which ends the run
// there, before that folder's report).
void Main();

// A folder argument without one trailing separator.
Text NormaliseFolder(const Text& folder);

// The report's base name: the folder's text after its last separator, made
// a name the platform can hold (Platform::UsableFileName). A folder ending in
// "." or ".." is named after the last component of its full path; the POSIX
// root "/" is named "root".
Text ReportNameOf(const Text& folder);
