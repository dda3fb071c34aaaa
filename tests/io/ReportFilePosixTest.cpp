// Writing reports on POSIX: short writes, signals, links, folders that
// take no new files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <new>

#include "base/Calendar.h"
#include "base/Constants.h"
#include "count/Counting.h"
#include "count/Report.h"
#include "dates/DateValue.h"
#include "io/Dbg.h"
#include "io/ReportFile.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/posix/Common.h"
#include "platform/posix/Interrupts.h"
#include "scan/ScanDir.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::ReadBytes;

// Runs `body` in a child process; its exit status, or -1 when it did not
// exit.
int InChild(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WriteWith(const Text& name, const std::string& bytes) {
  return WriteFileReplacing(name, [&bytes](const ByteSink& out) { out(bytes); }).status ==
         WriteStatus::kWritten;
}

bool IsLink(const Text& path) {
  struct stat info;
  return ::lstat(Utf8FromText(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// A write that falls short fails the report; a replaced report is left as it
// was, and no temporary file remains.
TEST(PosixReport, AShortWriteIsAFailure) {
  for (const bool inPlace : {false, true}) {
    TestSupport::ScopedTempDir dir;
    TestSupport::ScopedCurrentDir here(dir.path());
    TestSupport::WriteBytes(dir / u"limited.txt", "earlier\r\n");
    if (inPlace) {
      ASSERT_EQ(::link("limited.txt", "other.txt"), 0);
    }
    const int status = InChild([] {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{1000, 1000};  // no file may grow beyond 1000 bytes
      ::setrlimit(RLIMIT_FSIZE, &limit);
      ValueCounts counts;
      counts.Use(TimeUnit::kDay, false);
      for (int i = 0; i < 1000; ++i) counts.Add(i * Calendar::kSecondsPerDay, 0);
      ReportStyle style;
      style.mask = u"%yyyy-%mm-%dd";
      return static_cast<int>(WriteReport(u"limited", counts, style).status);
    });
    // In place, the earlier report is cut; else it stays.
    const WriteStatus expected = inPlace ? WriteStatus::kLeftIncomplete : WriteStatus::kNotWritten;
    EXPECT_EQ(status, static_cast<int>(expected)) << "in place: " << inPlace;
    if (inPlace) continue;
    EXPECT_EQ(TestSupport::ReadBytes(dir / u"limited.txt"), "earlier\r\n");
    EXPECT_EQ(TestSupport::Listing(dir.path()), std::vector<Text>{u"limited.txt"});
  }
}

// A run interrupted while a report is written leaves the earlier report as
// it was and no temporary file, and ends as the signal ends it: also when
// the signal comes the moment the temporary file exists, before it could be
// named for deletion, were the signals not held across.
int signalAtMaking = 0;

TEST(PosixReport, AnInterruptedWriteLeavesNoTemporaryFile) {
  for (const bool atMaking : {false, true}) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      SCOPED_TRACE(testing::Message() << "signal " << signal << (atMaking ? " as the file is made" : ""));
      TestSupport::ScopedTempDir dir;
      TestSupport::ScopedCurrentDir here(dir.path());
      TestSupport::WriteBytes(dir / u"r.txt", "earlier\r\n");
      const pid_t child = ::fork();
      if (child == 0) {
        Platform::PrepareFileWrites();
        signalAtMaking = atMaking ? signal : 0;
        Platform::posix::SetMadeHook([] {
          if (signalAtMaking != 0) ::raise(signalAtMaking);
        });
        WriteFileReplacing(u"r.txt", [signal](const ByteSink& out) {
          out("half");
          ::raise(signal);
          out(" and the rest");
        });
        ::_exit(0);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
      EXPECT_EQ(TestSupport::Listing(dir.path()), std::vector<Text>{u"r.txt"});
      EXPECT_EQ(TestSupport::ReadBytes(dir / u"r.txt"), "earlier\r\n");
    }
  }
}

// A report written in place is only touched once all of it is made:
// memory running out while it is made leaves the earlier one whole.
TEST(PosixReport, InPlaceNothingIsWrittenBeforeAllIsMade) {
  TestSupport::ScopedTempDir dir;
  TestSupport::ScopedCurrentDir here(dir.path());
  TestSupport::WriteBytes(dir / u"r.txt", "earlier\r\n");
  ASSERT_EQ(::link("r.txt", "twin.txt"), 0);  // a second name: written in place
  EXPECT_THROW(WriteFileReplacing(u"r.txt",
                                  [](const ByteSink& out) {
                                    out(std::string(8192, 'x'));
                                    throw std::bad_alloc();
                                  }),
               std::bad_alloc);
  EXPECT_EQ(TestSupport::ReadBytes(dir / u"r.txt"), "earlier\r\n");
}

TEST(PosixReport, LinksAreFollowedAndStay) {
  TestSupport::ScopedTempDir dir;
  TestSupport::ScopedCurrentDir here(dir.path());
  TestSupport::MakeDirs(dir / u"sub");
  TestSupport::WriteBytes(dir / u"sub/real.txt", "old\r\n");
  ASSERT_EQ(::symlink("sub/real.txt", "r.txt"), 0);
  ASSERT_EQ(::symlink("r.txt", "chain.txt"), 0);
  ASSERT_TRUE(WriteWith(u"chain.txt", "new\r\n"));
  EXPECT_EQ(TestSupport::ReadBytes(dir / u"sub/real.txt"), "new\r\n");
  EXPECT_TRUE(IsLink(dir / u"r.txt"));
  EXPECT_TRUE(IsLink(dir / u"chain.txt"));
  EXPECT_EQ(TestSupport::Listing(dir / u"sub"), std::vector<Text>{u"real.txt"});

  // A relative target is taken from the link's folder, not the current one.
  TestSupport::MakeDirs(dir / u"out");
  TestSupport::MakeDirs(dir / u"real");
  TestSupport::WriteBytes(dir / u"real/r.txt", "old\r\n");
  ASSERT_EQ(::symlink("../real/r.txt", "out/r.txt"), 0);
  ASSERT_TRUE(WriteWith(u"out/r.txt", "new\r\n"));
  EXPECT_EQ(TestSupport::ReadBytes(dir / u"real/r.txt"), "new\r\n");
  EXPECT_TRUE(IsLink(dir / u"out/r.txt"));
  EXPECT_EQ(TestSupport::Listing(dir / u"real"), std::vector<Text>{u"r.txt"});

  // A link to a file not yet there makes that file.
  ASSERT_EQ(::symlink("sub/fresh.txt", "dangling.txt"), 0);
  ASSERT_TRUE(WriteWith(u"dangling.txt", "fresh\r\n"));
  EXPECT_EQ(TestSupport::ReadBytes(dir / u"sub/fresh.txt"), "fresh\r\n");
  EXPECT_TRUE(IsLink(dir / u"dangling.txt"));

  // Links that lead round in a circle name no file.
  ASSERT_EQ(::symlink("loop2.txt", "loop1.txt"), 0);
  ASSERT_EQ(::symlink("loop1.txt", "loop2.txt"), 0);
  EXPECT_FALSE(WriteWith(u"loop1.txt", "lost\r\n"));
  EXPECT_EQ(TestSupport::Listing(dir.path()),
            (std::vector<Text>{u"chain.txt", u"dangling.txt", u"loop1.txt", u"loop2.txt", u"out", u"r.txt",
                               u"real", u"sub"}));
}

// Where no temporary file can be made, a report that can be opened is
// written in place; one that is not there yet cannot be made either.
TEST(PosixReport, AFolderThatTakesNoNewFilesGetsItsReportInPlace) {
  TestSupport::ScopedTempDir dir;
  const Text folder = dir / u"closed";
  TestSupport::MakeDirs(folder);
  TestSupport::WriteBytes(folder + u"/r.txt", "an older report, longer than the new one\r\n");
  const std::string bytes = Utf8FromText(folder);
  ASSERT_EQ(::chmod(Utf8FromText(dir.path()).c_str(), 0755), 0);
  ASSERT_EQ(::chmod((bytes + "/r.txt").c_str(), 0666), 0);
  ASSERT_EQ(::chmod(bytes.c_str(), 0555), 0);
  const int status = InChild([&bytes] {
    // Permissions do not hold back root: write as an ordinary user.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 10;
    if (::chdir(bytes.c_str()) != 0) return 11;
    if (!WriteWith(u"r.txt", "new\r\n")) return 12;
    return WriteWith(u"missing.txt", "new\r\n") ? 13 : 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(TestSupport::ReadBytes(folder + u"/r.txt"), "new\r\n");
  EXPECT_EQ(TestSupport::Listing(folder), std::vector<Text>{u"r.txt"});
  ::chmod(bytes.c_str(), 0755);
}

class ReportFilePosix : public testing::Test {
 protected:
  TestSupport::ScopedTempDir dir_;
  TestSupport::ScopedCurrentDir here_{dir_.path()};
};

TEST_F(ReportFilePosix, TheNewFileKeepsPermissionsOwnerAndGroup) {
  const std::string path = Utf8FromText(dir_ / u"r.txt");
  TestSupport::WriteBytes(dir_ / u"r.txt", "old\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  // Only a privileged process may give a file away.
  const bool privileged = ::geteuid() == 0;
  if (privileged) {
    ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
  }
  struct stat before;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_TRUE(WriteWith(u"r.txt", "new\r\n"));
  struct stat after;
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not written in place
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(ReadBytes(dir_ / u"r.txt"), "new\r\n");
}

}  // namespace
