// The walk over boxes (ISO media, QuickTime) that HEIF and AVIF pictures,
// MP4, MOV and 3GP movies and Canon CR3 raw files share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "taken/Source.h"

namespace TakenDate {

struct Box {
  uint32_t type = 0;  // 0: no box found
  uint64_t body = 0;  // where its content starts (a uuid box: behind its 16-byte type)
  uint64_t end = 0;   // where the next box starts
};

// The box at `pos` inside a parent that ends at `limit`: false when its
// header is cut short or its size does not fit the parent.
bool BoxAt(Source& source, uint64_t pos, uint64_t limit, Box& box);

// Whether `box` is a uuid box of the 16-byte type `uuid`.
bool IsUuid(Source& source, const Box& box, const unsigned char (&uuid)[16]);

// Notes the first box of each of `types` among the boxes from `pos` to `end`.
template <size_t N>
void FindBoxes(Source& source, uint64_t pos, uint64_t end, const uint32_t (&types)[N], Box (&found)[N]) {
  size_t missing = N;
  Box box;
  for (int step = 0; step < kMostSteps && missing > 0 && BoxAt(source, pos, end, box); ++step) {
    for (size_t i = 0; i < N; ++i) {
      if (box.type == types[i] && found[i].type == 0) {
        found[i] = box;
        --missing;
      }
    }
    pos = box.end;
  }
}

// Big-endian fields read one after another inside [pos, end); once one
// does not fit, it and every later field read as 0.
class Fields {
 public:
  Fields(Source& source, uint64_t pos, uint64_t end) : source_(source), pos_(pos), end_(end) {}

  // The next field of `bytes` bytes (at most 8), or 0 once a field failed.
  uint64_t Take(unsigned bytes);

  // Passes over `bytes` bytes without reading them.
  void Skip(uint64_t bytes) {
    ok_ = ok_ && Fits(pos_, bytes, end_);
    if (ok_) pos_ += bytes;
  }

  bool Ok() const { return ok_; }
  uint64_t Pos() const { return pos_; }

 private:
  Source& source_;
  uint64_t pos_;
  uint64_t end_;
  bool ok_ = true;
};

}  // namespace TakenDate
