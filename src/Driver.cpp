#include "Driver.h"

#include <array>
#include <new>
#include <set>

#include "Chart.h"
#include "Constants.h"
#include "Counting.h"
#include "Process.h"
#include "RunOptions.h"
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

// `what` is "report" or "chart".
void LogWriteFailure(const Text& what, const Text& fileName) {
  Dbg::Log(Dbg::Stamped(u"[Datemill] The " + what + u" file '" + fileName +
                        u"' could not be written; an earlier file of that name is left as it was."));
  Platform::ShowDiagnostic(ProgramFile + u": " + fileName + u": the " + what + u" could not be written");
}

// Writes "<reportName>.txt" (and with the chart switch "<reportName>.svg")
// from `counts`; false, after a log line for each, when one failed. The
// report sorts the counts, which the chart needs.
bool WriteOutputs(const Text& folder, const Text& reportName, const RunOptions& options,
                  int64_t foldersBefore, DateCountList& counts) {
  bool ok = true;
  if (!WriteReport(OutputPath(options.outFolder, reportName), counts)) {
    LogWriteFailure(u"report", OutputPath(options.outFolder, reportName + u".txt"));
    ok = false;
  }
  if (!options.chart) return ok;
  const ChartFacts facts{folder, options.kind, options.typedMask, options.each ? 0 : foldersBefore};
  const Text chart = OutputPath(options.outFolder, reportName + u".svg");
  if (!WriteChart(chart, counts, facts)) {
    LogWriteFailure(u"chart", chart);
    ok = false;
  }
  return ok;
}

// Scans one folder and counts its dates into `counts`; false when memory ran
// out. The counts are then incomplete, so no report may be written from them.
bool ScanAndCount(const Text& folder, const RunOptions& options, DateCountList& counts, int64_t& fileTotal) {
  try {
    ScanDir::Reset();
    const int64_t flags =
        ScanDir::ReturnFileCount | ScanDir::WithDates | (options.follow ? 0 : ScanDir::SkipFolderLinks);
    fileTotal = ScanDir::Scan(ScanDir::Folders, folder, options.extensions, options.levels, flags, 0, 0,
                              options.skipExtensions, u"", u"");
    if (fileTotal >= 1) CountDates(ScanDir::Folders, options.mask, options.kind, counts);
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

// A folder that gave no files is asked why, as the scanner saw it (POSIX
// says "program: folder: reason"; Windows stays silent).
void DiagnoseEmptyScan(const Text& given, const Text& folder) {
  const Text problem = Platform::FolderProblem(LPS::ToLongPath(folder, LPS::FlagExpandEnv));
  if (!problem.empty()) Platform::ShowDiagnostic(ProgramFile + u": " + given + u": " + problem);
}

// Names each subfolder the walk could not list (POSIX: "program: folder:
// reason"); true when there was one.
bool TellUnreadFolders() {
  for (const Text& unread : ScanDir::UnreadFolders) {
    const Text folder = NormaliseFolder(unread);
    Text problem = Platform::FolderProblem(folder);
    if (problem.empty()) problem = u"could not be read";
    Platform::ShowDiagnostic(ProgramFile + u": " + folder + u": " + problem);
    Dbg::Log(Dbg::Stamped(u"[Datemill] The folder '" + folder + u"' could not be read (" + problem +
                          u"); its files are not counted."));
  }
  return !ScanDir::UnreadFolders.empty();
}

// The report name `wanted` for a folder of a run with separate reports, or,
// when an earlier folder's report has it, the name of a copy, told.
Text SeparateReportName(const Text& folder, const Text& wanted, std::set<Text>& taken) {
  Text name = ClaimReportName(wanted, taken);
  if (name != wanted) {
    Platform::ShowDiagnostic(ProgramFile + u": " + folder + u": the report is '" + name +
                             u".txt', as an earlier folder's is '" + wanted + u".txt'");
    Dbg::Log(Dbg::Stamped(u"[Datemill] The report of the folder '" + folder + u"' is '" + name +
                          u".txt', as an earlier folder of the run has '" + wanted + u".txt'."));
  }
  return name;
}

enum class FolderResult { kDone, kWriteFailed, kFolderUnread, kOutOfMemory };

// Scans, counts and reports one folder argument. `taken` holds the report
// names the run has given so far.
FolderResult RunFolder(const Text& value, const RunOptions& options, int64_t foldersBefore,
                       std::set<Text>& taken) {
  const Text folder = NormaliseFolder(value);
  // Counts accumulate over the run unless each report is to hold its own.
  DateCountList own;
  DateCountList& counts = options.each ? own : DateCounts;
  int64_t fileTotal = 0;
  if (!ScanAndCount(folder, options, counts, fileTotal)) {
    LogOutOfMemory(folder);
    return FolderResult::kOutOfMemory;
  }
  if (fileTotal < 1) DiagnoseEmptyScan(value, folder);
  const FolderResult done = TellUnreadFolders() ? FolderResult::kFolderUnread : FolderResult::kDone;
  if (counts.Empty()) return done;
  // Without separate reports a later report of the same name holds the
  // earlier one's counts too, and replaces it.
  const Text reportName =
      options.each ? SeparateReportName(folder, ReportNameOf(folder), taken) : ReportNameOf(folder);
  return WriteOutputs(folder, reportName, options, foldersBefore, counts) ? done : FolderResult::kWriteFailed;
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

Text ClaimReportName(const Text& wanted, std::set<Text>& taken) {
  const auto key = [](const Text& name) {
    return Platform::kNamesIgnoreCase ? Platform::ToUpper(name) : name;
  };
  Text name = wanted;
  for (int64_t copy = 2; taken.contains(key(name)); ++copy) name = wanted + u" (" + DecimalText(copy) + u")";
  taken.insert(key(name));
  return name;
}

Text ReportNameOf(const Text& folder) {
  const size_t cut = folder.find_last_of(Platform::kNameSeparators);
  return Platform::UsableFileName(cut == Text::npos ? TextView(folder) : TextView(folder).substr(cut + 1));
}

void Main() {
  Args::Report(Args::Parse(), Text());
  if (AnswerInformationRequest()) return;
  RunOptions options;
  Text fault;
  Args::Report(ReadRunOptions(options, fault), fault);

  if (Args::CopyByKind(Args::UnnamedValues, Args::Unnamed) == 0) return;
  bool reportFailed = false, folderUnread = false;
  int64_t foldersBefore = 0;
  std::set<Text> taken;
  for (const Text& value : Args::UnnamedValues) {
    const FolderResult result = RunFolder(value, options, foldersBefore++, taken);
    if (result == FolderResult::kOutOfMemory) {
      ExitCode = ExitReportFailed;
      return;
    }
    reportFailed = result == FolderResult::kWriteFailed || reportFailed;
    folderUnread = result == FolderResult::kFolderUnread || folderUnread;
  }
  if (folderUnread) ExitCode = ExitFolderUnread;
  if (reportFailed) ExitCode = ExitReportFailed;
}
