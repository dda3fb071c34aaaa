#include "app/Driver.h"

#include <functional>
#include <new>
#include <optional>
#include <set>
#include <vector>

#include "app/Output.h"
#include "app/Progress.h"
#include "app/Usage.h"
#include "base/Constants.h"
#include "base/Conventions.h"
#include "base/Paths.h"
#include "cli/Args.h"
#include "cli/RunOptions.h"
#include "count/Counting.h"
#include "count/OwnFiles.h"
#include "dates/Mask.h"
#include "io/Dbg.h"
#include "io/Program.h"
#include "io/ReportFile.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "platform/TextCase.h"
#include "scan/Filters.h"
#include "scan/LPS.h"
#include "scan/State.h"
#include "scan/Walk.h"

namespace {

// Walks one folder and counts its files' dates into `counts` as they are
// listed; keeps nothing per file. Returns how many files it saw and
// counted (the others left out by the extension lists), and how many of
// those counted by taken date recorded none, and the folders it could not
// read in full.
FolderCounts ScanAndCount(const Text& folder, const RunOptions& options, ValueCounts& counts, OwnFiles* own) {
  ScanDir::ResetState();
  const int64_t flags = ScanDir::WithDates |
                        (options.follow ? ScanDir::DateLinksByTarget : ScanDir::SkipFolderLinks) |
                        (options.kind == DateKind::kTaken ? ScanDir::WithTaken : 0);
  ScanDir::WalkRules rules(options.depth, flags);
  rules.extensions = ScanDir::PrepareExtensions(options.ext);
  rules.skipExtensions = ScanDir::PrepareExtensions(options.exclude);
  rules.onlyStamp = SearchedStamp(options.kind);
  rules.skipNames = ScanDir::FolderNames(options.skip);
  rules.oneFileSystem = options.oneFileSystem;
  DateCounter counter(options.kind, counts, own);
  FolderCounts result;
  result.counted = ScanDir::Walk(folder, rules, counter) - counter.Own();
  result.own = counter.Own();
  result.beyondDepth = counter.BeyondDepth();
  result.seen = result.counted + counter.Skipped() + counter.Own();
  result.untaken = counter.Untaken();
  result.takenUnread = counter.TakenUnread();
  result.placeholders = counter.Placeholders();
  result.unread = counter.TakeUnread();
  result.leftOut = counter.LeftOut();
  return result;
}

// `line` names what was being done when memory ran out.
void LogOutOfMemory(const std::function<Text()>& line) {
  try {
    Dbg::Log(Dbg::Stamped(u"[Datemill] Memory ran out while " + line()));
  } catch (const std::bad_alloc&) {
    // The line is lost, as any log line that cannot be written.
  }
}

// Logs that `folder` could not be read in full, and why (POSIX also tells
// it on standard error, as "program: folder: reason").
void LogUnread(const Text& folder, const Text& reason) {
  Dbg::Log(
      Dbg::Stamped(u"[Datemill] " + folder + u": " + (reason.empty() ? Text(u"could not be read") : reason)));
}

// A folder argument that gave no files is asked why, as the scanner saw
// it: one that does not exist, is no folder or cannot be listed is told
// (as typed: `given`); true when it was. One that the system would list
// but the walk did not take for a folder is told too: a run that counted
// nothing of it is no success.
bool TellFolderProblem(const Text& given, const Text& folder) {
  const Text path = LPS::ToLongPath(folder, 0);  // as the walk takes it
  const Done listable = Platform::CanList(path);
  if (listable.status && LPS::IsFolder(path, 0)) return false;
  LogUnread(given, listable.status ? Text(u"it cannot be searched as a folder") : listable.reason);
  return true;
}

// Tells each folder the walk could not read in full; true when there was one.
bool TellUnreadFolders(const std::vector<ScanDir::UnreadFolder>& folders) {
  for (const ScanDir::UnreadFolder& unread : folders)
    LogUnread(Text(Paths::Trimmed(unread.path)), unread.reason);
  return !folders.empty();
}

// The report name `wanted` for a folder of a run with separate reports, or,
// when an earlier folder's report has it, the name of a copy, told.
Text SeparateReportName(const Text& folder, const Text& wanted, std::set<Text>& taken) {
  Text name = ClaimReportName(wanted, taken);
  if (name != wanted) {
    Dbg::Log(Dbg::Stamped(u"[Datemill] The report of the folder '" + folder + u"' is '" + name +
                          u".txt', as an earlier folder of the run has '" + wanted + u".txt'."));
  }
  return name;
}

// Says what the mask of the fmt switch may not do as the user expects; the
// run goes on as the mask says.
void WarnOfTheMask(const Text& given) {
  for (const Text& warning : MaskWarnings(given)) Dbg::Warn(warning);
}

// Deletes the temporary files that earlier runs left in the folder the
// reports go into, and says which.
void RemoveLeftTemporariesFrom(const Text& outFolder) {
  for (const Text& name : RemoveLeftTemporaries(outFolder)) {
    Dbg::Log(Dbg::Stamped(u"[Datemill] Removed '" + Paths::Join(outFolder, name) +
                          u"', a temporary file an earlier run left behind."));
  }
}

enum class FolderResult { kDone, kWriteFailed, kFolderUnread, kOutOfMemory };

// Scans, counts and reports one folder argument. `taken` holds the report
// names the run has given so far.
FolderResult RunFolder(const Text& value, const RunOptions& options, std::set<Text>& taken,
                       OwnFiles* ownFiles, RunOutput& output) {
  const Text folder(Paths::Trimmed(value));
  // Counts accumulate over the run unless each report is to hold its own.
  ValueCounts own;
  own.Use(DateCounts.Unit(), options.format != ReportFormat::kTxt);
  ValueCounts& counts = options.each ? own : DateCounts;
  const FolderCounts files = ScanAndCount(folder, options, counts, ownFiles);
  // A folder that could not be read is a failure of the run, also when it
  // is a folder argument: the run goes on and ends with ExitFolderUnread.
  const bool missing = files.counted < 1 && TellFolderProblem(value, folder);
  const bool unread = TellUnreadFolders(files.unread) || missing;
  const FolderResult done = unread ? FolderResult::kFolderUnread : FolderResult::kDone;
  // Without separate reports a later report of the same name holds the
  // earlier one's counts too, and replaces it.
  const Text wanted = Paths::ReportName(folder, Platform::FullPath);
  if (counts.Empty()) {
    if (!missing) output.NoReport(value, wanted, files);
    return done;
  }
  const Text reportName = options.each ? SeparateReportName(folder, wanted, taken) : wanted;
  const bool ok = output.Write(folder, reportName, counts, files);
  return ok ? done : FolderResult::kWriteFailed;
}

// RunFolder with memory running out anywhere in it (scan, count, sort,
// report, chart) ending the run: the counts are incomplete then, and the
// report or chart being written is given up (a temporary file removed).
FolderResult RunFolderGuarded(const Text& value, const RunOptions& options, std::set<Text>& taken,
                              OwnFiles* ownFiles, RunOutput& output) {
  try {
    return RunFolder(value, options, taken, ownFiles, output);
  } catch (const std::bad_alloc&) {
    LogOutOfMemory([&value] {
      return u"counting the folder '" + Text(Paths::Trimmed(value)) +
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

std::set<Text> OutputNames(const RunOptions& options, const std::vector<Text>& folders) {
  std::set<Text> names, taken;
  const Text extension = u"." + Text(FormatExtension(options.format));
  for (const Text& value : folders) {
    const Text wanted = Paths::ReportName(Text(Paths::Trimmed(value)), Platform::FullPath);
    const Text name = options.each ? ClaimReportName(wanted, taken) : wanted;
    names.insert(name + extension);
    if (options.chart) names.insert(name + u".svg");
  }
  return names;
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

// Memory running out anywhere outside a folder's step (the command line, the
// switches) ends the run with the same status.
void Main() try {
  Args::Report(Args::Parse(), Text());
  if (AnswerInformationRequest()) return;
  RunOptions options;
  Text fault;
  Args::Report(ReadRunOptions(options, fault), fault);

  // A value the command line cut short lands reports elsewhere: said.
  for (const Text& cut : Args::CutValues) Dbg::Warn(cut);
  if (options.maskGiven) WarnOfTheMask(options.givenMask);
  if (Args::CopyByKind(Args::UnnamedValues, Args::Unnamed) == 0) return;
  if (!options.toStandardOutput) RemoveLeftTemporariesFrom(options.outFolder);
  DateCounts.Use(FinestUnit(MaskPieces(options.mask)), options.format != ReportFormat::kTxt);
  // The run's own reports, charts and temporary files are none of the
  // files it counts.
  std::optional<OwnFiles> own;
  if (!options.toStandardOutput) own.emplace(options.outFolder, OutputNames(options, Args::UnnamedValues));
  Progress::Start(!options.quiet);
  RunOutput output(options, Args::UnnamedValues.size());
  bool reportFailed = false, folderUnread = false;
  std::set<Text> taken;
  for (const Text& value : Args::UnnamedValues) {
    const FolderResult result = RunFolderGuarded(value, options, taken, own ? &*own : nullptr, output);
    if (result == FolderResult::kOutOfMemory) {
      Progress::Stop();
      ExitCode = ExitReportFailed;
      return;
    }
    reportFailed = result == FolderResult::kWriteFailed || reportFailed;
    folderUnread = result == FolderResult::kFolderUnread || folderUnread;
  }
  Progress::Stop();
  output.Totals();
  if (folderUnread) ExitCode = ExitFolderUnread;
  if (reportFailed) ExitCode = ExitReportFailed;
} catch (const std::bad_alloc&) {
  LogOutOfMemory([] { return Text(u"reading the command line; nothing was counted."); });
  ExitCode = ExitReportFailed;
}
