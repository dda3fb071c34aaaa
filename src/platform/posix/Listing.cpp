#include "platform/posix/Listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/Folders.h"

namespace Platform::posix {

namespace {

// Windows-style wildcard match: "*" any run, "?" any one character.
bool WildcardMatch(const char* pattern, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' || *pattern == *name) {
      ++pattern, ++name;
    } else if (star != nullptr) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

// Reads the next names of the listing that match into `batch` and starts
// their stat calls. A failure to read the listing ends it; `s.error` keeps
// why.
void FillAndStart(SearchState& s, StatBatch& batch) {
  batch.Clear();
  while (batch.Size() < StatBatch::kCapacity && !s.listed) {
    errno = 0;
    const dirent* d = ::readdir(s.dir);
    if (d == nullptr) {
      s.listed = true;
      s.error = errno;
      break;
    }
    const char* name = d->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (!s.matchAll && !WildcardMatch(s.pattern.c_str(), name)) continue;
    batch.Add(name, d->d_type, WantsTaken(s, name));
  }
  RunListingHook(s.listed, s.error);
  if (!batch.Empty()) batch.Start(::dirfd(s.dir), s.StatFields(), s.taken);
}

}  // namespace

bool WantsTaken(SearchState& s, const char* name) {
  if (!s.taken || s.takenOf == nullptr) return s.taken;
  AssignFromUtf8(s.takenName, name);
  return (*s.takenOf)(s.takenName);
}

void Prime(SearchState& s) {
  struct statx own {};
  s.ownDevice = s.fileSystems && StatOne(::dirfd(s.dir), ".", STATX_TYPE, own) == 0;
  if (s.ownDevice) s.device = DeviceOf(own);
  for (StatBatch& batch : s.batches) FillAndStart(s, batch);
  s.started = true;
}

namespace {

// Whether the folder `stx` lies on another file system than the listing's
// own, where that is told.
bool OnOtherFileSystem(const SearchState& s, const struct statx& stx) {
  return s.ownDevice && DeviceOf(stx) != s.device;
}

// The facts of the listed entry `i` of `batch` from its stat result. A link
// to a folder counts as a folder with its own facts (but the file system
// of the folder it leads to); with `targets` a link to a file is dated by
// its file (its taken date too), and a link that leads nowhere keeps its
// own.
EntryInfo FactsOfListed(const SearchState& s, const StatBatch& batch, size_t i) {
  const struct statx& own = batch.Result(i);
  const char* name = batch.Name(i);
  if (!S_ISLNK(own.stx_mode)) {
    EntryInfo info = FactsOf(name, own, s.withTimes, false);
    info.taken = batch.Taken(i);
    info.otherFileSystem = S_ISDIR(own.stx_mode) && OnOtherFileSystem(s, own);
    info.takenRead = batch.HowTaken(i);
    return info;
  }
  struct statx target {};
  const bool reached = StatTarget(::dirfd(s.dir), name, s.StatFields(), target) == 0;
  if (reached && S_ISDIR(target.stx_mode)) {
    EntryInfo info = FactsOf(name, own, s.withTimes, true);
    info.otherFileSystem = OnOtherFileSystem(s, target);
    return info;
  }
  EntryInfo info = FactsOf(name, reached && s.targets ? target : own, s.withTimes, false);
  if (reached && s.targets && batch.WantsTaken(i) && S_ISREG(target.stx_mode))
    info.taken = ReadTaken(::dirfd(s.dir), name, true, ProgramScratch(), info.takenRead);
  return info;
}

}  // namespace

bool NextMatch(SearchState& s, std::string& name, EntryInfo& info) {
  const int fd = ::dirfd(s.dir);
  while (s.dotsLeft > 0) {
    name = s.dotsLeft == 2 ? "." : "..";
    --s.dotsLeft;
    if ((s.matchAll || WildcardMatch(s.pattern.c_str(), name.c_str())) &&
        ReadEntry(fd, name.c_str(), name, s.withTimes, info) == 0) {
      return true;
    }
  }
  if (!s.primed) {
    if (!s.started) Prime(s);
    s.primed = true;
    s.batches[s.current].Wait();
  }
  for (;;) {
    StatBatch& batch = s.batches[s.current];
    if (s.next == batch.Size()) {
      if (batch.Empty()) return false;  // the listing has ended
      // The used batch takes the next names, at the end of the pipeline;
      // the oldest one after it is next.
      FillAndStart(s, batch);
      s.current = (s.current + 1) % SearchState::kInFlight;
      s.next = 0;
      s.batches[s.current].Wait();
      continue;
    }
    const size_t i = s.next++;
    const int error = batch.Error(i);
    if (error == ENOENT) continue;  // gone since the listing was read
    name = batch.Name(i);
    // Listed but not to be stat'ed (a folder without search permission):
    // the entry still counts, with what the listing told.
    info = error != 0 ? UnreadFacts(name, batch.Type(i)) : FactsOfListed(s, batch, i);
    return true;
  }
}

}  // namespace Platform::posix
