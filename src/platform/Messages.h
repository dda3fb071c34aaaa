// What the program shows its user directly: the fatal-error box, the
// usage, standard output, diagnostic lines, the progress line and the
// debugger output. The Windows program has no console: it shows boxes, and
// what POSIX says on standard error goes to its log instead (io/Dbg.h).
#pragma once

#include <string_view>

#include "base/Outcome.h"
#include "base/Text.h"

namespace Platform {

// The fatal-error box: modal, stop icon, one OK button, `caption` as title;
// returns when the user has closed it. On POSIX the text goes to standard
// error instead, behind the caption and ": ".
void ShowFatalMessage(const Text& text, const Text& caption);

// What the user asked for (the usage, the version): on Windows a box with the
// information icon, one OK button and `caption` as title; on POSIX the text
// on standard output (no caption). Returns when it has been shown.
void ShowInformation(const Text& text, const Text& caption);

// Writes `bytes` to standard output as they are; fails with the system's
// reason when the write fails.
Done WriteStandardOutput(std::string_view bytes);

// Whether the program has a console to tell its user on (POSIX: standard
// error); the windowless Windows program has none, and logs instead.
bool HasConsole();

// One diagnostic line for the user, with the line end added: on standard
// error (POSIX); nothing where the program has no console.
void ShowDiagnostic(const Text& line);

// The width in columns of the terminal a progress line goes to; 0 when
// there is none (POSIX: standard error is no terminal; Windows: always).
int ProgressColumns();

// Draws `line` (which fits ProgressColumns) as the progress line, in place
// of the one before; ClearProgress removes it. A diagnostic, a fatal
// message and the end of the process clear it first. Nothing on Windows.
void ShowProgress(const Text& line);
void ClearProgress();

// One line to the debugger output (POSIX: nothing).
void DebugOutput(const Text& line);

}  // namespace Platform
