#include "Driver.h"

#include <array>
#include <new>

#include "Constants.h"
#include "Counting.h"
#include "Process.h"
#include "modules/Args.h"
#include "modules/Dbg.h"
#include "modules/ScanDir.h"
#include "platform/Platform.h"

namespace {

const Text kDefaultMask = u"yyyy-mm-dd";
const std::array<TextView, 7> kTokens = {u"yyyy", u"yy", u"mm", u"dd", u"hh", u"ii", u"ss"};

// Puts "%" in front of the first occurrence of `token` (A-Z case ignored).
void MarkFirst(Text& mask, TextView token) {
  for (size_t i = 0; i + token.size() <= mask.size(); ++i) {
    size_t k = 0;
    while (k < token.size() && AsciiLowerUnit(mask[i + k]) == token[k]) ++k;
    if (k == token.size()) {
      mask.insert(i, u"%");
      return;
    }
  }
}

Text SwitchName(TextView name) { return Text(Platform::kSwitchPrefix) + Text(name); }

void LogReportFailure(const Text& reportName) {
  Dbg::Log(Dbg::Stamped(u"[Datemill] The report file '" + reportName +
                        u".txt' could not be written; an earlier file of that name is left as it was."));
}

// Scans one folder and counts its dates; false when memory ran out. The
// counts are then incomplete, so no further report may be written from them.
bool ScanAndCount(const Text& folder, TextView mask, DateKind kind) {
  try {
    ScanDir::Reset();
    const int64_t fileTotal = ScanDir::Scan(
        ScanDir::Folders, folder, u"", 0, ScanDir::ReturnFileCount | ScanDir::WithDates, 0, 0, u"", u"", u"");
    if (fileTotal >= 1) CountDates(ScanDir::Folders, mask, kind, DateCounts);
    return true;
  } catch (const std::bad_alloc&) {
    ScanDir::Reset();  // frees the folder's records for the log line
    return false;
  }
}

void LogOutOfMemory(const Text& folder) {
  try {
    Dbg::Log(Dbg::Stamped(u"[Datemill] Memory ran out while counting the folder '" + folder +
                          u"'; it gets no report, and the folders after it were not counted."));
  } catch (const std::bad_alloc&) {
    // The line is lost, as any log line that cannot be written.
  }
}

}  // namespace

void StartUp() {
  Platform::PrepareFileWrites();
  InitProcessContext();
}

Text ValidateMask(const Text& mask) {
  for (TextView token : kTokens) {
    if (mask.find(token) != Text::npos) return mask;
  }
  return kDefaultMask;
}

Text TranslateMask(const Text& mask) {
  Text result = mask;
  MarkFirst(result, u"yyyy");
  if (result.find(u'%') == Text::npos) MarkFirst(result, u"yy");
  for (TextView token : {u"mm", u"dd", u"hh", u"ii", u"ss"}) MarkFirst(result, token);
  return result;
}

Text NormaliseFolder(const Text& folder) {
  // A lone separator is the root folder (POSIX "/"); it keeps it.
  if (folder.size() > 1 && folder.back() == Platform::kSeparator) return folder.substr(0, folder.size() - 1);
  return folder;
}

Text ReportNameOf(const Text& folder) {
  const size_t cut = folder.find_last_of(Platform::kNameSeparators);
  return Platform::UsableFileName(cut == Text::npos ? TextView(folder) : TextView(folder).substr(cut + 1));
}

void Main() {
  Text mask = kDefaultMask;
  Text kind = u"c";
  Args::Report(Args::Parse(), Text());

  const Text fmt = SwitchName(u"fmt");
  if (Args::HasNamed(fmt)) mask = ValidateMask(Platform::ToLower(Args::NamedValue(fmt)));
  mask = TranslateMask(mask);

  const Text date = SwitchName(u"date");
  if (Args::HasNamed(date)) {
    kind = Args::NamedValue(date);
    if (kind != u"c" && kind != u"m" && kind != u"a") kind = u"c";
  }
  const DateKind dateKind = DateKindFromText(kind);

  if (Args::CopyByKind(Args::UnnamedValues, Args::Unnamed) == 0) return;
  bool reportFailed = false;
  for (const Text& value : Args::UnnamedValues) {
    const Text folder = NormaliseFolder(value);
    const Text reportName = ReportNameOf(folder);
    if (!ScanAndCount(folder, mask, dateKind)) {
      LogOutOfMemory(folder);
      ExitCode = ExitReportFailed;
      return;
    }
    if (!DateCounts.Empty() && !WriteReport(reportName, DateCounts)) {
      reportFailed = true;
      LogReportFailure(reportName);
    }
  }
  if (reportFailed) ExitCode = ExitReportFailed;
}
