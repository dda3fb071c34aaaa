// The taken-date reader on any bytes, every format it knows. Input: the
// file itself.
#include <cstring>

#include "TakenReader.h"
#include "taken/TakenDate.h"

namespace {

using Fuzz::Reader;
using TakenDate::Moment;

unsigned char* const scratch = Fuzz::takenScratch;
constexpr size_t kScratchSize = TakenDate::kScratchBytes;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // What the scratch buffer held before must not matter.
  std::memset(scratch, 0xA5, kScratchSize);
  const Moment fromBytes = TakenDate::ReadBytes(data, size, scratch);
  FUZZ_CHECK(Fuzz::InRange(fromBytes));

  std::memset(scratch, 0x5A, kScratchSize);
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
