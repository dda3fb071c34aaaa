#include "count/DateCounts.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

uint32_t HashText(TextView text) {
  uint64_t h = 14695981039346656037ull;  // 64-bit FNV-1a, folded
  for (char16_t unit : text) h = (h ^ unit) * 1099511628211ull;
  return static_cast<uint32_t>(h ^ (h >> 32));
}

bool FitsInBytes(TextView text) {
  return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x100; });
}

// A sort key: the leading code units of a text packed into two words so
// that comparing the words compares the units in order, 8 units a word when
// every unit of every text fits in a byte (dates rendered through a mask
// nearly always do), else 4. Texts that agree on their key are compared in
// full. Sorting these keys touches no text for nearly every comparison,
// which counts with a million distinct texts.
struct SortKey {
  uint64_t words[2];
  uint32_t entry;
};

}  // namespace

char16_t DateCountList::UnitAt(const Entry& entry, size_t i) const {
  const char* at = texts_.data() + entry.offset;
  if ((entry.size & kWide) == 0) return static_cast<unsigned char>(at[i]);
  char16_t unit;
  std::memcpy(&unit, at + 2 * i, sizeof unit);
  return unit;
}

Text DateCountList::TextAt(size_t i) const {
  Text text;
  TextAt(i, text);
  return text;
}

void DateCountList::TextAt(size_t i, Text& out) const {
  const Entry& entry = entries_[i];
  out.resize(Units(entry));
  for (size_t k = 0; k < out.size(); ++k) out[k] = UnitAt(entry, k);
}

bool DateCountList::Holds(const Entry& entry, TextView text) const {
  if (Units(entry) != text.size()) return false;
  for (size_t k = 0; k < text.size(); ++k) {
    if (UnitAt(entry, k) != text[k]) return false;
  }
  return true;
}

int64_t DateCountList::Find(TextView text, uint32_t hash) const {
  if (slots_.empty()) return -1;
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const uint64_t slot = slots_[i];
    if (slot == 0) return -1;
    const size_t entry = static_cast<uint32_t>(slot) - 1;
    if (slot >> 32 == hash && Holds(entries_[entry], text)) return static_cast<int64_t>(entry);
  }
}

void DateCountList::Rebuild(size_t capacity) {
  // The old table goes first: only one is ever held.
  slots_.clear();
  slots_.shrink_to_fit();
  slots_.assign(capacity, 0);
  Text text;
  for (size_t e = 0; e < entries_.size(); ++e) {
    TextAt(e, text);
    Place(HashText(text), e);
  }
}

void DateCountList::Place(uint32_t hash, size_t entry) {
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = SlotOf(hash, entry);
}

void DateCountList::Append(TextView text, uint32_t hash, int64_t count, uint64_t fileBytes, int64_t date) {
  const bool narrow = FitsInBytes(text);
  const size_t bytes = text.size() * (narrow ? 1 : 2);
  // Offsets and sizes are 32 bits: past 4 GiB of texts memory has run out.
  if (texts_.size() + bytes > UINT32_MAX || text.size() >= kWide) throw std::bad_alloc();
  const auto offset = static_cast<uint32_t>(texts_.size());
  if (narrow) {
    for (char16_t unit : text) texts_.push_back(static_cast<char>(unit));
  } else {
    texts_.resize(texts_.size() + bytes);
    std::memcpy(texts_.data() + offset, text.data(), bytes);
  }
  entries_.push_back(
      Entry{offset, static_cast<uint32_t>(text.size()) | (narrow ? 0 : kWide), count, fileBytes, date});
  // Keep the table at most half full so probes stay short.
  if (entries_.size() * 2 > slots_.size()) {
    Rebuild(std::max<size_t>(64, slots_.size() * 2));
    return;
  }
  Place(hash, entries_.size() - 1);
}

void DateCountList::Add(TextView text, int64_t count) { Add(text, count, 0, INT64_MAX); }

void DateCountList::Add(TextView text, int64_t count, uint64_t bytes, int64_t date) {
  const uint32_t hash = HashText(text);
  const int64_t found = Find(text, hash);
  if (found >= 0) {
    Entry& entry = entries_[static_cast<size_t>(found)];
    entry.count += count;
    entry.bytes += bytes;
    entry.first = std::min(entry.first, date);
  } else {
    Append(text, hash, count, bytes, date);
  }
}

bool DateCountList::Less(const Entry& a, const Entry& b) const {
  const size_t n = std::min(Units(a), Units(b));
  for (size_t k = 0; k < n; ++k) {
    const char16_t x = UnitAt(a, k), y = UnitAt(b, k);
    if (x != y) return x < y;
  }
  return Units(a) < Units(b);
}

void DateCountList::Sort() {
  const bool narrow =
      std::none_of(entries_.begin(), entries_.end(), [](const Entry& e) { return e.size & kWide; });
  const unsigned bits = narrow ? 8 : 16;
  const size_t perWord = 64 / bits;
  // The index is rebuilt after the entries move: it goes now, so that the
  // keys take its place.
  slots_.clear();
  slots_.shrink_to_fit();
  std::vector<SortKey> keys;
  keys.reserve(entries_.size());
  for (size_t e = 0; e < entries_.size(); ++e) {
    SortKey key{{0, 0}, static_cast<uint32_t>(e)};
    const size_t units = std::min(Units(entries_[e]), 2 * perWord);
    for (size_t i = 0; i < units; ++i) {
      key.words[i / perWord] |= uint64_t{UnitAt(entries_[e], i)} << (64 - bits * (i % perWord + 1));
    }
    keys.push_back(key);
  }
  // Texts are unique, so any correct sort gives the one order there is.
  std::sort(keys.begin(), keys.end(), [this](const SortKey& a, const SortKey& b) {
    if (a.words[0] != b.words[0]) return a.words[0] < b.words[0];
    if (a.words[1] != b.words[1]) return a.words[1] < b.words[1];
    return Less(entries_[a.entry], entries_[b.entry]);
  });
  Reorder(keys);
}

template <class Key>
void DateCountList::Reorder(std::vector<Key>& keys) {
  slots_.clear();
  slots_.shrink_to_fit();
  // Put every entry in its place by following the cycles of the
  // permutation, so no second list is needed. The texts stay where they are.
  for (uint32_t start = 0; start < keys.size(); ++start) {
    if (keys[start].entry == start) continue;
    const Entry held = entries_[start];
    uint32_t at = start;
    while (keys[at].entry != start) {
      const uint32_t from = keys[at].entry;
      entries_[at] = entries_[from];
      keys[at].entry = at;
      at = from;
    }
    entries_[at] = held;
    keys[at].entry = at;
  }
  keys.clear();
  keys.shrink_to_fit();
  // The index as Append grows it: at most half full.
  size_t capacity = 64;
  while (capacity < entries_.size() * 2) capacity *= 2;
  Rebuild(capacity);
}

void DateCountList::SortByDate() {
  struct DateKey {
    int64_t first;
    uint32_t entry;
  };
  std::vector<DateKey> keys;
  keys.reserve(entries_.size());
  for (size_t e = 0; e < entries_.size(); ++e) keys.push_back({entries_[e].first, static_cast<uint32_t>(e)});
  std::sort(keys.begin(), keys.end(), [this](const DateKey& a, const DateKey& b) {
    if (a.first != b.first) return a.first < b.first;
    return Less(entries_[a.entry], entries_[b.entry]);
  });
  Reorder(keys);
}
