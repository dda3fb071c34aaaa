#include "Driver.h"

#include <array>
#include <functional>
#include <new>
#include <vector>

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

// `what` is "report" or "chart"; `outcome` says what became of an earlier
// file of that name.
void LogWriteFailure(const Text& what, const Text& fileName, WriteOutcome outcome) {
  const Text earlier = outcome == WriteOutcome::kLeftIncomplete
                           ? u"; the earlier file of that name, written in place, is now incomplete."
                           : u"; an earlier file of that name is left as it was.";
  Dbg::Log(
      Dbg::Stamped(u"[Datemill] The " + what + u" file '" + fileName + u"' could not be written" + earlier));
  Platform::ShowDiagnostic(ProgramFile + u": " + fileName + u": the " + what + u" could not be written");
}

// Writes "<reportName>.txt" (and with the chart switch "<reportName>.svg")
// from `counts`, adding each file written to `written`; false, after a log
// line for each, when one failed. The report sorts the counts, which the
// chart needs.
bool WriteOutputs(const Text& folder, const Text& reportName, const RunOptions& options,
                  int64_t foldersBefore, DateCountList& counts, std::vector<Text>& written) {
  bool ok = true;
  const Text report = OutputPath(options.outFolder, reportName + u".txt");
  const WriteOutcome reportOutcome = WriteReport(OutputPath(options.outFolder, reportName), counts);
  if (reportOutcome == WriteOutcome::kWritten) {
    written.push_back(report);
  } else {
    LogWriteFailure(u"report", report, reportOutcome);
    ok = false;
  }
  if (!options.chart) return ok;
  const ChartFacts facts{folder, options.kind, options.typedMask, options.each ? 0 : foldersBefore,
                         options.mask};
  const Text chart = OutputPath(options.outFolder, reportName + u".svg");
  const WriteOutcome chartOutcome = WriteChart(chart, counts, facts);
  if (chartOutcome == WriteOutcome::kWritten) {
    written.push_back(chart);
  } else {
    LogWriteFailure(u"chart", chart, chartOutcome);
    ok = false;
  }
  return ok;
}

// Hands each file to the user's default program. A file that cannot be
// opened is logged; it stays written and the exit status stays as it is.
void OpenOutputs(const std::vector<Text>& written) {
  for (const Text& file : written) {
    const Text path = Platform::FullPath(file);
    Text problem;
    switch (Platform::OpenWithDefaultProgram(path, problem)) {
      case Platform::OpenResult::kOpened: break;
      case Platform::OpenResult::kNoProgram:
        Platform::ShowDiagnostic(ProgramFile + u": " + path + u" is written; " + problem);
        break;
      case Platform::OpenResult::kFailed:
        Dbg::Log(Dbg::Stamped(u"[Datemill] The file '" + path + u"' could not be opened: " + problem));
        Platform::ShowDiagnostic(ProgramFile + u": " + path + u": could not be opened: " + problem);
        break;
    }
  }
}

// Scans one folder and counts its dates into `counts`.
void ScanAndCount(const Text& folder, const RunOptions& options, DateCountList& counts, int64_t& fileTotal) {
  ScanDir::Reset();
  fileTotal =
      ScanDir::Scan(ScanDir::Folders, folder, options.extensions, options.levels,
                    ScanDir::ReturnFileCount | ScanDir::WithDates, 0, 0, options.skipExtensions, u"", u"");
  if (fileTotal >= 1) CountDates(ScanDir::Folders, options.mask, options.kind, counts);
}

// `line` names what was being done when memory ran out.
void LogOutOfMemory(const std::function<Text()>& line) {
  try {
    Dbg::Log(Dbg::Stamped(u"[Datemill] Memory ran out while " + line()));
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
  ScanAndCount(folder, options, counts, fileTotal);
  if (fileTotal < 1) DiagnoseEmptyScan(value, folder);
  if (counts.Empty()) return FolderResult::kDone;
  std::vector<Text> written;
  const bool ok = WriteOutputs(folder, reportName, options, foldersBefore, counts, written);
  if (options.open) OpenOutputs(written);
  return ok ? FolderResult::kDone : FolderResult::kWriteFailed;
}

// RunFolder with memory running out anywhere in it (scan, count, sort,
// report, chart) ending the run: the counts are incomplete then, and the
// report or chart being written is given up (a temporary file removed).
FolderResult RunFolderGuarded(const Text& value, const RunOptions& options, int64_t foldersBefore) {
  try {
    return RunFolder(value, options, foldersBefore);
  } catch (const std::bad_alloc&) {
    ScanDir::Reset();  // frees the folder's records for the log line
    LogOutOfMemory([&value] {
      return u"counting the folder '" + NormaliseFolder(value) +
             u"'; it gets no report, and the folders after it were not counted.";
    });
    return FolderResult::kOutOfMemory;
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

// Memory running out anywhere outside a folder's step (the command line, the
// switches) ends the run with the same status.
void Main() try {
  Args::Report(Args::Parse(), Text());
  if (AnswerInformationRequest()) return;
  RunOptions options;
  Text fault;
  Args::Report(ReadRunOptions(options, fault), fault);

  if (Args::CopyByKind(Args::UnnamedValues, Args::Unnamed) == 0) return;
  bool reportFailed = false;
  int64_t foldersBefore = 0;
  for (const Text& value : Args::UnnamedValues) {
    const FolderResult result = RunFolderGuarded(value, options, foldersBefore++);
    if (result == FolderResult::kOutOfMemory) {
      ExitCode = ExitReportFailed;
      return;
    }
    reportFailed = result == FolderResult::kWriteFailed || reportFailed;
  }
  if (reportFailed) ExitCode = ExitReportFailed;
} catch (const std::bad_alloc&) {
  LogOutOfMemory([] { return Text(u"reading the command line; nothing was counted."); });
  ExitCode = ExitReportFailed;
}
