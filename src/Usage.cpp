#include "Usage.h"

#include <algorithm>

#include "Process.h"
#include "platform/Platform.h"

namespace {

// One line of a two-column table: a switch (after its prefix) or a status,
// and what it means. "\n" in `text` starts a continuation line; "{-}" stands
// for the switch prefix.
struct Row {
  TextView left;
  TextView text;
};

// The switches in the order the usage lists them; the defaults are stated
// in each text.
constexpr Row kSwitches[] = {
    {u"fmt=MASK", u"date mask built from yyyy, yy, mm, dd, hh, ii and ss\n(default yyyy-mm-dd)"},
    {u"date=c|m|a",
     u"the date that counts: c created (default), m last\nwritten, a last accessed (also the words "
     u"created,\nmodified, accessed; any letter case)"},
    {u"depth=N|all",
     u"also count the subfolders down to N levels below\neach FOLDER, or all of them (default 0: none);\n"
     u"links to folders are not entered, a subfolder\nthat cannot be read is named and makes status 1"},
    {u"follow", u"with {-}depth, enter links to folders too, each\nreal folder once"},
    {u"ext=LIST",
     u"count only the files whose extension is in LIST:\njpg, .jpg and *.jpg alike, separated by ; , | "
     u"or\nspaces; * every file; tar.gz for names ending so"},
    {u"exclude=LIST", u"leave out the files with these extensions\n(wins over {-}ext)"},
    {u"out=FOLDER", u"write the reports into FOLDER, which must exist\n(default: the current folder)"},
    {u"each",
     u"each report holds only its own folder's counts\n(default: the counts accumulate over the run);\n"
     u"a later report of a name already given becomes\nNAME (2).txt, NAME (3).txt and so on"},
    {u"chart", u"also write NAME.svg, a bar chart of the same counts"},
    {u"open",
     u"open each report and chart once written, with the\nuser's default program (a missing {-}out "
     u"folder\nis then made)"},
    {u"quiet", u"no progress line on a terminal during long runs"},
};

constexpr Row kPosixWords[] = {
    {u"-h, --help", u"show this help and exit"},
    {u"    --version", u"show the version and the licence and exit"},
};
constexpr Row kWindowsWords[] = {{u"/?", u"show this help"}};

constexpr Row kPosixStatuses[] = {
    {u"0", u"done"},
    {u"1", u"a report or chart could not be written, a subfolder\ncould not be read, or memory ran out"},
    {u"250", u"an unknown switch, or a {-}date value not known"},
    {u"251", u"the {-}out folder does not exist or is a file"},
    {u"252", u"the {-}depth value is not valid"},
    {u"255", u"no arguments were given"},
};
// A Windows parent sees all 32 bits of a negative status.
constexpr Row kWindowsStatuses[] = {
    {u"0", u"done"},
    {u"1", u"a report or chart could not be written, a subfolder\ncould not be read, or memory ran out"},
    {u"4294967290 (-6)", u"an unknown switch, or a {-}date value not known"},
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

// Rows as "  left  text", the texts starting in one column after a left
// side of `width` units (or the longest left side, when `width` is 0).
template <class Rows>
Text Table(const Rows& rows, TextView leftPrefix, TextView prefix, size_t width = 0) {
  for (const Row& row : rows) width = std::max(width, leftPrefix.size() + row.left.size());
  Text out;
  for (const Row& row : rows) {
    const Text left = Text(leftPrefix) + Text(row.left);
    Text line = u"  " + left + Text(width - left.size() + 2, u' ');
    for (char16_t unit : WithPrefix(row.text, prefix)) {
      line += unit;
      if (unit == u'\n') line += Text(width + 6, u' ');  // continuation: two further spaces
    }
    out += line + u"\n";
  }
  return out;
}

}  // namespace

Text UsageText(const Text& program, bool windows) {
  const Text prefix = windows ? u"/" : u"--";
  // GNU style: long options stand four columns right of the short ones.
  const Text switchIndent = windows ? u"/" : u"    --";
  Text text = u"Usage: " + program + u" [SWITCH]... FOLDER...\n";
  text += u"Count the files of each FOLDER by date and write the counts to NAME.txt.\n\n";
  text +=
      u"The files lying directly in each FOLDER are counted by one of their dates,\n"
      u"rendered through a date mask. The report NAME.txt, named after the\n"
      u"folder's last path component, gets one line per date text and its count.\n\n";
  text += u"Switches (names ignore letter case; the first of a repeated switch counts):\n";
  text += Table(kSwitches, switchIndent, prefix, kSwitchWidth);
  text += windows ? Table(kWindowsWords, u"", prefix, kSwitchWidth)
                  : Table(kPosixWords, u"", prefix, kSwitchWidth);
  text +=
      u"\nFOLDER may name environment variables as %NAME%. The reports go into\n"
      u"the current folder (or the " +
      prefix + u"out folder). A problem the run got over\nis logged in ";
  text += windows ? u"Log.txt beside the program, or in %LOCALAPPDATA%\\Datemill\n"
                    u"when that folder takes no file.\n"
                  : u"$XDG_STATE_HOME/datemill/Log.txt (by default\n"
                    u"~/.local/state/datemill/Log.txt) and shown on standard error.\n"
                    u"After --, every parameter is a FOLDER.\n";
  text += u"\nExit status:\n";
  text += windows ? Table(kWindowsStatuses, u"", prefix) : Table(kPosixStatuses, u"", prefix);
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
    // Exact names and kinds only: "--HELP", "--help=x" and "/?x" stay what
    // they were.
    if (windows) {
      if (arg.kind == Args::NamedFlag && arg.name == u"/?") return InformationRequest::kUsage;
      continue;
    }
    if (arg.kind == Args::NamedFlag && arg.name == Args::EndOfSwitches) break;
    if ((arg.kind == Args::NamedFlag && arg.name == u"--help") ||
        (arg.kind == Args::Unnamed && arg.name == u"-h")) {
      return InformationRequest::kUsage;
    }
    if (arg.kind == Args::NamedFlag && arg.name == u"--version") return InformationRequest::kVersion;
  }
  return InformationRequest::kNone;
}

bool AnswerInformationRequest() {
  switch (FindInformationRequest(Args::Arguments, Platform::kWindowsConventions)) {
    case InformationRequest::kUsage:
      Platform::ShowInformation(UsageText(ProgramFile, Platform::kWindowsConventions), ProgramFile);
      return true;
    case InformationRequest::kVersion: Platform::ShowInformation(VersionText(), ProgramFile); return true;
    case InformationRequest::kNone: break;
  }
  return false;
}
