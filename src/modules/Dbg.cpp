#include "modules/Dbg.h"

#include "Process.h"
#include "platform/Platform.h"

namespace Dbg {

namespace {

bool logStarted = false;

}  // namespace

Text LogPath() { return ProgramFolder + u"Log.txt"; }

void Log(const Text& text) {
  using Mode = Platform::OutputFile::Mode;
  const Text path = LogPath();
  const auto share = Platform::OutputFile::Share::kRead;
  Platform::OutputFile file;
  if (logStarted) {
    if (!file.Open(path, Mode::kOpenAlways, share) || !file.SeekToEnd()) return;
  } else {
    logStarted = true;  // set first: a failed first call is not repeated as a first call
    if (!file.Open(path, Mode::kCreateAlways, share) && !file.Open(path, Mode::kTruncateExisting, share)) {
      return;
    }
  }
  const std::string line = Platform::ToUtf8(text) + "\r\n";
  file.Write(line.data(), line.size());
  file.Close();
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
