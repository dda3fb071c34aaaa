// Opening a written file with the user's default program for its type.
#pragma once

#include "base/Outcome.h"
#include "base/Text.h"

namespace Platform {

enum class OpenResult {
  kOpened,     // handed to the program that opens it
  kNoProgram,  // there is nothing to open it with (POSIX: no xdg-open on PATH)
  kFailed,     // the opening program failed or could not be started
};

// Opens the file `path` and returns without waiting for that program to
// end; the reason says why for kNoProgram and kFailed. Windows:
// ShellExecuteExW with the default verb; when the environment variable
// DATEMILL_OPENER names a program, that program is started instead with
// `path` as its one argument (a stand-in that tests watch). POSIX: xdg-open
// found on PATH, started with `path` as its argument and the standard
// streams on /dev/null. Either program is waited for a few seconds at most,
// and an exit status other than 0 within them is kFailed.
Outcome<OpenResult> OpenWithDefaultProgram(const Text& path);

}  // namespace Platform
