// The running process as the system sees it: its command line, its own
// path, its environment, its id, where its log may go, and its end.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Text.h"

namespace Platform {

// Hands the POSIX layer the arguments of main(); does nothing on Windows.
void SetArguments(int argc, char** argv);

// The raw command line, program name first (POSIX: the arguments joined by
// single spaces, for showing only).
Text CommandLine();

// The parameters one by one as the system hands them over, the program's own
// name not included: true on POSIX (main's argv from the second element on).
// False on Windows, where the program splits the raw command line itself.
bool ArgumentList(std::vector<Text>& parameters);

// The full path of the program's own executable, or "" when it is unknown.
Text ModulePath();

// A snapshot of the environment as "name=value" entries in the platform's
// order. Returns false when no snapshot can be had (entries stay empty).
bool EnvironmentEntries(std::vector<Text>& entries);

// The id of this process.
uint32_t ProcessId();

// Whether a process of the id `id` runs now on this system (one that this
// process may not look at counts as running); false when none does.
bool ProcessRunning(uint32_t id);

// The folders the log may go into, each ending in a separator, in the order
// they are tried. Windows: `programFolder`, then "%LOCALAPPDATA%\Datemill\".
// POSIX: "$XDG_STATE_HOME/datemill/" (only an absolute XDG_STATE_HOME counts),
// else "$HOME/.local/state/datemill/"; never the program's folder. A folder
// whose variable is not set is left out.
std::vector<Text> LogFolders(const Text& programFolder);

// Ends the process with `status` (POSIX passes on only its low 8 bits),
// after the progress line is cleared.
[[noreturn]] void EndProcess(uint32_t status);

}  // namespace Platform
