// The usage and version texts, and the words that ask for them: "--help",
// "-h" and "--version" on POSIX, "/?" on Windows. Each is recognised only as
// a whole parameter spelled exactly so; every other spelling keeps the
// meaning it had (a switch nobody reads, or a folder).
#pragma once

#include <vector>

#include "base/Text.h"
#include "cli/Args.h"

enum class InformationRequest { kNone, kUsage, kVersion };

// The usage: synopsis, every switch with its values and default, where the
// reports and the log go, the exit statuses and an example, with the switch
// prefix and the statuses of the platform (`windows`). Lines end in "\n".
Text UsageText(const Text& program, bool windows);

// "datemill <version>" and the licence line, each ended by "\n".
Text VersionText();

// The first help or version word among `arguments`, as Args stores them.
InformationRequest FindInformationRequest(const std::vector<Args::Argument>& arguments, bool windows);

// Shows what the stored parameters ask for (the usage or the version) and
// returns true, or returns false when they ask for neither.
bool AnswerInformationRequest();
