#include "io/Dbg.h"

#include "base/Paths.h"
#include "dates/DateValue.h"
#include "dates/Mask.h"
#include "io/Program.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Process.h"

namespace Dbg {

namespace {

bool logStarted = false;
bool logMissing = false;  // the user has been told that a line could not be logged

// Opens the log at `path`: anew for the first line of a run, else at its end.
bool OpenLog(Platform::OutputFile& file, const Text& path, bool first) {
  using Mode = Platform::OutputFile::Mode;
  const auto share = Platform::OutputFile::Share::kRead;
  const auto opened = [&](Mode mode) {
    return file.Open(path, mode, share).status == Platform::OutputFile::Opening::kOpened;
  };
  if (!first) return opened(Mode::kOpenAlways) && file.SeekToEnd().status;
  return opened(Mode::kCreateAlways) || opened(Mode::kTruncateExisting);
}

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

}  // namespace

std::vector<Text> LogPaths() {
  std::vector<Text> paths;
  for (const Text& folder : Platform::LogFolders(ProgramFolder))
    paths.push_back(Paths::Join(folder, u"Log.txt"));
  return paths;
}

void Log(const Text& text) {
  const bool first = !logStarted;
  logStarted = true;  // set first: a failed first call is not repeated as a first call
  const std::vector<Text> folders = Platform::LogFolders(ProgramFolder);
  bool written = false;
  for (const Text& folder : folders) {
    const Text path = Paths::Join(folder, u"Log.txt");
    Platform::OutputFile file;
    if (!OpenLog(file, path, first) && !(Platform::MakeFolders(folder) && OpenLog(file, path, first)))
      continue;
    const std::string line = Platform::ToUtf8(text) + "\r\n";
    written = file.Write(line.data(), line.size()).status && file.Close().status;
    break;
  }
  Platform::ShowDiagnostic(ToldForm(text, ProgramFile));
  // The line stands on standard error all the same; that the log lacks it
  // is said once.
  if (written || logMissing) return;
  logMissing = true;
  Text where;
  for (const Text& folder : folders) where += (where.empty() ? u"" : u", ") + Paths::Join(folder, u"Log.txt");
  Platform::ShowDiagnostic(ProgramFile + u": the log could not be written" +
                           (where.empty()
                                ? Text(u": no folder for it (neither XDG_STATE_HOME nor HOME is set)")
                                : u" (tried " + where + u")"));
}

void Warn(const Text& message) { Account(message, true); }

void Account(const Text& message, bool asked) {
  if (!Platform::HasConsole()) {
    Log(Stamped(u"[Datemill] " + message + u"."));
  } else if (asked) {
    Platform::ShowDiagnostic(ProgramFile + u": " + message);
  }
}

void Tell(const Text& message) { Platform::ShowDiagnostic(ProgramFile + u": " + message); }

Text ToldForm(const Text& line, const Text& program) {
  TextView rest(line);
  // "yyyy.mm.dd hh:ii:ss "
  constexpr TextView kStamp = u"0000.00.00 00:00:00 ";
  bool stamped = rest.size() >= kStamp.size();
  for (size_t i = 0; stamped && i < kStamp.size(); ++i) {
    stamped = kStamp[i] == u'0' ? IsDigit(rest[i]) : rest[i] == kStamp[i];
  }
  if (stamped) rest.remove_prefix(kStamp.size());
  const size_t close = rest.find(u"] ");
  if (rest.starts_with(u'[') && close != TextView::npos &&
      rest.substr(0, close).find(u' ') == TextView::npos) {
    rest.remove_prefix(close + 2);
  }
  return program + u": " + Text(rest);
}

Text Stamped(const Text& message) {
  return RenderDate(u"%yyyy.%mm.%dd %hh:%ii:%ss ", CurrentDate()) + message;
}

Text TraceLine(const Text& text, bool extraNewline, bool timestamp) {
  Text line;
  if (timestamp) line = RenderDate(u"[%hh:%ii:%ss] ", CurrentDate());
  line += text;
  if (extraNewline) line += u"\r\n";
  return line + u"\r\n";
}

void Trace(const Text& text, bool extraNewline, bool timestamp) {
  Platform::DebugOutput(TraceLine(text, extraNewline, timestamp));
}

}  // namespace Dbg
