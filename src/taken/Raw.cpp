// Camera raw files that are no TIFF. Every offset they hold is checked
// against the structure it points into before it is followed.
#include "taken/Raw.h"

#include <algorithm>
#include <cstring>

#include "taken/DateText.h"
#include "taken/Exif.h"
#include "taken/Stills.h"

namespace TakenDate {

namespace {

constexpr char kRafMark[] = "FUJIFILMCCD-RAW ";
constexpr uint32_t kCrwCapturedTime = 0x180E;
constexpr int kCrwDepth = 4;       // heaps nest a few levels deep
constexpr uint32_t kX3fJpeg = 18;  // an image section's format: JPEG
constexpr size_t kX3fEntry = 12;

// X3F's property names and values are UTF-16LE; the TIME value is the
// capture time as decimal seconds since 1970, in the camera's clock.
Moment X3fTime(Source& source, uint64_t chars, uint64_t end, uint64_t value) {
  constexpr size_t kMostDigits = 12;
  const uint64_t at = chars + 2 * value;
  size_t size = 0;
  const unsigned char* p =
      at < end ? source.Upto(at, static_cast<size_t>(std::min<uint64_t>(end - at, 2 * kMostDigits + 2)), size)
               : nullptr;
  if (p == nullptr) return {};
  int64_t seconds = 0;
  size_t digits = 0;
  for (; 2 * digits + 1 < size && p[2 * digits + 1] == 0 && p[2 * digits] >= '0' && p[2 * digits] <= '9';
       ++digits) {
    if (digits == kMostDigits) return {};
    seconds = seconds * 10 + (p[2 * digits] - '0');
  }
  const bool ends = 2 * digits + 1 < size && p[2 * digits] == 0 && p[2 * digits + 1] == 0;
  return digits > 0 && ends ? WallClockAt(seconds) : Moment{};
}

// The property list section ("SECp") at `pos` of `size` bytes: its TIME.
void FromX3fProperties(Source& source, uint64_t pos, uint64_t size, Findings& found) {
  const unsigned char* p = size >= 24 ? source.At(pos, 24) : nullptr;
  if (p == nullptr || std::memcmp(p, "SECp", 4) != 0 || Le32(p + 12) != 0) return;  // 0: UTF-16
  const uint64_t count = Le32(p + 8), end = pos + size;
  const uint64_t chars = pos + 24 + 8 * count;
  if (chars > end) return;
  static const unsigned char kTime[] = {'T', 0, 'I', 0, 'M', 0, 'E', 0, 0, 0};
  for (uint64_t i = 0; i < count && i < kMostSteps; ++i) {
    const unsigned char* entry = source.At(pos + 24 + 8 * i, 8);
    if (entry == nullptr) return;
    const uint64_t name = chars + 2 * uint64_t{Le32(entry)}, value = Le32(entry + 4);
    const unsigned char* text = Fits(name, sizeof kTime, end) ? source.At(name, sizeof kTime) : nullptr;
    if (text != nullptr && std::memcmp(text, kTime, sizeof kTime) == 0) {
      found.Offer(Rank::kFormat, X3fTime(source, chars, end, value));
      return;
    }
  }
}

// An image section ("SECi") of format JPEG: the embedded JPEG's Exif.
void FromX3fImage(Source& source, uint64_t pos, uint64_t size, Findings& found) {
  const unsigned char* p = size >= 28 ? source.At(pos, 28) : nullptr;
  if (p == nullptr || std::memcmp(p, "SECi", 4) != 0 || Le32(p + 12) != kX3fJpeg) return;
  FromJpeg(source, pos + 28, size - 28, found);
}

// A CIFF heap of `length` bytes at `start` (its offsets count from there):
// its table, whose offset stands in the last 4 bytes, lists records of a
// tag, a size and an offset; heaps nest.
struct Ciff {
  Source& source;
  bool little;
  int steps = 0;

  uint32_t U16(const unsigned char* p) const { return little ? Le16(p) : Be16(p); }
  uint32_t U32(const unsigned char* p) const { return little ? Le32(p) : Be32(p); }

  void Heap(uint64_t start, uint64_t length, int depth, Findings& found) {
    const unsigned char* p = length >= 4 ? source.At(start + length - 4, 4) : nullptr;
    if (p == nullptr) return;
    const uint64_t table = U32(p);
    const unsigned char* q = Fits(table, 2, length - 4) ? source.At(start + table, 2) : nullptr;
    if (q == nullptr) return;
    const uint32_t count = U16(q);
    for (uint32_t i = 0; i < count && ++steps < kMostSteps && !found.Settled(Rank::kFormat); ++i) {
      const uint64_t at = table + 2 + uint64_t{i} * 10;
      const unsigned char* record = Fits(at, 10, length) ? source.At(start + at, 10) : nullptr;
      if (record == nullptr) return;
      const uint32_t tag = U16(record);
      const uint64_t size = U32(record + 2), offset = U32(record + 6);
      // Bits 14-15: 0 the data lies in the heap (else in the record
      // itself); bits 11-13: 5 and 6 mark a heap.
      if ((tag & 0xC000) != 0 || !Fits(offset, size, length)) continue;
      if ((tag & 0x3FFF) == kCrwCapturedTime && size >= 4) {
        const unsigned char* time = source.At(start + offset, 4);
        if (time != nullptr) found.Offer(Rank::kFormat, WallClockAt(U32(time)));
      } else if (((tag & 0x3800) == 0x2800 || (tag & 0x3800) == 0x3000) && depth < kCrwDepth) {
        Heap(start + offset, size, depth + 1, found);
      }
    }
  }
};

}  // namespace

bool IsRaf(const unsigned char* head, size_t size) {
  return size >= 16 && std::memcmp(head, kRafMark, 16) == 0;
}

bool IsMrw(const unsigned char* head, size_t size) { return size >= 8 && std::memcmp(head, "\0MRM", 4) == 0; }

bool IsX3f(const unsigned char* head, size_t size) { return size >= 8 && std::memcmp(head, "FOVb", 4) == 0; }

bool IsCrw(const unsigned char* head, size_t size) {
  return size >= 14 && (std::memcmp(head, "II", 2) == 0 || std::memcmp(head, "MM", 2) == 0) &&
         std::memcmp(head + 6, "HEAPCCDR", 8) == 0;
}

void FromRaf(Source& source, Findings& found) {
  // Behind the mark, the version, camera ID and name and the directory's
  // version: the embedded JPEG's offset and length.
  const unsigned char* p = source.At(0, 92);
  if (p != nullptr) FromJpeg(source, Be32(p + 84), Be32(p + 88), found);
}

void FromMrw(Source& source, Findings& found) {
  // Blocks of a 4-byte tag and a 32-bit length up to where the image data
  // starts; the TTW block is a TIFF structure.
  const unsigned char* p = source.At(0, 8);
  if (p == nullptr) return;
  const uint64_t end = 8 + uint64_t{Be32(p + 4)};
  uint64_t pos = 8;
  for (int step = 0; step < kMostSteps && Fits(pos, 8, end); ++step) {
    p = source.At(pos, 8);
    if (p == nullptr) return;
    const uint64_t size = Be32(p + 4);
    if (std::memcmp(p, "\0TTW", 4) == 0) {
      FromTiff(source, pos + 8, size, found);
      return;
    }
    pos += 8 + size;
  }
}

void FromX3f(Source& source, Findings& found) {
  // The last 4 bytes give the directory's offset: "SECd", its version and
  // count, then entries of an offset, a length and a type.
  uint64_t end = 0;
  const unsigned char* p = source.FindEnd(end) && end >= 4 ? source.At(end - 4, 4) : nullptr;
  if (p == nullptr) return;
  const uint64_t directory = Le32(p);
  p = Fits(directory, 12, end) ? source.At(directory, 12) : nullptr;
  if (p == nullptr || std::memcmp(p, "SECd", 4) != 0) return;
  const uint64_t count = Le32(p + 8);
  uint64_t properties = 0, propertiesSize = 0;
  for (uint64_t i = 0; i < count && i < kMostSteps && !found.Settled(Rank::kExifOriginal); ++i) {
    const uint64_t at = directory + 12 + i * kX3fEntry;
    const unsigned char* entry = Fits(at, kX3fEntry, end) ? source.At(at, kX3fEntry) : nullptr;
    if (entry == nullptr) break;
    const uint64_t offset = Le32(entry), size = Le32(entry + 4);
    if (!Fits(offset, size, end)) continue;
    if (std::memcmp(entry + 8, "IMAG", 4) == 0 || std::memcmp(entry + 8, "IMA2", 4) == 0) {
      FromX3fImage(source, offset, size, found);
    } else if (std::memcmp(entry + 8, "PROP", 4) == 0 && propertiesSize == 0) {
      properties = offset, propertiesSize = size;
    }
  }
  if (propertiesSize != 0 && !found.Settled(Rank::kFormat)) {
    FromX3fProperties(source, properties, propertiesSize, found);
  }
}

void FromCrw(Source& source, Findings& found) {
  const unsigned char* p = source.At(0, 14);
  if (p == nullptr) return;
  Ciff ciff{source, p[0] == 'I'};
  const uint64_t header = ciff.U32(p + 2);
  // The root heap runs from behind the header to the end of the file.
  uint64_t end = 0;
  if (source.FindEnd(end) && header < end) ciff.Heap(header, end - header, 0, found);
}

}  // namespace TakenDate
