// Directory search and path queries on POSIX: each entry's facts come from
// statx (fstatat where statx is missing), with the attribute word the
// program expects synthesised from them.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/PosixCommon.h"

namespace Platform {

using posix::PathBytes;
using posix::TicksOf;

namespace {

struct EntryInfo {
  uint32_t attributes = 0;
  uint64_t size = 0;
  FileTime created = 0, lastWrite = 0, lastAccess = 0;
};

// The attribute word the program expects, made from what POSIX knows.
uint32_t SynthesiseAttributes(std::string_view name, mode_t mode, bool followsToDirectory) {
  uint32_t attributes = 0;
  if (S_ISDIR(mode) || followsToDirectory) attributes |= kAttrDirectory;
  if (!(mode & S_IWUSR) && !S_ISLNK(mode)) attributes |= kAttrReadOnly;
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= kAttrHidden;
  if (S_ISLNK(mode)) attributes |= kAttrReparsePoint;
  if (attributes == 0) attributes = kAttrNormal;
  return attributes;
}

bool IsDirectoryBehind(int dirfd, const char* name) {
  struct stat target {};
  return ::fstatat(dirfd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

// Reads one entry's facts without following a link; a link to a folder still
// counts as a folder. Times only when asked for.
bool ReadEntry(int dirfd, const char* name, bool withTimes, EntryInfo& info) {
  const char* base = std::strrchr(name, '/');
  base = (base != nullptr && base[1] != '\0') ? base + 1 : name;
#ifdef STATX_BASIC_STATS
  static bool haveStatx = true;
  if (haveStatx) {
    struct statx stx {};
    unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE;
    if (withTimes) mask |= STATX_BTIME | STATX_MTIME | STATX_ATIME;
    if (::statx(dirfd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &stx) == 0) {
      const bool link = S_ISLNK(stx.stx_mode);
      info.attributes = SynthesiseAttributes(base, stx.stx_mode, link && IsDirectoryBehind(dirfd, name));
      info.size = stx.stx_size;
      if (withTimes) {
        info.lastWrite = TicksOf(stx.stx_mtime.tv_sec, stx.stx_mtime.tv_nsec);
        info.lastAccess = TicksOf(stx.stx_atime.tv_sec, stx.stx_atime.tv_nsec);
        // File systems without a birth time report none: use the last write.
        info.created = (stx.stx_mask & STATX_BTIME) ? TicksOf(stx.stx_btime.tv_sec, stx.stx_btime.tv_nsec)
                                                    : info.lastWrite;
      }
      return true;
    }
    if (errno != ENOSYS) return false;
    haveStatx = false;
  }
#endif
  struct stat st {};
  if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  const bool link = S_ISLNK(st.st_mode);
  info.attributes = SynthesiseAttributes(base, st.st_mode, link && IsDirectoryBehind(dirfd, name));
  info.size = static_cast<uint64_t>(st.st_size);
  if (withTimes) {
    info.lastWrite = TicksOf(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
    info.lastAccess = TicksOf(st.st_atim.tv_sec, static_cast<uint32_t>(st.st_atim.tv_nsec));
    info.created = info.lastWrite;
  }
  return true;
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
  std::string directory;  // for the single-entry form
  std::string pattern;
  bool matchAll = false;
  bool withTimes = false;
  int dotsLeft = 2;      // "." and ".." come first, as on Windows
  bool single = false;   // a search for one named entry
  bool pending = false;  // `held` is the next entry to deliver
  std::string heldName;
  EntryInfo held;
};

DirSearch::~DirSearch() { Close(); }

void DirSearch::Close() {
  if (state_ == nullptr) return;
  if (state_->dir != nullptr) ::closedir(state_->dir);
  delete state_;
  state_ = nullptr;
}

namespace {

// The next entry of the listing that matches, into `name` and `info`.
bool NextMatch(DirSearch::State& s, std::string& name, EntryInfo& info);

}  // namespace

SearchStatus DirSearch::Open(const Text& pathAndPattern, bool withTimes) {
  Close();
  const std::string bytes = PathBytes(pathAndPattern);
  const size_t slash = bytes.rfind('/');
  std::string directory = slash == std::string::npos ? "." : bytes.substr(0, slash == 0 ? 1 : slash);
  std::string pattern = slash == std::string::npos ? bytes : bytes.substr(slash + 1);
  // A path ending in a separator names no entry.
  if (pattern.empty()) return SearchStatus::kNoMatch;

  state_ = new State;
  state_->withTimes = withTimes;
  state_->pattern = pattern;
  if (pattern.find_first_of("*?") == std::string::npos) {
    state_->single = true;
    if (!ReadEntry(AT_FDCWD, bytes.c_str(), withTimes, state_->held)) {
      const int error = errno;
      Close();
      struct stat st {};
      const bool folderThere = ::stat(directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      return (error == ENOENT && folderThere) ? SearchStatus::kNoMatch : SearchStatus::kFailed;
    }
    state_->heldName = pattern;
    state_->pending = true;
    return SearchStatus::kOpened;
  }
  state_->matchAll = pattern == "*" || pattern == "*.*";
  state_->dir = ::opendir(directory.c_str());
  if (state_->dir == nullptr) {
    Close();
    return SearchStatus::kFailed;
  }
  if (!NextMatch(*state_, state_->heldName, state_->held)) {
    Close();
    return SearchStatus::kNoMatch;
  }
  state_->pending = true;
  return SearchStatus::kOpened;
}

namespace {

bool NextMatch(DirSearch::State& s, std::string& name, EntryInfo& info) {
  const int fd = ::dirfd(s.dir);
  while (s.dotsLeft > 0) {
    name = s.dotsLeft == 2 ? "." : "..";
    --s.dotsLeft;
    if ((s.matchAll || WildcardMatch(s.pattern.c_str(), name.c_str())) &&
        ReadEntry(fd, name.c_str(), s.withTimes, info)) {
      return true;
    }
  }
  while (const dirent* d = ::readdir(s.dir)) {
    const char* entryName = d->d_name;
    if (std::strcmp(entryName, ".") == 0 || std::strcmp(entryName, "..") == 0) continue;
    if (!s.matchAll && !WildcardMatch(s.pattern.c_str(), entryName)) continue;
    // An entry that vanished since the listing was read is passed over.
    if (!ReadEntry(fd, entryName, s.withTimes, info)) continue;
    name = entryName;
    return true;
  }
  return false;
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
  if (!ReadEntry(AT_FDCWD, PathBytes(path).c_str(), false, info)) return false;
  attributes = info.attributes;
  return true;
}

bool StatPath(const Text& path, bool& isDirectory, uint64_t& size) {
  struct stat st {};
  if (::stat(PathBytes(path).c_str(), &st) != 0) return false;
  isDirectory = S_ISDIR(st.st_mode);
  size = isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
  return true;
}

Text FolderProblem(const Text& path) {
  // Opened the way the folder search opens it, so the answer is the one the
  // listing got; one call tells a missing path, a file and a locked folder.
  const int fd = ::open(PathBytes(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return Text();
  }
  return TextFromUtf8(std::strerror(errno));
}

uint32_t DriveType(const Text& root) {
  struct stat st {};
  return (::stat(PathBytes(root).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? 3 : 1;
}

bool FolderIdentity(const Text& path, FolderId& id) {
  struct stat st {};
  if (::stat(PathBytes(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  id.volume = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  return true;
}

}  // namespace Platform
