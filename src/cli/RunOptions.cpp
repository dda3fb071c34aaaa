#include "cli/RunOptions.h"

#include <limits>

#include "base/Constants.h"
#include "base/Conventions.h"
#include "cli/Args.h"
#include "cli/Switches.h"
#include "dates/Mask.h"
#include "platform/Files.h"
#include "platform/TextCase.h"
#include "scan/LPS.h"

namespace {

// The name of a switch as this platform writes it: "--date", "/date".
Text SwitchName(TextView name) { return Text(Switches::Prefix(Platform::kSlashSwitches)) + Text(name); }

// The first stored switch (never an unnamed value) that is `name` of the
// switch table.
const Args::Argument* FindSwitch(TextView name) {
  for (const Args::Argument& arg : Args::Arguments) {
    if (arg.kind == Args::Unnamed) continue;
    const Switches::Switch* entry = Switches::Find(arg.name, Platform::kSlashSwitches);
    if (entry != nullptr && entry->name == name) return &arg;
  }
  return nullptr;
}

// The value of a switch, and whether it was given at all.
bool Given(TextView name, Text& value) {
  const Args::Argument* found = FindSwitch(name);
  if (found == nullptr) return false;
  value = found->value;
  return true;
}

bool Flag(TextView name) { return FindSwitch(name) != nullptr; }

int ReadDates(RunOptions& options, Text& message) {
  Text value;
  options.maskGiven = Given(u"fmt", value);
  if (options.maskGiven) {
    options.givenMask = value;
    options.typedMask = ValidateMask(Platform::ToLower(value));
  }
  options.mask = TranslateMask(options.typedMask);
  if (Given(u"date", value) && !ParseDateKind(value, options.kind)) {
    message = u"The value of " + SwitchName(u"date") +
              u" must be c, m, a or t (or created, modified, accessed, taken): '" + value + u"'";
    return Args::ErrBadSwitch;
  }
  return Args::ResultOk;
}

}  // namespace

Text SwitchFault(const std::vector<Args::Argument>& arguments, bool windows) {
  const TextView prefix = Switches::Prefix(windows);
  for (const Args::Argument& arg : arguments) {
    if (arg.kind == Args::Unnamed) continue;
    if (!windows && arg.kind == Args::NamedFlag && arg.name == Switches::kEndOfSwitches) break;
    const Switches::Switch* entry = Switches::Find(arg.name, windows);
    if (entry == nullptr) {
      // A box lists them one a line, each with what it does, and has the hint
      // on a line of its own.
      Text message = u"Unknown switch '" + arg.name + u"'";
      if (const Switches::Switch* meant = Switches::Closest(arg.name, windows))
        message +=
            (windows ? u"\n(did you mean " : u" (did you mean ") + Text(prefix) + Text(meant->name) + u"?)";
      message +=
          u"; the switches are" + (windows ? u":\n" + Switches::BoxList() : u" " + Switches::NameList(false));
      if (!windows && !arg.name.starts_with(u"--")) {
        message += u" (a folder of that name is given as ./" + arg.name + u" or after --)";
      }
      return message;
    }
    if (!entry->TakesValue() && arg.kind == Args::NamedWithValue)
      return u"'" + arg.name + u"' takes no value";
    if (entry->TakesValue() && arg.kind == Args::NamedFlag && !windows) {
      return u"'" + arg.name + u"' needs a value: " + Text(prefix) + Text(entry->name) + u"=" +
             Text(entry->value) + u" or " + Text(prefix) + Text(entry->name) + u" " + Text(entry->value);
    }
  }
  return Text();
}

bool ParseDepth(TextView value, int64_t& depth) {
  if (value.size() == 3 && AsciiLower(value) == u"all") {
    depth = ScanDir::AllLevels;
    return true;
  }
  if (value.empty()) return false;
  constexpr int64_t kMost = std::numeric_limits<int64_t>::max();
  int64_t number = 0;
  for (char16_t unit : value) {
    if (unit < u'0' || unit > u'9') return false;
    const int64_t digit = unit - u'0';
    // No tree is that deep: a larger number walks it all, like "all".
    number = number == ScanDir::AllLevels || number > (kMost - digit) / 10 ? ScanDir::AllLevels
                                                                           : number * 10 + digit;
  }
  depth = number;
  return true;
}

int ReadRunOptions(RunOptions& options, Text& message) {
  message = SwitchFault(Args::Arguments, Platform::kSlashSwitches);
  if (!message.empty()) return Args::ErrBadSwitch;
  if (ReadDates(options, message) != Args::ResultOk) return Args::ErrBadSwitch;
  Text value;
  if (Given(u"depth", value) && !ParseDepth(value, options.depth)) {
    message = u"The value of " + SwitchName(u"depth") + u" must be a whole number from 0 up or 'all': '" +
              value + u"'";
    return Args::ErrBadDepth;
  }
  options.open = Flag(u"open");
  options.chart = Flag(u"chart");
  options.toStandardOutput = !Platform::kWindowsConventions && Given(u"out", value) && value == u"-";
  if (options.toStandardOutput && (options.chart || options.open)) {
    message = SwitchName(options.chart ? u"chart" : u"open") + u" needs a file: it cannot go with " +
              SwitchName(u"out") + u"=- (standard output)";
    return Args::ErrBadSwitch;
  }
  if (!options.toStandardOutput && Given(u"out", value)) {
    const int64_t found = LPS::ProbePath(value, LPS::FlagLongForm);
    // With open a missing folder is made: the run then shows its files, so a
    // mistyped name cannot go unseen.
    const bool made =
        found == LPS::NotFound && options.open && Platform::MakeFolder(LPS::ToLongPath(value, 0));
    if (found != LPS::IsAFolder && !made) {
      message = found == LPS::NotFound
                    ? u"The folder of " + SwitchName(u"out") + u" does not exist: '" + value + u"'"
                    : SwitchName(u"out") + u" names a file, not a folder: '" + value + u"'";
      return Args::ErrNoOutFolder;
    }
    options.outFolder = value;
  }
  if (Given(u"format", value) && !ParseReportFormat(value, options.format)) {
    message = u"The value of " + SwitchName(u"format") + u" must be txt, tsv, csv or json: '" + value + u"'";
    return Args::ErrBadSwitch;
  }
  if (Given(u"sort", value)) {
    const Text word = AsciiLower(value);
    if (word != u"text" && word != u"date") {
      message = u"The value of " + SwitchName(u"sort") + u" must be text or date: '" + value + u"'";
      return Args::ErrBadSwitch;
    }
    options.order = word == u"date" ? EntryOrder::kDate : EntryOrder::kText;
  }
  Given(u"ext", options.ext);
  Given(u"exclude", options.exclude);
  Given(u"skip", options.skip);
  // On/off switches: given at all means on (one given a value is a fault).
  options.each = Flag(u"each");
  options.quiet = Flag(u"quiet");
  options.verbose = Flag(u"verbose");
  options.follow = Flag(u"follow");
  options.oneFileSystem = Flag(u"one-file-system");
  return Args::ResultOk;
}
