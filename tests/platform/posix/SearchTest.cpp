// The POSIX folder search: stat calls on helper threads, plain statx and
// fstatat giving the same records; files gone between listing and stat;
// searches that end early; fork; folders that can be listed but not
// searched; paths beyond PATH_MAX.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "dates/DateValue.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Search.h"
#include "platform/posix/Listing.h"
#include "platform/posix/StatPool.h"
#include "scan/ScanDir.h"
#include "support/TestSupport.h"

namespace {

using namespace ScanDir;
using Platform::posix::StatMode;
using TestSupport::Join;

// name -> size, attribute word, last-write date, creation date
using Facts = std::map<Text, std::tuple<int64_t, int64_t, int64_t, int64_t>>;

Facts FactsOfScan(const Text& folder) {
  Reset();
  Scan(Folders, folder, u"", 0, WithDates | WithAttributes, 0, 0, u"", u"", u"");
  Facts facts;
  for (const FileRecord& f : Folders.at(0).Files) {
    facts[f.Path.name()] = {f.Size, f.Attributes, f.Modified, f.Created};
  }
  return facts;
}

// The ways a search makes its stat calls.
struct Way {
  int helpers;  // 0: on the program thread
  StatMode mode;
};

class PosixSearchTest : public testing::TestWithParam<Way> {
 protected:
  void SetUp() override {
    Platform::posix::RestartStatPool(GetParam().helpers);
    Platform::posix::SetStatMode(GetParam().mode);
    ASSERT_EQ(Platform::posix::StatPoolThreads(), GetParam().helpers);
  }
  void TearDown() override {
    Platform::posix::SetListingHook(nullptr);
    Platform::posix::SetStatMode(StatMode::kStatx);
    Platform::posix::RestartStatPool(-1);
    Reset();
  }
  TestSupport::ScopedTempDir dir_;
};

TEST_P(PosixSearchTest, ManyBatchesLinksAndVanishedFilesAsExpected) {
  const Platform::FileTime written = TestSupport::UtcStamp(2018, 9, 26, 12, 0, 0);
  const int64_t date = DateOfStamp(written);
  Facts expected;
  for (int i = 0; i < 1200; ++i) {  // three batches
    const Text name = u"f" + DecimalText(i);
    TestSupport::MakeFile(dir_ / name, std::string(i % 5, 'x'), written);
    expected[name] = {i % 5, Platform::kAttrNormal, date, 0};
  }
  for (int i = 0; i < 5; ++i) TestSupport::WriteBytes(dir_ / (u"gone" + DecimalText(i)), "g");
  TestSupport::MakeDirs(dir_ / u"sub");
  ASSERT_EQ(::symlink("f1", Utf8FromText(dir_ / u"flink").c_str()), 0);
  ASSERT_EQ(::symlink("sub", Utf8FromText(dir_ / u"dlink").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", Utf8FromText(dir_ / u"dangling").c_str()), 0);
  // The "gone" files vanish after the first names are read: those already
  // listed fail their stat, the others are never listed. Either way, gone.
  bool removed = false;
  Platform::posix::SetListingHook([&] {
    for (int i = 0; i < 5 && !removed; ++i) ::unlink(Utf8FromText(dir_ / (u"gone" + DecimalText(i))).c_str());
    removed = true;
  });
  Facts facts = FactsOfScan(dir_.path());
  ASSERT_EQ(facts.size(), 1202u);
  // A link is a file of its own (its own times); the link to a folder is a folder.
  for (const Text link : {u"flink", u"dangling"}) {
    EXPECT_EQ(std::get<1>(facts[link]), Platform::kAttrReparsePoint) << TestSupport::Show(link);
    facts.erase(link);
  }
  for (auto& [name, fact] : facts) std::get<3>(fact) = 0;  // creation: see below
  EXPECT_EQ(facts, expected);
}

TEST_P(PosixSearchTest, CreationIsTheBirthTimeOrElseTheLastWrite) {
  const Platform::FileTime written = TestSupport::UtcStamp(2018, 9, 26, 12, 0, 0);
  TestSupport::MakeFile(dir_ / u"old", "o", written);
  struct statx stx {};
  const bool birthKnown = ::statx(AT_FDCWD, Utf8FromText(dir_ / u"old").c_str(), 0, STATX_BTIME, &stx) == 0 &&
                          (stx.stx_mask & STATX_BTIME) != 0 && GetParam().mode != StatMode::kFstatat;
  const Facts facts = FactsOfScan(dir_.path());
  const auto& [size, attributes, modified, created] = facts.at(u"old");
  EXPECT_EQ(modified, DateOfStamp(written));
  if (birthKnown) {
    EXPECT_NE(created, modified);  // born now, written in 2018
  } else {
    EXPECT_EQ(created, modified);
  }
}

// A search asked for the one stamp a count dates by gives that stamp as a
// search for all three does (a creation time not recorded still being
// the last write), in every way of making the stat calls.
TEST_P(PosixSearchTest, OneStampAskedForIsTheStampOfAllThree) {
  TestSupport::MakeFile(dir_ / u"f", "x", TestSupport::UtcStamp(2018, 9, 26, 12, 0, 0));
  const auto first = [&](unsigned flags) {
    Platform::DirSearch search;
    EXPECT_TRUE(search.Open(Join(dir_.path(), u"*"), flags).status == Platform::SearchStatus::kOpened);
    Platform::DirEntry entry;
    while (search.Next(entry) && entry.name != u"f") {
    }
    return entry;
  };
  const Platform::DirEntry all = first(Platform::kSearchTimes);
  ASSERT_EQ(all.name, u"f");
  EXPECT_EQ(first(Platform::kSearchTimes | Platform::kSearchOnlyCreated).created, all.created);
  EXPECT_EQ(first(Platform::kSearchTimes | Platform::kSearchOnlyWritten).lastWrite, all.lastWrite);
  EXPECT_EQ(first(Platform::kSearchTimes | Platform::kSearchOnlyAccessed).lastAccess, all.lastAccess);
  EXPECT_EQ(first(Platform::kSearchTimes | Platform::kSearchOnlyWritten).size, 1u);
}

// With kSearchFileSystems a folder, or a link to one, on another file
// system than the folder listed is told: in every way of making the stat
// calls, and in a folder opened ahead of time.
TEST_P(PosixSearchTest, FoldersOnAnotherFileSystemAreTold) {
  for (const Text folder : {u"plain", u"m", u"b/m", u"c"}) TestSupport::MakeDirs(dir_ / folder);
  const TestSupport::ScopedTmpfs mounted(dir_ / u"m"), inB(dir_ / u"b/m");
  if (!mounted.Refused().empty() || !inB.Refused().empty())
    GTEST_SKIP() << mounted.Refused() << inB.Refused();
  TestSupport::MakeDirs(dir_ / u"m/sub");
  TestSupport::MakeFolderLink(u"m", dir_ / u"lm");
  using Told = std::map<Text, bool>;
  const auto told = [](Platform::DirSearch& search) {
    Told other;
    Platform::DirEntry entry;
    while (search.Next(entry)) other[entry.name] = entry.otherFileSystem;
    return other;
  };
  constexpr unsigned kFlags = Platform::kSearchFileSystems;
  constexpr auto kOpened = Platform::SearchStatus::kOpened;
  Platform::DirSearch search;
  ASSERT_EQ(search.Open(Join(dir_.path(), u"*"), kFlags).status, kOpened);
  EXPECT_EQ(told(search), (Told{{u".", false},
                                {u"..", false},
                                {u"b", false},
                                {u"c", false},
                                {u"lm", true},
                                {u"m", true},
                                {u"plain", false}}));
  ASSERT_EQ(search.Open(Join(dir_.path(), u"*"), 0).status, kOpened);  // not asked
  EXPECT_EQ(told(search), (Told{{u".", false},
                                {u"..", false},
                                {u"b", false},
                                {u"c", false},
                                {u"lm", false},
                                {u"m", false},
                                {u"plain", false}}));
  ASSERT_EQ(search.Open(Join(dir_ / u"m", u"*"), kFlags).status, kOpened);
  EXPECT_EQ(told(search), (Told{{u".", false}, {u"..", false}, {u"sub", false}}));
  // b is opened ahead while c is asked for.
  ASSERT_EQ(search.Open(Join(dir_.path(), u"*"), kFlags).status, kOpened);
  told(search);
  Platform::HeldFolder parent;
  ASSERT_TRUE(search.Hold(parent, {u"c", u"b"}));
  Platform::DirSearch c, b;
  ASSERT_EQ(c.OpenIn(parent, u"c", kFlags).status, kOpened);
  ASSERT_EQ(b.OpenIn(parent, u"b", kFlags).status, kOpened);
  EXPECT_EQ(told(b), (Told{{u".", false}, {u"..", false}, {u"m", true}}));
}

INSTANTIATE_TEST_SUITE_P(EveryWay, PosixSearchTest,
                         testing::Values(Way{1, StatMode::kStatx}, Way{3, StatMode::kStatx},
                                         Way{0, StatMode::kStatx}, Way{0, StatMode::kFstatat}));

// The creation time is the birth time where one is recorded: not where the
// mask says there is none, nor where it is exactly 0, which file systems
// made by image tools report for "not recorded".
// The fields asked of the system: a creation time with the last write it
// falls back to; each other stamp alone.
TEST(PosixStatFacts, OnlyTheStampDatedByIsAskedFor) {
  const unsigned basic = STATX_TYPE | STATX_MODE | STATX_SIZE;
  const struct {
    bool withTimes;
    unsigned only, asked;
  } cases[] = {{false, 0, basic},
               {false, Platform::kSearchOnlyWritten, basic},
               {true, 0, basic | STATX_BTIME | STATX_MTIME | STATX_ATIME},
               {true, Platform::kSearchOnlyCreated, basic | STATX_BTIME | STATX_MTIME},
               {true, Platform::kSearchOnlyWritten, basic | STATX_MTIME},
               {true, Platform::kSearchOnlyAccessed, basic | STATX_ATIME}};
  for (const auto& c : cases) EXPECT_EQ(Platform::posix::StatMask(c.withTimes, c.only), c.asked) << c.only;
}

TEST(PosixStatFacts, CreationIsTheBirthTimeWhereOneIsRecorded) {
  const struct {
    bool masked;
    int64_t seconds;
    uint32_t nanoseconds;
    bool born;
  } cases[] = {{false, 1000, 0, false}, {true, 1000, 0, true}, {true, 0, 0, false}, {true, 0, 1, true}};
  for (const auto& c : cases) {
    struct statx stx {};
    stx.stx_mode = S_IFREG | 0644;
    stx.stx_mtime = {1537963200, 0, 0};
    stx.stx_atime = {1537963300, 0, 0};
    stx.stx_btime = {c.seconds, c.nanoseconds, 0};
    stx.stx_mask = STATX_TYPE | STATX_MODE | STATX_MTIME | STATX_ATIME | (c.masked ? STATX_BTIME : 0);
    const Platform::posix::EntryInfo info = Platform::posix::FactsOf("f", stx, true, false);
    EXPECT_EQ(info.created == info.lastWrite, !c.born) << c.seconds << "." << c.nanoseconds;
    EXPECT_NE(info.lastAccess, info.lastWrite);
  }
}

TEST(PosixStatPool, HelperThreadsFromTheSettingOrTheCores) {
  const struct {
    const char* setting;
    int cores, helpers;
  } cases[] = {{nullptr, 2, 1}, {nullptr, 1, 1}, {nullptr, 0, 1}, {nullptr, 5, 4}, {nullptr, 64, 8},
               {"0", 2, 0},     {"3", 2, 3},     {"64", 2, 64},   {"65", 2, 1},    {"100", 4, 3},
               {"", 4, 3},      {"x", 4, 3},     {"-1", 4, 3},    {"2x", 4, 3},    {" 2", 4, 3}};
  for (const auto& c : cases) {
    EXPECT_EQ(Platform::posix::StatThreadsFor(c.setting, c.cores), c.helpers)
        << (c.setting ? c.setting : "unset") << ", " << c.cores << " cores";
  }
  for (const char* setting : {"0", "2"}) {
    ::setenv("DATEMILL_STAT_THREADS", setting, 1);
    Platform::posix::RestartStatPool(-1);
    EXPECT_EQ(Platform::posix::StatPoolThreads(), std::atoi(setting));
  }
  ::unsetenv("DATEMILL_STAT_THREADS");
  Platform::posix::RestartStatPool(-1);
}

// Folders of `count` empty files f0, f1, ...
void MakeFiles(const Text& folder, int count) {
  for (int i = 0; i < count; ++i) TestSupport::WriteBytes(Join(folder, u"f" + DecimalText(i)));
}

size_t OpenDescriptors() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                           std::filesystem::directory_iterator()));
}

// A search given up with batches in flight (closed early, or an exception
// while the next names are listed) leaves no helper on its batches (the
// sanitizer runs see to that), closes its folder, and the next search
// finds every file.
TEST(PosixStatPool, ASearchEndedEarlyLeavesNothingBehind) {
  TestSupport::ScopedTempDir dir;
  MakeFiles(dir.path(), 1000);
  Platform::posix::RestartStatPool(1);
  const size_t descriptors = OpenDescriptors();
  for (const bool throwing : {false, true}) {
    int listed = 0;
    Platform::posix::SetListingHook([&] {
      if (throwing && ++listed == 5) throw std::runtime_error("listing fails");  // batches in flight
    });
    {
      Platform::DirSearch search;
      Platform::DirEntry entry;
      ASSERT_EQ(search.Open(Join(dir.path(), u"*"), true).status, Platform::SearchStatus::kOpened);
      int read = 0;
      bool threw = false;
      try {
        while ((throwing || read < 40) && search.Next(entry)) ++read;
      } catch (const std::runtime_error&) {
        threw = true;
      }
      EXPECT_EQ(threw, throwing);
      if (!throwing) {
        EXPECT_EQ(read, 40);
      }
    }
    Platform::posix::SetListingHook(nullptr);
    EXPECT_EQ(OpenDescriptors(), descriptors);
    Reset();
    EXPECT_EQ(Scan(Folders, dir.path(), u"", 0, ReturnFileCount | WithDates, 0, 0, u"", u"", u""), 1000);
  }
  Platform::posix::RestartStatPool(-1);
  Reset();
}

// A child after fork, in the middle of a search whose batches the parent's
// helpers are working on, finishes those batches without them: it makes
// their stat calls again itself. (It shares the listing's place in the
// folder with its parent, as any child does, so only the names already
// read before the fork are its own to finish: every name fits the batches.)
TEST(PosixStatPool, AForkedChildFinishesTheBatchesInFlightWithoutTheParentsHelpers) {
  TestSupport::ScopedTempDir dir;
  constexpr int kFiles = 1200;
  static_assert(kFiles <= Platform::SearchState::kInFlight * Platform::posix::StatBatch::kCapacity);
  MakeFiles(dir.path(), kFiles);
  Platform::posix::RestartStatPool(1);
  Platform::DirSearch search;
  Platform::DirEntry entry;
  ASSERT_EQ(search.Open(Join(dir.path(), u"*"), true).status, Platform::SearchStatus::kOpened);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(search.Next(entry));  // the dots, a file: the pipeline runs
  // Every file once, stat'ed: its size (0) and a time stamp read.
  auto rest = [&] {
    int files = 0;
    while (search.Next(entry))
      files += entry.lastWrite != Platform::kTimeUnread && entry.size == 0 ? 1 : 1000000;
    return files;
  };
  const pid_t child = ::fork();
  if (child == 0) {
    ::alarm(60);  // a child that hangs on the parent's helpers fails
    const int files = rest();
    const int helpers = Platform::posix::StatPoolThreads();
    ::_exit(files == kFiles - 1 && helpers == 0 ? 0 : 1);
  }
  EXPECT_EQ(rest(), kFiles - 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << "the child was ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child lost files or used the parent's helpers";
  search.Close();
  Platform::posix::RestartStatPool(-1);
}

// No thread may start once the user's processes reach RLIMIT_NPROC (root
// is not held by it: the child drops to an ordinary user first).
TEST(PosixStatPool, WithoutHelperThreadsTheSearchGoesOnThePlainWay) {
  TestSupport::ScopedTempDir dir;
  MakeFiles(dir.path(), 600);
  const pid_t child = ::fork();
  if (child == 0) {
    ::alarm(60);
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() == 0 && nobody != nullptr &&
        (::chown(Utf8FromText(dir.path()).c_str(), nobody->pw_uid, nobody->pw_gid) != 0 ||
         ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)) {
      ::_exit(10);
    }
    const struct rlimit one = {1, 1};
    if (::setrlimit(RLIMIT_NPROC, &one) != 0) ::_exit(11);
    Platform::posix::RestartStatPool(1);
    const int helpers = Platform::posix::StatPoolThreads();
    Reset();
    const int64_t files = Scan(Folders, dir.path(), u"", 0, ReturnFileCount | WithDates, 0, 0, u"", u"", u"");
    ::_exit((helpers == 0 ? 0 : 1) | (files == 600 ? 0 : 2));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a helper started, 2: files lost, 10/11: setup";
}

// Root may search any folder: the test drops to an ordinary user in a child.
TEST(PosixSearch, AFolderListedButNotSearchedCountsItsFilesWithDateZero) {
  TestSupport::ScopedTempDir dir;
  const Text folder = dir / u"locked";
  TestSupport::MakeDirs(folder);
  for (const Text name : {u"a", u"b", u"c"})
    TestSupport::MakeFile(Join(folder, name), "x", 0x01D4000000000000);
  const std::string bytes = Utf8FromText(folder);
  const pid_t child = ::fork();
  if (child == 0) {
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() == 0 && nobody != nullptr) {
      if (::chown(Utf8FromText(dir.path()).c_str(), nobody->pw_uid, nobody->pw_gid) != 0 ||
          ::chown(bytes.c_str(), nobody->pw_uid, nobody->pw_gid) != 0 || ::setgid(nobody->pw_gid) != 0 ||
          ::setuid(nobody->pw_uid) != 0) {
        ::_exit(10);
      }
    }
    if (::chmod(bytes.c_str(), 0555 & ~0111) != 0) ::_exit(11);  // r-- r-- r--
    Reset();
    std::vector<UnreadFolder> unread;
    const int64_t files =
        Scan(Folders, folder, u"", 0, ReturnFileCount | WithDates, 0, 0, u"", u"", u"", &unread);
    int bad = files == 3 ? 0 : 1;
    for (const FileRecord& f : Folders.at(0).Files) bad |= f.Modified == Dates::None ? 0 : 2;
    // The folder is named once as not read in full, for its time stamps.
    bad |= unread.size() == 1 && unread[0].path == folder + u"/" &&
                   unread[0].reason.find(u"time stamps") != Text::npos
               ? 0
               : 4;
    ::chmod(bytes.c_str(), 0755);
    ::_exit(bad);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ::chmod(bytes.c_str(), 0755);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0)
      << "1: files lost, 2: a date other than 0, 4: not named once, 10/11: setup";
}

// Makes a chain of folders more than 5,000 bytes deep below `base` (the
// path fits no system call) and returns it; removes it again at the end.
class DeepFolder {
 public:
  explicit DeepFolder(const Text& base) : base_(Utf8FromText(base)) {
    int fd = ::open(base_.c_str(), O_RDONLY | O_DIRECTORY);
    std::string path = base_;
    while (path.size() <= 5000) {
      EXPECT_EQ(::mkdirat(fd, kPart.c_str(), 0755), 0);
      const int next = ::openat(fd, kPart.c_str(), O_RDONLY | O_DIRECTORY);
      ::close(fd);
      fd = next;
      path += "/" + kPart;
      ++levels_;
    }
    const int file = ::openat(fd, "far.txt", O_WRONLY | O_CREAT, 0644);
    EXPECT_EQ(::write(file, "far", 3), 3);
    ::close(file);
    ::close(fd);
    path_ = TextFromUtf8(path);
  }
  ~DeepFolder() {
    // Down to the bottom, then up again removing one level at a time.
    int fd = ::open(base_.c_str(), O_RDONLY | O_DIRECTORY);
    std::vector<int> chain{fd};
    for (int i = 0; i < levels_; ++i)
      chain.push_back(::openat(chain.back(), kPart.c_str(), O_RDONLY | O_DIRECTORY));
    ::unlinkat(chain.back(), "far.txt", 0);
    for (int i = levels_; i > 0; --i) {
      ::close(chain[i]);
      ::unlinkat(chain[i - 1], kPart.c_str(), AT_REMOVEDIR);
    }
    ::close(chain[0]);
  }
  const Text& path() const { return path_; }

 private:
  const std::string kPart = std::string(200, 'd');
  std::string base_;
  Text path_;
  int levels_ = 0;
};

TEST(PosixSearch, FoldersBeyondPathMaxAreCounted) {
  TestSupport::ScopedTempDir dir;
  DeepFolder deep(dir.path());
  ASSERT_GT(Utf8FromText(deep.path()).size(), size_t{PATH_MAX});
  Reset();
  EXPECT_EQ(Scan(Folders, deep.path(), u"", 0, ReturnFileCount | WithDates, 0, 0, u"", u"", u""), 1);
  ASSERT_EQ(Folders.size(), 1u);
  EXPECT_EQ(Folders[0].Files.at(0).Path, Join(deep.path(), u"far.txt"));
  EXPECT_EQ(Folders[0].Files.at(0).Size, 3);
  EXPECT_TRUE(Platform::CanList(deep.path()).status);  // such a folder is no problem
  Reset();
  EXPECT_EQ(Scan(Folders, dir.path(), u"", AllLevels, ReturnFileCount, 0, 0, u"", u"", u""), 1);
  Reset();
}

// A walk with more folders waiting for their next subfolder than the
// process may open descriptors holds as many as the limit leaves room for;
// and when the descriptors run out all the same (here taken up while it
// walks), it lets the held ones go and goes on. No folder is unread.
TEST(PosixSearch, AWalkStaysWithinTheDescriptorLimit) {
  TestSupport::ScopedTempDir dir;
  Text level = dir / u"w";
  for (int i = 0; i < 60; ++i) {  // each level: the next one and a sibling with a file
    TestSupport::MakeDirs(Join(level, u"s"));
    TestSupport::WriteBytes(Join(Join(level, u"s"), u"f"), "x");
    level = Join(level, u"n");
  }
  for (const bool exhaust : {false, true}) {
    const pid_t child = ::fork();
    if (child == 0) {
      const rlimit few{40, 40};
      if (::setrlimit(RLIMIT_NOFILE, &few) != 0) ::_exit(10);
      // A first walk as it is: the undefined-behaviour sanitizer checks a
      // type the first time through a pipe, which needs descriptors.
      (void)Scan(Folders, dir / u"w", u"", AllLevels, ReturnFileCount, 0, 0, u"", u"", u"");
      int listings = 0;
      Platform::posix::SetListingHook([&] {
        if (exhaust && ++listings == 30) {
          while (::dup(0) >= 0) {  // every descriptor left, deep in the walk
          }
        }
      });
      Reset();
      std::vector<UnreadFolder> unread;
      const int64_t files =
          Scan(Folders, dir / u"w", u"", AllLevels, ReturnFileCount, 0, 0, u"", u"", u"", &unread);
      ::_exit(files == 60 && unread.empty() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: files lost or a folder unread, 10: setup; exhausted " << exhaust;
  }
}

// The taken-date reads keep the walk's rule: when the descriptors run out
// (here all taken up deep in the walk), the held folders are let go and
// the file is read again, so every picture is dated. With none held to let
// go (the root alone), the reads that still fail are counted apart from
// the files that record no date.
TEST(PosixSearch, TakenReadsShortOfDescriptorsLetTheHeldFoldersGo) {
  TestSupport::ScopedTempDir dir;
  const std::string picture = TestSupport::SeedFile(u"jpeg-original.jpg");
  Text level = dir / u"w";
  for (int i = 0; i < 40; ++i) {  // each level: the next one, a sibling and a picture
    TestSupport::MakeDirs(Join(level, u"s"));
    TestSupport::WriteBytes(Join(level, u"p.jpg"), picture);
    level = Join(level, u"n");
  }
  struct Reads : Sink {
    int dated = 0, failed = 0;
    void File(const Text&, const Platform::DirEntry& entry) override {
      dated += entry.taken.kind != TakenDate::Kind::kNone ? 1 : 0;
      failed += entry.takenRead == Platform::TakenRead::kNoHandles ? 1 : 0;
    }
  };
  // The undefined-behaviour sanitizer checks an object's type through a
  // pipe the first time it meets it: met here, while descriptors are left.
  Reads warm;
  static_cast<Sink&>(warm).File(u"", Platform::DirEntry{});
  for (const int64_t levels : {AllLevels, int64_t{0}}) {
    const pid_t child = ::fork();
    if (child == 0) {
      const rlimit few{40, 40};
      if (::setrlimit(RLIMIT_NOFILE, &few) != 0) ::_exit(10);
      int listings = 0;
      Platform::posix::SetListingHook([&] {
        if (++listings == (levels == 0 ? 1 : 20)) {
          while (::dup(0) >= 0) {  // every descriptor left
          }
        }
      });
      Reads reads;
      const int64_t files = Walk(dir / u"w", WalkRules(levels, WithTaken), reads);
      const bool all = reads.dated == files && reads.failed == 0 && files == 40;
      ::_exit(levels == 0 ? (reads.dated == 0 && reads.failed == files && files == 1 ? 0 : 1) : all ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: a picture undated or a failure not told, 10: setup; levels " << levels;
  }
}

// A subfolder that a link takes the place of after its parent was listed is
// not entered, and nor is the rest of a held folder that another has taken
// the place of before it was opened again: both are named, with why.
TEST(PosixSearch, AFolderSwappedForALinkIsNotEntered) {
  TestSupport::ScopedTempDir dir;
  for (const Text folder : {u"r/a/x/x1", u"r/a/y", u"r/b", u"elsewhere/y"})
    TestSupport::MakeDirs(dir / folder);
  for (const Text file : {u"r/b/f", u"r/a/y/f", u"elsewhere/f", u"elsewhere/y/f"})
    TestSupport::WriteBytes(dir / file, "x");
  // Swapped as soon as their parent is listed: r/b for a link; and r/a, let
  // go while x1 is walked (one folder held at most), for a link before it
  // is opened again for y.
  static std::string root;
  root = Utf8FromText(dir / u"r");
  FilesListed = [](const Text& folder, int64_t, bool done) {
    if (!done) return;
    const std::string listed = Utf8FromText(folder);
    const std::string swap = listed == root + "/"          ? root + "/b"
                             : listed == root + "/a/x/x1/" ? root + "/a"
                                                           : "";
    if (swap.empty()) return;
    ::rename(swap.c_str(), (swap + ".old").c_str());
    ::symlink("../elsewhere", swap.c_str());
  };
  const size_t most = MostHeldFolders;
  MostHeldFolders = 1;
  Reset();
  std::vector<UnreadFolder> folders;
  const int64_t files = Scan(Folders, dir / u"r", u"", AllLevels, ReturnFileCount | SkipFolderLinks, 0, 0,
                             u"", u"", u"", &folders);
  FilesListed = nullptr;
  MostHeldFolders = most;
  EXPECT_EQ(files, 0);  // nothing of elsewhere
  std::vector<Text> unread;
  for (const UnreadFolder& folder : folders) unread.push_back(folder.path + u": " + folder.reason);
  std::sort(unread.begin(), unread.end());
  EXPECT_EQ(unread, (std::vector<Text>{dir / u"r/a/y/: another folder or a link has taken its place",
                                       dir / u"r/b/: a link has taken the folder's place"}));
  Reset();
}

// A listing that fails before its end counts what it read, and names its
// folder with the system's reason.
TEST(PosixSearch, AListingThatFailsCountsWhatItRead) {
  TestSupport::ScopedTempDir dir;
  MakeFiles(dir.path(), 1000);
  Platform::posix::FailNextListing(EIO);
  Reset();
  std::vector<UnreadFolder> unread;
  EXPECT_EQ(Scan(Folders, dir.path(), u"", 0, ReturnFileCount, 0, 0, u"", u"", u"", &unread),
            static_cast<int64_t>(Platform::posix::StatBatch::kCapacity));
  ASSERT_EQ(unread.size(), 1u);
  EXPECT_EQ(unread[0].reason, u"Input/output error");
  Reset();
}

// Links to files are dated by their own stamps, or, where asked, by the
// files they lead to; one that leads nowhere keeps its own.
TEST(PosixSearch, LinksToFilesAreDatedByTheirFilesWhereAsked) {
  TestSupport::ScopedTempDir dir;
  const Platform::FileTime written = TestSupport::UtcStamp(2018, 9, 26, 12, 0, 0);
  TestSupport::MakeFile(dir / u"f", "x", written);
  ASSERT_EQ(::symlink("f", Utf8FromText(dir / u"link").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", Utf8FromText(dir / u"dangling").c_str()), 0);
  for (const int64_t flags : {WithDates, WithDates | DateLinksByTarget}) {
    Reset();
    Scan(Folders, dir.path(), u"", 0, flags, 0, 0, u"", u"", u"");
    std::map<Text, int64_t> dates;
    for (const FileRecord& f : Folders.at(0).Files) dates[f.Path.name()] = f.Modified;
    EXPECT_EQ(dates.at(u"link") == DateOfStamp(written), (flags & DateLinksByTarget) != 0);
    EXPECT_NE(dates.at(u"dangling"), DateOfStamp(written));
  }
  Reset();
}

TEST(PosixSearch, RootAttributesComeFromTheLastComponent) {
  TestSupport::ScopedTempDir dir;
  TestSupport::MakeDirs(dir / u"t/.hidroot");
  TestSupport::ScopedCurrentDir here(dir / u"t");
  const struct {
    const char16_t* root;
    bool hidden;
  } cases[] = {{u".hidroot/", true}, {u"./", false}, {u"../t", false}, {u"../t/", false}, {u".", false}};
  for (const auto& c : cases) {
    Reset();
    Scan(Folders, c.root, u"", 0, FoldersOnly | WithAttributes, 0, 0, u"", u"", u"");
    ASSERT_EQ(Folders.size(), 1u) << TestSupport::Show(c.root);
    EXPECT_EQ((Folders[0].Attributes & Platform::kAttrHidden) != 0, c.hidden) << TestSupport::Show(c.root);
  }
  Reset();
}

}  // namespace

namespace {

// The names an opened search delivers, the dots aside; each must carry its
// size (0) and, with `withTimes`, a time stamp read.
std::vector<Text> Delivered(Platform::DirSearch& search, bool withTimes) {
  std::vector<Text> names;
  Platform::DirEntry entry;
  while (search.Next(entry)) {
    if (entry.name == u"." || entry.name == u"..") continue;
    const bool read =
        (!withTimes || entry.lastWrite != Platform::kTimeUnread) && (entry.IsDirectory() || entry.size == 0);
    names.push_back(read ? entry.name : u"unread " + entry.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<Text> FileNames(int count) {
  std::vector<Text> names;
  for (int i = 0; i < count; ++i) names.push_back(u"f" + DecimalText(i));
  std::sort(names.begin(), names.end());
  return names;
}

// Lists `folder` and holds it; its subfolders in the order delivered.
std::vector<Text> ListAndHold(const Text& folder, Platform::HeldFolder& held) {
  Platform::DirSearch search;
  Platform::DirEntry entry;
  std::vector<Text> subfolders;
  EXPECT_EQ(search.Open(Join(folder, u"*"), true).status, Platform::SearchStatus::kOpened);
  while (search.Next(entry)) {
    if (entry.IsDirectory() && entry.name != u"." && entry.name != u"..") subfolders.push_back(entry.name);
  }
  EXPECT_TRUE(search.Hold(held, subfolders));
  return subfolders;
}

}  // namespace

// A walk asks for the subfolders of a held folder in the order they were
// delivered, and the search opens the next ones ahead of time. Whatever is
// asked for (in order, some passed over, one gone before it could be
// opened, another held folder in between, one without times, one again out
// of order), each answer is that of a search opened when asked, and
// nothing stays open once the held folders close.
TEST_P(PosixSearchTest, SubfoldersOpenedAheadAnswerAsWhenOpenedOnRequest) {
  const size_t descriptors = OpenDescriptors();
  constexpr int kFolders = 14;
  for (int i = 0; i < kFolders; ++i) {
    TestSupport::MakeDirs(dir_ / (u"s" + DecimalText(i)));
    MakeFiles(dir_ / (u"s" + DecimalText(i)), i * 40);  // s0 is empty; s13 fills two batches
  }
  TestSupport::MakeDirs(Join(dir_ / u"other", u"x"));
  MakeFiles(Join(dir_ / u"other", u"x"), 7);
  auto filesOf = [](const Text& name) {
    return name == u"other" ? std::vector<Text>{u"x"}
                            : FileNames(std::stoi(Utf8FromText(name.substr(1))) * 40);
  };
  {
    Platform::HeldFolder parent;
    const std::vector<Text> subfolders = ListAndHold(dir_.path(), parent);
    ASSERT_EQ(subfolders.size(), size_t{kFolders + 1});
    const Text gone = subfolders[5];
    std::filesystem::remove_all(Utf8FromText(dir_ / gone));
    for (size_t i = 0; i < subfolders.size(); ++i) {
      const Text& name = subfolders[i];
      if (i == 2 || i == 3) continue;  // passed over
      if (i == 7) {
        Platform::HeldFolder other;
        ASSERT_EQ(ListAndHold(dir_ / u"other", other), std::vector<Text>{u"x"});
        Platform::DirSearch inner;
        ASSERT_EQ(inner.OpenIn(other, u"x", true).status, Platform::SearchStatus::kOpened);
        EXPECT_EQ(Delivered(inner, true), FileNames(7));
      }
      const bool withTimes = i != 9;
      Platform::DirSearch search;
      const Platform::SearchStatus status = search.OpenIn(parent, name, withTimes).status;
      if (name == gone) {
        EXPECT_EQ(status, Platform::SearchStatus::kFailed);
        EXPECT_FALSE(Platform::CanList(dir_ / gone).status);
        continue;
      }
      ASSERT_EQ(status, Platform::SearchStatus::kOpened) << TestSupport::Show(name);
      EXPECT_EQ(Delivered(search, withTimes), filesOf(name)) << TestSupport::Show(name);
    }
    for (const size_t again : {size_t{1}, size_t{12}}) {
      Platform::DirSearch search;
      ASSERT_EQ(search.OpenIn(parent, subfolders[again], true).status, Platform::SearchStatus::kOpened);
      EXPECT_EQ(Delivered(search, true), filesOf(subfolders[again]));
    }
    // Closed with folders opened ahead of the ones never asked for.
    Platform::DirSearch search;
    ASSERT_EQ(search.OpenIn(parent, subfolders[0], true).status, Platform::SearchStatus::kOpened);
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

// A subfolder opened ahead has listed its first names into batches; when it
// is asked for, its listing goes on from there, so a folder of more names
// than the batches and one read of the listing hold loses none.
TEST(PosixSearch, ASubfolderOpenedAheadListsOnWhereItStood) {
  TestSupport::ScopedTempDir dir;
  TestSupport::MakeDirs(dir / u"a");
  TestSupport::MakeDirs(dir / u"b");
  Platform::HeldFolder parent;
  const std::vector<Text> subfolders = ListAndHold(dir.path(), parent);
  ASSERT_EQ(subfolders.size(), 2u);
  constexpr int kMany = 3000;
  MakeFiles(dir / subfolders[1], kMany);  // opened ahead when the first is asked for
  Platform::DirSearch first, second;
  ASSERT_EQ(first.OpenIn(parent, subfolders[0], true).status, Platform::SearchStatus::kOpened);
  ASSERT_EQ(second.OpenIn(parent, subfolders[1], true).status, Platform::SearchStatus::kOpened);
  EXPECT_EQ(Delivered(second, true), FileNames(kMany));
}
