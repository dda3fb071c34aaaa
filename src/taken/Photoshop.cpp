// Photoshop's metadata: image resource blocks, PSD files.
#include "taken/Photoshop.h"

#include "taken/Exif.h"
#include "taken/Iptc.h"
#include "taken/Xmp.h"

namespace TakenDate {

namespace {

constexpr uint32_t kResourceIptc = 0x0404;
constexpr uint32_t kResourceExif = 0x0422;
constexpr uint32_t kResourceXmp = 0x0424;

}  // namespace

void FromResources(Source& source, uint64_t start, uint64_t length, Findings& found) {
  if (!Fits(start, length, UINT64_MAX)) return;
  const uint64_t end = start + length;
  Span exif, xmp, iptc;
  uint64_t pos = start;
  for (int step = 0; step < kMostSteps && Fits(pos, 8, end); ++step) {
    // "8BIM", the ID, a name (a length byte and text, padded to an even
    // size), the data's size, the data (padded to an even size).
    const unsigned char* p = source.At(pos, 7);
    if (p == nullptr || Be32(p) != FourCc("8BIM")) break;
    const uint32_t id = Be16(p + 4);
    const uint64_t name = (uint64_t{p[6]} + 2) & ~uint64_t{1};
    const unsigned char* q = Fits(pos + 6 + name, 4, end) ? source.At(pos + 6 + name, 4) : nullptr;
    if (q == nullptr) break;
    const Span data{pos + 10 + name, Be32(q)};
    if (!Fits(data.start, data.size, end)) break;
    Span* which = id == kResourceExif   ? &exif
                  : id == kResourceXmp  ? &xmp
                  : id == kResourceIptc ? &iptc
                                        : nullptr;
    if (which != nullptr && which->size == 0) *which = data;
    pos = data.start + data.size + (data.size & 1);
  }
  if (exif.size != 0) FromTiff(source, exif.start, exif.size, found);
  if (xmp.size != 0) FromXmp(source, xmp.start, xmp.size, found);
  if (iptc.size != 0) FromIptc(source, iptc.start, iptc.size, found);
}

void FromPsd(Source& source, Findings& found) {
  // The header (26 bytes: version 1 PSD, 2 PSB), then the color mode data
  // and the image resources, each behind its 32-bit length.
  const unsigned char* p = source.At(0, 30);
  if (p == nullptr || Be32(p) != FourCc("8BPS") || (Be16(p + 4) != 1 && Be16(p + 4) != 2)) return;
  const uint64_t resources = 30 + uint64_t{Be32(p + 26)};
  const unsigned char* q = source.At(resources, 4);
  if (q == nullptr) return;
  FromResources(source, resources + 4, Be32(q), found);
}

}  // namespace TakenDate
