// What the taken-date targets share: the input as a file behind ReadAt,
// every request checked and counted, and the range of a moment.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "FuzzSupport.h"
#include "base/Calendar.h"
#include "taken/Moment.h"

namespace Fuzz {

// The scratch buffer every read of the targets goes into.
inline unsigned char takenScratch[TakenDate::kScratchBytes];

struct Reader {
  const uint8_t* data;
  size_t size;
  uint64_t asked = 0;
  int calls = 0;
  int failingCall = -1;  // this call, counted from 0, fails

  static int64_t ReadAt(void* context, uint64_t offset, unsigned char* out, size_t size) {
    auto& reader = *static_cast<Reader*>(context);
    // Only into the scratch buffer, and never past the last 64-bit offset.
    FUZZ_CHECK(out >= takenScratch && size <= TakenDate::kScratchBytes &&
               out + size <= takenScratch + TakenDate::kScratchBytes);
    FUZZ_CHECK(offset <= UINT64_MAX - size);
    reader.asked += size;
    if (reader.calls++ == reader.failingCall) return -1;
    if (offset >= reader.size) return 0;
    const size_t count = std::min<uint64_t>(size, reader.size - offset);
    std::memcpy(out, reader.data + offset, count);
    return static_cast<int64_t>(count);
  }
};

// A date of the calendar's range, never 1970-01-01 00:00:00; none is 0.
inline bool InRange(const TakenDate::Moment& moment) {
  using TakenDate::Kind;
  if (moment.kind == Kind::kNone) return moment.seconds == 0;
  return (moment.kind == Kind::kWallClock || moment.kind == Kind::kUtc) && moment.seconds != 0 &&
         moment.seconds >= Calendar::kFirstSecond && moment.seconds <= Calendar::kLastSecond;
}

}  // namespace Fuzz
