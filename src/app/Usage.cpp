#include "app/Usage.h"

#include <algorithm>

#include "base/Conventions.h"
#include "cli/Switches.h"
#include "io/Program.h"
#include "platform/Messages.h"

namespace {

// One line of the table of exit statuses: a status and what it means. "\n"
// in `text` starts a continuation line; "{-}" stands for the switch prefix.
struct Row {
  TextView left;
  TextView text;
};

constexpr Row kPosixStatuses[] = {
    {u"0", u"done"},
    {u"1", u"a report or chart could not be written, a folder could\nnot be read in full, or memory ran out"},
    {u"250",
     u"an unknown switch, one given a value it does not take or\nnone where it needs one, switches that "
     u"cannot "
     u"go together\n({-}chart or {-}open with {-}out=-), or a {-}date value not known"},
    {u"251", u"the {-}out folder does not exist or is a file"},
    {u"252", u"the {-}depth value is not valid"},
    {u"255", u"no arguments were given"},
};
Text WithPrefix(TextView text, TextView prefix) {
  Text out(text);
  for (size_t at = out.find(u"{-}"); at != Text::npos; at = out.find(u"{-}", at + prefix.size())) {
    out.replace(at, 3, prefix);
  }
  return out;
}

// The width of the left column of the switch tables: the longest left side,
// "    --exclude=LIST".
constexpr size_t kSwitchWidth = 18;

// One row as "  left  text", the text starting in the column after a left
// side of `width` units; after a longer left side, on the next line.
Text Line(TextView left, TextView text, TextView prefix, size_t width) {
  Text line = u"  " + Text(left);
  line += left.size() <= width ? Text(width - left.size() + 2, u' ') : u"\n" + Text(width + 4, u' ');
  for (char16_t unit : WithPrefix(text, prefix)) {
    line += unit;
    if (unit == u'\n') line += Text(width + 6, u' ');  // continuation: two further spaces
  }
  return line + u"\n";
}

// The statuses, their texts starting in one column after the longest.
template <class Rows>
Text Table(const Rows& rows, TextView prefix) {
  size_t width = 0;
  for (const Row& row : rows) width = std::max(width, row.left.size());
  Text out;
  for (const Row& row : rows) out += Line(row.left, row.text, prefix, width);
  return out;
}

// Every POSIX switch, GNU style: the long forms stand four columns right of
// the short ones ("-h, --help", "    --fmt=MASK").
Text SwitchTable() {
  Text out;
  for (const Switches::Switch& entry : Switches::All()) {
    if (!Switches::Exists(entry, false)) continue;
    Text left = Switches::UsageForm(entry, false);
    if (entry.letter == 0) left = u"    " + left;
    out += Line(left, entry.help, Switches::Prefix(false), kSwitchWidth);
  }
  return out;
}

// --help, for an 80-column terminal.
Text TerminalUsage(const Text& program) {
  const Text prefix(Switches::Prefix(false));
  Text text = u"Usage: " + program + u" [SWITCH]... FOLDER...\n";
  text += u"Count the files of each FOLDER by date and write the counts to NAME.txt.\n\n";
  text +=
      u"The files lying directly in each FOLDER are counted by one of their dates,\n"
      u"rendered through a date mask. The report NAME.txt, named after the\n"
      u"folder's last path component, gets one line per date text and its count.\n\n";
  text +=
      u"Switches (names ignore letter case; the first of a repeated switch counts;\n"
      u"a value may also be the next parameter: --ext jpg):\n";
  text += SwitchTable();
  text +=
      u"\nFOLDER may name environment variables as %NAME%. The reports go into\n"
      u"the current folder (or the " +
      prefix +
      u"out folder). A problem the run got over\nis logged in $XDG_STATE_HOME/datemill/Log.txt (by default\n"
      u"~/.local/state/datemill/Log.txt) and shown on standard error.\n"
      u"After --, every parameter is a FOLDER, taken as it is. With --out=- the\n"
      u"reports go to standard output, with LF line ends (several: each behind\n"
      u"a line ==> NAME.txt <==).\n";
  text += u"\nExit status:\n" + Table(kPosixStatuses, prefix);
  text +=
      u"\nExample:\n  " + program + u" " + prefix + u"fmt=yyyy-mm " + prefix + u"date=m ~/Pictures/2018\n";
  text +=
      u"counts the files of that folder by the month they were last written\n"
      u"and writes the counts to 2018.txt in the current folder.\n";
  return text;
}

// The /? box: lines short enough that a message box shows them as they are
// (under Wine it wraps at about 54 characters, and its font keeps no
// columns), and few enough that the box and its button fit a small screen.
// The rest is in README.md, which lies beside the program.
Text BoxUsage(const Text& program) {
  Text text = u"Usage: " + program + u" [SWITCH]... FOLDER...\n";
  text +=
      u"Counts the files lying directly in each FOLDER\n"
      u"by the day they were created and writes the\n"
      u"counts to NAME.txt in the current folder.\n\n";
  text += Switches::BoxList() + u"\n";
  text += u"\nExample, by the month of the last write:\n" + program + u" /fmt=yyyy-mm /date=m C:\\Photos\n";
  text += u"\nA problem the run got over goes to Log.txt beside\n" + program +
          u" (or in %LOCALAPPDATA%\\Datemill).\n";
  text += u"README.md beside " + program + u" tells all the rules.\n";
  return text + u"Datemill " + Version + u", MIT License.\n";
}

}  // namespace

Text UsageText(const Text& program, bool windows) {
  return windows ? BoxUsage(program) : TerminalUsage(program);
}

Text VersionText() {
  return u"datemill " + Version + u"\nMIT License: free to use, change and share, with no warranty.\n";
}

InformationRequest FindInformationRequest(const std::vector<Args::Argument>& arguments, bool windows) {
  for (const Args::Argument& arg : arguments) {
    if (arg.kind != Args::NamedFlag) continue;  // "--help=x" and a folder "--help" stay what they were
    if (!windows && arg.name == Switches::kEndOfSwitches) break;
    const Switches::Switch* entry = Switches::Find(arg.name, windows);
    if (entry == nullptr || !entry->answers) continue;
    return entry->name == u"version" ? InformationRequest::kVersion : InformationRequest::kUsage;
  }
  return InformationRequest::kNone;
}

bool AnswerInformationRequest() {
  switch (FindInformationRequest(Args::Arguments, Platform::kSlashSwitches)) {
    case InformationRequest::kUsage:
      Platform::ShowInformation(UsageText(ProgramFile, Platform::kWindowsConventions), ProgramFile);
      return true;
    case InformationRequest::kVersion: Platform::ShowInformation(VersionText(), ProgramFile); return true;
    case InformationRequest::kNone: break;
  }
  return false;
}
