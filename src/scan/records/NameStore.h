// Text kept in blocks that never move: the names of a scan's records, one
// byte per unit where every unit fits in one.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/Text.h"

// A stretch of text kept by a NameStore: one byte per unit when every unit
// is below 0x100 (nearly every name), else two.
struct StoredText {
  const void* data = nullptr;
  uint32_t size = 0;  // units
  bool narrow = false;
  char16_t operator[](size_t i) const {
    return narrow ? static_cast<const unsigned char*>(data)[i] : static_cast<const char16_t*>(data)[i];
  }
  Text str() const;
  static StoredText Of(TextView text) { return {text.data(), static_cast<uint32_t>(text.size()), false}; }
};

// Units of text that stay where they are as long as the store lives.
class NameStore {
 public:
  // A copy of `text` in the store.
  StoredText Keep(TextView text);

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t used_ = 0, capacity_ = 0;  // bytes, in the last block
};
