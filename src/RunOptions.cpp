#include "RunOptions.h"

#include <limits>

#include "Constants.h"
#include "Process.h"
#include "modules/Args.h"
#include "modules/LPS.h"
#include "platform/Platform.h"

namespace {

// The switches of a run, without prefix. "follow" and "open" are read where
// their work is done.
constexpr TextView kSwitches[] = {u"fmt",  u"date",  u"depth",  u"ext",  u"exclude", u"out",
                                  u"each", u"chart", u"follow", u"open", u"quiet"};

Text SwitchName(TextView name) { return Text(Platform::kSwitchPrefix) + Text(name); }

// The first switch (never an unnamed value) whose name is `name` behind the
// prefix, letter case ignored.
const Args::Argument* FindSwitch(TextView name) {
  const Text wanted = Platform::ToUpper(SwitchName(name));
  for (const Args::Argument& arg : Args::Arguments) {
    if (arg.kind != Args::Unnamed && Platform::ToUpper(arg.name) == wanted) return &arg;
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

bool IsKnown(const Args::Argument& arg) {
  const Text name = Platform::ToUpper(arg.name);
  for (TextView known : kSwitches) {
    if (name == Platform::ToUpper(SwitchName(known))) return true;
  }
  return false;
}

// "--fmt, --date, ..., --help, --version" or "/fmt, ..., /?".
Text KnownSwitchList() {
  Text list;
  for (TextView known : kSwitches) list += SwitchName(known) + u", ";
  return list + (Platform::kWindowsConventions ? u"/?" : u"--help, --version");
}

int ReadDates(RunOptions& options, Text& message) {
  Text value;
  if (Given(u"fmt", value)) options.typedMask = ValidateMask(Platform::ToLower(value));
  options.mask = TranslateMask(options.typedMask);
  if (Given(u"date", value) && !ParseDateKind(value, options.kind)) {
    message = u"The value of " + SwitchName(u"date") +
              u" must be c, m or a (or created, modified, accessed): '" + value + u"'";
    return Args::ErrBadSwitch;
  }
  return Args::ResultOk;
}

}  // namespace

Text UnknownSwitchMessage(const std::vector<Args::Argument>& arguments) {
  for (const Args::Argument& arg : arguments) {
    if (arg.kind == Args::Unnamed || IsKnown(arg)) continue;
    if (!Platform::kWindowsConventions && arg.kind == Args::NamedFlag && arg.name == u"--") break;
    const bool word =
        Platform::kWindowsConventions ? arg.name == u"/?" : arg.name == u"--help" || arg.name == u"--version";
    if (word && arg.kind == Args::NamedWithValue) return u"'" + arg.name + u"' takes no value";
    return u"Unknown switch '" + arg.name + u"'; the switches are " + KnownSwitchList();
  }
  return Text();
}

bool ParseDateKind(TextView value, DateKind& kind) {
  const Text word = AsciiLower(value);
  if (word == u"c" || word == u"created") {
    kind = DateKind::kCreated;
  } else if (word == u"m" || word == u"modified") {
    kind = DateKind::kModified;
  } else if (word == u"a" || word == u"accessed") {
    kind = DateKind::kAccessed;
  } else {
    return false;
  }
  return true;
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

Text OutputPath(const Text& outFolder, const Text& fileName) {
  if (outFolder.empty()) return fileName;
  // A folder written with its separator ("out/", "C:\") gets no second one.
  if (Text(Platform::kNameSeparators).find(outFolder.back()) != Text::npos) return outFolder + fileName;
  return outFolder + Platform::kSeparator + fileName;
}

int ReadRunOptions(RunOptions& options, Text& message) {
  message = UnknownSwitchMessage(Args::Arguments);
  if (!message.empty()) return Args::ErrBadSwitch;
  if (ReadDates(options, message) != Args::ResultOk) return Args::ErrBadSwitch;
  const Text prefix(Platform::kSwitchPrefix);
  Text value;
  if (Given(u"depth", value) && !ParseDepth(value, options.depth)) {
    message =
        u"The value of " + prefix + u"depth must be a whole number from 0 up or 'all': '" + value + u"'";
    return Args::ErrBadDepth;
  }
  options.open = Flag(u"open");
  if (Given(u"out", value)) {
    const int64_t found = LPS::ProbePath(value, LPS::FlagLongForm);
    // With open a missing folder is made: the run then shows its files, so a
    // mistyped name cannot go unseen.
    const bool made =
        found == LPS::NotFound && options.open && Platform::MakeFolder(LPS::ToLongPath(value, 0));
    if (found != LPS::IsAFolder && !made) {
      message = found == LPS::NotFound ? u"The folder of " + prefix + u"out does not exist: '" + value + u"'"
                                       : prefix + u"out names a file, not a folder: '" + value + u"'";
      return Args::ErrNoOutFolder;
    }
    options.outFolder = value;
  }
  Given(u"ext", options.ext);
  Given(u"exclude", options.exclude);
  // Flags: given at all means on (a value after "=" is not looked at).
  options.each = Flag(u"each");
  options.chart = Flag(u"chart");
  options.quiet = Flag(u"quiet");
  options.follow = Flag(u"follow");
  return Args::ResultOk;
}
