// Each reader of the taken-date formats on any bytes, whatever the file's
// first bytes announce, and the readers of blocks (XMP, IPTC, Photoshop's
// resources, Exif, JPEG) over the whole file. Input: the number of the
// reader (its place in kReaders, modulo their count), then the file.
#include <cstring>
#include <iterator>

#include "TakenReader.h"
#include "taken/Boxes.h"
#include "taken/Exif.h"
#include "taken/Findings.h"
#include "taken/Images.h"
#include "taken/Iptc.h"
#include "taken/Photoshop.h"
#include "taken/Raw.h"
#include "taken/Stills.h"
#include "taken/Streams.h"
#include "taken/Video.h"
#include "taken/Xmp.h"

namespace {

using namespace TakenDate;

using Whole = void (*)(Source&, uint64_t, uint64_t, Findings&);

template <Whole read>
void OverAll(Source& source, Findings& found) {
  read(source, 0, kToEndOfFile, found);
}

// The order fuzz/make_taken_corpus.sh numbers its seeds by.
constexpr void (*kReaders[])(Source&, Findings&) = {
    FromRaf,
    FromMrw,
    FromX3f,
    FromCrw,
    FromXcf,
    FromBpg,
    FromMiff,
    FromPsd,
    FromAvi,
    FromAsf,
    FromDv,
    FromMatroska,
    FromTransportStream,
    OverAll<FromXmp>,
    OverAll<FromIptc>,
    OverAll<FromResources>,
    OverAll<FromExifBlock>,
    OverAll<FromJpeg>,
    FromBoxes,
};

// The reader's answer as TakenDate::Read gives it: none after a failed read.
Moment ReadWith(void (*reader)(Source&, Findings&), Fuzz::Reader& file, unsigned char fill) {
  std::memset(Fuzz::takenScratch, fill, sizeof Fuzz::takenScratch);
  Source source(Fuzz::Reader::ReadAt, &file, Fuzz::takenScratch);
  Findings found;
  reader(source, found);
  return source.Failed() ? Moment{} : found.Best();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto reader = kReaders[data[0] % std::size(kReaders)];
  Fuzz::Reader file{data + 1, size - 1};
  const Moment moment = ReadWith(reader, file, 0xA5);
  FUZZ_CHECK(Fuzz::InRange(moment));
  FUZZ_CHECK(file.asked <= kMostBytes);
  // What the scratch buffer held before must not matter.
  Fuzz::Reader again{data + 1, size - 1};
  FUZZ_CHECK(ReadWith(reader, again, 0x5A) == moment);
  // Any one failed read, here one chosen by the input, gives no answer.
  if (file.calls > 0) {
    Fuzz::Reader failing{data + 1, size - 1};
    failing.failingCall = static_cast<int>(size % static_cast<size_t>(file.calls));
    FUZZ_CHECK(ReadWith(reader, failing, 0) == Moment{});
  }
  return 0;
}
