#include "taken/Source.h"

#include <algorithm>

namespace TakenDate {

const unsigned char* Source::At(uint64_t offset, size_t size) {
  if (size > kScratchBytes || !Fits(offset, size, UINT64_MAX)) return nullptr;
  if (offset >= windowStart_ && Fits(offset - windowStart_, size, windowSize_)) {
    return scratch_ + (offset - windowStart_);
  }
  if (failed_) return nullptr;
  // Ask for a whole window so that what lies next is answered from it, but
  // never for more than the budget has left, nor past the last offset.
  size_t want = std::min(std::max(size, kWindowBytes), kMostBytes - spent_);
  if (UINT64_MAX - offset < want) want = static_cast<size_t>(UINT64_MAX - offset);
  if (want < size) return nullptr;
  spent_ += want;
  const int64_t got = read_(context_, offset, scratch_, want);
  if (got < 0 || static_cast<uint64_t>(got) > want) {
    failed_ = true;
    return nullptr;
  }
  windowStart_ = offset;
  windowSize_ = static_cast<size_t>(got);
  return windowSize_ >= size ? scratch_ : nullptr;
}

}  // namespace TakenDate
