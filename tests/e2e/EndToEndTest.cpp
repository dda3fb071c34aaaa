// Starts the built program on real folders and checks what it leaves.
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
#include "support/TestSupport.h"

#ifndef _WIN32
#include <fcntl.h>
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

namespace {

using TestSupport::Join;
using TestSupport::ReadBytes;
using TestSupport::Show;
using TestSupport::UtcStamp;

#ifdef _WIN32
constexpr uint32_t kNoArguments = 0xFFFFFFFF;      // -1, all 32 bits
constexpr uint32_t kMalformedQuotes = 0xFFFFFFFD;  // -3
constexpr uint32_t kBadDepth = 0xFFFFFFFC;         // -4
constexpr uint32_t kNoOutFolder = 0xFFFFFFFB;      // -5
constexpr uint32_t kBadSwitch = 0xFFFFFFFA;        // -6
#else
constexpr uint32_t kNoArguments = 255;  // POSIX passes on the low 8 bits
constexpr uint32_t kBadDepth = 252;
constexpr uint32_t kNoOutFolder = 251;
constexpr uint32_t kBadSwitch = 250;
#endif

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;  // its shadow memory needs more address space than any limit
#else
constexpr bool kAddressSanitizer = false;
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

TEST_F(EndToEnd, TypicalRunCountsModifiedDatesByMonth) {
  const Text folder = Folder(u"2018", {UtcStamp(2018, 8, 30, 10, 0, 0), UtcStamp(2018, 9, 1, 0, 0, 0),
                                       UtcStamp(2018, 9, 30, 23, 59, 59)});
  TestSupport::MakeDirs(Join(folder, u"sub"));
  TestSupport::MakeFile(Join(folder, u"sub" + Text(1, Platform::kSeparator) + u"deeper"), "x",
                        UtcStamp(2017, 1, 1, 0, 0, 0));
  const TestSupport::RunResult result = Run({S(u"fmt=yyyy-mm"), folder + Platform::kSeparator, S(u"date=m")});
  EXPECT_EQ(result.status, 0u) << result.errors;
  EXPECT_EQ(result.errors, "");
  EXPECT_EQ(Report(u"2018.txt"), "2018-08 1\r\n2018-09 2\r\n");
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"2018.txt"});
  EXPECT_FALSE(TestSupport::Exists(LogFile()));
}

TEST_F(EndToEnd, SwitchNamesAndDateValuesIgnoreCase) {
  const Text folder = Folder(u"photos", {UtcStamp(2018, 9, 26, 12, 0, 0), UtcStamp(2018, 10, 1, 12, 0, 0)});
  EXPECT_EQ(Run({S(u"FMT=DD.MM.YYYY"), S(u"DATE=Modified"), folder}).status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "01.10.2018 1\r\n26.09.2018 1\r\n");

  // The first of two switches counts; a "%" typed before a token stays.
  EXPECT_EQ(Run({S(u"date=a"), S(u"date=c"), S(u"fmt=%yyyy"), S(u"date=m"), folder}).status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "%2018 2\r\n");
  EXPECT_EQ(Run({S(u"fmt=week"), S(u"date=m"), folder}).status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "2018-09-26 1\r\n2018-10-01 1\r\n");
}

TEST_F(EndToEnd, CountsAccumulateOverTheFoldersOfARun) {
  const Text empty = Folder(u"empty", {});
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0), UtcStamp(2019, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 6, 1, 0, 0, 0)});
  const Text missing = dir_ / u"missing";
  // A folder that does not exist fails the run, which goes on all the same.
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), empty, missing + u"x", a, b, missing}).status, 1u);
  // A first folder without files gets no report; later ones carry all counts.
  EXPECT_EQ(TestSupport::Listing(work_), (std::vector<Text>{u"a.txt", u"b.txt", u"missing.txt"}));
  EXPECT_EQ(Report(u"a.txt"), "2018 1\r\n2019 1\r\n");
  EXPECT_EQ(Report(u"b.txt"), "2018 1\r\n2019 2\r\n");
  EXPECT_EQ(Report(u"missing.txt"), "2018 1\r\n2019 2\r\n");
}

TEST_F(EndToEnd, FolderFromAnEnvironmentReference) {
  const Text folder = Folder(u"from-env", {UtcStamp(2020, 2, 29, 12, 0, 0)});
  EXPECT_EQ(Run({S(u"date=m"), u"%DM_FOLDER%"}, {{u"DM_FOLDER", folder}}).status, 0u);
  EXPECT_EQ(Report(u"from-env.txt"), "2020-02-29 1\r\n");
}

TEST_F(EndToEnd, HiddenEnvironmentEntriesAreNotVariables) {
  // Entries such as "=C:=C:\dir" have an empty name; the ones after them
  // are still read.
  const Text exposed = Folder(u"exposed", {UtcStamp(2020, 3, 1, 12, 0, 0)});
  const Text after = Folder(u"after", {UtcStamp(2020, 3, 1, 12, 0, 0)});
  // "%=DM_HIDDEN%" stays as written: a folder that does not exist.
  EXPECT_EQ(
      Run({S(u"date=m"), u"%=DM_HIDDEN%", u"%DM_AFTER%"}, {{u"=DM_HIDDEN", exposed}, {u"DM_AFTER", after}})
          .status,
      1u);
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"after.txt"});
}

TEST_F(EndToEnd, OnlySwitchesScanNothing) {
  EXPECT_EQ(Run({S(u"fmt=yyyy")}).status, 0u);
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
}

TEST_F(EndToEnd, CommandLineFaultsEndWithTheirStatus) {
  const Text folder = Folder(u"never", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  TestSupport::RunResult none = Run({});
  EXPECT_EQ(none.status, kNoArguments);
#ifdef _WIN32
  TestSupport::RunResult quotes = Run({folder, u"a\"b"});
  EXPECT_EQ(quotes.status, kMalformedQuotes);
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
  EXPECT_FALSE(TestSupport::Exists(LogFile()));
#else
  EXPECT_EQ(none.errors,
            "Usage: datemill [SWITCH]... FOLDER...\nTry 'datemill --help' for more information.\n");
#endif
}

#ifndef _WIN32
// The shell has dealt with quotes already: each argument is one parameter,
// taken as it is, whatever it holds.
TEST_F(EndToEnd, ShellArgumentsAreTakenAsTheyAre) {
  const std::vector<Text> names{u"x\"y z\"w", u"\"xy zw\"", u"a \"b\" \\\"c\\\" Q", u"5% off", u"a\"b"};
  std::vector<Text> args{S(u"date=m"), S(u"fmt=yyyy")};
  for (const Text& name : names) args.push_back(Folder(name, {UtcStamp(2018, 1, 1, 0, 0, 0)}));
  args[4] = dir_ / u"a \"b\" \\\"c\\\" %DM_Q%";
  const TestSupport::RunResult result = Run(args, {{u"DM_Q", u"Q"}});
  EXPECT_EQ(result.status, 0u) << result.errors;
  EXPECT_EQ(result.errors, "");
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(Report(names[i] + u".txt"), "2018 " + std::to_string(i + 1) + "\r\n") << Show(names[i]);
  }
}

TEST_F(EndToEnd, AQuoteInTheProgramsPathOrAnArgumentHoldingItsName) {
  Folder(u"work/x datemill y", {UtcStamp(2019, 5, 1, 0, 0, 0)});
  const Text quoted = dir_ / u"bin\"q";
  TestSupport::MakeDirs(quoted);
  std::filesystem::copy_file(Utf8FromText(program_), Utf8FromText(Join(quoted, u"datemill")));
  const TestSupport::RunResult fromQuoted =
      TestSupport::Run(Join(quoted, u"datemill"), {S(u"date=m"), u"x datemill y"}, work_);
  EXPECT_EQ(fromQuoted.status, 0u) << fromQuoted.errors;
  EXPECT_EQ(Report(u"x datemill y.txt"), "2019-05-01 1\r\n");

  // Started through a link of another name, the program's name inside an
  // argument cuts nothing.
  const Text link = dir_ / u"bin/dm";
  ASSERT_EQ(::symlink(Utf8FromText(program_).c_str(), Utf8FromText(link).c_str()), 0);
  const TestSupport::RunResult fromLink =
      TestSupport::Run(link, {S(u"fmt=yyyy"), S(u"date=m"), u"x datemill y"}, work_);
  EXPECT_EQ(fromLink.status, 0u) << fromLink.errors;
  EXPECT_EQ(Report(u"x datemill y.txt"), "2019 1\r\n");
}

// A report keeps the bytes of its folder's name; the log stays UTF-8.
TEST_F(EndToEnd, NamesThatAreNotUtf8KeepTheirBytesButNotInTheLog) {
  const Text good = Folder(TextFromUtf8("f\xE9te"), {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text bad = Folder(TextFromUtf8("b\xE9"
                                       "d"),
                          {UtcStamp(2019, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(work_, TextFromUtf8("b\xE9"
                                                 "d.txt")));  // where that report would go
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), good, bad}).status, 1u);
  EXPECT_EQ(Report(TextFromUtf8("f\xE9te.txt")), "2018 1\r\n");
  const std::string log = Log();
  EXPECT_NE(log.find("'b\xEF\xBF\xBD"
                     "d.txt'"),
            std::string::npos)
      << log;
}
#endif

TEST_F(EndToEnd, AReportThatCannotBeWrittenIsLoggedAndFailsTheRun) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(work_, u"a.txt"));  // a folder where the report would go
  TestSupport::WriteBytes(Join(work_, u"b.txt"), "an older report that is much longer than the new one\r\n");
  const TestSupport::RunResult result = Run({S(u"date=m"), S(u"fmt=yyyy"), a, b});
  EXPECT_EQ(result.status, 1u);
  // The next folder is still done, and its report replaces the older one.
  EXPECT_EQ(Report(u"b.txt"), "2018 1\r\n2019 1\r\n");
  const std::string log = Log();
  const std::string told = "The report file 'a.txt' could not be written";
  EXPECT_TRUE(Logged(Platform::kWindowsConventions ? told : told + " (Is a directory)")) << log;
#ifndef _WIN32
  // The log line, on standard error too, with the system's reason.
  EXPECT_EQ(result.errors,
            "datemill: " + told + " (Is a directory); an earlier file of that name is left as it was.\n");
#endif
  EXPECT_TRUE(log.ends_with("\r\n"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}

TEST_F(EndToEnd, AReadOnlyReportIsNotReplaced) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  TestSupport::WriteBytes(Join(work_, u"a.txt"), "protected\r\n");
  const auto writeBits = std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                         std::filesystem::perms::others_write;
  std::filesystem::permissions(std::filesystem::path(Join(work_, u"a.txt")), writeBits,
                               std::filesystem::perm_options::remove);
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), a, b}).status, 1u);
  EXPECT_EQ(Report(u"a.txt"), "protected\r\n");
  EXPECT_EQ(Report(u"b.txt"), "2018 1\r\n2019 1\r\n");
  EXPECT_EQ(TestSupport::Listing(work_), (std::vector<Text>{u"a.txt", u"b.txt"}));
  EXPECT_TRUE(Logged("The report file 'a.txt' could not be written")) << Log();
}

#ifdef _WIN32
TEST_F(EndToEnd, ADriveRootNamesItsReportByItsLetter) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), a, u"C:\\"}).status, 0u);
  EXPECT_EQ(TestSupport::Listing(work_), (std::vector<Text>{u"C.txt", u"a.txt"}));
  TestSupport::RemoveAll(Join(work_, u"C.txt"));
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), a, u"\\\\?\\C:\\"}).status, 0u);
  EXPECT_EQ(TestSupport::Listing(work_), (std::vector<Text>{u"C.txt", u"a.txt"}));
}
#endif

#ifndef _WIN32
TEST_F(EndToEnd, RunningOutOfMemoryEndsTheRunBeforeThatFoldersReport) {
  if (kAddressSanitizer) GTEST_SKIP() << "no address-space limit works under AddressSanitizer";
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  // Every file of `big` its own second, and a mask with a long literal tail:
  // 10,000 date texts of some 2,000 characters need more than the limit
  // below; the program itself needs a quarter of it.
  const Text big = dir_ / u"big";
  TestSupport::MakeDirs(big);
  const Platform::FileTime start = UtcStamp(2018, 1, 1, 0, 0, 0);
  constexpr Platform::FileTime kSecond = 10000000;
  for (int i = 0; i < 10000; ++i)
    TestSupport::MakeFile(Join(big, u"f" + DecimalText(i)), "", start + i * kSecond);
  const Text c = Folder(u"c", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  const Text tail(2000, u'x');

  EXPECT_EQ(
      RunLimited(RLIMIT_AS, rlim_t{32} << 20, {S(u"date=m"), S(u"fmt=yyyymmddhhiiss" + tail), a, big, c}),
      1u);
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"a.txt"});
  EXPECT_EQ(Report(u"a.txt"), "20180101000000" + Utf8FromText(tail) + " 1\r\n");
  EXPECT_TRUE(Logged("Memory ran out while counting the folder '" + Utf8FromText(big) + "'")) << Log();
  const std::string log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}

// A run held up for more than a second shows the progress line on a
// terminal, and clears it before it ends; never with --quiet, never when
// standard error is no terminal. The hold-up: the first report is a pipe
// with a second name, which the program writes in place and which blocks
// until the test reads it a second and more into the run.
TEST_F(EndToEnd, ProgressLineOnATerminalOnly) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  const std::string pipe = Utf8FromText(Join(work_, u"a.txt"));
  const auto holdUp = [&pipe] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    const int fd = ::open(pipe.c_str(), O_RDONLY);
    char buffer[256];
    while (fd >= 0 && ::read(fd, buffer, sizeof buffer) > 0) {
    }
    if (fd >= 0) ::close(fd);
  };
  const std::string drawn = "\rdatemill: 2 folders, 2 files ";
  const std::string cleared = "\x1b[K\r\x1b[K";
  for (const auto& [terminal, quiet] : {std::pair{true, false}, {true, true}, {false, false}}) {
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(::link(pipe.c_str(), (pipe + "-2").c_str()), 0);
    std::thread reader(holdUp);
    std::vector<Text> args{S(u"fmt=yyyy"), S(u"date=m"), a, b};
    if (quiet) args.insert(args.begin(), S(u"quiet"));
    std::string seen;
    if (terminal) {
      Exec exec(*this, args);
      winsize size{};
      size.ws_col = 200;
      size.ws_row = 24;
      int master = -1;
      const pid_t child = ::forkpty(&master, nullptr, nullptr, &size);
      if (child == 0) exec();
      ASSERT_GT(child, 0);
      char buffer[4096];
      for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) seen.append(buffer, n);
      ::close(master);
      ::waitpid(child, nullptr, 0);
    } else {
      seen = Run(args).errors;
    }
    reader.join();
    const size_t at = seen.find(drawn);
    EXPECT_EQ(at != std::string::npos, terminal && !quiet) << seen;
    if (at != std::string::npos) {
      EXPECT_TRUE(seen.ends_with(cleared)) << seen;
      EXPECT_NE(seen.find(Utf8FromText(b) + "/" + cleared, at), std::string::npos) << seen;
    }
    EXPECT_EQ(Report(u"b.txt"), "2018 1\r\n2019 1\r\n");
    ::unlink(pipe.c_str());
    ::unlink((pipe + "-2").c_str());
  }
}

TEST_F(EndToEnd, AFileSizeLimitFailsTheReportsThatPassIt) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  std::vector<Platform::FileTime> days;  // 200 lines of 13 bytes
  for (int d = 0; d < 200; ++d) days.push_back(UtcStamp(2019, 1 + d / 28, 1 + d % 28, 12, 0, 0));
  const Text big = Folder(u"big", days);
  const Text c = Folder(u"c", {UtcStamp(2020, 1, 1, 0, 0, 0)});
  // A second name makes big.txt be written in place, where a failure cuts it.
  TestSupport::WriteBytes(Join(work_, u"big.txt"), "old\r\n");
  ASSERT_EQ(
      ::link(Utf8FromText(Join(work_, u"big.txt")).c_str(), Utf8FromText(Join(work_, u"twin.txt")).c_str()),
      0);

  EXPECT_EQ(RunLimited(RLIMIT_FSIZE, 1024, {S(u"date=m"), a, big, c}), 1u);
  EXPECT_EQ(TestSupport::Listing(work_), (std::vector<Text>{u"a.txt", u"big.txt", u"twin.txt"}));
  EXPECT_EQ(Report(u"a.txt"), "2018-01-01 1\r\n");
  // The folder after the one that failed is still done (and fails too).
  EXPECT_TRUE(
      Logged("The report file 'big.txt' could not be written (File too large); the earlier file of "
             "that name, written in place, is now incomplete."))
      << Log();
  EXPECT_TRUE(Logged("The report file 'c.txt' could not be written (File too large).")) << Log();
  const std::string log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
}

// Memory running out anywhere in a folder's step (scan, count, sort, report,
// chart) ends the run with status 1 and a log line, leaves no temporary
// file, and keeps the old report or writes the whole new one. Every limit
// from some way below the least one the run needs up to it is tried.
TEST_F(EndToEnd, RunningOutOfMemoryInAnyStepLeavesNoTemporaryFile) {
  if (kAddressSanitizer) GTEST_SKIP() << "no address-space limit works under AddressSanitizer";
  // 6,000 files 1,801 seconds apart: as many texts per second, where the sort
  // needs the most memory after counting; some 3,000 per hour, where the
  // chart does.
  const Text big = dir_ / u"big";
  TestSupport::MakeDirs(big);
  const Platform::FileTime start = UtcStamp(2018, 1, 1, 0, 0, 0);
  constexpr Platform::FileTime kSecond = 10000000;
  for (int i = 0; i < 6000; ++i)
    TestSupport::MakeFile(Join(big, u"f" + DecimalText(i)), "", start + i * 1801 * kSecond);
  const std::string old = "old\r\n";
  for (const char16_t* mask : {u"yyyymmddhhiiss", u"yyyymmddhh"}) {
    const auto runAt = [&](rlim_t limit) {
      TestSupport::WriteBytes(Join(work_, u"big.txt"), old);
      TestSupport::RemoveAll(Join(work_, u"big.svg"));
      return RunLimited(RLIMIT_AS, limit, {S(u"date=m"), S(u"chart"), S(u"fmt=") + mask, big});
    };
    rlim_t fails = rlim_t{4} << 20, works = rlim_t{128} << 20;
    ASSERT_EQ(runAt(works), 0u);
    const std::string report = Report(u"big.txt");
    while (works - fails > (rlim_t{32} << 10)) {
      const rlim_t mid = (fails + works) / 2;
      (runAt(mid) == 0 ? works : fails) = mid;
    }
    for (rlim_t limit = works - (rlim_t{1} << 20); limit < works; limit += rlim_t{32} << 10) {
      const uint32_t status = runAt(limit);
      ASSERT_TRUE(status == 0 || status == 1) << Show(mask) << " at " << limit << ": " << status;
      const std::vector<Text> listing = TestSupport::Listing(work_);
      for (const Text& name : listing) EXPECT_TRUE(name == u"big.txt" || name == u"big.svg") << Show(name);
      EXPECT_TRUE(Report(u"big.txt") == old || Report(u"big.txt") == report) << limit;
      EXPECT_TRUE(status == 0 || Logged("Memory ran out while counting the folder")) << Log();
    }
  }
}

TEST_F(EndToEnd, RunningOutOfMemoryOnTheCommandLineEndsTheRun) {
  if (kAddressSanitizer) GTEST_SKIP() << "no address-space limit works under AddressSanitizer";
  // 2,000 references to a variable of 30,000 characters: 120 MB expanded.
  ASSERT_EQ(::setenv("DM_BIG", std::string(30000, 'x').c_str(), 1), 0);
  std::vector<Text> args{S(u"date=m")};
  args.insert(args.end(), 2000, u"%DM_BIG%");
  const uint32_t status = RunLimited(RLIMIT_AS, rlim_t{32} << 20, args);
  ::unsetenv("DM_BIG");
  EXPECT_EQ(status, 1u);
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
  EXPECT_TRUE(Logged("Memory ran out while reading the command line")) << Log();
}

// With no free file entries left, no temporary file can be made: the report
// fails and the old one stays whole (written in place it would be cut where
// it must grow on a full file system).
TEST_F(EndToEnd, NoFreeFileEntriesFailTheReportAndKeepTheOldOne) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    GTEST_SKIP() << "no mount namespace of this test's own: " << std::strerror(errno);
  }
  const std::string work = Utf8FromText(work_);
  if (::mount("datemill", work.c_str(), "tmpfs", 0, "size=1m,nr_inodes=16") != 0) {
    GTEST_SKIP() << "no tmpfs: " << std::strerror(errno);
  }
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const std::string old = "an older report, longer than the new one\r\n";
  TestSupport::WriteBytes(Join(work_, u"a.txt"), old);
  size_t fillers = 0;
  for (;; ++fillers) {
    const int fd = ::open((work + "/x" + std::to_string(fillers)).c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    if (fd < 0) break;
    ::close(fd);
  }
  EXPECT_EQ(errno, ENOSPC);
  const TestSupport::RunResult result = Run({S(u"date=m"), a});
  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(Report(u"a.txt"), old);
  EXPECT_EQ(TestSupport::Listing(work_).size(), fillers + 1);
  const std::string told =
      "The report file 'a.txt' could not be written (No space left on device); an earlier file of that name "
      "is left as it was.";
  EXPECT_TRUE(Logged(told)) << Log();
  EXPECT_EQ(result.errors, "datemill: " + told + "\n");
  ::umount2(work.c_str(), MNT_DETACH);
}
#endif

TEST_F(EndToEnd, LiteralTextGoesOutInTheNarrowCodePage) {
  const Text folder = Folder(u"lit", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  EXPECT_EQ(Run({S(u"fmt=\u00C4 yyyy"), S(u"date=m"), folder}).status, 0u);
#ifdef _WIN32
  EXPECT_EQ(Report(u"lit.txt"), "\xE4 2018 1\r\n");  // code page 1252, lower-cased
#else
  EXPECT_EQ(Report(u"lit.txt"), "\xC3\xA4 2018 1\r\n");  // the UTF-8 locale of the test run
#endif
}

// ---- The switches depth, ext, exclude, out, each and chart ----

TEST_F(EndToEnd, DepthCountsSubfoldersDownToItsLevel) {
  // root: 2018; root/a: 2017; root/a/b: 2016; root/c: 2015.
  const Text root = Folder(u"root", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text a = Join(root, u"a");
  TestSupport::MakeDirs(Join(a, u"b"));
  TestSupport::MakeDirs(Join(root, u"c"));
  TestSupport::MakeFile(Join(a, u"f"), "x", UtcStamp(2017, 1, 1, 0, 0, 0));
  TestSupport::MakeFile(Join(Join(a, u"b"), u"f"), "x", UtcStamp(2016, 1, 1, 0, 0, 0));
  TestSupport::MakeFile(Join(Join(root, u"c"), u"f"), "x", UtcStamp(2015, 1, 1, 0, 0, 0));
  const std::vector<std::pair<Text, std::string>> cases = {
      {u"0", "2018 1\r\n"},
      {u"1", "2015 1\r\n2017 1\r\n2018 1\r\n"},
      {u"2", "2015 1\r\n2016 1\r\n2017 1\r\n2018 1\r\n"},
      {u"all", "2015 1\r\n2016 1\r\n2017 1\r\n2018 1\r\n"}};
  for (const auto& [depth, report] : cases) {
    EXPECT_EQ(Run({S(u"DEPTH=" + depth), S(u"depth=0"), S(u"date=m"), S(u"fmt=yyyy"), root}).status, 0u);
    EXPECT_EQ(Report(u"root.txt"), report) << TestSupport::Show(depth);
  }
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"root.txt"});  // one report per named folder
}

TEST_F(EndToEnd, LinksToFoldersAreEnteredOnlyWithFollow) {
  // root: 2018, root/a: 2017, root/a/up -> .., root/out -> ../outside: 2016.
  const Text root = Folder(u"root", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  Folder(u"outside", {UtcStamp(2016, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(root, u"a"));
  TestSupport::MakeFile(Join(Join(root, u"a"), u"f"), "x", UtcStamp(2017, 1, 1, 0, 0, 0));
  TestSupport::MakeFolderLink(u"..", Join(Join(root, u"a"), u"up"));
  TestSupport::MakeFolderLink(u"../outside", Join(root, u"out"));
  const std::vector<std::pair<std::vector<Text>, std::string>> cases = {
      {{S(u"depth=all")}, "2017 1\r\n2018 1\r\n"},
      {{S(u"depth=all"), S(u"FOLLOW")}, "2016 1\r\n2017 1\r\n2018 1\r\n"},
      {{S(u"follow")}, "2018 1\r\n"}};
  for (const auto& [switches, report] : cases) {
    std::vector<Text> args = switches;
    args.insert(args.end(), {S(u"date=m"), S(u"fmt=yyyy"), root});
    EXPECT_EQ(Run(args).status, 0u);
    EXPECT_EQ(Report(u"root.txt"), report) << Show(switches.back());
  }
}

// POSIX: a folder of mode 000 and the program run as an ordinary user;
// Windows: a folder whose name no Windows path can reach.
TEST_F(EndToEnd, AnUnreadableSubfolderIsNamedAndFailsTheRun) {
  const Text root = Folder(u"root", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text later = Folder(u"later", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(root, u"ok"));
  TestSupport::MakeFile(Join(Join(root, u"ok"), u"f"), "x", UtcStamp(2016, 1, 1, 0, 0, 0));
  const Text locked = TestSupport::MakeUnlistableFolder(root);
  const TestSupport::RunResult result =
      RunUnprivileged({S(u"depth=all"), S(u"each"), S(u"date=m"), S(u"fmt=yyyy"), root, later});
  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(Report(u"root.txt"), "2016 1\r\n2018 1\r\n");
  EXPECT_EQ(Report(u"later.txt"), "2019 1\r\n");  // the run went on
  const std::string log = Log();
  // The system's reason: a folder Windows names cannot reach, there.
  EXPECT_NE(log.find(Platform::kWindowsConventions ? "q?x: " : ": Permission denied"), std::string::npos)
      << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
#ifndef _WIN32
  EXPECT_EQ(result.errors, "datemill: " + Utf8FromText(locked) + ": Permission denied\n");
  std::filesystem::permissions(Utf8FromText(locked), std::filesystem::perms::owner_all);
#endif
}

TEST_F(EndToEnd, ASeparateReportOfANameGivenBeforeIsACopy) {
  // Which names a later report gets is ReportNames' table.
  for (const Text parent : {u"x", u"y"}) TestSupport::MakeDirs(dir_ / parent);
  const Text first = Folder(Join(u"x", u"photos"), {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text second = Folder(Join(u"y", u"photos"), {UtcStamp(2019, 1, 1, 0, 0, 0)});
  const TestSupport::RunResult result =
      Run({S(u"each"), S(u"chart"), S(u"date=m"), S(u"fmt=yyyy"), first, second});
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "2018 1\r\n");
  EXPECT_EQ(Report(u"photos (2).txt"), "2019 1\r\n");
  EXPECT_EQ(TestSupport::Listing(work_).size(), 4u);  // two reports, two charts
  EXPECT_TRUE(TestSupport::Exists(Join(work_, u"photos (2).svg")));
  EXPECT_TRUE(Logged("The report of the folder '" + Utf8FromText(second) + "' is 'photos (2).txt'")) << Log();
#ifndef _WIN32
  EXPECT_EQ(result.errors, "datemill: The report of the folder '" + Utf8FromText(second) +
                               "' is 'photos (2).txt', as an earlier folder of the run has 'photos.txt'.\n");
#endif
  // Counts that accumulate go into one report of that name, as before.
  for (const Text& name : TestSupport::Listing(work_))
    std::filesystem::remove(Utf8FromText(Join(work_, name)));
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), first, second}).status, 0u);
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"photos.txt"});
  EXPECT_EQ(Report(u"photos.txt"), "2018 1\r\n2019 1\r\n");
}

TEST_F(EndToEnd, ExtAndExcludeChooseFilesByExtension) {
  // One file per year, so the report tells which files were counted;
  // folders are never filtered.
  const Text folder = dir_ / u"mixed";
  const std::vector<Text> names = {u"a.jpg", u"b.JPG", u"c.png", u"d.tmp", u"e", u"f.jpg.bak", u"g.tar.gz"};
  for (size_t i = 0; i < names.size(); ++i) {
    TestSupport::MakeDirs(folder);
    TestSupport::MakeFile(Join(folder, names[i]), "x", UtcStamp(2010 + static_cast<int>(i), 1, 1, 0, 0, 0));
  }
  TestSupport::MakeDirs(Join(folder, u"sub.tmp"));
  TestSupport::MakeFile(Join(Join(folder, u"sub.tmp"), u"g.png"), "x", UtcStamp(2020, 1, 1, 0, 0, 0));
  const std::vector<std::pair<std::vector<Text>, std::string>> cases = {
      {{S(u"ext=jpg;png")}, "2010 1\r\n2011 1\r\n2012 1\r\n2020 1\r\n"},
      {{S(u"ext=*.JPG|bak")}, "2010 1\r\n2011 1\r\n2015 1\r\n"},
      {{S(u"exclude=tmp;bak")}, "2010 1\r\n2011 1\r\n2012 1\r\n2014 1\r\n2016 1\r\n2020 1\r\n"},
      {{S(u"ext=jpg;tmp"), S(u"exclude=tmp")}, "2010 1\r\n2011 1\r\n"}};
  for (const auto& [filters, report] : cases) {
    std::vector<Text> args = filters;
    args.insert(args.end(), {S(u"depth=all"), S(u"each"), S(u"date=m"), S(u"fmt=yyyy"), folder});
    EXPECT_EQ(Run(args).status, 0u);
    EXPECT_EQ(Report(u"mixed.txt"), report) << TestSupport::Show(filters[0]);
  }
}

TEST_F(EndToEnd, OutPutsReportsAndChartsIntoItsFolder) {
  const Text folder = Folder(u"trip", {UtcStamp(2019, 5, 1, 8, 0, 0)});
  const Text out = dir_ / u"out folder";
  TestSupport::MakeDirs(out);
  EXPECT_EQ(Run({S(u"out=" + out + Platform::kSeparator), S(u"chart"), S(u"date=m"), folder}).status, 0u);
  EXPECT_EQ(ReadBytes(Join(out, u"trip.txt")), "2019-05-01 1\r\n");
  EXPECT_EQ(TestSupport::Listing(out), (std::vector<Text>{u"trip.svg", u"trip.txt"}));
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
}

#ifndef _WIN32
// With --out=- the reports go to standard output with LF (several behind a
// header each), and no file is written; --verbose tells each report, each
// folder without one, and the totals on standard error.
TEST_F(EndToEnd, ReportsToStandardOutputAndAVerboseRun) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0), UtcStamp(2019, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 6, 1, 0, 0, 0)});
  const Text empty = Folder(u"empty", {});
  TestSupport::RunResult result = Run({u"--date=m", u"--fmt=yyyy", u"--out=-", a});
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(result.output, "2018 1\n2019 1\n");
  result = Run({u"--date", u"m", u"--fmt", u"yyyy", u"--each", u"--out", u"-", a, b});
  EXPECT_EQ(result.output, "==> a.txt <==\n2018 1\n2019 1\n\n==> b.txt <==\n2019 1\n");
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
  EXPECT_EQ(Run({u"--chart", u"--out=-", a}).status, kBadSwitch);

  result = Run({u"-v", u"--each", u"--date=m", u"--fmt=yyyy", a, empty, u"--ext=jpg", b});
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(result.errors, "datemill: " + Utf8FromText(a) +
                               ": no report: every file left out by the "
                               "extension lists (2 files)\n" +
                               "datemill: " + Utf8FromText(empty) + ": no report: no files directly in it\n" +
                               "datemill: " + Utf8FromText(b) +
                               ": no report: every file left out by the "
                               "extension lists (1 file)\n" +
                               "datemill: 3 folders, 0 files counted, 0 reports written\n");
  result = Run({u"-v", u"--date=m", a, b});
  EXPECT_EQ(result.errors,
            "datemill: wrote a.txt (2 files, 2 dates)\ndatemill: wrote b.txt (1 file, 3 dates)\n"
            "datemill: 2 folders, 3 files counted, 2 reports written\n");
}
#endif

// Pictures and a video count by the date they were taken, from their own
// metadata; a file that records none (here a text) by its last write, and
// the run says how many those were.
TEST_F(EndToEnd, PhotosCountByTheDateTheyWereTaken) {
  const Text photos = Folder(u"photos", {});
  const Text program = TestSupport::ProgramPath();
  const Text corpus =
      Join(program.substr(0, program.find_last_of(Platform::kNameSeparators)), u"taken-corpus");
  for (const Text name : {u"jpeg-original.jpg", u"heic-exif.heic", u"png-exif.png", u"mp4-created.mp4"}) {
    TestSupport::MakeFile(Join(photos, name), ReadBytes(Join(corpus, name)), UtcStamp(2015, 1, 1, 0, 0, 0));
  }
  TestSupport::MakeFile(Join(photos, u"note.txt"), "x", UtcStamp(2016, 2, 3, 0, 0, 0));
#ifndef _WIN32
  // Last accessed before its last write: reading it would move that.
  const std::string jpeg = Utf8FromText(Join(photos, u"jpeg-original.jpg"));
  constexpr time_t kAccessed = 978307200;  // 2001-01-01
  const timespec times[2] = {{kAccessed, 0}, {0, UTIME_OMIT}};
  ASSERT_EQ(::utimensat(AT_FDCWD, jpeg.c_str(), times, 0), 0);
#endif
  const std::vector<Text> args = {S(u"date=t"), photos};
  const TestSupport::RunResult result =
      Platform::kWindowsConventions ? Run(args) : Run({S(u"date=t"), u"-v", photos});
  EXPECT_EQ(result.status, 0u);
  // The JPEG's Exif time as it stands, the movie's UTC time made local
  // (the tests run in UTC), the HEIC's and the PNG's Exif items.
  EXPECT_EQ(Report(u"photos.txt"), "2016-02-03 1\r\n2018-09-26 2\r\n2019-12-31 1\r\n2021-06-07 1\r\n");
  const std::string told = "1 file recorded no taken date (counted by their last write)";
  EXPECT_NE((Platform::kWindowsConventions ? Log() : result.errors).find(told), std::string::npos)
      << Log() << result.errors;
#ifndef _WIN32
  struct stat after {};
  ASSERT_EQ(::stat(jpeg.c_str(), &after), 0);
  EXPECT_EQ(after.st_atime, kAccessed);
#endif
}

TEST_F(EndToEnd, EachReportHoldsItsOwnFolderOnly) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text empty = Folder(u"empty", {});
  const Text b = Folder(u"b", {UtcStamp(2019, 1, 1, 0, 0, 0), UtcStamp(2019, 2, 1, 0, 0, 0)});
  EXPECT_EQ(Run({S(u"Each"), S(u"date=m"), S(u"fmt=yyyy"), a, empty, b}).status, 0u);
  EXPECT_EQ(Report(u"a.txt"), "2018 1\r\n");
  EXPECT_EQ(Report(u"b.txt"), "2019 2\r\n");
  EXPECT_EQ(TestSupport::Listing(work_),
            (std::vector<Text>{u"a.txt", u"b.txt"}));  // nothing to report for empty
}

TEST_F(EndToEnd, ChartShowsTheCountsOfItsReport) {
  const Text a = Folder(u"a", {UtcStamp(2018, 9, 25, 9, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2018, 9, 26, 9, 0, 0), UtcStamp(2018, 9, 26, 10, 0, 0)});
  EXPECT_EQ(Run({S(u"chart"), S(u"date=m"), S(u"fmt=YYYY-MM-DD"), a, b}).status, 0u);
  const std::vector<DateCount> counts = {{u"2018-09-25", 1}, {u"2018-09-26", 2}};
  EXPECT_EQ(Report(u"b.svg"),
            ChartSvg(counts, ChartFacts{b, DateKind::kModified, u"yyyy-mm-dd", 1, u"%yyyy-%mm-%dd"}));
  EXPECT_EQ(Report(u"a.svg"),
            ChartSvg(std::vector<DateCount>{counts[0]},
                     ChartFacts{a, DateKind::kModified, u"yyyy-mm-dd", 0, u"%yyyy-%mm-%dd"}));
  EXPECT_EQ(Run({S(u"chart"), S(u"each"), S(u"date=m"), a, b}).status, 0u);
  EXPECT_EQ(Report(u"b.svg"),
            ChartSvg(std::vector<DateCount>{counts[1]},
                     ChartFacts{b, DateKind::kModified, u"yyyy-mm-dd", 0, u"%yyyy-%mm-%dd"}));
}

TEST_F(EndToEnd, AChartThatCannotBeWrittenFailsTheRun) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(work_, u"a.svg"));  // a folder where the chart would go
  EXPECT_EQ(Run({S(u"chart"), a}).status, 1u);
  EXPECT_NE(Report(u"a.txt"), "<missing>");
  EXPECT_TRUE(Logged("The chart file 'a.svg' could not be written")) << Log();
}

TEST_F(EndToEnd, BadDepthOrOutFolderEndTheRunBeforeCounting) {
  const Text folder = Folder(u"never", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const std::vector<std::pair<std::vector<Text>, uint32_t>> cases = {
      {{S(u"depth=-1"), folder}, kBadDepth},
      {{S(u"depth="), folder}, kBadDepth},
      {{S(u"depth=two"), S(u"out=") + dir_.path(), folder}, kBadDepth},
      {{S(u"out=") + (dir_ / u"missing"), folder}, kNoOutFolder},
      {{folder, S(u"out=") + Join(folder, u"f0")}, kNoOutFolder}};  // a file is no folder
  for (const auto& [args, status] : cases) {
    const TestSupport::RunResult result = Run(args);
    EXPECT_EQ(result.status, status) << TestSupport::Show(args[0]);
#ifndef _WIN32
    const bool file = args[0] == folder;
    const std::string expected = status == kBadDepth
                                     ? "The value of --depth must be a whole number from 0 up or 'all': '"
                                 : file ? "--out names a file, not a folder: '"
                                        : "The folder of --out does not exist: '";
    EXPECT_TRUE(result.errors.starts_with("datemill: " + expected)) << result.errors;
    EXPECT_TRUE(result.errors.ends_with("'\nTry 'datemill --help' for more information.\n")) << result.errors;
#endif
  }
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
  EXPECT_FALSE(TestSupport::Exists(LogFile()));
}

// The words that ask for the usage or the version count nothing, whatever
// else the command line holds, and write no file.
TEST_F(EndToEnd, HelpAndVersionWordsAnswerWithoutCounting) {
  const Text folder = Folder(u"photos", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  const std::string usage = Utf8FromText(UsageText(u"datemill", false));
  const std::string version =
      "datemill " DATEMILL_VERSION "\nMIT License: free to use, change and share, with no warranty.\n";
  struct Case {
    bool windows;
    std::vector<Text> args;
    std::string output;  // standard output (a box on Windows)
  };
  const Case cases[] = {
      {true, {u"/?"}, ""},
      {true, {folder, u"/?", u"/date=m"}, ""},
      {false, {u"--help"}, usage},
      {false, {folder, u"-h"}, usage},
      {false, {u"--version", folder, u"--help"}, version},
  };
  for (const Case& c : cases) {
    if (c.windows != Platform::kWindowsConventions) continue;
    const TestSupport::RunResult result = Run(c.args);
    EXPECT_EQ(result.status, 0u);
    EXPECT_EQ(result.errors, "");
    EXPECT_EQ(result.output, c.output);
    EXPECT_TRUE(TestSupport::Listing(work_).empty());
  }
  EXPECT_FALSE(TestSupport::Exists(LogFile()));
}

// A switch the program does not know, a help word with a value and a date
// value it does not know end the run before anything is counted (their
// messages: ReadRunOptionsTest).
TEST_F(EndToEnd, TyposEndTheRunBeforeCounting) {
  const Text folder = Folder(u"photos", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  for (const Text& typo : {S(u"exlcude=gz"), S(u"Version"), S(u"help=yes"), S(u"date=modfied")}) {
    const TestSupport::RunResult result = Run({typo, S(u"date=m"), folder});
    EXPECT_EQ(result.status, kBadSwitch) << Show(typo);
    EXPECT_EQ(result.output, "");
    EXPECT_TRUE(TestSupport::Listing(work_).empty()) << Show(typo);
#ifndef _WIN32
    EXPECT_TRUE(result.errors.starts_with("datemill: ")) << result.errors;
    EXPECT_TRUE(result.errors.ends_with("\nTry 'datemill --help' for more information.\n")) << result.errors;
#endif
  }
  // "-H" is a folder of that name on Windows; on POSIX an unknown short
  // switch, and a folder of that name is given as "./-H" or after "--".
  // (There it does not exist: that fails the run, which goes on.)
  EXPECT_EQ(Run({u"-H", folder}).status, Platform::kWindowsConventions ? 1u : kBadSwitch);
  EXPECT_EQ(TestSupport::Listing(work_).size(), Platform::kWindowsConventions ? 1u : 0u);
}

// A folder value is expanded once, where the command line is read: one that
// expands to "%DMB%" counts the folder of that name and names its report
// after it. Trailing separators all go. On POSIX a switch's value may be
// the next parameter, and nothing after "--" is expanded.
TEST_F(EndToEnd, FolderValuesAreExpandedOnceAndTrimmed) {
  const Text literal = Folder(u"%DMB%", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  TestSupport::MakeFile(Join(literal, u"a.jpg"), "x", UtcStamp(2019, 1, 1, 0, 0, 0));
  const std::vector<std::pair<Text, Text>> env = {{u"DMA", u"%DMB%"}, {u"DMB", u"elsewhere"}};
  const Text sep(1, Platform::kSeparator);
  EXPECT_EQ(Run({S(u"date=m"), dir_ / u"%DMA%" + sep + sep}, env).status, 0u);
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"%DMB%.txt"});
  EXPECT_EQ(Report(u"%DMB%.txt"), "2018-09-26 1\r\n2019-01-01 1\r\n");
  if (Platform::kWindowsConventions) return;
  EXPECT_EQ(Run({u"--each", u"--date", u"m", u"--ext", u"jpg", u"--", literal}, env).status, 0u);
  EXPECT_EQ(Report(u"%DMB%.txt"), "2019-01-01 1\r\n");
}

// A folder that cannot be listed is logged (and on POSIX told on standard
// error), the others are still counted, and the run ends with status 1.
TEST_F(EndToEnd, FolderProblemsAreToldAndTheRunGoesOn) {
  const Text good = Folder(u"good", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  const Text empty = Folder(u"empty", {});
  const Text missing = dir_ / u"missing";
  const Text file = dir_ / u"plain";
  TestSupport::WriteBytes(file, "x");
  std::vector<Text> args = {S(u"date=m"), missing, file, empty};
  std::string expected = "datemill: " + Utf8FromText(missing) + ": No such file or directory\n" +
                         "datemill: " + Utf8FromText(file) + ": Not a directory\n";
#ifndef _WIN32
  const Text locked = Folder(u"locked", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const std::filesystem::path lockedPath(Utf8FromText(locked));
  std::filesystem::permissions(lockedPath, std::filesystem::perms::none);
  args.push_back(locked);
  expected += "datemill: " + Utf8FromText(locked) + ": Permission denied\n";
#endif
  args.push_back(good);
  const TestSupport::RunResult result = RunUnprivileged(args);
  EXPECT_EQ(result.status, 1u);
  EXPECT_EQ(Report(u"good.txt"), "2018-09-26 1\r\n");
  EXPECT_EQ(result.errors, Platform::kWindowsConventions ? "" : expected);
  for (const Text& folder : {missing, file}) EXPECT_TRUE(Logged(Utf8FromText(folder) + ": ")) << Log();
#ifndef _WIN32
  std::filesystem::permissions(lockedPath, std::filesystem::perms::owner_all);
#endif
}

// The open switch hands each file written to the stand-in opener (on PATH as
// xdg-open on POSIX, named by DATEMILL_OPENER on Windows), which notes the
// paths; a failing opener is logged and leaves the status at 0.
TEST_F(EndToEnd, OpenHandsEachFileWrittenToTheOpener) {
  const Text folder = Folder(u"photos", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  const Text original = TestSupport::ProgramPath();
  const Text recorder = original.substr(0, original.find_last_of(Platform::kNameSeparators) + 1) +
                        (Platform::kWindowsConventions ? u"open_recorder.exe" : u"open_recorder");
  const Text path = dir_ / u"path";
  TestSupport::MakeDirs(path);
#ifndef _WIN32
  std::filesystem::copy_file(Utf8FromText(recorder), Utf8FromText(Join(path, u"xdg-open")));
#endif
  // A working opener with a chart, then a failing one (status 3) without.
  for (const bool failing : {false, true}) {
    const Text status = failing ? u"3" : u"0";
    TestSupport::RemoveAll(dir_ / u"out");
    const Text record = dir_ / (u"opened" + status);
    const Text out = dir_ / u"out";  // missing: the open switch makes it
    std::vector<Text> args{S(u"open"), S(u"date=m"), S(u"out=") + out, folder};
    if (!failing) args.insert(args.begin(), S(u"chart"));
    const TestSupport::RunResult result = Run(args, {{u"PATH", path},
                                                     {u"DATEMILL_OPENER", recorder},
                                                     {u"DATEMILL_OPEN_RECORD", record},
                                                     {u"DATEMILL_OPEN_STATUS", status}});
    EXPECT_EQ(result.status, 0u) << result.errors;
    const std::string report = Utf8FromText(Join(out, u"photos.txt"));
    EXPECT_EQ(ReadBytes(Join(out, u"photos.txt")), "2018-09-26 1\r\n");
    EXPECT_EQ(ReadBytes(record),
              report + "\n" + (failing ? "" : Utf8FromText(Join(out, u"photos.svg")) + "\n"));
    EXPECT_EQ(TestSupport::Exists(LogFile()), failing);
    EXPECT_EQ(Logged("The file '" + report + "' could not be opened: "), failing) << Log();
  }
}

#ifndef _WIN32
TEST_F(EndToEnd, OpenWithoutXdgOpenSaysWhereTheFileIs) {
  const Text folder = Folder(u"photos", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  const Text empty = dir_ / u"empty";
  TestSupport::MakeDirs(empty);
  const TestSupport::RunResult result = Run({S(u"open"), S(u"date=m"), folder}, {{u"PATH", empty}});
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "2018-09-26 1\r\n");
  // The full path, as the current folder is (links resolved).
  const std::string where = std::filesystem::canonical(Utf8FromText(work_)).string() + "/photos.txt";
  EXPECT_EQ(result.errors,
            "datemill: " + where + " is written; there is no xdg-open on PATH to open it with\n");
}
#endif

}  // namespace
