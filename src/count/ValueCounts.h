// The files of a run counted by date value, in units of the mask's finest
// token (a day for yyyy-mm-dd, the second for yyyymmddhhiiss), with the
// sum of their sizes when asked. Each distinct unit is rendered once, when
// the counts are needed, instead of once per file.
//
// While the units are few they are counted in a small hash table; past
// kFewUnits distinct ones, each further file's unit is kept as it comes, 4
// bytes a file while the units lie within 2^31 of each other, and Settle
// sorts them (radix sort) and counts the runs. The settled counts take 12
// bytes a distinct unit (20 with the sizes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dates/Unit.h"

class ValueCounts {
 public:
  // Counts in units of `unit`, summing the files' sizes when `bytes`. Set
  // before the first Add; the table keeps them while it holds counts.
  void Use(TimeUnit unit, bool bytes);
  TimeUnit Unit() const { return unit_; }

  // Counts one file of `size` bytes whose date value is `date` (Dates::None
  // for none: it counts apart, before every date).
  void Add(int64_t date, uint64_t size);

  bool Empty() const;

  // Takes every Add since the last Settle into the settled counts, which
  // accumulate: a later Settle adds to them.
  void Settle();

  // The settled counts: the files without a date, and then each distinct
  // unit in ascending order, its start as a date value, its files and, with
  // `bytes`, their bytes.
  uint64_t NoDateFiles() const { return noDateFiles_; }
  uint64_t NoDateBytes() const { return noDateBytes_; }
  size_t Size() const { return keys_.Size(); }
  int64_t DateAt(size_t i) const { return UnitStart(keys_.At(i), unit_); }
  uint64_t FilesAt(size_t i) const { return files_[i]; }
  uint64_t BytesAt(size_t i) const { return bytes_.empty() ? 0 : bytes_[i]; }
  // The files of the settled counts, with a date or not.
  uint64_t TotalFiles() const;

  // The distinct units at most that the hash table counts.
  static constexpr size_t kFewUnits = 16384;

 private:
  // Unit numbers, 4 bytes each while they lie within 2^31 of the first,
  // else 8 (all of them, from the first that does not).
  class Keys {
   public:
    void Push(int64_t key);
    int64_t At(size_t i) const;
    size_t Size() const { return wide_ ? wideKeys_.size() : narrow_.size(); }
    void Clear();
    // Sorts the keys, with `sizes` (when not empty) moved along.
    void Sort(std::vector<uint64_t>& sizes);

   private:
    static constexpr int64_t kBias = int64_t{1} << 31;
    void Widen();
    int64_t base_ = 0;
    bool wide_ = false;
    std::vector<uint32_t> narrow_;    // key - base + kBias, so that their order is the keys' order
    std::vector<uint64_t> wideKeys_;  // key with its sign bit flipped, so that their order is the keys' order
   public:
    void Reserve(size_t n) { wide_ ? wideKeys_.reserve(n) : narrow_.reserve(n); }
  };
  struct Slot {
    int64_t key = 0;
    uint64_t files = 0;  // 0: a free slot
    uint64_t bytes = 0;
  };

  void CountFew(int64_t key, uint64_t size);
  void GrowFew();
  // The hash table's counts and the kept units, sorted and counted, merged
  // into the settled counts.
  void Merge(std::vector<Slot>&& few);

  TimeUnit unit_ = TimeUnit::kDay;
  bool withBytes_ = false;
  // Added since the last Settle.
  std::vector<Slot> few_;  // open addressing, a power of two, at most half full
  size_t fewUsed_ = 0;
  Keys spill_;
  std::vector<uint64_t> spillSizes_;  // with the sizes
  // Settled.
  Keys keys_;
  std::vector<uint64_t> files_, bytes_;
  uint64_t noDateFiles_ = 0, noDateBytes_ = 0;
};
