#include "Driver.h"

#include <array>

#include "Constants.h"
#include "Counting.h"
#include "Process.h"
#include "Usage.h"
#include "modules/Args.h"
#include "modules/Dbg.h"
#include "modules/LPS.h"
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
  Platform::ShowDiagnostic(ProgramFile + u": " + reportName + u".txt: the report could not be written");
}

// A folder that gave no files is asked why, as the scanner saw it (POSIX
// says "program: folder: reason"; Windows stays silent).
void DiagnoseEmptyScan(const Text& given, const Text& folder) {
  const Text problem = Platform::FolderProblem(LPS::ToLongPath(folder, LPS::FlagExpandEnv));
  if (!problem.empty()) Platform::ShowDiagnostic(ProgramFile + u": " + given + u": " + problem);
}

}  // namespace

void StartUp() { InitProcessContext(); }

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
  return cut == Text::npos ? folder : folder.substr(cut + 1);
}

void Main() {
  Text mask = kDefaultMask;
  Text kind = u"c";
  Args::Report(Args::Parse(), Text());
  if (AnswerInformationRequest()) return;

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
    ScanDir::Reset();
    const int64_t fileTotal = ScanDir::Scan(
        ScanDir::Folders, folder, u"", 0, ScanDir::ReturnFileCount | ScanDir::WithDates, 0, 0, u"", u"", u"");
    if (fileTotal >= 1) {
      CountDates(ScanDir::Folders, mask, dateKind, DateCounts);
    } else {
      DiagnoseEmptyScan(value, folder);
    }
    if (!DateCounts.Empty() && !WriteReport(reportName, DateCounts)) {
      reportFailed = true;
      LogReportFailure(reportName);
    }
  }
  if (reportFailed) ExitCode = ExitReportFailed;
}
