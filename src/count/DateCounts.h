// The date texts of a run and how many files gave each: a table that keeps
// one small entry per distinct text and nothing per file, so that a million
// texts (a mask by the second) fit in a few dozen MiB.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Text.h"

// One text and its count, as the chart and the tests hand counts around.
struct DateCount {
  Text DateText;      // the rendered date, unique in its list
  int64_t Count = 0;  // files counted for it, at least 1
};

// The ordered list of date texts and their counts, in order of first
// occurrence until Sort orders it by text; texts counted after a sort are
// appended behind the sorted ones. A hash index over the texts makes
// counting one file cost O(1) expected, whatever the number of texts. The
// texts are kept one byte per unit where every unit fits in one.
class DateCountList {
 public:
  // Counts `count` more files for `text`: raises its count, or appends it.
  void Add(TextView text, int64_t count = 1);
  // The same, with their `bytes`, and the date value `date` counted under
  // the text (the entry keeps the earliest: Dates::None stands before
  // every date).
  void Add(TextView text, int64_t count, uint64_t bytes, int64_t date);
  // Sorts the entries by text, ordinal by UTF-16 code unit (a prefix first).
  void Sort();
  // Sorts the entries by the earliest date counted under each, equal ones
  // by text.
  void SortByDate();

  bool Empty() const { return entries_.empty(); }
  size_t Size() const { return entries_.size(); }
  // The text and the count of entry `i` (in list order).
  Text TextAt(size_t i) const;
  void TextAt(size_t i, Text& out) const;  // into `out`, reusing its storage
  int64_t CountAt(size_t i) const { return entries_[i].count; }
  uint64_t BytesAt(size_t i) const { return entries_[i].bytes; }
  int64_t FirstDateAt(size_t i) const { return entries_[i].first; }

 private:
  static constexpr uint32_t kWide = 0x80000000u;  // in Entry::size: two bytes a unit
  struct Entry {
    uint32_t offset;  // of the text in texts_
    uint32_t size;    // units, with kWide
    int64_t count;
    uint64_t bytes;
    int64_t first;  // the earliest date value counted under the text
  };
  size_t Units(const Entry& entry) const { return entry.size & ~kWide; }
  char16_t UnitAt(const Entry& entry, size_t i) const;
  bool Holds(const Entry& entry, TextView text) const;
  // Index of the entry holding `text`, or -1 when there is none.
  int64_t Find(TextView text, uint32_t hash) const;
  void Append(TextView text, uint32_t hash, int64_t count, uint64_t fileBytes, int64_t date);
  // Puts the entries in the order of `keys` (each entry's index at its new
  // place), then rebuilds the index.
  template <class Key>
  void Reorder(std::vector<Key>& keys);
  void Rebuild(size_t capacity);
  // Puts entry `entry`, whose text has `hash`, in the first free slot from
  // its own.
  void Place(uint32_t hash, size_t entry);
  // Whether entry a's text sorts before entry b's.
  bool Less(const Entry& a, const Entry& b) const;

  // Open addressing: a slot holds an entry's hash in its high half and the
  // entry's index + 1 in its low half; 0 is a free slot. With the hash in
  // the slot, a probe reads an entry's text only when the hashes agree, and
  // the table grows without reading a text.
  static uint64_t SlotOf(uint32_t hash, size_t entry) { return uint64_t{hash} << 32 | (entry + 1); }

  std::vector<Entry> entries_;
  std::vector<char> texts_;
  std::vector<uint64_t> slots_;
};

// Counts as the chart reads them: a DateCountList, or a list of DateCount.
class CountsView {
 public:
  CountsView(const DateCountList& list) : list_(&list) {}                    // NOLINT: a view of either
  CountsView(const std::vector<DateCount>& entries) : entries_(&entries) {}  // NOLINT
  size_t size() const { return list_ != nullptr ? list_->Size() : entries_->size(); }
  Text TextAt(size_t i) const { return list_ != nullptr ? list_->TextAt(i) : (*entries_)[i].DateText; }
  int64_t CountAt(size_t i) const { return list_ != nullptr ? list_->CountAt(i) : (*entries_)[i].Count; }

 private:
  const DateCountList* list_ = nullptr;
  const std::vector<DateCount>* entries_ = nullptr;
};
