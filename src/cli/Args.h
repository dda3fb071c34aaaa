// The command line: split into parameters, each stored as an unnamed value
// or a named switch ("/name", "/name=value"; on POSIX "--name" only), with
// %NAME% references expanded in values. Queries on the store, and the one
// place where a parse result is judged and a faulty command line ends the
// process.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Constants.h"
#include "base/Text.h"

namespace Args {

struct Argument {
  Text name;   // switch text before the first "=", or the expanded value
  Text value;  // expanded text after "=" (NamedWithValue only)
  int8_t kind = Unnamed;
};

// Every parameter in command-line order; filled once by Parse.
extern std::vector<Argument> Arguments;
// The list the driver has CopyByKind fill with the unnamed values.
extern std::vector<Text> UnnamedValues;
// For each switch value the Windows command line cut at its second "=", in
// order, what the user hears of it ("=b" of "/out=C:\a=b" ignored); filled
// with Arguments.
extern std::vector<Text> CutValues;

// Loads the environment and stores the parameters, on the first call only.
// Returns ResultOk (also on every later call), ResultRecoverable when no
// record could be stored, ErrNoArguments, or ErrMalformedQuotes.
int Parse();

// The command line after the program's name, for messages: on Windows the
// raw line cut and trimmed of spaces; where the system hands over the
// parameters one by one (POSIX), those joined by single spaces. "" when there
// is no parameter.
Text RawCommandLine();

// Stores the parameters of the platform's command line (Parse's work): the
// platform's argument list where it has one, else the split raw line.
int Tokenize();

// ---- The same on a given line (for Tokenize and for tests) ----

// The tokens of `line` as the platform writes it: the program's name first,
// then the parameters, double quotes removed. `firstEnd` receives the index
// where the scan for the second token starts, `firstContentEnd` the index
// just after the first token's own text (before a closing quote).
std::vector<Text> SplitLine(const Text& line, size_t* firstEnd = nullptr, size_t* firstContentEnd = nullptr);

// RawCommandLine for `line`, whose program file name is `programFile`.
Text CutProgramName(const Text& line, const Text& programFile);

// Tokenize for `line`, appending to Arguments. On Windows a switch's value
// ends at its next "=" (the rule of its command line); what it drops from
// there on is said in CutValues.
int TokenizeLine(const Text& line, const Text& programFile);

// Tokenize for parameters the system handed over one by one (POSIX, whose
// switch forms it follows on any build): each is stored as it is, quotes
// included. A switch's value is everything after its first "="
// ("--out=dt=2024" is "dt=2024"); a switch that takes a value and is
// written without "=" takes the next parameter as its value ("--ext jpg").
// "--" (Switches::kEndOfSwitches) is stored as a flag of that name, and
// every parameter after it as an unnamed value, not expanded.
// ErrNoArguments when there is none; the quote fault cannot arise.
int TokenizeArguments(const std::vector<Text>& parameters);

// The parameters joined by single spaces (the POSIX RawCommandLine).
Text JoinArguments(const std::vector<Text>& parameters);

// Whether a parameter is written as a switch on this platform
// (Switches::IsSwitch).
bool IsSwitch(TextView parameter);

// ---- Queries ----

// 1 when some stored name equals `name`, upper-cased on both sides; else 0.
int HasNamed(const Text& name);

// The value of the first record whose name matches as in HasNamed, or "".
Text NamedValue(const Text& name);

// Replaces `target` with the names of every record of `kind`, in order, and
// returns their number.
int64_t CopyByKind(std::vector<Text>& target, int8_t kind);

// ---- Errors ----

// The text Report shows (negative codes) or logs (code 0), given the raw
// command line after the program's name and the program's file name. For no
// arguments the box also says what to give and where to read more, in lines
// it shows unwrapped.
Text ReportText(int code, const Text& message, const Text& rawLine, const Text& program);

// What a POSIX user reads on standard error for a negative code: the
// program's name and the message (for no parameters the usage line), then
// where help is to be had. No module tags, no command line.
Text FaultLines(int code, const Text& message, const Text& program);

// Returns `code` when it is 1 or more. Otherwise ends the process with
// `code` as exit status: 0 after one line in the log, a negative code after
// the fatal-error box (Windows) or FaultLines on standard error (POSIX).
int Report(int code, const Text& message);

}  // namespace Args
