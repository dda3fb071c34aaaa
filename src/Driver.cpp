#include "Driver.h"

#include <new>

#include "Chart.h"
#include "Constants.h"
#include "Counting.h"
#include "Process.h"
#include "Progress.h"
#include "ReportFile.h"
#include "RunOptions.h"
#include "Usage.h"
#include "modules/Args.h"
#include "modules/Dbg.h"
#include "modules/LPS.h"
#include "modules/ScanDir.h"
#include "platform/Platform.h"

namespace {

// `what` is "report" or "chart". The log line is all the user is told
// (Dbg::Log shows it on standard error too).
void LogWriteFailure(const Text& what, const Text& fileName) {
  const Text& reason = WriteFailureReason();
  Dbg::Log(Dbg::Stamped(u"[Datemill] The " + what + u" file '" + fileName + u"' could not be written" +
                        (reason.empty() ? Text() : u" (" + reason + u")") +
                        u"; an earlier file of that name is left as it was."));
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
    fileTotal = ScanDir::Scan(ScanDir::Folders, folder, options.ext, options.depth,
                              ScanDir::ReturnFileCount | ScanDir::WithDates, 0, 0, options.exclude, u"", u"");
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

enum class FolderResult { kDone, kWriteFailed, kOutOfMemory };

// Scans, counts and reports one folder argument.
FolderResult RunFolder(const Text& value, const RunOptions& options, int64_t foldersBefore) {
  const Text folder = NormaliseFolder(value);
  const Text reportName = ReportNameOf(folder);
  // Counts accumulate over the run unless each report is to hold its own.
  DateCountList own;
  DateCountList& counts = options.each ? own : DateCounts;
  int64_t fileTotal = 0;
  if (!ScanAndCount(folder, options, counts, fileTotal)) {
    LogOutOfMemory(folder);
    return FolderResult::kOutOfMemory;
  }
  if (fileTotal < 1) DiagnoseEmptyScan(value, folder);
  if (counts.Empty()) return FolderResult::kDone;
  return WriteOutputs(folder, reportName, options, foldersBefore, counts) ? FolderResult::kDone
                                                                          : FolderResult::kWriteFailed;
}

}  // namespace

void StartUp() {
  Platform::PrepareFileWrites();
  InitProcessContext();
}

Text NormaliseFolder(const Text& folder) {
  // A lone separator is the root folder (POSIX "/"); it keeps it.
  if (folder.size() > 1 && folder.back() == Platform::kSeparator) return folder.substr(0, folder.size() - 1);
  return folder;
}

namespace {

TextView LastComponent(TextView path) {
  const size_t cut = path.find_last_of(Platform::kNameSeparators);
  return cut == TextView::npos ? path : path.substr(cut + 1);
}

}  // namespace

Text ReportNameOf(const Text& folder) {
  TextView name = LastComponent(folder);
  Text resolved;
  if (name == u"." || name == u"..") {
    // Named after the folder it stands for.
    resolved = Platform::FullPath(folder);
    while (resolved.size() > 1 &&
           TextView(Platform::kNameSeparators).find(resolved.back()) != TextView::npos) {
      resolved.pop_back();
    }
    if (!resolved.empty()) name = LastComponent(resolved);
  }
  // The POSIX root has no name of its own.
  if (name.empty() && !Platform::kWindowsConventions && (folder == u"/" || resolved == u"/")) return u"root";
  return Platform::UsableFileName(name);
}

void Main() {
  Args::Report(Args::Parse(), Text());
  if (AnswerInformationRequest()) return;
  RunOptions options;
  Text fault;
  Args::Report(ReadRunOptions(options, fault), fault);

  if (Args::CopyByKind(Args::UnnamedValues, Args::Unnamed) == 0) return;
  Progress::Start(!options.quiet);
  bool reportFailed = false;
  int64_t foldersBefore = 0;
  for (const Text& value : Args::UnnamedValues) {
    const FolderResult result = RunFolder(value, options, foldersBefore++);
    if (result == FolderResult::kOutOfMemory) {
      Progress::Stop();
      ExitCode = ExitReportFailed;
      return;
    }
    reportFailed = result == FolderResult::kWriteFailed || reportFailed;
  }
  Progress::Stop();
  if (reportFailed) ExitCode = ExitReportFailed;
}
