// Test helpers that need POSIX calls: file times and starting the program.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "Calendar.h"
#include "support/TestSupport.h"

extern char** environ;

namespace TestSupport {

namespace {

timespec TimespecOf(Platform::FileTime stamp) {
  const int64_t ticks = stamp - Calendar::kUnixEpochTicks;
  timespec when{};
  when.tv_sec = static_cast<time_t>(ticks / Calendar::kTicksPerSecond);
  when.tv_nsec = static_cast<long>(ticks % Calendar::kTicksPerSecond) * 100;
  return when;
}

}  // namespace

void RemoveAll(const Text& path) {
  std::error_code error;
  std::filesystem::remove_all(std::filesystem::path(Utf8FromText(path)), error);
}

void SetTimes(const Text& path, Platform::FileTime lastWrite, Platform::FileTime lastAccess) {
  const timespec times[2] = {TimespecOf(lastAccess), TimespecOf(lastWrite)};
  ASSERT_EQ(::utimensat(AT_FDCWD, Utf8FromText(path).c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << Show(path);
}

RunResult Run(const Text& program, const std::vector<Text>& args, const Text& folder,
              const std::vector<std::pair<Text, Text>>& env) {
  std::vector<std::string> argStore{Utf8FromText(program)};
  for (const Text& arg : args) argStore.push_back(Utf8FromText(arg));
  std::vector<char*> argv;
  for (std::string& arg : argStore) argv.push_back(arg.data());
  argv.push_back(nullptr);

  std::vector<std::string> envStore;
  for (char** e = environ; *e != nullptr; ++e) envStore.emplace_back(*e);
  for (const auto& [name, value] : env) envStore.push_back(Utf8FromText(name) + "=" + Utf8FromText(value));
  std::vector<char*> envp;
  for (std::string& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  int pipeFds[2];
  RunResult result;
  if (::pipe(pipeFds) != 0) {
    ADD_FAILURE() << "pipe";
    return result;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeFds[1], STDERR_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    if (::chdir(Utf8FromText(folder).c_str()) != 0) ::_exit(120);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(121);
  }
  ::close(pipeFds[1]);
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buffer, sizeof(buffer))) > 0) result.errors.append(buffer, n);
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  return result;
}

}  // namespace TestSupport
