// Stat calls in batches, shared between the program thread and a small
// pool of helper threads; plain statx (or fstatat where statx is missing)
// one after the other where no helper runs.
#include "platform/PosixStat.h"

#include <dirent.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "platform/PosixCommon.h"

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

unsigned StatMask(bool withTimes) {
  unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE;
  if (withTimes) mask |= STATX_BTIME | STATX_MTIME | STATX_ATIME;
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
    // File systems without a birth time report none, and some report 0
    // for "not recorded": use the last write.
    const bool born =
        (stx.stx_mask & STATX_BTIME) && (stx.stx_btime.tv_sec != 0 || stx.stx_btime.tv_nsec != 0);
    info.created = born ? TicksOfStamp(stx.stx_btime) : info.lastWrite;
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

// ---- The pool ---------------------------------------------------------------

// Helper threads that make the stat calls of started batches, oldest batch
// first. They touch nothing but the batches handed to them: the names, the
// results and the claim index of each, and the queue under the mutex.
class StatPool {
 public:
  explicit StatPool(int wanted);
  ~StatPool();  // stops and joins the helpers; no batch may be queued
  StatPool(const StatPool&) = delete;
  StatPool& operator=(const StatPool&) = delete;

  int Threads() const { return static_cast<int>(threads_.size()); }
  // False in a child after fork: the helpers live only in the parent.
  bool Ours() const { return owner_ == ::getpid(); }
  // Puts `batch` at the end of the queue and wakes the helpers.
  void Submit(StatBatch& batch);
  // Takes `batch` out of the queue (its names are all claimed) and returns
  // once no helper works on it.
  void Finish(StatBatch& batch);

 private:
  static void* Run(void* pool);
  void Work();
  void Unlink(StatBatch& batch);

  std::mutex mutex_;
  std::condition_variable work_;  // helpers wait here for a batch
  std::condition_variable left_;  // the program thread waits here for helpers to leave a batch
  StatBatch* head_ = nullptr;     // started batches with names to claim, oldest first
  StatBatch* tail_ = nullptr;
  int waiting_ = 0;  // program threads waiting on left_
  bool stopping_ = false;
  std::vector<pthread_t> threads_;
  pid_t owner_;
};

StatPool::StatPool(int wanted) : owner_(::getpid()) {
  threads_.reserve(static_cast<size_t>(wanted));
  pthread_attr_t attr;
  if (::pthread_attr_init(&attr) != 0) return;
  // A helper only makes stat calls: a small stack is plenty.
  (void)::pthread_attr_setstacksize(&attr, size_t{256} * 1024);
  // Signals go to the program thread, never to a helper.
  sigset_t all, before;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &before);
  for (int i = 0; i < wanted; ++i) {
    pthread_t thread;
    if (::pthread_create(&thread, &attr, &StatPool::Run, this) != 0) break;  // fewer helpers, or none
    threads_.push_back(thread);
  }
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  ::pthread_attr_destroy(&attr);
}

StatPool::~StatPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  for (pthread_t thread : threads_) ::pthread_join(thread, nullptr);
}

void* StatPool::Run(void* pool) {
  static_cast<StatPool*>(pool)->Work();
  return nullptr;
}

void StatPool::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stopping_ || head_ != nullptr; });
    if (stopping_) return;
    StatBatch& batch = *head_;
    ++batch.helpers_;  // the batch stays until this helper leaves it
    lock.unlock();
    batch.StatClaimed();
    lock.lock();
    if (batch.queued_) Unlink(batch);  // every name is claimed now
    if (--batch.helpers_ == 0 && waiting_ > 0) left_.notify_all();
  }
}

void StatPool::Submit(StatBatch& batch) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.queueNext_ = nullptr;
    batch.queued_ = true;
    (tail_ != nullptr ? tail_->queueNext_ : head_) = &batch;
    tail_ = &batch;
  }
  if (threads_.size() > 1) {
    work_.notify_all();
  } else {
    work_.notify_one();
  }
}

void StatPool::Finish(StatBatch& batch) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (batch.queued_) Unlink(batch);
  ++waiting_;
  left_.wait(lock, [&batch] { return batch.helpers_ == 0; });
  --waiting_;
}

void StatPool::Unlink(StatBatch& batch) {
  StatBatch* before = nullptr;
  for (StatBatch* at = head_; at != &batch; at = at->queueNext_) before = at;
  (before != nullptr ? before->queueNext_ : head_) = batch.queueNext_;
  if (tail_ == &batch) tail_ = before;
  batch.queueNext_ = nullptr;
  batch.queued_ = false;
}

namespace {

int wantedThreads = -1;  // -1: as DATEMILL_STAT_THREADS and the cores say
bool poolTried = false;
StatPool* pool = nullptr;  // made once, on the program thread; never freed but by RestartStatPool

int CoresWeMayUse() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return CPU_COUNT(&set);
}

// The pool of this process, started on first use; nullptr where the calls
// are made on the program thread.
StatPool* ThePool() {
  if (!poolTried) {
    poolTried = true;
    const int wanted = wantedThreads >= 0
                           ? wantedThreads
                           : StatThreadsFor(std::getenv("DATEMILL_STAT_THREADS"), CoresWeMayUse());
    try {
      if (wanted > 0) pool = new StatPool(wanted);
    } catch (const std::bad_alloc&) {
      pool = nullptr;  // the plain way
    }
  }
  // A child after fork has its parent's pool in memory, but not its threads.
  return pool != nullptr && pool->Threads() > 0 && pool->Ours() ? pool : nullptr;
}

// A batch this small is quicker stat'ed than handed over.
constexpr size_t kPoolMinimum = 8;

}  // namespace

int StatThreadsFor(const char* setting, int cores) {
  if (setting != nullptr && *setting != '\0' && std::strlen(setting) <= 2) {
    char* end = nullptr;
    const long n = std::strtol(setting, &end, 10);
    if (*end == '\0' && setting[0] >= '0' && setting[0] <= '9' && n <= kMaxStatThreads)
      return static_cast<int>(n);
  }
  const int helpers = cores - 1;
  return helpers < 1 ? 1 : helpers > kDefaultMaxStatThreads ? kDefaultMaxStatThreads : helpers;
}

void RestartStatPool(int count) {
  if (pool != nullptr && pool->Ours()) delete pool;
  pool = nullptr;
  poolTried = false;
  wantedThreads = count;
}

int StatPoolThreads() {
  StatPool* running = ThePool();
  return running != nullptr ? running->Threads() : 0;
}

// ---- Batches ----------------------------------------------------------------

namespace {

// Result arrays of ended searches, for the next ones; the program thread's
// own.
constexpr int kSpareSlots = 16;
void* spareSlots[kSpareSlots];
int spareCount = 0;

}  // namespace

StatBatch::StatBatch() = default;

StatBatch::~StatBatch() {
  Cancel();
  if (slots_ == nullptr) return;
  if (spareCount < kSpareSlots) {
    spareSlots[spareCount++] = slots_;
  } else {
    delete[] slots_;
  }
}

void StatBatch::Add(std::string_view name, unsigned char type) {
  offsets_.push_back(static_cast<uint32_t>(names_.size()));
  names_.append(name);
  names_.push_back('\0');
  types_.push_back(type);
}

void StatBatch::Start(int dirfd, unsigned mask) {
  dirfd_ = dirfd;
  mask_ = mask;
  count_ = Size();
  claim_.store(0, std::memory_order_relaxed);
  if (slots_ == nullptr) {
    slots_ = spareCount > 0 ? static_cast<Slot*>(spareSlots[--spareCount]) : new Slot[kCapacity];
  }
  StatPool* helpers = count_ >= kPoolMinimum ? ThePool() : nullptr;
  if (helpers == nullptr) return StatClaimed();
  pool_ = helpers;
  helpers->Submit(*this);
}

void StatBatch::StatClaimed() {
  for (;;) {
    const size_t i = claim_.fetch_add(1, std::memory_order_relaxed);
    if (i >= count_) return;
    slots_[i].error = StatOne(dirfd_, Name(i), mask_, slots_[i].result);
  }
}

void StatBatch::Wait() {
  StatPool* helpers = std::exchange(pool_, nullptr);
  if (helpers == nullptr) return;
  if (!helpers->Ours()) {
    // A child after fork: the parent's helpers do nothing here, so every
    // call is made again.
    for (size_t i = 0; i < count_; ++i) slots_[i].error = StatOne(dirfd_, Name(i), mask_, slots_[i].result);
    return;
  }
  StatClaimed();
  helpers->Finish(*this);
}

void StatBatch::Cancel() {
  StatPool* helpers = std::exchange(pool_, nullptr);
  if (helpers == nullptr || !helpers->Ours()) return;
  claim_.fetch_add(count_, std::memory_order_relaxed);  // no name is claimed from now on
  helpers->Finish(*this);
}

void StatBatch::Clear() {
  Wait();
  names_.clear();
  offsets_.clear();
  types_.clear();
}

}  // namespace Platform::posix
