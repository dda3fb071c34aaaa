// Stat calls in batches: io_uring on Linux where the kernel allows it, else
// plain statx (or fstatat where statx is missing), one after the other.
#include "platform/PosixStat.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/PosixCommon.h"

#ifdef DATEMILL_IO_URING
#include <liburing.h>
#endif

namespace Platform::posix {

namespace {

bool modeChosen = false;
StatMode mode = StatMode::kStatx;
std::function<void()> listingHook;

int StatxOne(int dirfd, const char* name, unsigned mask, struct statx& out) {
#ifdef STATX_BASIC_STATS
  if (::statx(dirfd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &out) == 0) return 0;
  return errno;
#else
  (void)dirfd, (void)name, (void)mask, (void)out;
  return ENOSYS;
#endif
}

// fstatat's answer in statx's shape, without a birth time.
int FstatatOne(int dirfd, const char* name, struct statx& out) {
  struct stat st {};
  if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  out = {};
  out.stx_mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME;
  out.stx_mode = static_cast<uint16_t>(st.st_mode);
  out.stx_size = static_cast<uint64_t>(st.st_size);
  out.stx_mtime = {st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec), 0};
  out.stx_atime = {st.st_atim.tv_sec, static_cast<uint32_t>(st.st_atim.tv_nsec), 0};
  return 0;
}

FileTime TicksOfStamp(const struct statx_timestamp& t) { return TicksOf(t.tv_sec, t.tv_nsec); }

}  // namespace

// ---- The ring ---------------------------------------------------------------

namespace {

#ifdef DATEMILL_IO_URING
struct Ring {
  io_uring ring{};
  unsigned room = 0;      // completions the ring holds
  unsigned inFlight = 0;  // calls submitted and not yet reaped
  pid_t owner = 0;        // a child after fork shares the ring's memory: not its to use
};
Ring* ring = nullptr;

void CloseRing() {
  io_uring_queue_exit(&ring->ring);  // in a child: only the child's mapping and descriptor
  delete ring;
  ring = nullptr;
}

// A ring that runs statx, or nullptr where the kernel refuses one (before
// 5.6, kernel.io_uring_disabled, a seccomp filter: ENOSYS or EPERM).
Ring* OpenRing() {
  auto* made = new Ring;
  io_uring_params params{};
  if (io_uring_queue_init_params(StatBatch::kCapacity, &made->ring, &params) < 0) {
    delete made;
    return nullptr;
  }
  io_uring_probe* probe = io_uring_get_probe_ring(&made->ring);
  const bool statxThere = probe != nullptr && io_uring_opcode_supported(probe, IORING_OP_STATX);
  if (probe != nullptr) io_uring_free_probe(probe);
  if (!statxThere) {
    io_uring_queue_exit(&made->ring);
    delete made;
    return nullptr;
  }
  made->room = params.cq_entries;
  made->owner = ::getpid();
  return made;
}

// Takes in one completion (waiting for it when `wait`); false when none.
bool Reap(bool wait) {
  io_uring_cqe* cqe = nullptr;
  int rc = wait ? io_uring_wait_cqe(&ring->ring, &cqe) : io_uring_peek_cqe(&ring->ring, &cqe);
  while (rc == -EINTR) rc = io_uring_wait_cqe(&ring->ring, &cqe);
  if (rc < 0 || cqe == nullptr) return false;
  auto* slot = static_cast<StatBatch::Slot*>(io_uring_cqe_get_data(cqe));
  slot->error = cqe->res < 0 ? -cqe->res : 0;
  --*slot->pending;
  --ring->inFlight;
  io_uring_cqe_seen(&ring->ring, cqe);
  return true;
}

// Queues the statx of each name; false when the kernel takes none of them.
bool RingStart(int dirfd, unsigned mask, const char* const* names, StatBatch::Slot* slots, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    // Batches of several open searches may be in flight; keep their
    // completions within what the ring holds.
    while (ring->inFlight + 1 > ring->room && Reap(true)) {
    }
    io_uring_sqe* sqe = io_uring_get_sqe(&ring->ring);
    if (sqe == nullptr) {
      if (io_uring_submit(&ring->ring) < 0) return false;
      sqe = io_uring_get_sqe(&ring->ring);
      if (sqe == nullptr) return false;
    }
    io_uring_prep_statx(sqe, dirfd, names[i], AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &slots[i].result);
    io_uring_sqe_set_data(sqe, &slots[i]);
    ++*slots[i].pending;
    ++ring->inFlight;
  }
  return io_uring_submit(&ring->ring) >= 0;
}
#else
struct Ring {
  unsigned inFlight = 0;
  pid_t owner = 0;
};
Ring* ring = nullptr;
void CloseRing() {}
Ring* OpenRing() { return nullptr; }
bool Reap(bool) { return false; }
bool RingStart(int, unsigned, const char* const*, StatBatch::Slot*, size_t) { return false; }
#endif

void ChooseMode() {
  if (modeChosen) return;
  modeChosen = true;
  const char* off = std::getenv("DATEMILL_NO_IO_URING");
  const bool ringWanted = off == nullptr || std::strcmp(off, "1") != 0;
  if (ringWanted && ring == nullptr) ring = OpenRing();
  mode = ringWanted && ring != nullptr ? StatMode::kRing : StatMode::kStatx;
}

}  // namespace

StatMode CurrentStatMode() {
  if (ring != nullptr && ring->owner != ::getpid()) {
    CloseRing();  // made by the parent of this process
    modeChosen = false;
  }
  ChooseMode();
  return mode;
}

void SetStatMode(StatMode wanted) {
  modeChosen = true;
  if (wanted == StatMode::kRing && ring == nullptr) ring = OpenRing();
  mode = (wanted == StatMode::kRing && ring == nullptr) ? StatMode::kStatx : wanted;
}

void ChooseStatModeAgain() { modeChosen = false; }

void SetListingHook(std::function<void()> hook) { listingHook = std::move(hook); }

void RunListingHook() {
  if (listingHook) listingHook();
}

unsigned StatMask(bool withTimes) {
  unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE;
  if (withTimes) mask |= STATX_BTIME | STATX_MTIME | STATX_ATIME;
  return mask;
}

int StatOne(int dirfd, const char* name, unsigned mask, struct statx& out) {
  if (CurrentStatMode() != StatMode::kFstatat) {
    const int error = StatxOne(dirfd, name, mask, out);
    if (error != ENOSYS) return error;
    mode = StatMode::kFstatat;  // a kernel before 4.11: no statx at all
  }
  return FstatatOne(dirfd, name, out);
}

// ---- Facts ------------------------------------------------------------------

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
    // File systems without a birth time report none: use the last write.
    info.created = (stx.stx_mask & STATX_BTIME) ? TicksOfStamp(stx.stx_btime) : info.lastWrite;
  }
  return info;
}

EntryInfo UnreadFacts(std::string_view name, unsigned char direntType) {
  const mode_t typeBits = direntType == DT_DIR ? S_IFDIR : direntType == DT_LNK ? S_IFLNK : S_IFREG;
  EntryInfo info;
  // Without the mode the write bit is unknown; say writable, as most are.
  info.attributes = SynthesiseAttributes(name, typeBits | S_IWUSR, false);
  info.created = info.lastWrite = info.lastAccess = kTimeUnread;
  return info;
}

// ---- Batches ----------------------------------------------------------------

StatBatch::StatBatch() : slots_(kCapacity) {
  names_.reserve(kCapacity * 32);
  offsets_.reserve(kCapacity);
  types_.reserve(kCapacity);
}

StatBatch::~StatBatch() { Wait(); }

void StatBatch::Add(std::string_view name, unsigned char type) {
  offsets_.push_back(static_cast<uint32_t>(names_.size()));
  names_.append(name);
  names_.push_back('\0');
  types_.push_back(type);
}

void StatBatch::Start(int dirfd, unsigned mask) {
  dirfd_ = dirfd;
  mask_ = mask;
  const char* names[kCapacity];
  for (size_t i = 0; i < Size(); ++i) {
    names[i] = Name(i);
    slots_[i].error = 0;
    slots_[i].pending = &pending_;
  }
  viaRing_ = CurrentStatMode() == StatMode::kRing;
  if (viaRing_) {
    if (RingStart(dirfd, mask, names, slots_.data(), Size())) return;
    // The kernel took none of them (submission refused): the plain way
    // from now on.
    ring->inFlight -= static_cast<unsigned>(pending_);
    pending_ = 0;
    viaRing_ = false;
    mode = StatMode::kStatx;
  }
  for (size_t i = 0; i < Size(); ++i) slots_[i].error = StatOne(dirfd, names[i], mask, slots_[i].result);
}

void StatBatch::Wait() {
  while (pending_ > 0 && Reap(true)) {
  }
  if (pending_ > 0 || !viaRing_) return;  // pending: the ring failed, nothing more arrives
  // A call the ring failed (other than for a file gone since the listing)
  // is made again the plain way, so both ways give the same results.
  for (size_t i = 0; i < Size(); ++i) {
    if (slots_[i].error != 0 && slots_[i].error != ENOENT) {
      slots_[i].error = StatOne(dirfd_, Name(i), mask_, slots_[i].result);
    }
  }
}

void StatBatch::Clear() {
  Wait();
  names_.clear();
  offsets_.clear();
  types_.clear();
}

}  // namespace Platform::posix
