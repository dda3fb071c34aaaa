// Directory search and path queries on POSIX. A search reads the folder's
// names a batch at a time and stats each batch through PosixStat while the
// program takes the batch before; every entry's attribute word is
// synthesised from what POSIX knows. A walk opens each subfolder relative to
// its parent's descriptor; a whole path longer than PATH_MAX is opened a
// stretch at a time, each relative to the folder before it.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/PosixCommon.h"
#include "platform/PosixStat.h"

namespace Platform {

using posix::EntryInfo;
using posix::PathBytes;
using posix::StatBatch;

namespace {

// A file descriptor, closed at the end of its holder's life.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// `path` without repeated or trailing separators ("/" stays).
std::string Tidy(const std::string& path) {
  std::string tidy;
  for (char c : path) {
    if (c != '/' || tidy.empty() || tidy.back() != '/') tidy += c;
  }
  if (tidy.size() > 1 && tidy.back() == '/') tidy.pop_back();
  return tidy;
}

// Opens the folder `path` (with `flags` besides O_DIRECTORY); -1 with errno
// on failure. A path the kernel finds too long is opened in stretches
// shorter than PATH_MAX, cut at separators.
int OpenFolder(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 || errno != ENAMETOOLONG) return fd;
  const std::string tidy = Tidy(path);
  Fd at;
  size_t pos = 0;
  while (pos < tidy.size()) {
    size_t end = tidy.size();
    if (end - pos >= PATH_MAX) {
      end = tidy.rfind('/', pos + PATH_MAX - 1);
      if (end == std::string::npos || end <= pos) return errno = ENAMETOOLONG, -1;
    }
    const bool last = end == tidy.size();
    const std::string stretch = tidy.substr(pos, end - pos);
    const int next = ::openat(at.get() >= 0 ? at.get() : AT_FDCWD, stretch.c_str(),
                              (last ? flags : O_PATH) | O_DIRECTORY | O_CLOEXEC);
    if (next < 0) return -1;
    at.reset(next);
    pos = end + 1;
  }
  return at.release();
}

// Where to ask about `path`: the folder to start from and the name within
// it. Paths that fit PATH_MAX are asked about as they are.
struct Place {
  Fd folder;
  std::string name;
  int at() const { return folder.get() >= 0 ? folder.get() : AT_FDCWD; }
};

bool Locate(const std::string& path, Place& place) {
  if (path.size() < PATH_MAX) {
    place.name = path;
    return true;
  }
  // Keep trailing separators on the name: they make a link to a folder
  // count as the folder, as on short paths.
  size_t stem = path.size();
  while (stem > 1 && path[stem - 1] == '/') --stem;
  const size_t cut = path.rfind('/', stem - 1);
  if (cut == std::string::npos) return errno = ENAMETOOLONG, false;
  const int fd = OpenFolder(cut == 0 ? "/" : path.substr(0, cut), O_PATH);
  if (fd < 0) return false;
  place.folder.reset(fd);
  place.name = path.substr(cut + 1);
  return true;
}

// The last path component of `path`, which may end in separators.
std::string_view LastComponent(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  if (slash != std::string_view::npos && path.size() > 1) path.remove_prefix(slash + 1);
  return path == "/" ? std::string_view() : path;
}

bool IsDirectoryBehind(int dirfd, const char* name) {
  struct stat target {};
  return ::fstatat(dirfd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

// One entry's facts, the link not followed (a link to a folder still counts
// as a folder): 0, or the errno value of the failure.
int ReadEntry(int dirfd, const char* name, bool withTimes, EntryInfo& info) {
  struct statx stx {};
  const int error = posix::StatOne(dirfd, name, posix::StatMask(withTimes), stx);
  if (error != 0) return error;
  const bool linkToFolder = S_ISLNK(stx.stx_mode) && IsDirectoryBehind(dirfd, name);
  info = posix::FactsOf(LastComponent(name), stx, withTimes, linkToFolder);
  return 0;
}

int ReadPath(const std::string& path, bool withTimes, EntryInfo& info) {
  Place place;
  if (!Locate(path, place)) return errno;
  return ReadEntry(place.at(), place.name.c_str(), withTimes, info);
}

// What `path` names, links followed, at any depth.
bool StatFollowing(const Text& path, struct stat& st) {
  Place place;
  return Locate(PathBytes(path), place) && ::fstatat(place.at(), place.name.c_str(), &st, 0) == 0;
}

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

struct DirSearch::State {
  DIR* dir = nullptr;
  std::string pattern;
  bool matchAll = false;
  bool withTimes = false;
  int dotsLeft = 2;      // "." and ".." come first, as on Windows
  bool single = false;   // a search for one named entry
  bool pending = false;  // `held` is the next entry to deliver
  std::string heldName;
  EntryInfo held;
  // A pipeline of batches: the program goes through `batches[current]`
  // while the helper threads stat the ones after it, oldest first.
  static constexpr int kInFlight = 4;
  StatBatch batches[kInFlight];
  int current = 0;
  size_t next = 0;       // the next entry of the current batch
  bool started = false;  // every batch has been filled once
  bool primed = false;   // ... and the first one waited for
  bool listed = false;   // the listing has ended
  // The subfolders delivered so far (links aside), in their order: a walk
  // opens them next when the folder is held.
  std::vector<std::string> subfolders;

  ~State() {
    for (StatBatch& batch : batches) batch.Cancel();  // before the folder closes
    if (dir != nullptr) ::closedir(dir);
  }
};

DirSearch::~DirSearch() { Close(); }

void DirSearch::Close() {
  delete state_;
  state_ = nullptr;
}

namespace {

// Reads the next names of the listing that match into `batch` and starts
// their stat calls.
void FillAndStart(DirSearch::State& s, StatBatch& batch) {
  batch.Clear();
  while (batch.Size() < StatBatch::kCapacity && !s.listed) {
    const dirent* d = ::readdir(s.dir);
    if (d == nullptr) {
      s.listed = true;
      break;
    }
    const char* name = d->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (!s.matchAll && !WildcardMatch(s.pattern.c_str(), name)) continue;
    batch.Add(name, d->d_type);
  }
  posix::RunListingHook();
  if (!batch.Empty()) batch.Start(::dirfd(s.dir), posix::StatMask(s.withTimes));
}

// Fills every batch of the pipeline and starts their stat calls.
void Prime(DirSearch::State& s) {
  for (StatBatch& batch : s.batches) FillAndStart(s, batch);
  s.started = true;
}

// The next entry of the listing that matches, into `name` and `info`.
bool NextMatch(DirSearch::State& s, std::string& name, EntryInfo& info) {
  const int fd = ::dirfd(s.dir);
  while (s.dotsLeft > 0) {
    name = s.dotsLeft == 2 ? "." : "..";
    --s.dotsLeft;
    if ((s.matchAll || WildcardMatch(s.pattern.c_str(), name.c_str())) &&
        ReadEntry(fd, name.c_str(), s.withTimes, info) == 0) {
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
      s.current = (s.current + 1) % DirSearch::State::kInFlight;
      s.next = 0;
      s.batches[s.current].Wait();
      continue;
    }
    const size_t i = s.next++;
    const int error = batch.Error(i);
    if (error == ENOENT) continue;  // gone since the listing was read
    name = batch.Name(i);
    if (error != 0) {
      // Listed but not to be stat'ed (a folder without search permission):
      // the entry still counts, with what the listing told.
      info = posix::UnreadFacts(name, batch.Type(i));
    } else {
      const bool link = S_ISLNK(batch.Result(i).stx_mode);
      info = posix::FactsOf(name, batch.Result(i), s.withTimes, link && IsDirectoryBehind(fd, batch.Name(i)));
    }
    if ((info.attributes & kAttrDirectory) != 0 && (info.attributes & kAttrReparsePoint) == 0) {
      s.subfolders.push_back(name);
    }
    return true;
  }
}

SearchStatus OpenSingle(DirSearch::State& s, const std::string& bytes, const std::string& directory) {
  s.single = true;
  const int error = ReadPath(bytes, s.withTimes, s.held);
  if (error != 0) {
    bool isDirectory = false;
    uint64_t size = 0;
    const bool folderThere = StatPath(TextFromUtf8(directory), isDirectory, size) && isDirectory;
    return (error == ENOENT && folderThere) ? SearchStatus::kNoMatch : SearchStatus::kFailed;
  }
  s.heldName = std::string(LastComponent(bytes));
  s.pending = true;
  return SearchStatus::kOpened;
}

// Starts the listing of the open folder `fd`, which it takes over (-1: the
// folder could not be opened).
SearchStatus OpenListing(DirSearch::State& s, int fd) {
  s.matchAll = s.pattern == "*" || s.pattern == "*.*";
  if (fd < 0) return SearchStatus::kFailed;
  s.dir = ::fdopendir(fd);
  if (s.dir == nullptr) {
    ::close(fd);
    return SearchStatus::kFailed;
  }
  if (!NextMatch(s, s.heldName, s.held)) return SearchStatus::kNoMatch;
  s.pending = true;
  return SearchStatus::kOpened;
}

// ---- Look-ahead of a walk --------------------------------------------------
//
// A walk lists a folder, holds it, and then opens its subfolders with
// OpenIn one after the other, in the order they were delivered. So that the
// helper threads always have names to stat, the subfolders after the one
// asked for are opened, listed and their stat calls started ahead of time
// (a few folders, a few batches of names). OpenIn takes a folder opened
// ahead when its parent and name match; the ones passed over are given up.
// A subfolder that cannot be opened ahead is opened by OpenIn itself, the
// plain way, so that its failure is the one the plain way meets. Everything
// here is the program thread's own.
class WalkAhead {
 public:
  // Remembers the subfolders of the held folder `parent` (a descriptor);
  // the folders opened ahead for the other held ones are given up.
  void Begin(int parent, bool withTimes, std::vector<std::string> names) {
    if (names.empty()) return;
    Forget(parent);
    for (Context& context : contexts_) GiveUp(context);
    active_ = nullptr;  // the vector may move
    contexts_.push_back(Context{parent, withTimes, std::move(names), 0, {}});
  }

  // The search of `name` in `parent` opened ahead, or nullptr: then OpenIn
  // opens it. `TopUp` opens the next ones after it.
  std::unique_ptr<DirSearch::State> Take(int parent, const std::string& name, bool withTimes) {
    active_ = nullptr;
    Context* found = nullptr;
    for (Context& context : contexts_) {
      if (context.parent == parent) {
        found = &context;
      } else {
        GiveUp(context);
      }
    }
    if (found == nullptr || found->withTimes != withTimes) return nullptr;
    active_ = found;
    Context& c = *found;
    for (size_t k = 0; k < c.ahead.size(); ++k) {
      if (c.names[c.ahead[k].index] != name) continue;
      std::unique_ptr<DirSearch::State> state = std::move(c.ahead[k].state);
      c.ahead.erase(c.ahead.begin(), c.ahead.begin() + static_cast<std::ptrdiff_t>(k) + 1);
      return state;  // nullptr: one that could not be opened ahead
    }
    // Not opened ahead: start after it, when it comes soon.
    GiveUp(c);
    for (size_t i = c.next; i < c.names.size() && i < c.next + kSearchAhead; ++i) {
      if (c.names[i] == name) {
        c.next = i + 1;
        break;
      }
    }
    return nullptr;
  }

  // Opens the subfolders after the one just taken, up to the bounds.
  void TopUp() {
    if (active_ == nullptr) return;
    Context& c = *active_;
    size_t names = 0;
    for (const Ahead& ahead : c.ahead) {
      if (ahead.state == nullptr) continue;
      for (const StatBatch& batch : ahead.state->batches) names += batch.Size();
    }
    while (c.ahead.size() < kFolders && names < kNames && c.next < c.names.size()) {
      const size_t index = c.next++;
      std::unique_ptr<DirSearch::State> state = OpenAhead(c.parent, c.names[index], c.withTimes);
      if (state != nullptr) {
        for (const StatBatch& batch : state->batches) names += batch.Size();
      }
      c.ahead.push_back(Ahead{index, std::move(state)});
    }
  }

  // The held folder `parent` closes: its subfolders are not asked for.
  void Forget(int parent) {
    for (size_t i = 0; i < contexts_.size(); ++i) {
      if (contexts_[i].parent != parent) continue;
      contexts_.erase(contexts_.begin() + static_cast<std::ptrdiff_t>(i));
      active_ = nullptr;  // the vector moved
      return;
    }
  }

 private:
  static constexpr size_t kFolders = 3;        // folders opened ahead at most
  static constexpr size_t kNames = 2048;       // names in their batches, about
  static constexpr size_t kSearchAhead = 256;  // names passed over to find one asked for

  struct Ahead {
    size_t index;                             // in `names`
    std::unique_ptr<DirSearch::State> state;  // nullptr: could not be opened
  };
  struct Context {
    int parent;
    bool withTimes;
    std::vector<std::string> names;
    size_t next = 0;  // the first of `names` not opened ahead
    std::vector<Ahead> ahead;
  };

  // Gives up the folders opened ahead for `c` (their batches are cancelled
  // before their folders close); they are opened again when asked for.
  static void GiveUp(Context& c) {
    if (c.ahead.empty()) return;
    c.next = c.ahead.front().index;
    c.ahead.clear();
  }

  static std::unique_ptr<DirSearch::State> OpenAhead(int parent, const std::string& name, bool withTimes) {
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    std::unique_ptr<DirSearch::State> state(new (std::nothrow) DirSearch::State);
    if (state != nullptr) state->dir = ::fdopendir(fd);
    if (state == nullptr || state->dir == nullptr) {
      ::close(fd);
      return nullptr;
    }
    state->withTimes = withTimes;
    state->pattern = "*";
    state->matchAll = true;
    Prime(*state);
    return state;
  }

  std::vector<Context> contexts_;  // one for each held folder with subfolders, innermost last
  Context* active_ = nullptr;      // the one OpenIn took from last
};

WalkAhead walkAhead;

void Deliver(const std::string& name, const EntryInfo& info, DirEntry& entry) {
  AssignFromUtf8(entry.name, name);
  entry.attributes = info.attributes;
  entry.size = info.size;
  entry.created = info.created;
  entry.lastWrite = info.lastWrite;
  entry.lastAccess = info.lastAccess;
}

}  // namespace

SearchStatus DirSearch::Open(const Text& pathAndPattern, bool withTimes) {
  Close();
  const std::string bytes = PathBytes(pathAndPattern);
  const size_t slash = bytes.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : bytes.substr(0, slash == 0 ? 1 : slash);
  state_ = new State;
  state_->withTimes = withTimes;
  state_->pattern = slash == std::string::npos ? bytes : bytes.substr(slash + 1);
  // A path ending in a separator names no entry.
  SearchStatus status = SearchStatus::kNoMatch;
  if (!state_->pattern.empty()) {
    status = state_->pattern.find_first_of("*?") == std::string::npos
                 ? OpenSingle(*state_, bytes, directory)
                 : OpenListing(*state_, OpenFolder(directory, O_RDONLY));
  }
  if (status != SearchStatus::kOpened) Close();
  return status;
}

SearchStatus DirSearch::OpenIn(const HeldFolder& parent, const Text& name, bool withTimes) {
  Close();
  const int at = static_cast<int>(parent.handle_);
  const std::string bytes = PathBytes(name);
  std::unique_ptr<State> ahead = walkAhead.Take(at, bytes, withTimes);
  SearchStatus status;
  if (ahead != nullptr) {
    state_ = ahead.release();
    walkAhead.TopUp();
    status =
        NextMatch(*state_, state_->heldName, state_->held) ? SearchStatus::kOpened : SearchStatus::kNoMatch;
    state_->pending = status == SearchStatus::kOpened;
  } else {
    state_ = new State;
    state_->withTimes = withTimes;
    state_->pattern = "*";
    const int fd = ::openat(at, bytes.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    status = OpenListing(*state_, fd);
    walkAhead.TopUp();
  }
  if (status != SearchStatus::kOpened) Close();
  return status;
}

bool DirSearch::Hold(HeldFolder& folder) const {
  if (state_ == nullptr || state_->dir == nullptr) return false;
  const int fd = ::fcntl(::dirfd(state_->dir), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return false;
  folder.Close();
  folder.handle_ = fd;
  if (state_->matchAll && !state_->single) {
    try {
      walkAhead.Begin(fd, state_->withTimes, std::move(state_->subfolders));
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

HeldFolder::HeldFolder(HeldFolder&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNone);
  }
  return *this;
}

bool HeldFolder::Open(const Text& path) {
  const int fd = OpenFolder(PathBytes(path), O_PATH);
  if (fd < 0) return false;
  Close();
  handle_ = fd;
  return true;
}

void HeldFolder::Close() {
  if (handle_ != kNone) {
    walkAhead.Forget(static_cast<int>(handle_));
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
  if (state_->single || !NextMatch(*state_, state_->heldName, state_->held)) return false;
  Deliver(state_->heldName, state_->held, entry);
  return true;
}

bool FileAttributes(const Text& path, uint32_t& attributes) {
  EntryInfo info;
  if (ReadPath(PathBytes(path), false, info) != 0) return false;
  attributes = info.attributes;
  return true;
}

bool StatPath(const Text& path, bool& isDirectory, uint64_t& size) {
  struct stat st {};
  if (!StatFollowing(path, st)) return false;
  isDirectory = S_ISDIR(st.st_mode);
  size = isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
  return true;
}

Text FolderProblem(const Text& path) {
  // Opened the way the folder search opens it, so the answer is the one the
  // listing got; one call tells a missing path, a file and a locked folder.
  const int fd = OpenFolder(PathBytes(path), O_RDONLY);
  if (fd >= 0) {
    ::close(fd);
    return Text();
  }
  return TextFromUtf8(std::strerror(errno));
}

Text FullPath(const Text& path) {
  char* resolved = ::realpath(PathBytes(path).c_str(), nullptr);
  if (resolved == nullptr) return Text();
  Text full = TextFromUtf8(resolved);
  std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc): realpath's own buffer
  return full;
}

uint32_t DriveType(const Text& root) {
  bool isDirectory = false;
  uint64_t size = 0;
  return StatPath(root, isDirectory, size) && isDirectory ? 3 : 1;
}

}  // namespace Platform
