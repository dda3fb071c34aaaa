#include "app/Progress.h"

#include <chrono>

#include "io/Program.h"
#include "platform/Messages.h"
#include "scan/ScanDir.h"

namespace Progress {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t kFirstAfter = 1000;  // milliseconds into the run
constexpr int64_t kRedrawAfter = 100;  // milliseconds between two drawings

Clock::time_point started;
Clock::time_point drawn;
bool everDrawn = false;
int64_t folderCount = 0, fileCount = 0, leftOutCount = 0;

int64_t Milliseconds(Clock::duration span) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
}

}  // namespace

bool Due(int64_t sinceStart, int64_t sinceDrawn) {
  return sinceStart >= kFirstAfter && (sinceDrawn < 0 || sinceDrawn >= kRedrawAfter);
}

Text Line(int64_t folders, int64_t files, int64_t leftOut, const Text& folder, size_t columns) {
  Text line = ProgramFile + u": " + CountOf(folders, u"folder", u"folders") + u", " +
              CountOf(files, u"file", u"files") + u" ";
  if (leftOut > 0) line.insert(line.size() - 1, u", " + CountOf(leftOut, u"left out", u"left out"));
  const size_t width = columns > 0 ? columns - 1 : 0;  // the last column would wrap on some terminals
  if (line.size() >= width) return line.substr(0, width);
  const size_t room = width - line.size();
  if (folder.size() <= room) return line + folder;
  if (room > 3) return line + u"..." + folder.substr(folder.size() - (room - 3));
  return line;
}

void FilesListed(const Text& folder, int64_t files, bool folderDone) {
  if (folderDone) ++folderCount;
  fileCount += files;
  const Clock::time_point now = Clock::now();
  if (!Due(Milliseconds(now - started), everDrawn ? Milliseconds(now - drawn) : -1)) return;
  const int columns = Platform::ProgressColumns();
  if (columns <= 0) return;
  Platform::ShowProgress(Line(folderCount, fileCount, leftOutCount, folder, static_cast<size_t>(columns)));
  drawn = now;
  everDrawn = true;
}

// The line shows it when it is drawn next, with the folder listed then.
void FolderLeftOut(const Text&) { ++leftOutCount; }

void Start(bool enabled) {
  started = Clock::now();
  everDrawn = false;
  folderCount = fileCount = leftOutCount = 0;
  const bool shown = enabled && Platform::ProgressColumns() > 0;
  ScanDir::FilesListed = shown ? &FilesListed : nullptr;
  ScanDir::FoldersLeftOut = shown ? &FolderLeftOut : nullptr;
}

void Stop() {
  ScanDir::FilesListed = nullptr;
  ScanDir::FoldersLeftOut = nullptr;
  Platform::ClearProgress();
}

}  // namespace Progress
