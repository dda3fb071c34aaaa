// Diagnostics: the log file "Log.txt" beside the executable, and lines to
// the debugger output.
#pragma once

#include "Text.h"

namespace Dbg {

// Writes `text` and CR LF to "Log.txt" in the program's folder, in UTF-8
// without byte-order mark. The first call of a run replaces the file, later
// calls append. A line that cannot be written is lost without a word.
void Log(const Text& text);

// Sends `text` to the debugger output, behind "[hh:ii:ss] " with
// `timestamp`, followed by an extra CR LF with `extraNewline`, and CR LF.
void Trace(const Text& text, bool extraNewline, bool timestamp);

// `message` behind the current local time as log lines carry it
// ("yyyy.mm.dd hh:ii:ss ").
Text Stamped(const Text& message);

// The line Trace sends.
Text TraceLine(const Text& text, bool extraNewline, bool timestamp);

// The file Log writes to.
Text LogPath();

}  // namespace Dbg
