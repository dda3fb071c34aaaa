#include "platform/posix/Folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "base/Paths.h"
#include "platform/posix/Common.h"

namespace Platform::posix {

namespace {

// Opens `path` in stretches shorter than PATH_MAX, each relative to the
// folder before it; the last one with `flags`. Empty components (repeated
// separators) are passed over, which the kernel does too.
int OpenInStretches(const std::string& path, int flags) {
  Fd at;
  std::string stretch = path.starts_with('/') ? "/" : "";
  auto open = [&](int openFlags) {
    const int next =
        ::openat(at.get() >= 0 ? at.get() : AT_FDCWD, stretch.c_str(), openFlags | O_DIRECTORY | O_CLOEXEC);
    if (next >= 0) at.reset(next);
    stretch.clear();
    return next >= 0;
  };
  for (size_t pos = 0; pos < path.size();) {
    size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    const std::string_view component(path.data() + pos, end - pos);
    pos = end + 1;
    if (component.empty()) continue;
    if (component.size() >= PATH_MAX) return errno = ENAMETOOLONG, -1;
    if (!stretch.empty() && stretch.size() + component.size() + 1 >= PATH_MAX && !open(O_PATH)) return -1;
    if (!stretch.empty() && stretch.back() != '/') stretch += '/';
    stretch += component;
  }
  if (!stretch.empty() && !open(flags)) return -1;
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
  // The name keeps the path's trailing separators: they make a link to a
  // folder count as the folder, as on short paths.
  const Text whole = TextFromUtf8(path);
  const TextView parent = Paths::FolderOf(Paths::Trimmed(whole));
  if (parent.empty()) return errno = ENAMETOOLONG, false;
  const int fd = posix::OpenFolder(Utf8FromText(parent), O_PATH);
  if (fd < 0) return false;
  place.folder.reset(fd);
  place.name = Utf8FromText(TextView(whole).substr(parent.size()));
  return true;
}

}  // namespace

int StatFollowing(const std::string& path, struct stat& st) {
  Place place;
  if (!Locate(path, place)) return errno;
  return ::fstatat(place.at(), place.name.c_str(), &st, 0) == 0 ? 0 : errno;
}

int OpenFolder(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 || errno != ENAMETOOLONG) return fd;
  return OpenInStretches(path, flags);
}

int OpenSubfolder(int parent, const std::string& name, bool follow) {
  return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
}

size_t OpenDescriptors() {
  DIR* fds = ::opendir("/proc/self/fd");
  if (fds == nullptr) return 3;  // no /proc: the standard streams at least
  size_t count = 0;
  while (const dirent* d = ::readdir(fds)) count += d->d_name[0] != '.';
  ::closedir(fds);
  return count - 1;  // not the one that lists them
}

bool IsDirectoryBehind(int dirfd, const char* name) {
  struct stat target {};
  return ::fstatat(dirfd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

int ReadEntry(int dirfd, const char* name, std::string_view ownName, bool withTimes, EntryInfo& info) {
  struct statx stx {};
  const int error = StatOne(dirfd, name, StatMask(withTimes), stx);
  if (error != 0) return error;
  const bool linkToFolder = S_ISLNK(stx.stx_mode) && IsDirectoryBehind(dirfd, name);
  info = FactsOf(ownName, stx, withTimes, linkToFolder);
  return 0;
}

int ReadPath(const std::string& path, std::string_view ownName, bool withTimes, EntryInfo& info) {
  Place place;
  if (!Locate(path, place)) return errno;
  return ReadEntry(place.at(), place.name.c_str(), ownName, withTimes, info);
}

}  // namespace Platform::posix
