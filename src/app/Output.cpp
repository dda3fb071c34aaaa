#include "app/Output.h"

#include "base/Conventions.h"
#include "base/Paths.h"
#include "chart/Chart.h"
#include "cli/Switches.h"
#include "count/Entries.h"
#include "count/Report.h"
#include "io/Dbg.h"
#include "io/ReportFile.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Open.h"

namespace {

// Hands each file to the user's default program. A file that cannot be
// opened is logged; it stays written and the exit status stays as it is.
void OpenWritten(const std::vector<Text>& written) {
  for (const Text& file : written) {
    Text path = Platform::FullPath(file);
    if (path.empty()) path = file;
    const Outcome<Platform::OpenResult> opened = Platform::OpenWithDefaultProgram(path);
    switch (opened.status) {
      case Platform::OpenResult::kOpened: break;
      case Platform::OpenResult::kNoProgram: Dbg::Warn(path + u" is written; " + opened.reason); break;
      case Platform::OpenResult::kFailed:
        Dbg::Log(Dbg::Stamped(u"[Datemill] The file '" + path + u"' could not be opened: " + opened.reason));
        break;
    }
  }
}

}  // namespace

void RunOutput::Told(const Text& line) const {
  if (options_.verbose) Dbg::Tell(line);
}

// Notes the file `path` as written, or logs why it was not. `what` is
// "report" or "chart"; the log line is all the user is told of a failure
// (Dbg::Log shows it on standard error too).
bool RunOutput::WriteFile(const Text& what, const Text& path, const Outcome<WriteStatus>& outcome) {
  if (outcome.status == WriteStatus::kWritten) {
    written_.push_back(path);
    return true;
  }
  const Text& reason = outcome.reason;
  const Text earlier = outcome.status == WriteStatus::kLeftIncomplete
                           ? u"; the earlier file of that name, written in place, is now incomplete."
                       : outcome.status == WriteStatus::kNotWritten
                           ? u"; an earlier file of that name is left as it was."
                           : u".";
  Dbg::Log(Dbg::Stamped(u"[Datemill] The " + what + u" file '" + path + u"' could not be written" +
                        (reason.empty() ? Text() : u" (" + reason + u")") + earlier));
  return false;
}

// The report on standard output; with several folders in the run each
// report behind a line "==> NAME.txt <==" and an empty line between
// reports, as head(1) shows several files, or, as json, all of them in one
// array (which Totals closes).
bool RunOutput::WriteToStandardOutput(const Text& reportFile, const ValueCounts& counts,
                                      const ReportStyle& style) {
  Done done = Succeeded();
  const auto out = [&done](std::string_view bytes) {
    if (done.status) done = Platform::WriteStandardOutput(bytes);
  };
  if (style.format == ReportFormat::kJson && folders_ > 1) {
    out(printed_ ? "," : "[");
  } else if (style.format != ReportFormat::kJson && folders_ > 1) {
    out(Platform::ToNarrow((printed_ ? u"\n==> " : u"==> ") + reportFile + u" <==\n"));
  }
  printed_ = true;
  RenderReport(counts, style, out);
  if (!done.status) {
    Dbg::Log(Dbg::Stamped(u"[Datemill] The report '" + reportFile +
                          u"' could not be written to standard output (" + done.reason + u")."));
  }
  return done.status;
}

Text RunOutput::Holds(const ValueCounts& counts, const std::vector<Text>& folders) const {
  const Text files = CountOf(static_cast<int64_t>(counts.TotalFiles()), u"file", u"files");
  const Text dates = CountOf(static_cast<int64_t>(EntryCount(counts, options_.mask)), u"date", u"dates");
  if (folders.size() <= 1) return u" (" + files + u", " + dates + u")";
  Text list;
  for (const Text& folder : folders) list += (list.empty() ? u"" : u", ") + folder;
  return u" (" + files + u" of " + CountOf(static_cast<int64_t>(folders.size()), u"folder", u"folders") +
         u": " + list + u"; " + dates + u")";
}

bool RunOutput::Write(const Text& folder, const Text& reportName, ValueCounts& counts,
                      const FolderCounts& found) {
  ++folderCount_;
  files_ += found.counted;
  leftOut_ += found.leftOut;
  untaken_ += found.untaken;
  takenUnread_ += found.takenUnread;
  placeholders_ += found.placeholders;
  if (found.counted > 0) counted_.push_back(folder);
  counts.Settle();
  ReportStyle style{options_.format,
                    options_.mask,
                    options_.order,
                    options_.toStandardOutput,
                    options_.each ? std::vector<Text>{folder} : counted_,
                    options_.typedMask,
                    options_.kind};
  const Text reportFile = reportName + u"." + Text(FormatExtension(options_.format));
  if (options_.toStandardOutput) {
    if (options_.verbose)
      Told(u"wrote " + reportFile + u" to standard output" + Holds(counts, style.folders));
    if (!WriteToStandardOutput(reportFile, counts, style)) return false;
    ++reports_;
    return true;
  }
  written_.clear();
  const Text report = Paths::Join(options_.outFolder, reportFile);
  bool ok =
      WriteFile(u"report", report, WriteReport(Paths::Join(options_.outFolder, reportName), counts, style));
  if (ok) {
    ++reports_;
    if (options_.verbose) Told(u"wrote " + report + Holds(counts, style.folders));
  }
  if (options_.chart) {
    const int64_t before = static_cast<int64_t>(style.folders.size()) - (found.counted > 0 ? 1 : 0);
    const ChartFacts facts{folder, options_.kind, options_.typedMask, before, options_.mask};
    const Text chart = Paths::Join(options_.outFolder, reportName + u".svg");
    if (WriteFile(u"chart", chart,
                  WriteChart(chart, EntryList(counts, options_.mask, options_.order), facts))) {
      ++charts_;
      Told(u"wrote " + chart);
    } else {
      ok = false;
    }
  }
  if (options_.open) OpenWritten(written_);
  return ok;
}

void RunOutput::NoReport(const Text& folder, const Text& reportName, const FolderCounts& found) {
  ++folderCount_;
  files_ += found.counted;
  leftOut_ += found.leftOut;
  Text why;
  if (found.seen > found.counted + found.own) {
    why = u"every file left out by the extension lists (" +
          CountOf(found.seen - found.own, u"file", u"files") + u")";
  } else if (options_.depth == 0) {
    why = u"no files directly in it";
    if (found.beyondDepth > 0) {
      why += u"; " + CountOf(found.beyondDepth, u"subfolder", u"subfolders") + u" that " +
             Text(Switches::Prefix(Platform::kSlashSwitches)) + u"depth would count";
    }
  } else {
    why = u"no files in it or its subfolders";
    if (found.beyondDepth > 0) {
      why += u"; " + CountOf(found.beyondDepth, u"subfolder", u"subfolders") + u" below the depth";
    }
  }
  Text earlier;
  if (!options_.toStandardOutput) {
    const Text report =
        Paths::Join(options_.outFolder, reportName + u"." + Text(FormatExtension(options_.format)));
    Platform::FileFacts facts;
    if (Platform::QueryFile(report, facts).status && facts.exists && !facts.folder)
      earlier = u"; the earlier report " + report + u" is left as it was";
  }
  Dbg::Warn(folder + u": no report: " + why + earlier);
}

void RunOutput::Totals() {
  if (options_.toStandardOutput && options_.format == ReportFormat::kJson && folders_ > 1) {
    const Done done = Platform::WriteStandardOutput(printed_ ? "]\n" : "[]\n");
    (void)done;  // a failed write of the reports is told with them
  }
  Text line = CountOf(folderCount_, u"folder", u"folders") + u", " + CountOf(files_, u"file", u"files") +
              u" counted, " + CountOf(reports_, u"report", u"reports") + u" written";
  if (options_.chart) line += u", " + CountOf(charts_, u"chart", u"charts");
  if (!options_.skip.empty()) line += u", " + CountOf(leftOut_.named, u"folder", u"folders") + u" skipped";
  if (options_.oneFileSystem)
    line += u", " +
            CountOf(leftOut_.otherFileSystem, u"folder on another file system",
                    u"folders on other file systems") +
            u" left out";
  Told(line);
  TellUntaken();
}

void RunOutput::TellUntaken() const {
  const Text byLastWrite = u" (counted by their last write)";
  if (untaken_ > 0)
    Dbg::Account(CountOf(untaken_, u"file", u"files") + u" recorded no taken date" + byLastWrite,
                 options_.verbose);
  // Files that could not be read are a failure of the read, always said.
  if (takenUnread_ > 0) {
    Dbg::Log(Dbg::Stamped(u"[Datemill] " + CountOf(takenUnread_, u"file", u"files") +
                          u" could not be read for a taken date" + byLastWrite + u"."));
  }
  if (placeholders_ > 0) {
    Dbg::Account(CountOf(placeholders_, u"file", u"files") +
                     u" only held in a cloud folder were not fetched for a taken date" + byLastWrite,
                 options_.verbose);
  }
}
