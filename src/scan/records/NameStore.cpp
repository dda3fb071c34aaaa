#include "scan/records/NameStore.h"

#include <algorithm>
#include <cstring>

Text StoredText::str() const {
  if (!narrow) return Text(static_cast<const char16_t*>(data), size);
  const auto* bytes = static_cast<const unsigned char*>(data);
  return Text(bytes, bytes + size);
}

StoredText NameStore::Keep(TextView text) {
  if (text.empty()) return {u"", 0, false};  // needs no block, not even a first one
  const bool narrow = std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x100; });
  const size_t bytes = text.size() * (narrow ? 1 : 2);
  used_ += used_ & (narrow ? 0 : 1);  // two-byte units start at an even offset
  if (capacity_ < used_ + bytes) {
    // Blocks double from 1 KiB to 128 KiB: a small list stays small, while
    // a large one (or a tree walk, whose folders share one store) soon has
    // blocks big enough to keep the overhead per block small. A longer text
    // gets a block of its own size.
    const size_t next = blocks_.empty() ? size_t{1} << 10 : std::min(capacity_ * 2, size_t{1} << 17);
    capacity_ = std::max(next, bytes);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(capacity_));
    used_ = 0;
  }
  char* at = blocks_.back().get() + used_;
  if (narrow) {
    for (size_t i = 0; i < text.size(); ++i) at[i] = static_cast<char>(text[i]);
  } else {
    std::memcpy(at, text.data(), bytes);
  }
  used_ += bytes;
  return {at, static_cast<uint32_t>(text.size()), narrow};
}
