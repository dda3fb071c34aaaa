// Test helpers that need POSIX calls: file times and starting the program.
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/Calendar.h"
#include "platform/Clock.h"
#include "platform/posix/StatPool.h"
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

// Reads two pipes to their ends, whichever has data, so that neither fills
// up while the other is read.
void ReadBoth(int firstFd, std::string& first, int secondFd, std::string& second) {
  pollfd fds[2] = {{firstFd, POLLIN, 0}, {secondFd, POLLIN, 0}};
  std::string* targets[2] = {&first, &second};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof(buffer));
      if (n > 0) {
        targets[i]->append(buffer, static_cast<size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;  // poll skips negative descriptors
        --open;
      }
    }
  }
}

}  // namespace

void RemoveAll(const Text& path) {
  std::error_code error;
  std::filesystem::remove_all(std::filesystem::path(Utf8FromText(path)), error);
}

void MakeFolderLink(const Text& target, const Text& link) {
  ASSERT_EQ(::symlink(Utf8FromText(target).c_str(), Utf8FromText(link).c_str()), 0) << Show(link);
}

Text MakeChain(const Text& top, int levels, const Text& bottom) {
  Text path = top;
  EXPECT_EQ(::mkdir(Utf8FromText(top).c_str(), 0755), 0);
  int fd = ::open(Utf8FromText(top).c_str(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i <= levels; ++i) {
    const char* name = i < levels ? "d" : nullptr;
    const std::string last = Utf8FromText(bottom);
    EXPECT_EQ(::mkdirat(fd, name ? name : last.c_str(), 0755), 0);
    const int next = ::openat(fd, name ? name : last.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
    path += i < levels ? u"/d" : u"/" + bottom;
  }
  ::close(::openat(fd, "f", O_WRONLY | O_CREAT, 0644));
  ::close(fd);
  return path;
}

void RemoveChain(const Text& top, int levels, const Text& bottom) {
  // Down to the bottom, then up again removing one level at a time.
  std::vector<int> chain{::open(Utf8FromText(top).c_str(), O_RDONLY | O_DIRECTORY)};
  for (int i = 0; i < levels; ++i) chain.push_back(::openat(chain.back(), "d", O_RDONLY | O_DIRECTORY));
  const std::string last = Utf8FromText(bottom);
  const int end = ::openat(chain.back(), last.c_str(), O_RDONLY | O_DIRECTORY);
  ::unlinkat(end, "f", 0);
  ::close(end);
  ::unlinkat(chain.back(), last.c_str(), AT_REMOVEDIR);
  for (int i = levels; i > 0; --i) {
    ::close(chain[i]);
    ::unlinkat(chain[i - 1], "d", AT_REMOVEDIR);
  }
  ::close(chain[0]);
  ::rmdir(Utf8FromText(top).c_str());
}

Text MakeUnlistableFolder(const Text& folder) {
  const Text locked = Join(folder, u"locked");
  MakeDirs(locked);
  WriteBytes(Join(locked, u"f"), "x");
  EXPECT_EQ(::chmod(Utf8FromText(locked).c_str(), 0), 0);
  return locked;
}

ScopedTmpfs::ScopedTmpfs(const Text& folder) : folder_(Utf8FromText(folder)) {
  // Once per process: mounts of its own, which reach no other process but
  // the programs it starts.
  static const std::string unshared = [] {
    if (::geteuid() != 0) return std::string("mounting a file system needs root");
    // Only this thread moves to the new namespace: the stat pool's helpers
    // are started again from it, as many as there were.
    const int helpers = Platform::posix::StatPoolThreads();
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      return "no mount namespace of this process's own: " + std::string(std::strerror(errno));
    Platform::posix::RestartStatPool(helpers);
    return std::string();
  }();
  refused_ = unshared;
  if (refused_.empty() && ::mount("datemill", folder_.c_str(), "tmpfs", 0, "size=1m") != 0)
    refused_ = "no tmpfs: " + std::string(std::strerror(errno));
}

ScopedTmpfs::~ScopedTmpfs() {
  if (refused_.empty()) ::umount2(folder_.c_str(), MNT_DETACH);
}

void SetTimes(const Text& path, Platform::FileTime lastWrite, Platform::FileTime lastAccess) {
  const timespec times[2] = {TimespecOf(lastAccess), TimespecOf(lastWrite)};
  ASSERT_EQ(::utimensat(AT_FDCWD, Utf8FromText(path).c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << Show(path);
}

bool SystemLocalTime(Platform::FileTime stamp, Platform::CalendarTime& local) {
  const int64_t ticks = stamp - Calendar::kUnixEpochTicks;
  // Rounded down: a stamp before 1970 counts from the second it falls in.
  const auto seconds = static_cast<time_t>(ticks / Calendar::kTicksPerSecond -
                                           (ticks % Calendar::kTicksPerSecond < 0 ? 1 : 0));
  struct tm fields {};
  if (::localtime_r(&seconds, &fields) == nullptr) return false;
  local = {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
           fields.tm_hour,        fields.tm_min,     fields.tm_sec};
  return true;
}

RunResult Run(const Text& program, const std::vector<Text>& args, const Text& folder,
              const std::vector<std::pair<Text, Text>>& env) {
  std::vector<std::string> argStore{Utf8FromText(program)};
  for (const Text& arg : args) argStore.push_back(Utf8FromText(arg));
  std::vector<char*> argv;
  for (std::string& arg : argStore) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // The variables of `env` replace those of the same name.
  std::vector<std::string> envStore;
  for (char** e = environ; *e != nullptr; ++e) envStore.emplace_back(*e);
  for (const auto& [name, value] : env) {
    const std::string prefix = Utf8FromText(name) + "=";
    std::erase_if(envStore, [&](const std::string& e) { return e.starts_with(prefix); });
    envStore.push_back(prefix + Utf8FromText(value));
  }
  std::vector<char*> envp;
  for (std::string& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  int errFds[2], outFds[2];
  RunResult result;
  if (::pipe(errFds) != 0 || ::pipe(outFds) != 0) {
    ADD_FAILURE() << "pipe";
    return result;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(errFds[1], STDERR_FILENO);
    ::dup2(outFds[1], STDOUT_FILENO);
    for (int fd : {errFds[0], errFds[1], outFds[0], outFds[1]}) ::close(fd);
    if (::chdir(Utf8FromText(folder).c_str()) != 0) ::_exit(120);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(121);
  }
  ::close(errFds[1]);
  ::close(outFds[1]);
  ReadBoth(errFds[0], result.errors, outFds[0], result.output);
  int status = 0;
  ::waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  return result;
}

void SetEnvironment(const char* name, const Text& value) { ::setenv(name, Utf8FromText(value).c_str(), 1); }

}  // namespace TestSupport
