// The folder search on POSIX. A search reads the folder's names a batch at
// a time and stats each batch through the stat pool while the program
// takes the batch before (Listing); every entry's attribute word is
// synthesised from what POSIX knows. A held folder is a descriptor, and the
// subfolders of a walk are opened relative to it (and ahead of time,
// WalkAhead).
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
#include "platform/posix/Common.h"
#include "platform/posix/Folders.h"
#include "platform/posix/Listing.h"
#include "platform/posix/WalkAhead.h"

namespace Platform {

using posix::EntryInfo;
using posix::PathBytes;

namespace {

const char16_t* const kLinkInItsPlace = u"a link has taken the folder's place";

}  // namespace

DirSearch::~DirSearch() { Close(); }

void DirSearch::Close() {
  delete state_;
  state_ = nullptr;
}

namespace {

using Opening = Outcome<SearchStatus>;

// A failed start of a search, for the error `error`.
Opening Failed(int error) {
  return {error == EMFILE || error == ENFILE ? SearchStatus::kNoHandles : SearchStatus::kFailed,
          posix::ReasonOf(error)};
}

// The one entry `bytes` names, whose own name is the search's pattern.
Opening OpenSingle(SearchState& s, const std::string& bytes, const std::string& directory) {
  s.single = true;
  const int error = posix::ReadPath(bytes, s.pattern, s.withTimes, s.held);
  if (error != 0) {
    struct stat st {};
    const bool folderThere = posix::StatFollowing(directory, st) == 0 && S_ISDIR(st.st_mode);
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
Opening FirstMatch(SearchState& s) {
  if (NextMatch(s, s.heldName, s.held)) {
    s.pending = true;
    return {SearchStatus::kOpened, Text()};
  }
  return s.error != 0 ? Failed(s.error) : Opening{SearchStatus::kNoMatch, Text()};
}

// Starts the listing of the open folder `fd`, which it takes over (-1: the
// folder could not be opened, for `error`).
Opening OpenListing(SearchState& s, int fd, int error) {
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

// A new state for the flags and the taken test of a search.
SearchState* NewState(unsigned flags, const TakenTest* takenOf) {
  auto* state = new SearchState;
  state->SetFlags(flags);
  state->takenOf = takenOf;
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
  entry.otherFileSystem = info.otherFileSystem;
  entry.takenRead = info.takenRead;
}

}  // namespace

Outcome<SearchStatus> DirSearch::Open(const Text& pathAndPattern, unsigned flags, const TakenTest* takenOf) {
  Close();
  listingFailure_.clear();
  const std::string bytes = PathBytes(pathAndPattern);
  const TextView folder = Paths::FolderOf(pathAndPattern);
  const std::string directory = folder.empty() ? "." : PathBytes(Text(folder));
  state_ = NewState(flags, takenOf);
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

Outcome<SearchStatus> DirSearch::OpenIn(const HeldFolder& parent, const Text& name, unsigned flags,
                                        const TakenTest* takenOf) {
  Close();
  listingFailure_.clear();
  const int at = static_cast<int>(parent.handle_);
  const std::string bytes = PathBytes(name);
  std::unique_ptr<SearchState> ahead = posix::TheWalkAhead().Take(at, bytes, flags, takenOf);
  Opening opening;
  if (ahead != nullptr) {
    // Its listing has begun: it goes on where it stands.
    state_ = ahead.release();
    posix::TheWalkAhead().TopUp();
    opening = FirstMatch(*state_);
  } else {
    state_ = NewState(flags, takenOf);
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
      posix::TheWalkAhead().Begin(fd, state_->Flags(), state_->takenOf, std::move(names));
    } catch (const std::bad_alloc&) {
      // Opened when asked for, as without look-ahead.
    }
  }
  return true;
}

void DirSearch::ReadTakenAgain(DirEntry& entry) const {
  if (state_ == nullptr || state_->dir == nullptr) return;
  // Through a link only where links to files are dated by their files.
  const bool link = (entry.attributes & kAttrReparsePoint) != 0;
  if (link && !state_->targets) return;
  entry.taken = posix::ReadTaken(::dirfd(state_->dir), PathBytes(entry.name).c_str(), link,
                                 posix::ProgramScratch(), entry.takenRead);
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
