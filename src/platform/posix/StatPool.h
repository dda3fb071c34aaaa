// POSIX only: the stat calls of the directory search, many at a time. The
// search lists a folder's names into batches and starts each batch; a small
// pool of helper threads, started once per process, makes the calls of started
// batches while the program thread lists the next names and delivers the
// results. A program thread that waits for a batch makes the calls of its
// unclaimed names itself. Without helpers (DATEMILL_STAT_THREADS=0, a thread
// that cannot start, a child after fork) the calls are made one after the
// other on the program thread, with the same results.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/Stat.h"
#include "taken/TakenDate.h"

namespace Platform::posix {

// The helper threads a pool gets: `setting` is DATEMILL_STAT_THREADS
// (nullptr when unset), `cores` the cores the process may use. A whole
// number from 0 to kMaxStatThreads is taken as it is (0: none); otherwise
// one fewer than the cores, at least 1 and at most kDefaultMaxStatThreads.
constexpr int kMaxStatThreads = 64;
constexpr int kDefaultMaxStatThreads = 8;
int StatThreadsFor(const char* setting, int cores);

// Stops the pool's helper threads, if any run; the next batch starts
// `count` of them (-1: as DATEMILL_STAT_THREADS and the cores say). No
// search may be open (tests).
void RestartStatPool(int count);
// The helper threads the next batch of this process can use; starts the
// pool when it has not been tried yet. 0: the calls are made on the
// program thread.
int StatPoolThreads();

class StatPool;

// Up to kCapacity names of one folder and their stat results. From Start
// until Wait or Cancel returns, helper threads may read the names and write
// the results, so neither may change; the program thread reads a result
// only after Wait. The destructor cancels a started batch.
class StatBatch {
 public:
  static constexpr size_t kCapacity = 512;

  StatBatch();
  ~StatBatch();
  StatBatch(const StatBatch&) = delete;
  StatBatch& operator=(const StatBatch&) = delete;

  bool Empty() const { return offsets_.empty(); }
  size_t Size() const { return offsets_.size(); }
  // Adds a name (copied) with its type from the listing (DT_*), and whether
  // its taken date is wanted; at most kCapacity.
  void Add(std::string_view name, unsigned char type, bool taken);
  // Starts the stat calls of every name, relative to `dirfd`: handed to the
  // pool where one runs, else made here and now. With `taken`, the taken
  // date of a regular file whose name wants it is read too (ReadTaken).
  void Start(int dirfd, unsigned mask, bool taken);
  // Makes the calls no helper has claimed, then returns once every result
  // is in.
  void Wait();
  // Leaves the names no helper has claimed without results and returns
  // once no helper works on the batch (a search that ends early).
  void Cancel();
  // Waits, then forgets every name.
  void Clear();

  const char* Name(size_t i) const { return names_.data() + offsets_[i]; }
  unsigned char Type(size_t i) const { return types_[i]; }
  // 0, or the errno value of the failed call.
  int Error(size_t i) const { return slots_[i].error; }
  const struct statx& Result(size_t i) const { return slots_[i].result; }
  // The taken date read with the result (Start's `taken`), and how it was.
  const TakenDate::Moment& Taken(size_t i) const { return slots_[i].taken; }
  TakenRead HowTaken(size_t i) const { return slots_[i].takenRead; }
  bool WantsTaken(size_t i) const { return wantsTaken_[i]; }

 private:
  friend class StatPool;
  struct Slot {
    struct statx result;
    int error;
    TakenDate::Moment taken;
    TakenRead takenRead;
  };
  // Claims names one at a time and stats them until none is left, with
  // `scratch` for the taken dates of the thread that calls.
  void StatClaimed(unsigned char* scratch);
  // The program thread's scratch where taken dates are read, else nullptr.
  unsigned char* OwnScratch() const;
  void StatSlot(size_t i, unsigned char* scratch);

  std::string names_;  // each name ended by a NUL
  std::vector<uint32_t> offsets_;
  std::vector<unsigned char> types_;
  std::vector<bool> wantsTaken_;
  // kCapacity results, taken at the first Start from the ones earlier
  // batches gave back (a tree walk makes a search per folder) and given
  // back at the end.
  Slot* slots_ = nullptr;
  int dirfd_ = -1;
  unsigned mask_ = 0;
  bool taken_ = false;
  size_t count_ = 0;          // the names of the started batch
  StatPool* pool_ = nullptr;  // the pool that has the batch, until Wait or Cancel
  // Every caller of StatClaimed takes its next name here.
  alignas(64) std::atomic<size_t> claim_{0};
  // Guarded by the pool's mutex: the pool's queue, and the helpers at work
  // on this batch.
  StatBatch* queueNext_ = nullptr;
  bool queued_ = false;
  int helpers_ = 0;
};

}  // namespace Platform::posix
