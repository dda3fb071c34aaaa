// POSIX only: the stat calls of a search's batches, shared between the program thread
// and a small pool of helper threads; plain calls one after the other
// where no helper runs.
#include "platform/posix/StatPool.h"

#include <dirent.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

namespace Platform::posix {

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
  // Gives each helper its scratch for taken dates, once, before the first
  // batch that reads them. Throws std::bad_alloc.
  void GiveScratch();

 private:
  // A helper thread's own: its pool and its scratch for taken dates (set
  // and read under the mutex).
  struct Helper {
    StatPool* pool;
    std::unique_ptr<unsigned char[]> scratch;
  };
  static void* Run(void* helper);
  void Work(Helper& own);
  void Unlink(StatBatch& batch);

  std::mutex mutex_;
  std::condition_variable work_;  // helpers wait here for a batch
  std::condition_variable left_;  // the program thread waits here for helpers to leave a batch
  StatBatch* head_ = nullptr;     // started batches with names to claim, oldest first
  StatBatch* tail_ = nullptr;
  int waiting_ = 0;  // program threads waiting on left_
  bool stopping_ = false;
  std::vector<pthread_t> threads_;
  std::vector<Helper> helpers_;  // one for each thread, made before it starts
  pid_t owner_;
};

StatPool::StatPool(int wanted) : owner_(::getpid()) {
  threads_.reserve(static_cast<size_t>(wanted));
  helpers_.reserve(static_cast<size_t>(wanted));  // never moves once a thread has its own
  for (int i = 0; i < wanted; ++i) helpers_.push_back(Helper{this, nullptr});
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
    if (::pthread_create(&thread, &attr, &StatPool::Run, &helpers_[static_cast<size_t>(i)]) != 0)
      break;  // fewer helpers, or none
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

void* StatPool::Run(void* helper) {
  auto& own = *static_cast<Helper*>(helper);
  own.pool->Work(own);
  return nullptr;
}

void StatPool::Work(Helper& own) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stopping_ || head_ != nullptr; });
    if (stopping_) return;
    StatBatch& batch = *head_;
    ++batch.helpers_;  // the batch stays until this helper leaves it
    unsigned char* scratch = own.scratch.get();
    lock.unlock();
    batch.StatClaimed(scratch);
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

void StatPool::GiveScratch() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Helper& helper : helpers_)
    if (helper.scratch == nullptr)
      helper.scratch = std::make_unique_for_overwrite<unsigned char[]>(TakenDate::kScratchBytes);
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

void StatBatch::Add(std::string_view name, unsigned char type, bool taken) {
  offsets_.push_back(static_cast<uint32_t>(names_.size()));
  names_.append(name);
  names_.push_back('\0');
  types_.push_back(type);
  wantsTaken_.push_back(taken);
}

void StatBatch::Start(int dirfd, unsigned mask, bool taken) {
  dirfd_ = dirfd;
  mask_ = mask;
  taken_ = taken;
  count_ = Size();
  claim_.store(0, std::memory_order_relaxed);
  if (slots_ == nullptr) {
    slots_ = spareCount > 0 ? static_cast<Slot*>(spareSlots[--spareCount]) : new Slot[kCapacity];
  }
  StatPool* helpers = count_ >= kPoolMinimum ? ThePool() : nullptr;
  if (helpers == nullptr) return StatClaimed(OwnScratch());
  if (taken) helpers->GiveScratch();
  pool_ = helpers;
  helpers->Submit(*this);
}

unsigned char* StatBatch::OwnScratch() const { return taken_ ? ProgramScratch() : nullptr; }

void StatBatch::StatSlot(size_t i, unsigned char* scratch) {
  Slot& slot = slots_[i];
  slot.error = StatOne(dirfd_, Name(i), mask_, slot.result);
  slot.takenRead = TakenRead::kNotRead;
  slot.taken = taken_ && wantsTaken_[i] && slot.error == 0 && S_ISREG(slot.result.stx_mode)
                   ? ReadTaken(dirfd_, Name(i), false, scratch, slot.takenRead)
                   : TakenDate::Moment{};
}

void StatBatch::StatClaimed(unsigned char* scratch) {
  for (;;) {
    const size_t i = claim_.fetch_add(1, std::memory_order_relaxed);
    if (i >= count_) return;
    StatSlot(i, scratch);
  }
}

void StatBatch::Wait() {
  StatPool* helpers = std::exchange(pool_, nullptr);
  if (helpers == nullptr) return;
  if (!helpers->Ours()) {
    // A child after fork: the parent's helpers do nothing here, so every
    // call is made again.
    for (size_t i = 0; i < count_; ++i) StatSlot(i, OwnScratch());
    return;
  }
  StatClaimed(OwnScratch());
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
  wantsTaken_.clear();
}

}  // namespace Platform::posix
