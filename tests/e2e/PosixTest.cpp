// End to end: what only the POSIX program does: shell arguments, names that
// are not UTF-8, resource limits, the progress line, standard output and the
// verbose switch, no xdg-open.
#include "e2e/EndToEnd.h"

namespace e2e {
namespace {

// Starts `exec` on a terminal of 200 columns; its side of the terminal is
// `master`. The child's process id (negative when it could not start).
template <typename Run>
pid_t StartOnATerminal(Run& exec, int& master) {
  winsize size{};
  size.ws_col = 200;
  size.ws_row = 24;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, &size);
  if (child == 0) exec();
  return child;
}

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

TEST_F(EndToEnd, RunningOutOfMemoryEndsTheRunBeforeThatFoldersReport) {
  if (kAddressSanitizer) GTEST_SKIP() << "no address-space limit works under AddressSanitizer";
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  // Every file of `big` its own second, and a mask with a long literal tail
  // whose texts do not sort as their dates (the second first), so that they
  // are gathered by text: 10,000 date texts of some 2,000 characters need
  // more than the limit below; the program itself needs a quarter of it.
  const Text big = dir_ / u"big";
  TestSupport::MakeDirs(big);
  const Platform::FileTime start = UtcStamp(2018, 1, 1, 0, 0, 0);
  constexpr Platform::FileTime kSecond = 10000000;
  for (int i = 0; i < 10000; ++i)
    TestSupport::MakeFile(Join(big, u"f" + DecimalText(i)), "", start + i * kSecond);
  const Text c = Folder(u"c", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  const Text tail(2000, u'x');

  EXPECT_EQ(
      RunLimited(RLIMIT_AS, rlim_t{32} << 20, {S(u"date=m"), S(u"fmt=ssyyyymmddhhii" + tail), a, big, c}),
      1u);
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"a.txt"});
  EXPECT_EQ(Report(u"a.txt"), "00201801010000" + Utf8FromText(tail) + " 1\r\n");
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
      int master = -1;
      const pid_t child = StartOnATerminal(exec, master);
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

// An interruption (Ctrl-C and its kin) clears the progress line on the way
// out, as the end of a run does, and ends the run as the signal ends it.
// The first report holds the run up past a second, so the line is drawn
// when the second folder is listed; the second report, a pipe no one
// reads, holds it until the signal comes.
TEST_F(EndToEnd, AnInterruptionClearsTheProgressLine) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  const std::string first = Utf8FromText(Join(work_, u"a.txt")), second = Utf8FromText(Join(work_, u"b.txt"));
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(testing::Message() << "signal " << signal);
    for (const std::string& pipe : {first, second}) {
      ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
      ASSERT_EQ(::link(pipe.c_str(), (pipe + "-2").c_str()), 0);
    }
    std::thread reader([&first] {
      std::this_thread::sleep_for(std::chrono::milliseconds(1300));
      const int fd = ::open(first.c_str(), O_RDONLY);
      char buffer[256];
      while (fd >= 0 && ::read(fd, buffer, sizeof buffer) > 0) {
      }
      if (fd >= 0) ::close(fd);
    });
    Exec exec(*this, {S(u"fmt=yyyy"), S(u"date=m"), a, b});
    int master = -1;
    const pid_t child = StartOnATerminal(exec, master);
    ASSERT_GT(child, 0);
    const std::string drawn = "\rdatemill: 2 folders, 2 files " + Utf8FromText(b) + "/\x1b[K";
    std::string seen;
    char buffer[4096];
    bool signalled = false;
    for (;;) {
      pollfd wait{master, POLLIN, 0};
      if (::poll(&wait, 1, 10000) <= 0) break;  // nothing for ten seconds: the check below fails
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      seen.append(buffer, static_cast<size_t>(n));
      if (!signalled && seen.find(drawn) != std::string::npos) signalled = ::kill(child, signal) == 0;
    }
    if (!signalled) ::kill(child, SIGKILL);
    ::close(master);
    int status = 0;
    ::waitpid(child, &status, 0);
    reader.join();
    EXPECT_TRUE(signalled) << seen;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_TRUE(seen.ends_with(drawn + "\r\x1b[K")) << seen;
    for (const std::string& pipe : {first, second}) {
      ::unlink(pipe.c_str());
      ::unlink((pipe + "-2").c_str());
    }
  }
}

// Pictures are dated by when they were taken however few descriptors the
// program may open: a wide tree under 9 and a tree 100 levels deep under
// 24. None counts by its last write, and no read is said to have failed.
TEST_F(EndToEnd, PicturesAreDatedWhateverTheDescriptorLimit) {
  const std::string picture = TestSupport::SeedFile(u"jpeg-original.jpg");
  struct Tree {
    const char16_t* name;
    bool deep;
    rlim_t limit;
  };
  for (const Tree tree : {Tree{u"wide", false, 9}, Tree{u"deep", true, 24}}) {
    Text folder = dir_ / tree.name;
    for (int i = 0; i < 100; ++i) {
      const Text at = tree.deep ? (folder = Join(folder, u"d")) : Join(folder, u"d" + DecimalText(i));
      TestSupport::MakeDirs(at);
      for (int k = 0; k < 15; ++k) {  // five pictures and ten texts
        const Text name = Join(at, DecimalText(k));
        if (k < 5) {
          TestSupport::WriteBytes(name + u".jpg", picture);
        } else {
          TestSupport::MakeFile(name + u".txt", "x", UtcStamp(2020, 1, 1, 0, 0, 0));
        }
      }
    }
    const std::vector<Text> args = {S(u"date=t"), S(u"fmt=yyyy"), S(u"depth=all"), dir_ / tree.name};
    EXPECT_EQ(RunLimited(RLIMIT_NOFILE, tree.limit, args), 0u) << Show(tree.name);
    EXPECT_EQ(Report(Text(tree.name) + u".txt"), "2018 500\r\n2020 1000\r\n") << Show(tree.name);
    EXPECT_EQ(Log().find("could not be read"), std::string::npos) << Log();
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

// -x leaves out the folders on another file system (a tmpfs mounted in the
// tree), and -v says how many, and how many --skip left out.
TEST_F(EndToEnd, OneFileSystemAndSkipAreCountedByVerbose) {
  const Text root = Folder(u"root", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  for (const Text folder : {u"m", u".git", u"keep"}) TestSupport::MakeDirs(Join(root, folder));
  const TestSupport::ScopedTmpfs mounted(Join(root, u"m"));
  if (!mounted.Refused().empty()) GTEST_SKIP() << mounted.Refused();
  for (const Text folder : {u"m", u".git", u"keep"}) TestSupport::WriteBytes(Join(Join(root, folder), u"f"));
  TestSupport::RunResult result =
      Run({u"-v", u"-x", u"--depth=all", u"--skip=.git", u"--date=m", u"--fmt=yyyy", root});
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(
      result.errors,
      "datemill: wrote root.txt (2 files, 2 dates)\n"
      "datemill: 1 folder, 2 files counted, 1 report written, 1 folder skipped, 1 folder on another file "
      "system left out\n");
  result = Run({u"-v", u"--depth=all", u"--date=m", u"--fmt=yyyy", root});
  EXPECT_EQ(
      result.errors,
      "datemill: wrote root.txt (4 files, 2 dates)\ndatemill: 1 folder, 4 files counted, 1 report written\n");
}

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
            "datemill: wrote a.txt (2 files, 2 dates)\ndatemill: wrote b.txt (3 files of 2 folders: " +
                Utf8FromText(a) + ", " + Utf8FromText(b) +
                "; 3 dates)\n"
                "datemill: 2 folders, 3 files counted, 2 reports written\n");
}

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

}  // namespace
}  // namespace e2e
