#include "count/ValueCounts.h"

#include <algorithm>
#include <array>
#include <utility>

#include "base/Constants.h"

namespace {

constexpr uint64_t kSignBit = uint64_t{1} << 63;

// Sorts `keys` in ascending order, least significant byte first, with
// `sizes` (when not empty) moved along; a byte that every key shares costs
// one look at the counts and nothing more.
template <class Key>
void RadixSort(std::vector<Key>& keys, std::vector<uint64_t>& sizes) {
  constexpr unsigned kBytes = sizeof(Key);
  const size_t n = keys.size();
  if (n < 2) return;
  std::vector<std::array<size_t, 256>> counts(kBytes);
  for (auto& c : counts) c.fill(0);
  for (const Key key : keys) {
    for (unsigned b = 0; b < kBytes; ++b) ++counts[b][(key >> (8 * b)) & 0xFF];
  }
  std::vector<Key> keysOut;
  std::vector<uint64_t> sizesOut;
  for (unsigned b = 0; b < kBytes; ++b) {
    std::array<size_t, 256>& count = counts[b];
    if (count[(keys[0] >> (8 * b)) & 0xFF] == n) continue;
    size_t at = 0;
    for (size_t& c : count) at += std::exchange(c, at);
    keysOut.resize(n);
    if (!sizes.empty()) sizesOut.resize(n);
    for (size_t i = 0; i < n; ++i) {
      const size_t to = count[(keys[i] >> (8 * b)) & 0xFF]++;
      keysOut[to] = keys[i];
      if (!sizes.empty()) sizesOut[to] = sizes[i];
    }
    keys.swap(keysOut);
    if (!sizes.empty()) sizes.swap(sizesOut);
  }
}

uint64_t HashKey(int64_t key) {
  auto h = static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull;  // Fibonacci hashing
  return h ^ (h >> 29);
}

}  // namespace

void ValueCounts::Keys::Push(int64_t key) {
  if (!wide_ && narrow_.empty()) base_ = key;
  if (!wide_) {
    const int64_t offset = key - base_ + kBias;  // base_ and key are unit numbers: no overflow
    if (offset >= 0 && offset <= int64_t{UINT32_MAX}) {
      narrow_.push_back(static_cast<uint32_t>(offset));
      return;
    }
    Widen();
  }
  wideKeys_.push_back(static_cast<uint64_t>(key) ^ kSignBit);
}

void ValueCounts::Keys::Widen() {
  wideKeys_.reserve(narrow_.size() + 1);
  for (size_t i = 0; i < narrow_.size(); ++i) wideKeys_.push_back(static_cast<uint64_t>(At(i)) ^ kSignBit);
  wide_ = true;
  narrow_.clear();
  narrow_.shrink_to_fit();
}

int64_t ValueCounts::Keys::At(size_t i) const {
  return wide_ ? static_cast<int64_t>(wideKeys_[i] ^ kSignBit)
               : base_ + static_cast<int64_t>(narrow_[i]) - kBias;
}

void ValueCounts::Keys::Clear() { *this = Keys(); }

void ValueCounts::Keys::Sort(std::vector<uint64_t>& sizes) {
  if (wide_) {
    RadixSort(wideKeys_, sizes);
  } else {
    RadixSort(narrow_, sizes);
  }
}

uint64_t ValueCounts::TotalFiles() const {
  uint64_t total = noDateFiles_;
  for (const uint64_t files : files_) total += files;
  return total;
}

void ValueCounts::Use(TimeUnit unit, bool bytes) {
  unit_ = unit;
  withBytes_ = bytes;
}

bool ValueCounts::Empty() const {
  return noDateFiles_ == 0 && fewUsed_ == 0 && spill_.Size() == 0 && keys_.Size() == 0;
}

void ValueCounts::Add(int64_t date, uint64_t size) {
  if (!withBytes_) size = 0;
  if (date == Dates::None) {
    ++noDateFiles_;
    noDateBytes_ += size;
    return;
  }
  const int64_t key = UnitNumber(date, unit_);
  // Once the table is full, every further unit is kept as it comes.
  if (spill_.Size() == 0) {
    CountFew(key, size);
    return;
  }
  spill_.Push(key);
  if (withBytes_) spillSizes_.push_back(size);
}

void ValueCounts::CountFew(int64_t key, uint64_t size) {
  if (few_.empty()) few_.resize(64);
  const size_t mask = few_.size() - 1;
  for (size_t i = HashKey(key) & mask;; i = (i + 1) & mask) {
    Slot& slot = few_[i];
    if (slot.files != 0 && slot.key == key) {
      ++slot.files;
      slot.bytes += size;
      return;
    }
    if (slot.files != 0) continue;
    if (fewUsed_ == kFewUnits) break;
    slot = Slot{key, 1, size};
    if (++fewUsed_ * 2 > few_.size()) GrowFew();
    return;
  }
  spill_.Push(key);
  if (withBytes_) spillSizes_.push_back(size);
}

void ValueCounts::GrowFew() {
  std::vector<Slot> old(few_.size() * 2);
  old.swap(few_);
  const size_t mask = few_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.files == 0) continue;
    size_t i = HashKey(slot.key) & mask;
    while (few_[i].files != 0) i = (i + 1) & mask;
    few_[i] = slot;
  }
}

void ValueCounts::Settle() {
  if (fewUsed_ == 0 && spill_.Size() == 0) return;  // settled already: no second copy of the counts
  std::vector<Slot> few;
  few.reserve(fewUsed_);
  for (const Slot& slot : few_) {
    if (slot.files != 0) few.push_back(slot);
  }
  std::sort(few.begin(), few.end(), [](const Slot& a, const Slot& b) { return a.key < b.key; });
  few_.clear();
  few_.shrink_to_fit();
  fewUsed_ = 0;
  Merge(std::move(few));
}

void ValueCounts::Merge(std::vector<Slot>&& few) {
  spill_.Sort(spillSizes_);
  const size_t na = keys_.Size(), nb = few.size(), nc = spill_.Size();
  // Hands the units of the settled counts, `few` and the kept ones in
  // ascending order to `put(key, files, bytes)`, a unit of several once each.
  const auto merge = [&](auto&& put) {
    size_t a = 0, b = 0, c = 0;
    bool any = false;
    int64_t last = 0;
    uint64_t n = 0, size = 0;
    while (a < na || b < nb || c < nc) {
      const int64_t ka = a < na ? keys_.At(a) : INT64_MAX, kb = b < nb ? few[b].key : INT64_MAX;
      const int64_t kc = c < nc ? spill_.At(c) : INT64_MAX;
      int64_t key = 0;
      uint64_t files = 1, bytes = 0;
      if (a < na && ka <= kb && ka <= kc) {
        key = ka, files = files_[a], bytes = withBytes_ ? bytes_[a] : 0, ++a;
      } else if (b < nb && kb <= kc) {
        key = kb, files = few[b].files, bytes = few[b].bytes, ++b;
      } else {
        key = kc, bytes = withBytes_ ? spillSizes_[c] : 0, ++c;
      }
      if (any && key == last) {
        n += files, size += bytes;
        continue;
      }
      if (any) put(last, n, size);
      any = true, last = key, n = files, size = bytes;
    }
    if (any) put(last, n, size);
  };
  // Counted first, so that the new counts take no more room than they need.
  size_t distinct = 0;
  merge([&distinct](int64_t, uint64_t, uint64_t) { ++distinct; });
  Keys keys;
  keys.Reserve(distinct);
  std::vector<uint64_t> files, bytes;
  files.reserve(distinct);
  if (withBytes_) bytes.reserve(distinct);
  merge([&](int64_t key, uint64_t n, uint64_t size) {
    keys.Push(key);
    files.push_back(n);
    if (withBytes_) bytes.push_back(size);
  });
  spill_.Clear();
  spillSizes_.clear();
  spillSizes_.shrink_to_fit();
  keys_ = std::move(keys);
  files_ = std::move(files);
  bytes_ = std::move(bytes);
}
