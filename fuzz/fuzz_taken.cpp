// The taken-date reader on any bytes, every format it knows. Input: the
// file itself.
#include <algorithm>
#include <cstring>

#include "FuzzSupport.h"
#include "base/Calendar.h"
#include "taken/TakenDate.h"

namespace {

using TakenDate::Kind;
using TakenDate::Moment;

unsigned char scratch[TakenDate::kScratchBytes];

// The input as a file behind ReadAt, every request checked and counted.
struct Reader {
  const uint8_t* data;
  size_t size;
  uint64_t asked = 0;
  int calls = 0;
  int failingCall = -1;  // this call, counted from 0, fails

  static int64_t ReadAt(void* context, uint64_t offset, unsigned char* out, size_t size) {
    auto& reader = *static_cast<Reader*>(context);
    // Only into the scratch buffer, and never past the last 64-bit offset.
    FUZZ_CHECK(out >= scratch && size <= TakenDate::kScratchBytes &&
               out + size <= scratch + TakenDate::kScratchBytes);
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
bool InRange(const Moment& moment) {
  if (moment.kind == Kind::kNone) return moment.seconds == 0;
  return (moment.kind == Kind::kWallClock || moment.kind == Kind::kUtc) && moment.seconds != 0 &&
         moment.seconds >= Calendar::kFirstSecond && moment.seconds <= Calendar::kLastSecond;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // What the scratch buffer held before must not matter.
  std::memset(scratch, 0xA5, sizeof scratch);
  const Moment fromBytes = TakenDate::ReadBytes(data, size, scratch);
  FUZZ_CHECK(InRange(fromBytes));

  std::memset(scratch, 0x5A, sizeof scratch);
  Reader reader{data, size};
  FUZZ_CHECK(TakenDate::Read(Reader::ReadAt, &reader, scratch) == fromBytes);
  FUZZ_CHECK(reader.asked <= TakenDate::kMostBytes);
  FUZZ_CHECK(TakenDate::ReadBytes(data, size, scratch) == fromBytes);

  // Any one failed read, here one chosen by the input, gives no answer.
  if (reader.calls > 0) {
    Reader failing{data, size};
    failing.failingCall = static_cast<int>(size % static_cast<size_t>(reader.calls));
    FUZZ_CHECK(TakenDate::Read(Reader::ReadAt, &failing, scratch) == Moment{});
  }
  return 0;
}
