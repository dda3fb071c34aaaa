// Diagnostics: the log file "Log.txt" (beside the executable on Windows when
// that folder takes it, else in the user's own folders), and lines to the
// debugger output.
#pragma once

#include <vector>

#include "base/Text.h"

namespace Dbg {

// Writes `text` and CR LF to "Log.txt" in the first of LogFolders that takes
// it (made when missing), in UTF-8 without byte-order mark. The first call of
// a run replaces the file, later calls append. A line that cannot be written
// is lost without a word. On POSIX the user also reads every line on
// standard error, in its told form: so whoever logs an event prints nothing
// else for it.
void Log(const Text& text);

// Something the user should hear without asking (what a mask does that may
// surprise, files without a taken date): "program: message" on standard
// error where the program has one (POSIX); in the log where it has none
// (Windows), as "[Datemill] message.".
void Warn(const Text& message);

// A line of the run's account that the user may ask for (files without a
// taken date): with `asked` (the verbose switch) told as Warn tells it;
// without, only where the program has no console, whose log always carries
// it.
void Account(const Text& message, bool asked);

// A line the user asked for (the verbose switch): "program: message" on
// standard error; nothing where the program has none.
void Tell(const Text& message);

// A log line as standard error shows it: without the time stamp and the
// "[Module] " tag in front, behind the program's name and ": ".
Text ToldForm(const Text& line, const Text& program);

// Sends `text` to the debugger output, behind "[hh:ii:ss] " with
// `timestamp`, followed by an extra CR LF with `extraNewline`, and CR LF.
void Trace(const Text& text, bool extraNewline, bool timestamp);

// `message` behind the current local time as log lines carry it
// ("yyyy.mm.dd hh:ii:ss ").
Text Stamped(const Text& message);

// The line Trace sends.
Text TraceLine(const Text& text, bool extraNewline, bool timestamp);

// The files Log tries, in order.
std::vector<Text> LogPaths();

}  // namespace Dbg
