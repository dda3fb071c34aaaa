// The end-to-end tests: the built program started on real folders, and
// what it leaves. Each test file covers one feature.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "app/Usage.h"
#include "base/Conventions.h"
#include "chart/Chart.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "support/TestSupport.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

namespace e2e {

using TestSupport::Join;
using TestSupport::ReadBytes;
using TestSupport::Show;
using TestSupport::UtcStamp;

#ifdef _WIN32
inline constexpr uint32_t kNoArguments = 0xFFFFFFFF;      // -1, all 32 bits
inline constexpr uint32_t kMalformedQuotes = 0xFFFFFFFD;  // -3
inline constexpr uint32_t kBadDepth = 0xFFFFFFFC;         // -4
inline constexpr uint32_t kNoOutFolder = 0xFFFFFFFB;      // -5
inline constexpr uint32_t kBadSwitch = 0xFFFFFFFA;        // -6
#else
inline constexpr uint32_t kNoArguments = 255;  // POSIX passes on the low 8 bits
inline constexpr uint32_t kBadDepth = 252;
inline constexpr uint32_t kNoOutFolder = 251;
inline constexpr uint32_t kBadSwitch = 250;
#endif

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;  // its shadow memory needs more address space than any limit
#else
inline constexpr bool kAddressSanitizer = false;
#endif

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    // A copy of the program of its own, so its log lands in this test's folder.
    const Text bin = dir_ / u"bin";
    TestSupport::MakeDirs(bin);
    const Text original = TestSupport::ProgramPath();
    program_ = Join(bin, original.substr(original.find_last_of(Platform::kNameSeparators) + 1));
    std::filesystem::copy_file(std::filesystem::path(original), std::filesystem::path(program_));
    work_ = dir_ / u"work";
    TestSupport::MakeDirs(work_);
  }

  // The log goes into the test's own state folder (POSIX).
  TestSupport::RunResult Run(const std::vector<Text>& args, std::vector<std::pair<Text, Text>> env = {}) {
    if (std::none_of(env.begin(), env.end(), [](const auto& e) { return e.first == u"XDG_STATE_HOME"; }))
      env.emplace_back(u"XDG_STATE_HOME", dir_ / u"state");
    return TestSupport::Run(program_, args, work_, env);
  }
  // A folder below the test folder holding files last written at the given
  // times (UTC, which is the zone of the test run).
  Text Folder(const Text& name, const std::vector<Platform::FileTime>& written) {
    const Text folder = dir_ / name;
    TestSupport::MakeDirs(folder);
    int n = 0;
    for (Platform::FileTime time : written)
      TestSupport::MakeFile(Join(folder, u"f" + DecimalText(n++)), "x", time);
    return folder;
  }
  std::string Report(const Text& name) { return ReadBytes(Join(work_, name)); }
  // Beside the program on Windows, in the state folder on POSIX.
  Text LogFile() const {
    return Platform::kWindowsConventions ? Join(dir_ / u"bin", u"Log.txt")
                                         : Join(dir_ / u"state", Join(u"datemill", u"Log.txt"));
  }
  std::string Log() { return ReadBytes(LogFile()); }
  // Whether the log holds the program's line that starts so.
  bool Logged(const std::string& text) { return Log().find(" [Datemill] " + text) != std::string::npos; }
  static Text S(const Text& rest) { return Text(Platform::kSwitchPrefix) + rest; }
#ifndef _WIN32
  // The program's start in a child, in the work folder with the test's state
  // folder; all of it made before the fork.
  struct Exec {
    Exec(const EndToEnd& test, const std::vector<Text>& args)
        : folder(Utf8FromText(test.work_)), state(Utf8FromText(test.dir_ / u"state")) {
      store.push_back(Utf8FromText(test.program_));
      for (const Text& arg : args) store.push_back(Utf8FromText(arg));
      for (std::string& arg : store) argv.push_back(arg.data());
      argv.push_back(nullptr);
    }
    [[noreturn]] void operator()() {
      ::setenv("XDG_STATE_HOME", state.c_str(), 1);
      if (::chdir(folder.c_str()) == 0) ::execv(argv[0], argv.data());
      ::_exit(121);
    }
    std::vector<std::string> store;
    std::vector<char*> argv;
    std::string folder, state;
  };
  // Runs the program in the work folder under one resource limit, started
  // as a shell starts it (SIGXFSZ at its default); its exit status, or 1000
  // and the number of the signal that ended it.
  uint32_t RunLimited(int resource, rlim_t limit, const std::vector<Text>& args) {
    Exec exec(*this, args);
    const pid_t child = ::fork();
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_DFL);
      const rlimit both{limit, limit};
      if (::setrlimit(resource, &both) != 0) ::_exit(120);
      exec();
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }
#endif

  // Runs the program as an ordinary user: POSIX root as the user 65534 in
  // a child (which owns the test folder meanwhile), so that permissions
  // hold for it too.
  TestSupport::RunResult RunUnprivileged(const std::vector<Text>& args) {
#ifndef _WIN32
    if (::geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(Utf8FromText(dir_.path()))) {
        EXPECT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0);
      }
      EXPECT_EQ(::chown(Utf8FromText(dir_.path()).c_str(), kNobody, kNobody), 0);
      const std::string errors = Utf8FromText(dir_ / u"errors.txt");
      const pid_t child = ::fork();
      if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(120);
        const TestSupport::RunResult result = Run(args);
        TestSupport::WriteBytes(TextFromUtf8(errors), result.errors);
        ::_exit(static_cast<int>(result.status));
      }
      int status = 0;
      ::waitpid(child, &status, 0);
      TestSupport::RunResult result;
      result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
      result.errors = ReadBytes(TextFromUtf8(errors));
      return result;
    }
#endif
    return Run(args);
  }

  TestSupport::ScopedTempDir dir_;
  Text program_, work_;
};

}  // namespace e2e
