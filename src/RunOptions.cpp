#include "RunOptions.h"

#include <limits>

#include "Constants.h"
#include "Process.h"
#include "modules/Args.h"
#include "modules/LPS.h"
#include "platform/Platform.h"

namespace {

Text SwitchName(TextView name) { return Text(Platform::kSwitchPrefix) + Text(name); }

// The value of a switch, and whether it was given at all.
bool Given(TextView name, Text& value) {
  const Text wanted = SwitchName(name);
  if (!Args::HasNamed(wanted)) return false;
  value = Args::NamedValue(wanted);
  return true;
}

void ReadDates(RunOptions& options) {
  Text value;
  if (Given(u"fmt", value)) options.typedMask = ValidateMask(Platform::ToLower(value));
  options.mask = TranslateMask(options.typedMask);
  // The kind is taken exactly: "M" is no kind and counts created dates.
  if (Given(u"date", value)) options.kind = DateKindFromText(value);
}

}  // namespace

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
    number = number > (kMost - digit) / 10 ? kMost : number * 10 + digit;
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
  ReadDates(options);
  const Text prefix(Platform::kSwitchPrefix);
  Text value;
  if (Given(u"depth", value) && !ParseDepth(value, options.depth)) {
    message =
        u"The value of " + prefix + u"depth must be a whole number from 0 up or 'all': '" + value + u"'";
    return Args::ErrBadDepth;
  }
  if (Given(u"out", value)) {
    if (!LPS::IsFolder(value, LPS::FlagLongForm)) {
      message = u"The folder of " + prefix + u"out does not exist: '" + value + u"'";
      return Args::ErrNoOutFolder;
    }
    options.outFolder = value;
  }
  Given(u"ext", options.ext);
  Given(u"exclude", options.exclude);
  // Flags: given at all means on (a value after "=" is not looked at).
  options.each = Args::HasNamed(SwitchName(u"each")) != 0;
  options.chart = Args::HasNamed(SwitchName(u"chart")) != 0;
  return Args::ResultOk;
}
