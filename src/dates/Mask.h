// What the modules share about the running process, and dates.
//
// A date value counts the seconds from 1970-01-01 00:00:00 to a local
// wall-clock date and time, every day 86,400 seconds, with no zone or
// daylight-saving shift in the count: a plain calendar breakdown gives the
// wall-clock fields back. Valid values run from 0 to Dates::Latest
// (2038-01-19 03:14:07); Dates::OutOfRange (-1) stands for any other time.
#pragma once

#include <cstdint>
#include <vector>

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

// The date value of a calendar date and time; Dates::OutOfRange when it lies
// outside 1970-01-01 00:00:00 .. 2038-01-19 03:14:07 or a field is invalid.
int64_t MakeDate(int year, int month, int day, int hour, int minute, int second);

// The current local wall-clock time as a date value.
int64_t CurrentDate();

// Renders `date` (only its low 32 bits, read as signed) through `mask`: "%"
// followed by yyyy, yy, mm, dd, hh, ii or ss (any letter case) becomes that
// field; every other character is copied. Dates::OutOfRange renders every
// field as zeros.
Text RenderDate(TextView mask, int64_t date);

// The user's mask (already lower-cased) or the default when it holds none of
// the tokens yyyy, yy, mm, dd, hh, ii and ss.
Text ValidateMask(const Text& mask);

// The rendering mask: the first occurrence of each token gets a "%" in front
// ("yy" only when the mask holds no "%" yet).
Text TranslateMask(const Text& mask);

// What a user may not expect of the mask `given` (as typed for the fmt
// switch), one warning each, the rendering being as it is: that it holds
// no token and the default is used; that it renders no date at all (a
// typed "%" keeps a lone "yy" text); that a token it holds twice counts
// only the first time ("mm" twice: minutes are "ii").
std::vector<Text> MaskWarnings(const Text& given);

// RenderDate into `out` (replacing its content), reusing its storage.
void RenderDateTo(TextView mask, int64_t date, Text& out);
