// The walk over boxes. Only box headers are read on the way, so a movie
// box behind gigabytes of media data costs one small read.
#include "taken/BoxWalk.h"

#include <cstring>

namespace TakenDate {

bool BoxAt(Source& source, uint64_t pos, uint64_t limit, Box& box) {
  const unsigned char* p = Fits(pos, 8, limit) ? source.At(pos, 8) : nullptr;
  if (p == nullptr) return false;
  uint64_t size = Be32(p);
  uint64_t header = 8;
  box.type = Be32(p + 4);
  if (size == 1) {  // the size follows in 64 bits
    const unsigned char* large = Fits(pos, 16, limit) ? source.At(pos + 8, 8) : nullptr;
    if (large == nullptr) return false;
    size = Be64(large);
    header = 16;
  } else if (size == 0) {  // the box runs to the end of its parent (of the file, at the top)
    size = limit - pos;
  }
  if (box.type == FourCc("uuid")) header += 16;
  if (size < header || size > limit - pos) return false;
  box.body = pos + header;
  box.end = pos + size;
  return true;
}

bool IsUuid(Source& source, const Box& box, const unsigned char (&uuid)[16]) {
  if (box.type != FourCc("uuid")) return false;
  const unsigned char* p = source.At(box.body - 16, 16);
  return p != nullptr && std::memcmp(p, uuid, 16) == 0;
}

uint64_t Fields::Take(unsigned bytes) {
  const unsigned char* p = ok_ && Fits(pos_, bytes, end_) ? source_.At(pos_, bytes) : nullptr;
  if (p == nullptr) {
    ok_ = false;
    return 0;
  }
  pos_ += bytes;
  uint64_t value = 0;
  for (unsigned i = 0; i < bytes; ++i) value = value << 8 | p[i];
  return value;
}

}  // namespace TakenDate
