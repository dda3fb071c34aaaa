// The directory search on POSIX. A search reads the folder's names a batch
// at a time and stats each batch through PosixStat while the program takes
// the batch before; every entry's attribute word is synthesised from what
// POSIX knows. A held folder is a descriptor, and the subfolders of a walk
// are opened relative to it (and ahead of time, PosixWalkAhead).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "Paths.h"
#include "platform/PosixCommon.h"
#include "platform/PosixSearch.h"
#include "platform/PosixWalkAhead.h"

namespace Platform {

using posix::EntryInfo;
using posix::PathBytes;
using posix::StatBatch;

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

}  // namespace

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

}  // namespace

void posix::Prime(DirSearch::State& s) {
  for (StatBatch& batch : s.batches) FillAndStart(s, batch);
  s.started = true;
}

namespace {

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
    if (error != 0) {
      // Listed but not to be stat'ed (a folder without search permission):
      // the entry still counts, with what the listing told.
      info = posix::UnreadFacts(name, batch.Type(i));
    } else {
      const bool link = S_ISLNK(batch.Result(i).stx_mode);
      const bool linkToFolder = link && posix::IsDirectoryBehind(fd, batch.Name(i));
      info = posix::FactsOf(name, batch.Result(i), s.withTimes, linkToFolder);
    }
    return true;
  }
}

// The one entry `bytes` names, whose own name is the search's pattern.
SearchStatus OpenSingle(DirSearch::State& s, const std::string& bytes, const std::string& directory) {
  s.single = true;
  const int error = posix::ReadPath(bytes, s.pattern, s.withTimes, s.held);
  if (error != 0) {
    bool isDirectory = false;
    uint64_t size = 0;
    const bool folderThere = StatPath(TextFromUtf8(directory), isDirectory, size) && isDirectory;
    return (error == ENOENT && folderThere) ? SearchStatus::kNoMatch : SearchStatus::kFailed;
  }
  s.heldName = s.pattern;
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
  const TextView folder = Paths::FolderOf(pathAndPattern);
  const std::string directory = folder.empty() ? "." : PathBytes(Text(folder));
  state_ = new State;
  state_->withTimes = withTimes;
  state_->pattern = PathBytes(pathAndPattern.substr(folder.size()));
  // A path ending in a separator names no entry.
  SearchStatus status = SearchStatus::kNoMatch;
  if (!state_->pattern.empty()) {
    status = state_->pattern.find_first_of("*?") == std::string::npos
                 ? OpenSingle(*state_, bytes, directory)
                 : OpenListing(*state_, posix::OpenFolder(directory, O_RDONLY));
  }
  if (status != SearchStatus::kOpened) Close();
  return status;
}

SearchStatus DirSearch::OpenIn(const HeldFolder& parent, const Text& name, bool withTimes) {
  Close();
  const int at = static_cast<int>(parent.handle_);
  const std::string bytes = PathBytes(name);
  std::unique_ptr<State> ahead = posix::TheWalkAhead().Take(at, bytes, withTimes);
  SearchStatus status;
  if (ahead != nullptr) {
    state_ = ahead.release();
    posix::TheWalkAhead().TopUp();
    status =
        NextMatch(*state_, state_->heldName, state_->held) ? SearchStatus::kOpened : SearchStatus::kNoMatch;
    state_->pending = status == SearchStatus::kOpened;
  } else {
    state_ = new State;
    state_->withTimes = withTimes;
    state_->pattern = "*";
    const int fd = posix::OpenSubfolder(at, bytes);
    status = OpenListing(*state_, fd);
    posix::TheWalkAhead().TopUp();
  }
  if (status != SearchStatus::kOpened) Close();
  return status;
}

bool DirSearch::Hold(HeldFolder& folder, const std::vector<Text>& next) const {
  if (state_ == nullptr || state_->dir == nullptr) return false;
  const int fd = ::fcntl(::dirfd(state_->dir), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return false;
  folder.Close();
  folder.handle_ = fd;
  if (state_->matchAll && !state_->single && !next.empty()) {
    try {
      std::vector<std::string> names;
      names.reserve(next.size());
      for (const Text& name : next) names.push_back(PathBytes(name));
      posix::TheWalkAhead().Begin(fd, state_->withTimes, std::move(names));
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
  const int fd = posix::OpenFolder(PathBytes(path), O_PATH);
  if (fd < 0) return false;
  Close();
  handle_ = fd;
  return true;
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
  if (state_->single || !NextMatch(*state_, state_->heldName, state_->held)) return false;
  Deliver(state_->heldName, state_->held, entry);
  return true;
}

}  // namespace Platform
