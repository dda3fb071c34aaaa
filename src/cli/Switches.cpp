#include "cli/Switches.h"

#include <algorithm>
#include <vector>

namespace Switches {

namespace {

constexpr Choice kDateChoices[] = {{u"c", u"created"},
                                   {u"m", u"last written"},
                                   {u"a", u"last accessed"},
                                   {u"t", u"taken (a photo's or video's own date)"},
                                   {u"created", u"created"},
                                   {u"modified", u"last written"},
                                   {u"accessed", u"last accessed"},
                                   {u"taken", u"taken (a photo's or video's own date)"}};
constexpr Choice kDepthChoices[] = {{u"0", u"the folder only"},
                                    {u"1", u"and its subfolders"},
                                    {u"2", u"two levels down"},
                                    {u"all", u"the whole tree"}};

constexpr Choice kFormatChoices[] = {{u"txt", u"text lines (the default)"},
                                     {u"tsv", u"tab-separated, with bytes"},
                                     {u"csv", u"comma-separated, with bytes"},
                                     {u"json", u"JSON, with bytes and totals"}};
constexpr Choice kSortChoices[] = {{u"text", u"by the date text (the default)"},
                                   {u"date", u"by the earliest date"}};

constexpr Switch kSwitches[] = {
    {.name = u"fmt",
     .value = u"MASK",
     .help = u"date mask built from yyyy, yy, mm, dd, hh, ii and ss\n(default yyyy-mm-dd)",
     .brief = u"date mask (default yyyy-mm-dd)"},
    {.name = u"date",
     .value = u"c|m|a|t",
     .help = u"the date that counts: c created (default), m last\n"
             u"written, a last accessed, t taken (a photo's or\n"
             u"video's own date, else the last write; also the\n"
             u"words created, modified, accessed, taken; any\n"
             u"letter case)",
     .brief = u"created, modified, accessed, taken",
     .choices = kDateChoices},
    {.name = u"depth",
     .value = u"N|all",
     .help = u"also count the subfolders down to N levels below\neach FOLDER, or all of them (default 0: "
             u"none);\nlinks to folders are not entered, a subfolder\nthat cannot be read is named and makes "
             u"status 1",
     .brief = u"also count subfolders N levels down",
     .choices = kDepthChoices},
    {.name = u"follow",
     .help = u"with {-}depth, enter links to folders too, each\nreal folder once; date links to files by "
             u"their files",
     .brief = u"with {-}depth, enter links to folders too"},
    {.name = u"skip",
     .value = u"LIST",
     .help = u"do not enter the subfolders of these names\n(separated by ; , or |; * and ? as wildcards)",
     .brief = u"leave out subfolders of these names"},
    {.name = u"one-file-system",
     .help = u"do not enter subfolders on other file systems",
     .brief = u"stay on the folder's own file system",
     .letter = u'x',
     .windowsName = u"xdev"},
    {.name = u"ext",
     .value = u"LIST",
     .help =
         u"count only the files whose extension is in LIST:\njpg, .jpg and *.jpg alike, separated by ; , | "
         u"or\nspaces; * every file; tar.gz for names ending so",
     .brief = u"count only these extensions: jpg;png"},
    {.name = u"exclude",
     .value = u"LIST",
     .help = u"leave out the files with these extensions\n(wins over {-}ext)",
     .brief = u"leave out these extensions"},
    {.name = u"out",
     .value = u"FOLDER",
     .help = u"write the reports into FOLDER, which must exist\n(default: the current folder)",
     .brief = u"write the reports into FOLDER",
     .folderValue = true},
    {.name = u"format",
     .value = u"TYPE",
     .help = u"the reports' format: txt (default), tsv, csv or\njson, the last three with the bytes of each "
             u"date\n"
             u"(NAME.tsv, NAME.csv, NAME.json, in UTF-8)",
     .brief = u"report as txt, tsv, csv or json",
     .choices = kFormatChoices},
    {.name = u"sort",
     .value = u"ORDER",
     .help = u"the order of the lines: text (default, by their\ntext) or date (by the earliest date of each)",
     .brief = u"order the lines by text or by date",
     .choices = kSortChoices},
    {.name = u"each",
     .help =
         u"each report holds only its own folder's counts\n(default: the counts accumulate over the run);\n"
         u"a later report of a name already given becomes\nNAME (2).txt, NAME (3).txt and so on",
     .brief = u"each report counts only its own folder"},
    {.name = u"chart",
     .help = u"also write NAME.svg, a bar chart of the same counts",
     .brief = u"also write NAME.svg, a bar chart"},
    {.name = u"open",
     .help = u"open each report and chart once written, with the\nuser's default program (a missing {-}out "
             u"folder\nis then made)",
     .brief = u"open each report and chart once written"},
    {.name = u"quiet",
     .help = u"no progress line on a terminal during long runs",
     .brief = u"no progress line on a terminal"},
    {.name = u"verbose",
     .help = u"a line on standard error for each report written,\neach folder without one, and the totals",
     .letter = u'v',
     .where = Where::kPosix},
    {.name = u"help",
     .help = u"show this help and exit",
     .letter = u'h',
     .where = Where::kPosix,
     .answers = true},
    {.name = u"version",
     .help = u"show the version and the licence and exit",
     .where = Where::kPosix,
     .answers = true},
    {.name = u"?", .brief = u"show this help", .where = Where::kWindows, .answers = true},
};

// Whether `typed` is the table's `name` (written in lower case), letter
// case aside.
bool SameName(TextView name, TextView typed) {
  return typed.size() == name.size() && AsciiLowerAt(typed, 0, name);
}

}  // namespace

std::span<const Switch> All() { return kSwitches; }

Text ChoiceWords(const Switch& entry) {
  Text words;
  for (const Choice& choice : entry.choices) {
    if (!words.empty()) words += u' ';
    words += choice.value;
  }
  return words;
}

bool Exists(const Switch& entry, bool windows) {
  return entry.where == Where::kBoth || (entry.where == Where::kWindows) == windows;
}

TextView Prefix(bool windows) { return windows ? u"/" : u"--"; }

TextView NameOn(const Switch& entry, bool windows) {
  return windows && !entry.windowsName.empty() ? entry.windowsName : entry.name;
}

const Switch* Find(TextView name, bool windows) {
  const TextView prefix = Prefix(windows);
  const bool longForm = name.starts_with(prefix);
  const bool shortForm = !windows && !longForm && name.size() == 2 && name[0] == u'-';
  if (!longForm && !shortForm) return nullptr;
  const TextView rest = name.substr(longForm ? prefix.size() : 1);
  for (const Switch& entry : kSwitches) {
    if (!Exists(entry, windows)) continue;
    const TextView named = NameOn(entry, windows);
    if (shortForm ? entry.letter == rest[0] : entry.answers ? named == rest : SameName(named, rest))
      return &entry;
  }
  return nullptr;
}

namespace {

// The edits that make `a` into `b` (optimal string alignment: insertions,
// deletions, substitutions and swaps of neighbours), ASCII letter case
// aside.
size_t Edits(TextView a, TextView b) {
  const size_t width = b.size() + 1;
  std::vector<size_t> d((a.size() + 1) * width);
  const auto at = [&d, width](size_t i, size_t j) -> size_t& { return d[i * width + j]; };
  for (size_t i = 0; i <= a.size(); ++i) at(i, 0) = i;
  for (size_t j = 0; j <= b.size(); ++j) at(0, j) = j;
  const auto same = [&](size_t i, size_t j) { return AsciiLowerUnit(a[i]) == AsciiLowerUnit(b[j]); };
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      at(i, j) =
          std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + (same(i - 1, j - 1) ? 0 : 1)});
      if (i > 1 && j > 1 && same(i - 1, j - 2) && same(i - 2, j - 1))
        at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
    }
  }
  return at(a.size(), b.size());
}

}  // namespace

const Switch* Closest(TextView name, bool windows) {
  const TextView prefix = Prefix(windows);
  if (!name.starts_with(prefix) || name.size() == prefix.size()) return nullptr;
  const TextView typed = name.substr(prefix.size());
  const Text lowered = AsciiLower(typed);
  const Switch* begun = nullptr;
  const Switch* near = nullptr;
  size_t begunCount = 0, nearCount = 0;
  size_t fewest = std::min<size_t>(2, typed.size() - 1);  // fewer edits than letters
  for (const Switch& entry : kSwitches) {
    if (!Exists(entry, windows)) continue;
    if (entry.name.size() > typed.size() && AsciiLowerAt(entry.name, 0, lowered))
      begun = &entry, ++begunCount;
    const size_t edits = Edits(typed, entry.name);
    if (edits < fewest || (edits == fewest && near == nullptr)) {
      fewest = edits, near = &entry, nearCount = 1;
    } else if (edits == fewest) {
      ++nearCount;
    }
  }
  if (begunCount == 1) return begun;
  return nearCount == 1 ? near : nullptr;
}

bool IsSwitch(TextView parameter, bool windows) {
  if (parameter.starts_with(u"--")) return true;
  if (windows) return parameter.starts_with(u"/");
  return parameter.size() >= 2 && parameter[0] == u'-' && IsAsciiLetter(parameter[1]);
}

Text UsageForm(const Switch& entry, bool windows) {
  Text form = Text(Prefix(windows)) + Text(NameOn(entry, windows));
  if (entry.TakesValue()) form += u"=" + Text(entry.value);
  if (!windows && entry.letter != 0) form = u"-" + Text(1, entry.letter) + u", " + form;
  return form;
}

Text BoxList() {
  Text list;
  for (const Switch& entry : kSwitches) {
    if (!Exists(entry, true)) continue;
    Text brief(entry.brief);
    for (size_t at = brief.find(u"{-}"); at != Text::npos; at = brief.find(u"{-}", at + 1)) {
      brief.replace(at, 3, Prefix(true));
    }
    if (!list.empty()) list += u"\n";
    list += UsageForm(entry, true) + u" \u2013 " + brief;
  }
  return list;
}

Text NameList(bool windows) {
  Text list;
  for (const Switch& entry : kSwitches) {
    if (!Exists(entry, windows)) continue;
    if (!list.empty()) list += u", ";
    list += Text(Prefix(windows)) + Text(NameOn(entry, windows));
  }
  return list;
}

}  // namespace Switches
