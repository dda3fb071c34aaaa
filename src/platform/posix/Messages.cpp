// What the program shows its user on POSIX: standard output and standard
// error (where the fatal message and the diagnostics go), and the progress
// line on a terminal.
#include "platform/Messages.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/CodePage.h"
#include "platform/posix/Common.h"
#include "platform/posix/Interrupts.h"

namespace Platform {

using posix::WriteAll;

namespace {

bool progressShown = false;

}  // namespace

void ShowFatalMessage(const Text& text, const Text& caption) {
  ClearProgress();
  std::string message = ToUtf8(caption) + ": ";
  for (char c : ToUtf8(text)) {
    if (c != '\r') message += c;  // CR LF becomes LF
  }
  message += '\n';
  WriteAll(STDERR_FILENO, message.data(), message.size());
}

void ShowInformation(const Text& text, const Text&) {
  const std::string bytes = ToUtf8(text);
  WriteAll(STDOUT_FILENO, bytes.data(), bytes.size());
}

Done WriteStandardOutput(std::string_view bytes) {
  if (WriteAll(STDOUT_FILENO, bytes.data(), bytes.size())) return Succeeded();
  return FailedFor(TextFromUtf8(std::strerror(errno)));  // NOLINT(concurrency-mt-unsafe): one thread asks
}

bool HasConsole() { return true; }

void ShowDiagnostic(const Text& line) {
  ClearProgress();
  const std::string bytes = ToUtf8(line) + '\n';
  WriteAll(STDERR_FILENO, bytes.data(), bytes.size());
}

int ProgressColumns() {
  winsize size{};
  if (::isatty(STDERR_FILENO) == 0 || ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col > 0 ? size.ws_col : 80;
}

void ShowProgress(const Text& line) {
  // Back to the line's start, the text, the rest of the line erased. An
  // interruption from here on clears it (Interrupts.h).
  const std::string bytes = "\r" + ToUtf8(line) + "\x1b[K";
  progressShown = true;
  posix::NoteProgressShown(true);
  WriteAll(STDERR_FILENO, bytes.data(), bytes.size());
}

void ClearProgress() {
  if (!progressShown) return;
  progressShown = false;
  WriteAll(STDERR_FILENO, "\r\x1b[K", 4);
  posix::NoteProgressShown(false);
}

// POSIX has no debugger output a user would read; nothing documents one.
void DebugOutput(const Text&) {}

}  // namespace Platform
