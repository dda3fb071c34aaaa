// A hash table of 512 slots with text keys, each key once, and a fixed
// visiting order: ascending slot, and within a slot the most recently added
// key first. The environment table, the tokens of one expansion and the
// scanner's filter sets are such tables; the expansion relies on the order.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/Text.h"

class KeyedTable {
 public:
  static constexpr size_t kSlots = 512;

  KeyedTable() { heads_.fill(kNone); }

  // h = h * 65599 + unit, modulo 2^32, over the key's UTF-16 code units.
  static uint32_t Hash(TextView key) {
    uint32_t h = 0;
    for (char16_t unit : key) h = h * 65599u + unit;
    return h;
  }
  static size_t SlotOf(TextView key) { return Hash(key) % kSlots; }

  // Stores `value` under `key`; an existing key gets the new value.
  void Set(const Text& key, const Text& value) {
    if (Text* existing = FindMutable(key)) {
      *existing = value;
      return;
    }
    const size_t slot = SlotOf(key);
    entries_.push_back(Entry{key, value, heads_[slot]});
    heads_[slot] = static_cast<uint32_t>(entries_.size() - 1);
  }

  // Adds `key` with an empty value unless it is already there.
  void Add(const Text& key) {
    if (!Contains(key)) Set(key, Text());
  }

  // The value stored under `key`, or nullptr.
  const Text* Find(TextView key) const {
    for (uint32_t i = heads_[SlotOf(key)]; i != kNone; i = entries_[i].next) {
      if (entries_[i].key == key) return &entries_[i].value;
    }
    return nullptr;
  }
  bool Contains(TextView key) const { return Find(key) != nullptr; }

  void Clear() {
    entries_.clear();
    heads_.fill(kNone);
  }
  bool Empty() const { return entries_.empty(); }
  size_t Size() const { return entries_.size(); }

  // Calls visit(key, value) for every entry in visiting order.
  template <class Visit>
  void ForEach(Visit visit) const {
    for (uint32_t head : heads_) {
      for (uint32_t i = head; i != kNone; i = entries_[i].next) visit(entries_[i].key, entries_[i].value);
    }
  }

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  struct Entry {
    Text key;
    Text value;
    uint32_t next;
  };

  Text* FindMutable(TextView key) { return const_cast<Text*>(Find(key)); }

  std::vector<Entry> entries_;
  std::array<uint32_t, kSlots> heads_;
};
