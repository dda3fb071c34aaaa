// IPTC records: datasets of a mark, a record and a number, a size and the data.
#include "taken/Iptc.h"

#include "taken/DateText.h"

namespace TakenDate {

namespace {

constexpr unsigned kIptcMark = 0x1C;
constexpr unsigned kDateCreated = 55;  // of record 2, the application record
constexpr unsigned kTimeCreated = 60;

// The IPTC dataset at `pos`: its record, number and data; false at the end
// of the records (any other byte than the mark) or when it does not fit.
bool DatasetAt(Source& source, uint64_t pos, uint64_t end, unsigned& record, unsigned& number, Span& data) {
  const unsigned char* p = Fits(pos, 5, end) ? source.At(pos, 5) : nullptr;
  if (p == nullptr || p[0] != kIptcMark) return false;
  record = p[1];
  number = p[2];
  uint64_t size = Be16(p + 3);
  uint64_t header = 5;
  if (size & 0x8000) {  // an extended dataset: the size takes the next (size & 0x7FFF) bytes
    const unsigned bytes = size & 0x7FFF;
    const unsigned char* q = bytes <= 8 && Fits(pos + 5, bytes, end) ? source.At(pos + 5, bytes) : nullptr;
    if (q == nullptr) return false;
    size = 0;
    for (unsigned i = 0; i < bytes; ++i) size = size << 8 | q[i];
    header += bytes;
  }
  if (!Fits(pos + header, size, end)) return false;
  data = {pos + header, size};
  return true;
}

}  // namespace

void FromIptc(Source& source, uint64_t start, uint64_t length, Findings& found) {
  if (found.Settled(Rank::kIptc) || !Fits(start, length, UINT64_MAX)) return;
  const uint64_t end = start + length;
  Span date, time;
  unsigned record = 0, number = 0;
  Span data;
  uint64_t pos = start;
  for (int step = 0; step < kMostSteps && DatasetAt(source, pos, end, record, number, data); ++step) {
    if (record == 2 && number == kDateCreated && date.size == 0) date = data;
    if (record == 2 && number == kTimeCreated && time.size == 0) time = data;
    if (date.size != 0 && time.size != 0) break;
    pos = data.start + data.size;
  }
  // Both are a few bytes; 16 is more than either may hold.
  if (date.size == 0 || time.size == 0 || date.size > 16 || time.size > 16) return;
  unsigned char text[32];
  const unsigned char* p = source.At(date.start, date.size);
  if (p == nullptr) return;
  for (uint64_t i = 0; i < date.size; ++i) text[i] = p[i];
  const unsigned char* q = source.At(time.start, time.size);
  if (q == nullptr) return;
  for (uint64_t i = 0; i < time.size; ++i) text[16 + i] = q[i];
  found.Offer(Rank::kIptc, FromIptcText(text, date.size, text + 16, time.size));
}

}  // namespace TakenDate
