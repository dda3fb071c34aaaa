// POSIX only: the stat calls of the directory search, many at a time. The search
// lists a folder's names into batches and starts each batch; a small pool
// of helper threads, started once per process, makes the calls of started
// batches while the program thread lists the next names and delivers the
// results. A program thread that waits for a batch makes the calls of its
// unclaimed names itself. Without helpers (DATEMILL_STAT_THREADS=0, a thread
// that cannot start, a child after fork) the calls are made one after the
// other on the program thread, with the same results.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Search.h"
#include "taken/TakenDate.h"

namespace Platform::posix {

// How stat calls are made: statx, or fstatat where statx itself is missing
// (kernels before 4.11; the search switches by itself).
enum class StatMode { kStatx, kFstatat };
StatMode CurrentStatMode();
// Makes every later call use `mode` (tests).
void SetStatMode(StatMode mode);

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

// Calls `hook` after each batch of names is read and before its stat calls
// start (tests remove files there, or throw); an empty hook does nothing.
void SetListingHook(std::function<void()> hook);
// Makes the next batch of names read end the listing with the errno value
// `error`, as a failing readdir would, once (tests).
void FailNextListing(int error);
// Runs the hook, and ends the listing (`listed`, its `error`) when a
// failure is due.
void RunListingHook(bool& listed, int& error);

// The statx fields a search asks for, with or without the three times.
unsigned StatMask(bool withTimes);

// statx (or fstatat) of `name` relative to `dirfd`, links not followed:
// 0, or the errno value of the failure. Without statx, `out` carries no
// birth time.
int StatOne(int dirfd, const char* name, unsigned mask, struct statx& out);
// The same of what a link `name` leads to.
int StatTarget(int dirfd, const char* name, unsigned mask, struct statx& out);

// What a search delivers of one entry.
struct EntryInfo {
  uint32_t attributes = 0;
  uint64_t size = 0;
  FileTime created = 0, lastWrite = 0, lastAccess = 0;
  TakenDate::Moment taken;
};

// When the file `name` (relative to `dirfd`) was taken, from its metadata,
// read through one read-only open (a link followed with `follow`, else not
// opened at); `scratch` is the caller's TakenDate::kScratchBytes. kNone
// when it cannot be opened or read.
TakenDate::Moment ReadTaken(int dirfd, const char* name, bool follow, unsigned char* scratch);

// The program thread's scratch buffer for ReadTaken.
unsigned char* ProgramScratch();

// The attribute word the program expects, made from what POSIX knows;
// `name` is the entry's own name (its last path component).
uint32_t SynthesiseAttributes(std::string_view name, mode_t mode, bool followsToDirectory);

// An entry's facts from its statx result. A file system that records no
// birth time gives the last-write time as the creation time, and so does a
// birth time of exactly 0 (1970-01-01 00:00:00 UTC): file systems made by
// image tools report that for "not recorded".
EntryInfo FactsOf(std::string_view name, const struct statx& stx, bool withTimes, bool linkToFolder);

// The facts of an entry whose stat failed: its type from the listing, no
// size, and every time kTimeUnread.
EntryInfo UnreadFacts(std::string_view name, unsigned char direntType);

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
  // Adds a name (copied) with its type from the listing (DT_*); at most
  // kCapacity.
  void Add(std::string_view name, unsigned char type);
  // Starts the stat calls of every name, relative to `dirfd`: handed to the
  // pool where one runs, else made here and now. With `taken`, a regular
  // file's taken date is read too (ReadTaken).
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
  // The taken date read with the result (Start's `taken`).
  const TakenDate::Moment& Taken(size_t i) const { return slots_[i].taken; }

 private:
  friend class StatPool;
  struct Slot {
    struct statx result;
    int error;
    TakenDate::Moment taken;
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
