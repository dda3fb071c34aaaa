#include "taken/Source.h"

#include <algorithm>

namespace TakenDate {

const unsigned char* Source::At(uint64_t offset, size_t size) {
  if (size > kScratchBytes || !Fits(offset, size, UINT64_MAX)) return nullptr;
  if (offset >= windowStart_ && Fits(offset - windowStart_, size, windowSize_)) {
    return scratch_ + (offset - windowStart_);
  }
  if (!Fill(offset, size, size)) return nullptr;
  return windowSize_ >= size ? scratch_ : nullptr;
}

const unsigned char* Source::Upto(uint64_t offset, size_t most, size_t& size) {
  size = 0;
  most = std::min(most, kScratchBytes);
  if (most == 0) return nullptr;
  const bool inside = offset >= windowStart_ && offset - windowStart_ < windowSize_;
  if (!inside || (windowSize_ - (offset - windowStart_) < most && !windowAtEnd_)) {
    // Where the budget allows no more, what the window holds is all there is.
    if (!Fill(offset, 1, most) && (!inside || failed_)) return nullptr;
  }
  size = std::min(windowSize_ - static_cast<size_t>(offset - windowStart_), most);
  return size == 0 ? nullptr : scratch_ + (offset - windowStart_);
}

bool Source::Fill(uint64_t offset, size_t need, size_t wish) {
  if (failed_) return false;
  // Ask for a whole window so that what lies next is answered from it, but
  // never for more than the budget has left, nor past the last offset.
  size_t want = std::min(std::max(wish, kWindowBytes), kMostBytes - spent_);
  if (UINT64_MAX - offset < want) want = static_cast<size_t>(UINT64_MAX - offset);
  if (want < need || want == 0) return false;
  spent_ += want;
  const int64_t got = read_(context_, offset, scratch_, want);
  if (got < 0 || static_cast<uint64_t>(got) > want) {
    failed_ = true;
    return false;
  }
  windowStart_ = offset;
  windowSize_ = static_cast<size_t>(got);
  windowAtEnd_ = windowSize_ < want;
  return true;
}

int Source::Probe(uint64_t offset) {
  if (failed_ || spent_ >= kMostBytes) return -1;
  spent_ += 1;
  windowSize_ = 0;  // its first byte is overwritten
  const int64_t got = read_(context_, offset, scratch_, 1);
  if (got < 0 || got > 1) {
    failed_ = true;
    return -1;
  }
  return static_cast<int>(got);
}

bool Source::FindEnd(uint64_t& end) {
  if (windowAtEnd_ && windowSize_ > 0) {
    end = windowStart_ + windowSize_;
    return true;
  }
  // Every offset below `low` holds a byte, `high` none: first doubling the
  // distance, then halving the gap.
  uint64_t low = 0, high = kWindowBytes;
  for (;;) {
    const int result = Probe(high - 1);
    if (result < 0) return false;
    if (result == 0) break;
    if (high > UINT64_MAX / 2) return false;
    low = high;
    high *= 2;
  }
  while (low < high) {
    const uint64_t middle = low + (high - low) / 2;
    const int result = Probe(middle);
    if (result < 0) return false;
    if (result == 1) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  end = low;
  return true;
}

}  // namespace TakenDate
