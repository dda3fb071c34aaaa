// Writing files on POSIX: output files opened, written, made durable,
// closed, moved over the files they replace or removed, what replacing a
// file must respect of the one it replaces, and the interruptions.
#include "platform/Files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "base/Paths.h"
#include "platform/posix/Common.h"
#include "platform/posix/Interrupts.h"

namespace Platform {

using posix::PathBytes;
using posix::WriteAll;

void PrepareFileWrites() {
  // By default a write beyond RLIMIT_FSIZE ends the process with SIGXFSZ,
  // which would leave a temporary file behind and skip the later folders;
  // ignored, the write fails with EFBIG like any other failed write.
  (void)::signal(SIGXFSZ, SIG_IGN);  // cannot fail for this signal
  posix::HandleInterrupts();
}

void ForgetOnInterrupt() { posix::PublishPendingDelete(nullptr); }

Done FinalPath(const Text& path, Text& final) {
  std::string current = PathBytes(path);
  // As many links as the system itself follows before it reports a loop.
  for (int hop = 0; hop < 40; ++hop) {
    struct stat info;
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      final = TextFromUtf8(current);
      return Succeeded();
    }
    std::string target(static_cast<size_t>(info.st_size) + 256, '\0');
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n < 0) return posix::FailedNow();
    if (n == 0 || static_cast<size_t>(n) == target.size()) return FailedFor(posix::ReasonOf(EINVAL));
    target.resize(static_cast<size_t>(n));
    // A relative target is relative to the folder that holds the link.
    if (target.front() != '/')
      target = PathBytes(Paths::Join(Paths::FolderOf(TextFromUtf8(current)), TextFromUtf8(target)));
    current = target;
  }
  return FailedFor(posix::ReasonOf(ELOOP));
}

Done QueryFile(const Text& path, FileFacts& facts) {
  const std::string bytes = PathBytes(path);
  struct stat info;
  if (::stat(bytes.c_str(), &info) != 0) {
    facts.exists = false;
    return errno == ENOENT ? Succeeded() : posix::FailedNow();
  }
  facts.exists = true;
  facts.folder = S_ISDIR(info.st_mode);
  // The owner's write bit is what "read-only" means to the user, even to
  // root, whom the access check would let through.
  facts.readOnly =
      (info.st_mode & S_IWUSR) == 0 || ::faccessat(AT_FDCWD, bytes.c_str(), W_OK, AT_EACCESS) != 0;
  facts.links = static_cast<uint32_t>(info.st_nlink);
  return Succeeded();
}

Text RefusalReason(Refusal refusal) {
  return posix::ReasonOf(refusal == Refusal::kIsFolder ? EISDIR : EACCES);
}

namespace {

// Refused: the folder (or the file system) takes no new files from this
// process. Everything else is a failure of its own, which writing in place
// instead would only make worse.
OutputFile::Opening FailureOf(int error) {
  switch (error) {
    case EEXIST: return OutputFile::Opening::kExists;
    case EACCES:
    case EPERM:
    case EROFS: return OutputFile::Opening::kRefused;
    default: return OutputFile::Opening::kOther;
  }
}

}  // namespace

Outcome<OutputFile::Opening> OutputFile::Open(const Text& path, Mode mode, Share) {
  CloseQuietly();
  name_ = PathBytes(path);
  // POSIX has no share modes; the rename that replaces a report keeps
  // readers of the old file from ever seeing a half-written one.
  int flags = O_WRONLY | O_CLOEXEC;
  switch (mode) {
    case Mode::kCreateNew:
    case Mode::kCreateTemporary: flags |= O_CREAT | O_EXCL; break;
    case Mode::kCreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case Mode::kTruncateExisting: flags |= O_TRUNC; break;
    case Mode::kOpenAlways: flags |= O_CREAT; break;
  }
  // A temporary file is named for deletion before an interruption can
  // come: the signals wait from before it exists until it is named.
  std::unique_ptr<char[]> copy(mode == Mode::kCreateTemporary ? posix::HandlerCopy(name_) : nullptr);
  std::optional<posix::HeldInterrupts> held;
  if (copy != nullptr) held.emplace();
  const int fd = ::open(name_.c_str(), flags, 0666);
  if (fd >= 0 && copy != nullptr) {
    posix::RunMadeHook();
    posix::PublishPendingDelete(copy.release());
  }
  held.reset();
  if (fd < 0) {
    const int error = errno;
    name_.clear();  // not this process's file to delete
    return {FailureOf(error), posix::ReasonOf(error)};
  }
  handle_ = fd;
  return {Opening::kOpened, Text()};
}

namespace {

// Succeeded when `ok`, else the failure errno tells.
Done DoneIf(bool ok) { return ok ? Succeeded() : posix::FailedNow(); }

}  // namespace

Done OutputFile::SeekToEnd() {
  return DoneIf(IsOpen() && ::lseek(static_cast<int>(handle_), 0, SEEK_END) >= 0);
}

Done OutputFile::Write(const void* data, size_t size) {
  return DoneIf(IsOpen() && WriteAll(static_cast<int>(handle_), static_cast<const char*>(data), size));
}

Done OutputFile::EndHere() {
  const int fd = static_cast<int>(handle_);
  const off_t position = IsOpen() ? ::lseek(fd, 0, SEEK_CUR) : -1;
  return DoneIf(position >= 0 && ::ftruncate(fd, position) == 0);
}

Done OutputFile::CopySettingsFrom(const Text& model) {
  struct stat info;
  if (!IsOpen() || ::stat(PathBytes(model).c_str(), &info) != 0) return posix::FailedNow();
  const int fd = static_cast<int>(handle_);
  // Owner and group first: a change of owner clears the set-id bits. Only a
  // privileged process may give a file away; any owner may pass it to one of
  // their own groups.
  if (::fchown(fd, info.st_uid, info.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), info.st_gid) != 0) {
    // Neither could be set: the file keeps this process's owner and group.
  }
  return DoneIf(::fchmod(fd, info.st_mode & 07777) == 0);
}

Done OutputFile::Flush() { return DoneIf(IsOpen() && ::fsync(static_cast<int>(handle_)) == 0); }

bool OutputFile::CloseQuietly() noexcept {
  if (!IsOpen()) return true;
  const int fd = static_cast<int>(handle_);
  handle_ = kInvalid;
  return ::close(fd) == 0;
}

Done OutputFile::Close() { return DoneIf(CloseQuietly()); }

bool OutputFile::Discard() noexcept {
  CloseQuietly();
  const bool deleted = !name_.empty() && ::unlink(name_.c_str()) == 0;
  name_.clear();
  return deleted;
}

Done MoveReplacing(const Text& source, const Text& target) {
  return DoneIf(::rename(PathBytes(source).c_str(), PathBytes(target).c_str()) == 0);
}

Done RemoveFile(const Text& path) { return DoneIf(::unlink(PathBytes(path).c_str()) == 0); }

FileTime StampNow() {
  struct timespec now {};
  (void)::clock_gettime(CLOCK_REALTIME, &now);  // cannot fail for this clock
  return posix::TicksOf(now.tv_sec, static_cast<uint32_t>(now.tv_nsec));
}

bool MakeFolder(const Text& path) { return ::mkdir(PathBytes(path).c_str(), 0777) == 0; }

bool MakeFolders(const Text& path) {
  const std::string bytes = PathBytes(path);
  for (size_t at = bytes.find('/', 1); at != std::string::npos; at = bytes.find('/', at + 1)) {
    (void)::mkdir(bytes.substr(0, at).c_str(), 0700);  // one that exists stays as it is
  }
  (void)::mkdir(bytes.c_str(), 0700);
  struct stat info {};
  return ::stat(bytes.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace Platform
