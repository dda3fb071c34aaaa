// The switches of the program, in one table: their names, whether they take
// a value and which, and what the usage says of them. The command line's
// parser, the reading of a run's switches, --help, the Windows /? box and
// fault boxes, and the shell completions are all made from it.
//
// A switch is written "--name" or "--name=value" on POSIX (and a value may
// also come as the next parameter: "--ext jpg"), "/name" or "/name=value" on
// Windows. Names ignore letter case, except the words that ask for the
// usage or the version, which count only spelled exactly so.
#pragma once

#include <span>

#include "base/Text.h"

namespace Switches {

enum class Where { kBoth, kPosix, kWindows };

// A value that completions offer for a switch, and what it means, short.
struct Choice {
  TextView value;
  TextView help;
};

struct Switch {
  TextView name = {};   // behind the prefix: "fmt", "help", "?"
  TextView value = {};  // what its value is called ("MASK", "c|m|a"); "" for an on/off switch
  TextView help = {};   // --help's text: "\n" starts a continuation line, "{-}" stands for the prefix
  TextView brief = {};  // the Windows boxes' text: one short line, "{-}" standing for "/"
  char16_t letter = 0;  // the POSIX short form ("-h"), 0 when there is none
  Where where = Where::kBoth;
  bool answers = false;                  // asks for the usage or the version and ends the run
  std::span<const Choice> choices = {};  // the values completions offer
  bool folderValue = false;              // the value is a folder
  // The name on Windows where it differs ("xdev"); `name` names it in the table.
  TextView windowsName = {};
  bool TakesValue() const { return !value.empty(); }
};

// The values of `entry`'s choices separated by spaces: "0 1 2 all".
Text ChoiceWords(const Switch& entry);

// Every switch, in the order the usage lists them.
std::span<const Switch> All();

// Whether `entry` exists on the platform whose conventions `windows` says.
bool Exists(const Switch& entry, bool windows);

// The name of `entry` on the platform whose conventions `windows` says.
TextView NameOn(const Switch& entry, bool windows);

// The switch that the parameter name `name` (as the command line stores it,
// prefix included, without "=" and a value) stands for, or nullptr: on
// Windows "/name", on POSIX "--name" or the short form "-x".
const Switch* Find(TextView name, bool windows);

// The one switch that the long form `name` (prefix included, as Find takes
// it), which names none, was most likely meant for: the only one whose name
// `name` begins, else the only one fewest edits away (a letter added,
// dropped, changed, or two neighbours swapped; letter case aside), at most
// two and fewer than `name` has letters. nullptr when none or several are
// that close, and for a short form ("-q"). Never taken for the switch: it
// only names it for the user.
const Switch* Closest(TextView name, bool windows);

// Whether `parameter` is written as a switch: "--" in front, and on Windows
// also "/", on POSIX also "-" and a letter ("-h"; "-", "-5" and "./-h" are
// no switches).
bool IsSwitch(TextView parameter, bool windows);

// The prefix of a switch's long form: "/" on Windows, "--" on POSIX.
TextView Prefix(bool windows);

// How the usage names a switch: "--fmt=MASK", "/each", "-h, --help".
Text UsageForm(const Switch& entry, bool windows);

// Every switch of the Windows program on a line of its own, as its message
// boxes list them: the usage form, an en dash and the brief text
// ("/fmt=MASK – date mask (default yyyy-mm-dd)"). The lines are short
// enough for a box to show them unwrapped, so no "/" stands apart from its
// name. Joined by "\n", with none after the last.
Text BoxList();

// "--fmt, --date, ..., --help, --version" (POSIX) or "/fmt, ..., /?".
Text NameList(bool windows);

// The POSIX parameter that ends the switches: every parameter after it is a
// folder.
inline constexpr TextView kEndOfSwitches = u"--";

}  // namespace Switches
