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
// A Windows parent sees all 32 bits of a negative status.
constexpr Row kWindowsStatuses[] = {
    {u"0", u"done"},
    {u"1", u"a report or chart could not be written, a folder could\nnot be read in full, or memory ran out"},
    {u"4294967290 (-6)",
     u"an unknown switch, a switch given a value it does\nnot take, or a {-}date value not known"},
    {u"4294967291 (-5)", u"the {-}out folder does not exist or is a file"},
    {u"4294967292 (-4)", u"the {-}depth value is not valid"},
    {u"4294967293 (-3)", u"the double quotes of the command line do not pair up"},
    {u"4294967295 (-1)", u"no arguments were given"},
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
// side of `width` units.
Text Line(TextView left, TextView text, TextView prefix, size_t width) {
  Text line = u"  " + Text(left) + Text(width - left.size() + 2, u' ');
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

// Every switch of the platform. GNU style on POSIX: the long forms stand
// four columns right of the short ones ("-h, --help", "    --fmt=MASK").
Text SwitchTable(bool windows) {
  Text out;
  for (const Switches::Switch& entry : Switches::All()) {
    if (!Switches::Exists(entry, windows)) continue;
    Text left = Switches::UsageForm(entry, windows);
    if (!windows && entry.letter == 0) left = u"    " + left;
    out += Line(left, entry.help, Switches::Prefix(windows), kSwitchWidth);
  }
  return out;
}

}  // namespace

Text UsageText(const Text& program, bool windows) {
  const Text prefix(Switches::Prefix(windows));
  Text text = u"Usage: " + program + u" [SWITCH]... FOLDER...\n";
  text += u"Count the files of each FOLDER by date and write the counts to NAME.txt.\n\n";
  text +=
      u"The files lying directly in each FOLDER are counted by one of their dates,\n"
      u"rendered through a date mask. The report NAME.txt, named after the\n"
      u"folder's last path component, gets one line per date text and its count.\n\n";
  text += u"Switches (names ignore letter case; the first of a repeated switch counts";
  text += windows ? u";\na value ends at its next =, the rest is ignored and logged):\n"
                  : u";\na value may also be the next parameter: --ext jpg):\n";
  text += SwitchTable(windows);
  text +=
      u"\nFOLDER may name environment variables as %NAME%. The reports go into\n"
      u"the current folder (or the " +
      prefix + u"out folder). A problem the run got over\nis logged in ";
  text += windows ? u"Log.txt beside the program, or in %LOCALAPPDATA%\\Datemill\n"
                    u"when that folder takes no file.\n"
                  : u"$XDG_STATE_HOME/datemill/Log.txt (by default\n"
                    u"~/.local/state/datemill/Log.txt) and shown on standard error.\n"
                    u"After --, every parameter is a FOLDER, taken as it is. With --out=- the\n"
                    u"reports go to standard output, with LF line ends (several: each behind\n"
                    u"a line ==> NAME.txt <==).\n";
  text += u"\nExit status:\n";
  text += windows ? Table(kWindowsStatuses, prefix) : Table(kPosixStatuses, prefix);
  const Text folder = windows ? u"C:\\Photos\\2018\\" : u"~/Pictures/2018";
  text +=
      u"\nExample:\n  " + program + u" " + prefix + u"fmt=yyyy-mm " + prefix + u"date=m " + folder + u"\n";
  text +=
      u"counts the files of that folder by the month they were last written\n"
      u"and writes the counts to 2018.txt in the current folder.\n";
  return text;
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
