// The process on POSIX: the conventions, the command line, the program's
// own path, the environment, the log's folder and the exit.
#include "platform/Process.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/Conventions.h"
#include "base/Paths.h"
#include "platform/Messages.h"

extern char** environ;

namespace Platform {

extern const char16_t kSeparator = u'/';
extern const char16_t* const kNameSeparators = u"/";
extern const char16_t* const kSwitchPrefix = u"--";
extern const bool kSlashSwitches = false;
extern const bool kNamesIgnoreCase = false;
extern const bool kLongPathPrefixes = false;
extern const bool kWindowsPaths = false;
extern const bool kWindowsConventions = false;
extern const bool kRootLists = false;

namespace {

int savedArgc = 0;
char** savedArgv = nullptr;

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
      std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc): realpath's own buffer
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

void EndProcess(uint32_t status) {
  ClearProgress();
  (void)std::fflush(nullptr);  // nothing is left to tell a failure to
  // _exit: the records of a large scan need no freeing one by one.
  ::_exit(static_cast<int>(status));
}

uint32_t ProcessId() { return static_cast<uint32_t>(::getpid()); }

bool ProcessRunning(uint32_t id) {
  // An id beyond what a pid holds names none; 0 would mean this group.
  if (id == 0 || id > static_cast<uint32_t>(INT32_MAX)) return false;
  return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
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

}  // namespace Platform
