#include "app/Output.h"

#include "base/Paths.h"
#include "chart/Chart.h"
#include "count/Report.h"
#include "io/Dbg.h"
#include "io/ReportFile.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
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

// The report's lines with LF; with several folders in the run each report
// behind a line "==> NAME.txt <==" and an empty line between reports, as
// head(1) shows several files.
bool RunOutput::WriteToStandardOutput(const Text& reportName, const DateCountList& counts) {
  Done done = Succeeded();
  const auto out = [&done](std::string_view bytes) {
    if (done.status) done = Platform::WriteStandardOutput(bytes);
  };
  if (folders_ > 1) out(Platform::ToNarrow((printed_ ? u"\n==> " : u"==> ") + reportName + u".txt <==\n"));
  printed_ = true;
  RenderReport(counts, u"\n", out);
  if (!done.status) {
    Dbg::Log(Dbg::Stamped(u"[Datemill] The report '" + reportName +
                          u".txt' could not be written to standard output (" + done.reason + u")."));
  }
  return done.status;
}

bool RunOutput::Write(const Text& folder, const Text& reportName, int64_t foldersBefore,
                      DateCountList& counts, const FolderCounts& found) {
  ++folderCount_;
  files_ += found.counted;
  untaken_ += found.untaken;
  takenUnread_ += found.takenUnread;
  placeholders_ += found.placeholders;
  const Text counted = u" (" + CountOf(found.counted, u"file", u"files") + u", " +
                       CountOf(static_cast<int64_t>(counts.Size()), u"date", u"dates") + u")";
  if (options_.toStandardOutput) {
    counts.Sort();
    if (!WriteToStandardOutput(reportName, counts)) return false;
    ++reports_;
    Told(u"wrote " + reportName + u".txt to standard output" + counted);
    return true;
  }
  written_.clear();
  const Text report = Paths::Join(options_.outFolder, reportName + u".txt");
  bool ok = WriteFile(u"report", report, WriteReport(Paths::Join(options_.outFolder, reportName), counts));
  if (ok) {
    ++reports_;
    Told(u"wrote " + report + counted);
  }
  if (options_.chart) {
    const ChartFacts facts{folder, options_.kind, options_.typedMask, options_.each ? 0 : foldersBefore,
                           options_.mask};
    const Text chart = Paths::Join(options_.outFolder, reportName + u".svg");
    if (WriteFile(u"chart", chart, WriteChart(chart, counts, facts))) {
      ++charts_;
      Told(u"wrote " + chart);
    } else {
      ok = false;
    }
  }
  if (options_.open) OpenWritten(written_);
  return ok;
}

void RunOutput::NoReport(const Text& folder, const FolderCounts& found) {
  ++folderCount_;
  files_ += found.counted;
  if (found.seen > found.counted) {
    Told(folder + u": no report: every file left out by the extension lists (" +
         CountOf(found.seen, u"file", u"files") + u")");
  } else {
    Told(folder + (options_.depth == 0 ? u": no report: no files directly in it"
                                       : u": no report: no files in it or its subfolders"));
  }
}

void RunOutput::Totals() const {
  Text line = CountOf(folderCount_, u"folder", u"folders") + u", " + CountOf(files_, u"file", u"files") +
              u" counted, " + CountOf(reports_, u"report", u"reports") + u" written";
  if (options_.chart) line += u", " + CountOf(charts_, u"chart", u"charts");
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
