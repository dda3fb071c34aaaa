// The running program: its own folder and file name, its version, and the
// exit status it ends with.
#pragma once

#include <cstdint>

#include "base/Text.h"

// The executable's full path up to and including its last "\" or "/".
extern Text ProgramFolder;
// The executable's file name with its extension.
extern Text ProgramFile;
// The program's version as the build gives it, such as "2018.09.26".
extern Text Version;
// The exit status EndProgram passes on (its low 32 bits).
extern int64_t ExitCode;

// Sets ProgramFolder, ProgramFile and Version from the executable's path.
void InitProcessContext();

// Splits an executable path into ProgramFolder and ProgramFile form.
void SplitProgramPath(const Text& path, Text& folder, Text& file);

// Ends the process with the low 32 bits of ExitCode as its exit status.
[[noreturn]] void EndProgram();
