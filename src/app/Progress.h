// The progress line of a long run: while the platform has a terminal for it
// and the run has taken more than a second, one line, redrawn at most ten
// times a second, says how many folders and files have been counted so far
// (and how many subfolders were left out, when any were) and which folder
// was listed last. It is cleared before the run ends.
#pragma once

#include <cstdint>

#include "base/Text.h"

namespace Progress {

// Starts the clock and, when `enabled` and the platform has a terminal for
// the line, has the scanner report each folder it lists and each it leaves
// out.
void Start(bool enabled);

// Clears the line (when it was drawn) and stops the reports.
void Stop();

// Counts `files` more of `folder` (and the folder, once it is done) and
// draws the line when it is due. The scanner calls it while it lists.
void FilesListed(const Text& folder, int64_t files, bool folderDone);

// Counts one more subfolder left out (`path`), shown when the line is drawn
// next. The scanner calls it as it walks.
void FolderLeftOut(const Text& path);

// Whether the line is due, `sinceStart` milliseconds into the run and
// `sinceDrawn` after it was drawn last (negative: never).
bool Due(int64_t sinceStart, int64_t sinceDrawn);

// The line: the counts (the folders left out only when there are any),
// then as much of the end of `folder` as fits in `columns` - 1 units
// ("..." in front of a cut folder).
Text Line(int64_t folders, int64_t files, int64_t leftOut, const Text& folder, size_t columns);

}  // namespace Progress
