// Questions about paths on POSIX: attributes, what a path names, whether a
// folder can be listed, full paths.
#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/Paths.h"
#include "platform/posix/Common.h"
#include "platform/posix/Folders.h"

namespace Platform {

using posix::EntryInfo;
using posix::PathBytes;

bool FileAttributes(const Text& path, uint32_t& attributes) {
  EntryInfo info;
  // The attribute word is the entry's own: hidden when its own name, the
  // last component of the path, starts with ".".
  if (posix::ReadPath(PathBytes(path), PathBytes(Text(Paths::LastComponent(path))), false, info) != 0)
    return false;
  attributes = info.attributes;
  return true;
}

bool StatPath(const Text& path, bool& isDirectory, uint64_t& size) {
  struct stat st {};
  if (posix::StatFollowing(PathBytes(path), st) != 0) return false;
  isDirectory = S_ISDIR(st.st_mode);
  size = isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
  return true;
}

Done CanList(const Text& path) {
  // Opened the way the folder search opens it, so the answer is the one the
  // listing got; one call tells a missing path, a file and a locked folder.
  const int fd = posix::OpenFolder(PathBytes(path), O_RDONLY);
  if (fd < 0) return posix::FailedNow();
  ::close(fd);
  return Succeeded();
}

Text FullPath(const Text& path) {
  char* resolved = ::realpath(PathBytes(path).c_str(), nullptr);
  if (resolved == nullptr) return Text();
  Text full = TextFromUtf8(resolved);
  std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc): realpath's own buffer
  return full;
}

bool FolderIdentity(const Text& path, FolderId& id) {
  struct stat st {};
  if (posix::StatFollowing(PathBytes(path), st) != 0 || !S_ISDIR(st.st_mode)) return false;
  id.volume = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  return true;
}

uint32_t DriveType(const Text& root) {
  bool isDirectory = false;
  uint64_t size = 0;
  return StatPath(root, isDirectory, size) && isDirectory ? 3 : 1;
}

}  // namespace Platform
