// The stat calls of the POSIX directory search, many at a time. On Linux a
// batch goes to the kernel through io_uring, whose workers run the calls on
// every core while the program counts the batch before; where io_uring is
// missing or refused, the same calls are made one after the other, with the
// same results.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace Platform::posix {

// How stat calls are made. The first search chooses kRing unless the kernel
// refuses io_uring or DATEMILL_NO_IO_URING=1 is set; kFstatat where statx
// itself is missing.
enum class StatMode { kRing, kStatx, kFstatat };
StatMode CurrentStatMode();
// Makes every later batch use `mode` (tests); kRing falls back to kStatx
// when the kernel refuses it.
void SetStatMode(StatMode mode);
// Makes the next batch choose again, as the first search does (tests).
void ChooseStatModeAgain();

// Calls `hook` after each batch of names is read and before its stat calls
// start (tests remove files there); an empty hook does nothing.
void SetListingHook(std::function<void()> hook);
void RunListingHook();

// The statx fields a search asks for, with or without the three times.
unsigned StatMask(bool withTimes);

// statx (or fstatat) of `name` relative to `dirfd`, links not followed:
// 0, or the errno value of the failure. Without statx, `out` carries no
// birth time.
int StatOne(int dirfd, const char* name, unsigned mask, struct statx& out);

// What a search delivers of one entry.
struct EntryInfo {
  uint32_t attributes = 0;
  uint64_t size = 0;
  FileTime created = 0, lastWrite = 0, lastAccess = 0;
};

// The attribute word the program expects, made from what POSIX knows;
// `name` is the entry's own name (its last path component).
uint32_t SynthesiseAttributes(std::string_view name, mode_t mode, bool followsToDirectory);

// An entry's facts from its statx result. A file system that records no
// birth time gives the last-write time as the creation time.
EntryInfo FactsOf(std::string_view name, const struct statx& stx, bool withTimes, bool linkToFolder);

// The facts of an entry whose stat failed: its type from the listing, no
// size, and every time kTimeUnread.
EntryInfo UnreadFacts(std::string_view name, unsigned char direntType);

// Up to kCapacity names of one folder and their stat results. While a batch
// is started, its names and results must stay where they are: the batch
// waits for its calls before it is cleared or destroyed.
class StatBatch {
 public:
  static constexpr size_t kCapacity = 256;

  StatBatch();
  ~StatBatch();
  StatBatch(const StatBatch&) = delete;
  StatBatch& operator=(const StatBatch&) = delete;

  bool Full() const { return offsets_.size() == kCapacity; }
  bool Empty() const { return offsets_.empty(); }
  size_t Size() const { return offsets_.size(); }
  // Adds a name (copied) with its type from the listing (DT_*).
  void Add(std::string_view name, unsigned char type);
  // Starts the stat calls of every name, relative to `dirfd`.
  void Start(int dirfd, unsigned mask);
  // Returns once every result is in.
  void Wait();
  // Waits, then forgets every name.
  void Clear();

  const char* Name(size_t i) const { return names_.data() + offsets_[i]; }
  unsigned char Type(size_t i) const { return types_[i]; }
  // 0, or the errno value of the failed call.
  int Error(size_t i) const { return slots_[i].error; }
  const struct statx& Result(size_t i) const { return slots_[i].result; }

  struct Slot {
    struct statx result;
    int error;
    size_t* pending;  // the batch's count of calls in flight
  };

 private:
  std::string names_;  // each name ended by a NUL
  std::vector<uint32_t> offsets_;
  std::vector<unsigned char> types_;
  std::vector<Slot> slots_;  // kCapacity, allocated once: the kernel writes here
  size_t pending_ = 0;
  int dirfd_ = -1;
  unsigned mask_ = 0;
  bool viaRing_ = false;  // the results come from the ring
};

}  // namespace Platform::posix
