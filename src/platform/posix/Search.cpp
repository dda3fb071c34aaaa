// The directory search on POSIX. A search reads the folder's names a batch
// at a time and stats each batch through PosixStat while the program takes
// the batch before; every entry's attribute word is synthesised from what
// POSIX knows. A held folder is a descriptor, and the subfolders of a walk
// are opened relative to it (and ahead of time, PosixWalkAhead).
#include "platform/Search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/Paths.h"
#include "platform/FileSystem.h"
#include "platform/posix/Common.h"
#include "platform/posix/SearchState.h"
#include "platform/posix/WalkAhead.h"

namespace Platform {

using posix::EntryInfo;
using posix::PathBytes;
using posix::StatBatch;

namespace {

const char16_t* const kLinkInItsPlace = u"a link has taken the folder's place";

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

}  // namespace

DirSearch::~DirSearch() { Close(); }

void DirSearch::Close() {
  delete state_;
  state_ = nullptr;
}

namespace {

// Reads the next names of the listing that match into `batch` and starts
// their stat calls. A failure to read the listing ends it; `s.error` keeps
// why.
void FillAndStart(DirSearch::State& s, StatBatch& batch) {
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
    batch.Add(name, d->d_type);
  }
  posix::RunListingHook(s.listed, s.error);
  if (!batch.Empty()) batch.Start(::dirfd(s.dir), posix::StatMask(s.withTimes), s.taken);
}

}  // namespace

void posix::Prime(DirSearch::State& s) {
  for (StatBatch& batch : s.batches) FillAndStart(s, batch);
  s.started = true;
}

namespace {

// The facts of the listed entry `i` of `batch` from its stat result. A link
// to a folder counts as a folder with its own facts; with `targets` a link
// to a file is dated by its file (its taken date too), and a link that
// leads nowhere keeps its own.
EntryInfo FactsOfListed(const DirSearch::State& s, const StatBatch& batch, size_t i) {
  const struct statx& own = batch.Result(i);
  const char* name = batch.Name(i);
  if (!S_ISLNK(own.stx_mode)) {
    EntryInfo info = posix::FactsOf(name, own, s.withTimes, false);
    info.taken = batch.Taken(i);
    return info;
  }
  struct statx target {};
  const bool reached = posix::StatTarget(::dirfd(s.dir), name, posix::StatMask(s.withTimes), target) == 0;
  if (reached && S_ISDIR(target.stx_mode)) return posix::FactsOf(name, own, s.withTimes, true);
  EntryInfo info = posix::FactsOf(name, reached && s.targets ? target : own, s.withTimes, false);
  if (reached && s.targets && s.taken && S_ISREG(target.stx_mode))
    info.taken = posix::ReadTaken(::dirfd(s.dir), name, true, posix::ProgramScratch());
  return info;
}

// The next entry of the listing that matches, into `name` and `info`.
bool NextMatch(DirSearch::State& s, std::string& name, EntryInfo& info) {
  const int fd = ::dirfd(s.dir);
  while (s.dotsLeft > 0) {
    name = s.dotsLeft == 2 ? "." : "..";
    --s.dotsLeft;
    if ((s.matchAll || WildcardMatch(s.pattern.c_str(), name.c_str())) &&
        posix::ReadEntry(fd, name.c_str(), name, s.withTimes, info) == 0) {
      return true;
    }
  }
  if (!s.primed) {
    if (!s.started) posix::Prime(s);
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
      s.current = (s.current + 1) % DirSearch::State::kInFlight;
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
    info = error != 0 ? posix::UnreadFacts(name, batch.Type(i)) : FactsOfListed(s, batch, i);
    return true;
  }
}

using Opening = Outcome<SearchStatus>;

// A failed start of a search, for the error `error`.
Opening Failed(int error) {
  return {error == EMFILE || error == ENFILE ? SearchStatus::kNoHandles : SearchStatus::kFailed,
          posix::ReasonOf(error)};
}

// The one entry `bytes` names, whose own name is the search's pattern.
Opening OpenSingle(DirSearch::State& s, const std::string& bytes, const std::string& directory) {
  s.single = true;
  const int error = posix::ReadPath(bytes, s.pattern, s.withTimes, s.held);
  if (error != 0) {
    bool isDirectory = false;
    uint64_t size = 0;
    const bool folderThere = StatPath(TextFromUtf8(directory), isDirectory, size) && isDirectory;
    if (error == ENOENT && folderThere) return {SearchStatus::kNoMatch, Text()};
    return Failed(error);
  }
  s.heldName = s.pattern;
  s.pending = true;
  return {SearchStatus::kOpened, Text()};
}

// Takes the first match of the listing `s` (open, perhaps listed ahead) to
// deliver first. A listing that fails before its first entry is a failed
// search.
Opening FirstMatch(DirSearch::State& s) {
  if (NextMatch(s, s.heldName, s.held)) {
    s.pending = true;
    return {SearchStatus::kOpened, Text()};
  }
  return s.error != 0 ? Failed(s.error) : Opening{SearchStatus::kNoMatch, Text()};
}

// Starts the listing of the open folder `fd`, which it takes over (-1: the
// folder could not be opened, for `error`).
Opening OpenListing(DirSearch::State& s, int fd, int error) {
  s.matchAll = s.pattern == "*" || s.pattern == "*.*";
  if (fd < 0) return Failed(error);
  s.dir = ::fdopendir(fd);
  if (s.dir == nullptr) {
    error = errno;
    ::close(fd);
    return Failed(error);
  }
  return FirstMatch(s);
}

// A new state for the flags of a search.
DirSearch::State* NewState(unsigned flags) {
  auto* state = new DirSearch::State;
  state->SetFlags(flags);
  return state;
}

void Deliver(const std::string& name, const EntryInfo& info, DirEntry& entry) {
  AssignFromUtf8(entry.name, name);
  entry.attributes = info.attributes;
  entry.size = info.size;
  entry.created = info.created;
  entry.lastWrite = info.lastWrite;
  entry.lastAccess = info.lastAccess;
  entry.taken = info.taken;
}

}  // namespace

Outcome<SearchStatus> DirSearch::Open(const Text& pathAndPattern, unsigned flags) {
  Close();
  listingFailure_.clear();
  const std::string bytes = PathBytes(pathAndPattern);
  const TextView folder = Paths::FolderOf(pathAndPattern);
  const std::string directory = folder.empty() ? "." : PathBytes(Text(folder));
  state_ = NewState(flags);
  state_->pattern = PathBytes(pathAndPattern.substr(folder.size()));
  // A path ending in a separator names no entry.
  Opening opening{SearchStatus::kNoMatch, Text()};
  if (state_->pattern.find_first_of("*?") == std::string::npos && !state_->pattern.empty()) {
    opening = OpenSingle(*state_, bytes, directory);
  } else if (!state_->pattern.empty()) {
    const int fd = posix::OpenFolder(directory, O_RDONLY);
    opening = OpenListing(*state_, fd, errno);
  }
  if (opening.status != SearchStatus::kOpened) Close();
  return opening;
}

Outcome<SearchStatus> DirSearch::OpenIn(const HeldFolder& parent, const Text& name, unsigned flags) {
  Close();
  listingFailure_.clear();
  const int at = static_cast<int>(parent.handle_);
  const std::string bytes = PathBytes(name);
  std::unique_ptr<State> ahead = posix::TheWalkAhead().Take(at, bytes, flags);
  Opening opening;
  if (ahead != nullptr) {
    // Its listing has begun: it goes on where it stands.
    state_ = ahead.release();
    posix::TheWalkAhead().TopUp();
    opening = FirstMatch(*state_);
  } else {
    state_ = NewState(flags);
    state_->pattern = "*";
    const int fd = posix::OpenSubfolder(at, bytes, state_->follow);
    opening = OpenListing(*state_, fd, errno);
    // Not followed, a link in the folder's place is refused (ELOOP or
    // ENOTDIR): say so rather than what the refusal says.
    struct stat st {};
    if (fd < 0 && !state_->follow && ::fstatat(at, bytes.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(st.st_mode)) {
      opening.reason = kLinkInItsPlace;
    }
    posix::TheWalkAhead().TopUp();
  }
  if (opening.status != SearchStatus::kOpened) Close();
  return opening;
}

bool DirSearch::Hold(HeldFolder& folder, const std::vector<Text>& next) const {
  if (state_ == nullptr || state_->dir == nullptr) return false;
  const int fd = ::fcntl(::dirfd(state_->dir), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return false;
  folder.Close();
  folder.handle_ = fd;
  Identity(folder.id_);
  if (state_->matchAll && !state_->single && !next.empty()) {
    try {
      std::vector<std::string> names;
      names.reserve(next.size());
      for (const Text& name : next) names.push_back(PathBytes(name));
      posix::TheWalkAhead().Begin(fd, state_->Flags(), std::move(names));
    } catch (const std::bad_alloc&) {
      // Opened when asked for, as without look-ahead.
    }
  }
  return true;
}

bool DirSearch::Identity(FolderId& id) const {
  struct stat st {};
  if (state_ == nullptr || state_->dir == nullptr || ::fstat(::dirfd(state_->dir), &st) != 0) return false;
  id.volume = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  return true;
}

HeldFolder::HeldFolder(HeldFolder&& other) noexcept
    : handle_(std::exchange(other.handle_, kNone)), id_(other.id_) {}

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNone);
    id_ = other.id_;
  }
  return *this;
}

Done HeldFolder::Open(const Text& path) {
  const int fd = posix::OpenFolder(PathBytes(path), O_PATH);
  if (fd < 0) return posix::FailedNow();
  // Opened again by its path, it must be the folder it was: a link or
  // another folder in its place would lead the walk elsewhere.
  struct stat st {};
  const bool same =
      ::fstat(fd, &st) == 0 && (id_.index == 0 || (static_cast<uint64_t>(st.st_dev) == id_.volume &&
                                                   static_cast<uint64_t>(st.st_ino) == id_.index));
  if (!same) {
    ::close(fd);
    return FailedFor(u"another folder or a link has taken its place");
  }
  Close();
  handle_ = fd;
  return Succeeded();
}

void HeldFolder::Close() {
  if (handle_ != kNone) {
    posix::TheWalkAhead().Forget(static_cast<int>(handle_));
    ::close(static_cast<int>(handle_));
  }
  handle_ = kNone;
}

bool DirSearch::Next(DirEntry& entry) {
  if (state_ == nullptr) return false;
  if (state_->pending) {
    state_->pending = false;
    Deliver(state_->heldName, state_->held, entry);
    return true;
  }
  if (state_->single || !NextMatch(*state_, state_->heldName, state_->held)) {
    // The listing ended: at its end, or where it could not be read further.
    if (!state_->single && state_->error != 0) listingFailure_ = posix::ReasonOf(state_->error);
    return false;
  }
  Deliver(state_->heldName, state_->held, entry);
  return true;
}

size_t FoldersToHold() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
  // Room for what else the run opens: the listing and its look-ahead, a
  // folder opened in stretches, the report, its temporary file, the chart
  // and the log, and a few to spare.
  constexpr size_t kOthers = 16;
  const size_t open = posix::OpenDescriptors();
  const auto most = static_cast<size_t>(limit.rlim_cur);
  return most > open + kOthers ? most - open - kOthers : 1;
}

}  // namespace Platform
