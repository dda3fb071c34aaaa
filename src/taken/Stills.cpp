// The common still-picture files: JPEG, PNG and WebP.
#include "taken/Stills.h"

#include <cstring>

#include "taken/Exif.h"
#include "taken/Photoshop.h"
#include "taken/Xmp.h"

namespace TakenDate {

namespace {

constexpr char kExifId[] = "Exif";                         // and its NUL, then a pad byte
constexpr char kXmpId[] = "http://ns.adobe.com/xap/1.0/";  // and its NUL
constexpr char kPhotoshopId[] = "Photoshop 3.0";           // and its NUL
constexpr char kPngXmpKeyword[] = "XML:com.adobe.xmp";     // and its NUL

// Whether the `size` bytes at `pos` (below `end`) are `id` and its NUL.
bool HasId(Source& source, uint64_t pos, uint64_t end, const char* id, size_t size) {
  const unsigned char* p = Fits(pos, size, end) ? source.At(pos, size) : nullptr;
  return p != nullptr && std::memcmp(p, id, size) == 0;
}

// The segment of `marker` whose data (behind its length) is the `size`
// bytes at `data`.
void FromSegment(Source& source, unsigned marker, uint64_t data, uint64_t size, Findings& found) {
  const uint64_t end = data + size;
  if (marker == 0xE1 && size >= 6 && !found.Settled(Rank::kExifOriginal) &&
      HasId(source, data, end, kExifId, sizeof kExifId)) {
    FromTiff(source, data + 6, size - 6, found);
  } else if (marker == 0xE1 && !found.Settled(Rank::kXmp) &&
             HasId(source, data, end, kXmpId, sizeof kXmpId)) {
    FromXmp(source, data + sizeof kXmpId, size - sizeof kXmpId, found);
  } else if (marker == 0xED && !found.Settled(Rank::kIptc) &&
             HasId(source, data, end, kPhotoshopId, sizeof kPhotoshopId)) {
    FromResources(source, data + sizeof kPhotoshopId, size - sizeof kPhotoshopId, found);
  }
}

// The data of a PNG iTXt chunk whose keyword is XMP's, uncompressed: behind
// the keyword, the compression flag and method, the language tag and the
// translated keyword (each of the last two up to its NUL).
void FromPngXmp(Source& source, uint64_t data, uint64_t size, Findings& found) {
  if (found.Settled(Rank::kXmp) || !HasId(source, data, data + size, kPngXmpKeyword, sizeof kPngXmpKeyword)) {
    return;
  }
  uint64_t pos = sizeof kPngXmpKeyword;
  const unsigned char* flags = Fits(pos, 2, size) ? source.At(data + pos, 2) : nullptr;
  if (flags == nullptr || flags[0] != 0) return;  // compressed: not read
  pos += 2;
  for (int text = 0; text < 2; ++text) {  // the language tag, the translated keyword
    size_t got = 0;
    const unsigned char* p =
        pos < size ? source.Upto(data + pos, static_cast<size_t>(size - pos), got) : nullptr;
    const void* nul = p == nullptr ? nullptr : std::memchr(p, 0, got);
    if (nul == nullptr) return;
    pos += static_cast<const unsigned char*>(nul) - p + 1;
  }
  FromXmp(source, data + pos, size - pos, found);
}

}  // namespace

void FromJpeg(Source& source, uint64_t start, uint64_t length, Findings& found) {
  if (!Fits(start, length, UINT64_MAX)) return;
  const uint64_t end = start + length;
  const unsigned char* soi = Fits(start, 3, end) ? source.At(start, 3) : nullptr;
  if (soi == nullptr || std::memcmp(soi, "\xFF\xD8\xFF", 3) != 0) return;
  uint64_t pos = start + 2;  // behind the start-of-image marker
  for (int step = 0; step < kMostSteps && !found.Settled(Rank::kExifOriginal); ++step) {
    const unsigned char* p = Fits(pos, 4, end) ? source.At(pos, 4) : nullptr;
    if (p == nullptr || p[0] != 0xFF) return;
    const unsigned marker = p[1];
    if (marker == 0xFF) {  // a fill byte before the marker
      pos += 1;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // markers without a length
      pos += 2;
      continue;
    }
    // The metadata comes before the image data; from its start on there is none.
    if (marker == 0xDA || marker == 0xD9) return;
    const uint32_t size = Be16(p + 2);  // counts itself, not the marker
    if (size < 2 || !Fits(pos + 2, size, end)) return;
    FromSegment(source, marker, pos + 4, size - 2, found);
    pos += 2 + uint64_t{size};
  }
}

void FromPng(Source& source, Findings& found) {
  uint64_t pos = 8;  // behind the signature
  for (int step = 0; step < kMostSteps && !found.Settled(Rank::kExifOriginal); ++step) {
    const unsigned char* p = source.At(pos, 8);
    if (p == nullptr) return;
    const uint32_t size = Be32(p);
    const uint32_t type = Be32(p + 4);
    if (size > 0x7FFFFFFF) return;  // PNG forbids longer chunks
    if (type == FourCc("eXIf")) FromTiff(source, pos + 8, size, found);
    if (type == FourCc("iTXt")) FromPngXmp(source, pos + 8, size, found);
    if (type == FourCc("IEND")) return;
    pos += 12 + uint64_t{size};  // length, type, data, CRC
  }
}

void FromWebp(Source& source, Findings& found) {
  const unsigned char* p = source.At(0, 12);
  if (p == nullptr || std::memcmp(p + 8, "WEBP", 4) != 0) return;
  const uint64_t end = 8 + uint64_t{Le32(p + 4)};
  uint64_t pos = 12;
  for (int step = 0; step < kMostSteps && Fits(pos, 8, end) && !found.Settled(Rank::kExifOriginal); ++step) {
    p = source.At(pos, 8);
    if (p == nullptr) return;
    const uint32_t type = Be32(p), size = Le32(p + 4);
    if (type == FourCc("EXIF")) FromExifBlock(source, pos + 8, size, found);
    if (type == FourCc("XMP ")) FromXmp(source, pos + 8, size, found);
    pos += 8 + uint64_t{size} + (size & 1);  // chunks are padded to an even size
  }
}

}  // namespace TakenDate
