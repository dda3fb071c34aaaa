// Output files on POSIX: open, write, flush, close, replace and remove.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/PosixCommon.h"

namespace Platform {

using posix::PathBytes;
using posix::WriteAll;

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Open(const Text& path, Mode mode, Share) {
  Close();
  // POSIX has no share modes; the rename that replaces a report keeps
  // readers of the old file from ever seeing a half-written one.
  int flags = O_WRONLY | O_CLOEXEC;
  switch (mode) {
    case Mode::kCreateNew: flags |= O_CREAT | O_EXCL; break;
    case Mode::kCreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case Mode::kTruncateExisting: flags |= O_TRUNC; break;
    case Mode::kOpenAlways: flags |= O_CREAT; break;
  }
  const int fd = ::open(PathBytes(path).c_str(), flags, 0666);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

bool OutputFile::SeekToEnd() { return IsOpen() && ::lseek(static_cast<int>(handle_), 0, SEEK_END) >= 0; }

bool OutputFile::Write(const void* data, size_t size) {
  return IsOpen() && WriteAll(static_cast<int>(handle_), static_cast<const char*>(data), size);
}

bool OutputFile::Flush() { return IsOpen() && ::fsync(static_cast<int>(handle_)) == 0; }

bool OutputFile::Close() {
  if (!IsOpen()) return true;
  const int fd = static_cast<int>(handle_);
  handle_ = kInvalid;
  return ::close(fd) == 0;
}

bool MoveReplacing(const Text& source, const Text& target) {
  return ::rename(PathBytes(source).c_str(), PathBytes(target).c_str()) == 0;
}

bool RemoveFile(const Text& path) { return ::unlink(PathBytes(path).c_str()) == 0; }

}  // namespace Platform
