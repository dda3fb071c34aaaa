// Process values on POSIX: the conventions, the command line, the program's
// own path, the environment, the clock, the exit and the messages.
#include <fcntl.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/Paths.h"
#include "platform/posix/Common.h"

extern char** environ;

namespace Platform {

using posix::WriteAll;

extern const char16_t kSeparator = u'/';
extern const char16_t* const kNameSeparators = u"/";
extern const char16_t* const kSwitchPrefix = u"--";
extern const bool kSlashSwitches = false;
extern const bool kNamesIgnoreCase = false;
extern const bool kLongPathPrefixes = false;
extern const bool kWindowsConventions = false;
extern const bool kRootLists = false;

namespace {

int savedArgc = 0;
char** savedArgv = nullptr;
bool progressShown = false;

}  // namespace

void SetArguments(int argc, char** argv) {
  savedArgc = argc;
  savedArgv = argv;
}

// For showing only: the arguments are taken one by one (ArgumentList), so
// nothing splits this line again.
Text CommandLine() {
  Text line;
  for (int i = 0; i < savedArgc; ++i) {
    if (i > 0) line += u' ';
    line += TextFromUtf8(savedArgv[i]);
  }
  return line;
}

bool ArgumentList(std::vector<Text>& parameters) {
  parameters.clear();
  for (int i = 1; i < savedArgc; ++i) parameters.push_back(TextFromUtf8(savedArgv[i]));
  return true;
}

Text ModulePath() {
  std::string buffer(4096, '\0');
  while (true) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) break;
    if (static_cast<size_t>(n) < buffer.size()) return TextFromUtf8(std::string_view(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
  // No /proc: the path the program was started by, made absolute.
  if (savedArgc > 0) {
    if (char* resolved = ::realpath(savedArgv[0], nullptr)) {
      Text path = TextFromUtf8(resolved);
      std::free(resolved);
      return path;
    }
  }
  return Text();
}

bool EnvironmentEntries(std::vector<Text>& entries) {
  if (environ == nullptr) return false;
  for (char** entry = environ; *entry != nullptr; ++entry) entries.push_back(TextFromUtf8(*entry));
  return true;
}

CalendarTime LocalNow() {
  const time_t now = ::time(nullptr);
  struct tm local {};
  CalendarTime result;
  if (::localtime_r(&now, &local) != nullptr) {
    result.year = local.tm_year + 1900;
    result.month = local.tm_mon + 1;
    result.day = local.tm_mday;
    result.hour = local.tm_hour;
    result.minute = local.tm_min;
    result.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second
  }
  return result;
}

void EndProcess(uint32_t status) {
  ClearProgress();
  (void)std::fflush(nullptr);  // nothing is left to tell a failure to
  // _exit: the records of a large scan need no freeing one by one.
  ::_exit(static_cast<int>(status));
}

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

bool WriteStandardOutput(std::string_view bytes) {
  return WriteAll(STDOUT_FILENO, bytes.data(), bytes.size());
}

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
  // Back to the line's start, the text, the rest of the line erased.
  const std::string bytes = "\r" + ToUtf8(line) + "\x1b[K";
  WriteAll(STDERR_FILENO, bytes.data(), bytes.size());
  progressShown = true;
}

void ClearProgress() {
  if (!progressShown) return;
  progressShown = false;
  WriteAll(STDERR_FILENO, "\r\x1b[K", 4);
}

// POSIX has no debugger output a user would read; nothing documents one.
void DebugOutput(const Text&) {}

uint32_t ProcessId() { return static_cast<uint32_t>(::getpid()); }

namespace {

// How long the opener is given to hand the file on, in steps of 50 ms.
constexpr int kOpenerWaitSteps = 100;

// Waits a few seconds at most for `child`: "" when it ended with status 0 or
// is still running (the opener may stay with the program it started), else
// what became of it.
std::string OpenerOutcome(pid_t child) {
  for (int step = 0; step < kOpenerWaitSteps; ++step) {
    int status = 0;
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) return std::strerror(errno);
    if (done == child) {
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::string();
      if (WIFEXITED(status)) return "xdg-open ended with status " + std::to_string(WEXITSTATUS(status));
      return "xdg-open was ended by signal " + std::to_string(WTERMSIG(status));
    }
    const timespec pause{0, 50'000'000};
    ::nanosleep(&pause, nullptr);
  }
  return std::string();
}

}  // namespace

OpenResult OpenWithDefaultProgram(const Text& path, Text& problem) {
  // Its streams on /dev/null: nothing of the opener mixes with ours.
  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0) {
    problem = u"xdg-open could not be started";
    return OpenResult::kFailed;
  }
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    (void)::posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
                                             fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
  }
  std::string program = "xdg-open";
  std::string argument = posix::PathBytes(path);
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t child = 0;
  const int error = ::posix_spawnp(&child, "xdg-open", &actions, nullptr, argv, environ);
  (void)::posix_spawn_file_actions_destroy(&actions);
  if (error == ENOENT) {
    problem = u"there is no xdg-open on PATH to open it with";
    return OpenResult::kNoProgram;
  }
  if (error != 0) {
    problem = u"xdg-open could not be started: " + TextFromUtf8(std::strerror(error));
    return OpenResult::kFailed;
  }
  const std::string outcome = OpenerOutcome(child);
  if (outcome.empty()) return OpenResult::kOpened;
  problem = TextFromUtf8(outcome);
  return OpenResult::kFailed;
}

std::vector<Text> LogFolders(const Text&) {
  Text base;
  const char* state = std::getenv("XDG_STATE_HOME");  // NOLINT(concurrency-mt-unsafe): one thread reads it
  const char* home = std::getenv("HOME");             // NOLINT(concurrency-mt-unsafe)
  if (state != nullptr && state[0] == '/') {
    base = TextFromUtf8(state);
  } else if (home != nullptr && home[0] == '/') {
    base = Paths::Join(TextFromUtf8(home), u".local/state");
  } else {
    return {};
  }
  return {Paths::AsFolder(Paths::Join(base, u"datemill"))};
}

bool MakeFolders(const Text& path) {
  const std::string bytes = posix::PathBytes(path);
  for (size_t at = bytes.find('/', 1); at != std::string::npos; at = bytes.find('/', at + 1)) {
    (void)::mkdir(bytes.substr(0, at).c_str(), 0700);  // one that exists stays as it is
  }
  (void)::mkdir(bytes.c_str(), 0700);
  struct stat info {};
  return ::stat(bytes.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Text FailureText(Failure failure) {
  const int error = failure == Failure::kIsFolder ? EISDIR : failure == Failure::kReadOnly ? EACCES : errno;
  return TextFromUtf8(std::strerror(error));  // NOLINT(concurrency-mt-unsafe): one thread asks
}

}  // namespace Platform
