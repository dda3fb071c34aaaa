// The usage and version texts, and the words that ask for them: "--help",
// "-h" and "--version" on POSIX, "/?" on Windows. Each is recognised only as
// a whole parameter spelled exactly so; every other spelling keeps the
// meaning it had (a switch nobody reads, or a folder).
#pragma once

#include <vector>

#include "base/Text.h"
#include "cli/Args.h"

enum class InformationRequest { kNone, kUsage, kVersion };

// The usage of the platform (`windows`). POSIX, for --help: synopsis, every
// switch with its values and default, where the reports and the log go, the
// exit statuses and an example, for an 80-column terminal. Windows, for the
// /? box: the synopsis, one short line per switch, an example, where the log
// goes, and where to read more, with the version; at most 30 lines of at
// most 50 characters, none holding a run of spaces. Lines end in "\n".
Text UsageText(const Text& program, bool windows);

// "datemill <version>" and the licence line, each ended by "\n".
Text VersionText();

// The first help or version word among `arguments`, as Args stores them.
InformationRequest FindInformationRequest(const std::vector<Args::Argument>& arguments, bool windows);

// Shows what the stored parameters ask for (the usage or the version) and
// returns true, or returns false when they ask for neither.
bool AnswerInformationRequest();
