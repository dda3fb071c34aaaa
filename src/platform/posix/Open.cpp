// Opening a written file with the user's default program on POSIX:
// xdg-open, found on PATH.
#include "platform/Open.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/Common.h"

extern char** environ;

namespace Platform {

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

Outcome<OpenResult> OpenWithDefaultProgram(const Text& path) {
  // Its streams on /dev/null: nothing of the opener mixes with ours.
  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0)
    return {OpenResult::kFailed, u"xdg-open could not be started"};
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
  if (error == ENOENT) return {OpenResult::kNoProgram, u"there is no xdg-open on PATH to open it with"};
  if (error != 0) {
    return {OpenResult::kFailed, u"xdg-open could not be started: " + TextFromUtf8(std::strerror(error))};
  }
  const std::string outcome = OpenerOutcome(child);
  if (outcome.empty()) return {OpenResult::kOpened, Text()};
  return {OpenResult::kFailed, TextFromUtf8(outcome)};
}

}  // namespace Platform
