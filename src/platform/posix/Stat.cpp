// POSIX only: one entry's stat call (statx, or fstatat where statx is missing), and
// the facts the search delivers of it.
#include "platform/posix/Stat.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <utility>

#include "platform/Entry.h"
#include "platform/posix/Common.h"

namespace Platform::posix {

namespace {

std::atomic<StatMode> mode{StatMode::kStatx};
std::function<void()> listingHook;
int listingFailure = 0;

int StatxOne(int dirfd, const char* name, unsigned mask, int follow, struct statx& out) {
#ifdef STATX_BASIC_STATS
  if (::statx(dirfd, name, follow | AT_NO_AUTOMOUNT, mask, &out) == 0) return 0;
  return errno;
#else
  (void)dirfd, (void)name, (void)mask, (void)follow, (void)out;
  return ENOSYS;
#endif
}

// fstatat's answer in statx's shape, without a birth time.
int FstatatOne(int dirfd, const char* name, int follow, struct statx& out) {
  struct stat st {};
  if (::fstatat(dirfd, name, &st, follow) != 0) return errno;
  out = {};
  out.stx_mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME;
  out.stx_mode = static_cast<uint16_t>(st.st_mode);
  out.stx_size = static_cast<uint64_t>(st.st_size);
  out.stx_dev_major = major(st.st_dev);
  out.stx_dev_minor = minor(st.st_dev);
  out.stx_mtime = {st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec), 0};
  out.stx_atime = {st.st_atim.tv_sec, static_cast<uint32_t>(st.st_atim.tv_nsec), 0};
  return 0;
}

FileTime TicksOfStamp(const struct statx_timestamp& t) { return TicksOf(t.tv_sec, t.tv_nsec); }

}  // namespace

StatMode CurrentStatMode() { return mode.load(std::memory_order_relaxed); }

void SetStatMode(StatMode wanted) { mode.store(wanted, std::memory_order_relaxed); }

void SetListingHook(std::function<void()> hook) { listingHook = std::move(hook); }

void FailNextListing(int error) { listingFailure = error; }

void RunListingHook(bool& listed, int& error) {
  if (listingHook) listingHook();
  if (listingFailure == 0) return;
  listed = true;
  error = std::exchange(listingFailure, 0);
}

unsigned StatMask(bool withTimes, unsigned onlyStamp) {
  unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE;
  if (!withTimes) return mask;
  if (onlyStamp == 0) return mask | STATX_BTIME | STATX_MTIME | STATX_ATIME;
  if (onlyStamp & kSearchOnlyCreated) mask |= STATX_BTIME | STATX_MTIME;
  if (onlyStamp & kSearchOnlyWritten) mask |= STATX_MTIME;
  if (onlyStamp & kSearchOnlyAccessed) mask |= STATX_ATIME;
  return mask;
}

namespace {

// `follow`: 0 follows a link, AT_SYMLINK_NOFOLLOW does not.
int Stat(int dirfd, const char* name, unsigned mask, int follow, struct statx& out) {
  if (CurrentStatMode() != StatMode::kFstatat) {
    const int error = StatxOne(dirfd, name, mask, follow, out);
    if (error != ENOSYS) return error;
    SetStatMode(StatMode::kFstatat);  // a kernel before 4.11: no statx at all
  }
  return FstatatOne(dirfd, name, follow, out);
}

}  // namespace

int StatOne(int dirfd, const char* name, unsigned mask, struct statx& out) {
  return Stat(dirfd, name, mask, AT_SYMLINK_NOFOLLOW, out);
}

int StatTarget(int dirfd, const char* name, unsigned mask, struct statx& out) {
  return Stat(dirfd, name, mask, 0, out);
}

uint64_t DeviceOf(const struct statx& stx) { return makedev(stx.stx_dev_major, stx.stx_dev_minor); }

uint32_t SynthesiseAttributes(std::string_view name, mode_t fileMode, bool followsToDirectory) {
  uint32_t attributes = 0;
  if (S_ISDIR(fileMode) || followsToDirectory) attributes |= kAttrDirectory;
  if (!(fileMode & S_IWUSR) && !S_ISLNK(fileMode)) attributes |= kAttrReadOnly;
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= kAttrHidden;
  if (S_ISLNK(fileMode)) attributes |= kAttrReparsePoint;
  if (attributes == 0) attributes = kAttrNormal;
  return attributes;
}

EntryInfo FactsOf(std::string_view name, const struct statx& stx, bool withTimes, bool linkToFolder) {
  EntryInfo info;
  info.attributes = SynthesiseAttributes(name, stx.stx_mode, linkToFolder);
  info.size = stx.stx_size;
  if (withTimes) {
    info.lastWrite = TicksOfStamp(stx.stx_mtime);
    info.lastAccess = TicksOfStamp(stx.stx_atime);
    // File systems without a birth time report none, and some report 0
    // for "not recorded": use the last write.
    const bool born =
        (stx.stx_mask & STATX_BTIME) && (stx.stx_btime.tv_sec != 0 || stx.stx_btime.tv_nsec != 0);
    info.created = born ? TicksOfStamp(stx.stx_btime) : info.lastWrite;
  }
  return info;
}

namespace {

std::atomic<uint64_t> takenOpens{0};

// A file being read for its taken date, and whether a read failed.
struct OpenFile {
  int fd;
  bool failed = false;
};

int64_t ReadFromFile(void* context, uint64_t offset, unsigned char* out, size_t size) {
  auto& file = *static_cast<OpenFile*>(context);
  for (;;) {
    const ssize_t got = ::pread(file.fd, out, size, static_cast<off_t>(offset));
    if (got >= 0) return got;
    if (errno != EINTR) break;
  }
  file.failed = true;
  return -1;
}

}  // namespace

TakenDate::Moment ReadTaken(int dirfd, const char* name, bool follow, unsigned char* scratch,
                            TakenRead& read) {
  // Read-only, and without waiting: a file that has become a pipe since it
  // was listed is not waited on. Reading leaves the file's last-access time
  // as it was where the system lets us (our own files, or as root), so that
  // a later count by that date still sees the user's own reads.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (follow ? 0 : O_NOFOLLOW);
  takenOpens.fetch_add(1, std::memory_order_relaxed);
  OpenFile file{::openat(dirfd, name, flags | O_NOATIME)};
  if (file.fd < 0 && errno == EPERM) file.fd = ::openat(dirfd, name, flags);
  if (file.fd < 0) {
    read = errno == EMFILE || errno == ENFILE ? TakenRead::kNoHandles : TakenRead::kFailed;
    return {};
  }
  const TakenDate::Moment taken = TakenDate::Read(&ReadFromFile, &file, scratch);
  ::close(file.fd);
  read = file.failed && taken.kind == TakenDate::Kind::kNone ? TakenRead::kFailed : TakenRead::kRead;
  return taken;
}

uint64_t TakenOpens() { return takenOpens.load(std::memory_order_relaxed); }

unsigned char* ProgramScratch() {
  static std::unique_ptr<unsigned char[]> scratch;
  if (!scratch) scratch = std::make_unique_for_overwrite<unsigned char[]>(TakenDate::kScratchBytes);
  return scratch.get();
}

EntryInfo UnreadFacts(std::string_view name, unsigned char direntType) {
  const mode_t typeBits = direntType == DT_DIR ? S_IFDIR : direntType == DT_LNK ? S_IFLNK : S_IFREG;
  EntryInfo info;
  // Without the mode the write bit is unknown; say writable, as most are.
  info.attributes = SynthesiseAttributes(name, typeBits | S_IWUSR, false);
  info.created = info.lastWrite = info.lastAccess = kTimeUnread;
  return info;
}

}  // namespace Platform::posix
