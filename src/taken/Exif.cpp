// Exif dates: the TIFF structure's IFD walk. Offsets inside the structure
// are 32 bits; every sum of them is made in 64 bits and checked against
// the structure's length before it is read.
#include "taken/Exif.h"

#include <cstring>
#include <initializer_list>

#include "taken/DateText.h"
#include "taken/Iptc.h"
#include "taken/Xmp.h"

namespace TakenDate {

namespace {

constexpr uint32_t kTagDateTime = 0x0132;
constexpr uint32_t kTagXmp = 0x02BC;
constexpr uint32_t kTagIptc = 0x83BB;
constexpr uint32_t kTagExifIfd = 0x8769;
constexpr uint32_t kTagDateTimeOriginal = 0x9003;
constexpr uint32_t kTagDateTimeDigitized = 0x9004;
constexpr uint32_t kTypeByte = 1;
constexpr uint32_t kTypeAscii = 2;
constexpr uint32_t kTypeLong = 4;
constexpr uint32_t kTypeUndefined = 7;
constexpr uint32_t kTypeIfd = 13;
constexpr size_t kEntryBytes = 12;
constexpr size_t kDateBytes = 20;  // the text and its NUL

// One TIFF structure: offsets in it count from its header at `base`.
struct Tiff {
  Source& source;
  uint64_t base;
  uint64_t length;
  bool little;

  uint32_t U16(const unsigned char* p) const { return little ? Le16(p) : Be16(p); }
  uint32_t U32(const unsigned char* p) const { return little ? Le32(p) : Be32(p); }

  // The `size` bytes at `offset`, or nullptr when they are not all inside.
  const unsigned char* At(uint64_t offset, size_t size) const {
    if (!Fits(offset, size, length) || !Fits(base, offset, UINT64_MAX)) return nullptr;
    return source.At(base + offset, size);
  }
};

// An IFD entry as it was found: its type, count and value field.
struct Entry {
  bool found = false;
  uint32_t type = 0, count = 0, value = 0;
};

// Notes the entries of the IFD at `offset` whose tags are `tags`, the first
// of each. An IFD cut short keeps the entries before the cut.
template <size_t N>
void WalkIfd(const Tiff& tiff, uint32_t offset, const uint32_t (&tags)[N], Entry (&found)[N]) {
  const unsigned char* p = tiff.At(offset, 2);
  if (p == nullptr) return;
  const uint32_t count = tiff.U16(p);
  for (uint32_t i = 0; i < count && i < kMostSteps; ++i) {
    // In 64 bits: an IFD at 0xFFFFFFFE has its entries past 4 GiB, not at 0.
    const unsigned char* entry = tiff.At(uint64_t{offset} + 2 + uint64_t{i} * kEntryBytes, kEntryBytes);
    if (entry == nullptr) return;
    const uint32_t tag = tiff.U16(entry);
    for (size_t k = 0; k < N; ++k) {
      if (tag != tags[k] || found[k].found) continue;
      found[k] = {true, tiff.U16(entry + 2), tiff.U32(entry + 4), tiff.U32(entry + 8)};
    }
  }
}

// The date an ASCII entry holds, or kNone.
Moment DateOf(const Tiff& tiff, const Entry& entry) {
  // 19 characters and more never fit the value field itself: it holds their offset.
  if (!entry.found || entry.type != kTypeAscii || entry.count < kDateBytes - 1) return {};
  const size_t size = entry.count < kDateBytes ? entry.count : kDateBytes;
  const unsigned char* text = tiff.At(entry.value, size);
  return text == nullptr ? Moment{} : FromExifText(text, size);
}

// Where the bytes of an entry of bytes (XMP, IPTC) lie in the file, if
// inside the structure; IPTC is also written as a count of longs.
bool BlockOf(const Tiff& tiff, const Entry& entry, uint64_t& start, uint64_t& size) {
  if (!entry.found) return false;
  if (entry.type == kTypeLong) {
    size = uint64_t{entry.count} * 4;
  } else if (entry.type == kTypeByte || entry.type == kTypeUndefined) {
    size = entry.count;
  } else {
    return false;
  }
  // Four bytes and fewer stand in the value field: too short to matter.
  if (size <= 4 || !Fits(entry.value, size, tiff.length) || !Fits(tiff.base, entry.value, UINT64_MAX)) {
    return false;
  }
  start = tiff.base + entry.value;
  return true;
}

}  // namespace

bool IsTiff(const unsigned char* head) {
  // Plain TIFF in both byte orders, then the raw variants with their own
  // marks in place of 42 (ORF twice in Intel order, once in Motorola; RW2).
  for (const char* mark : {"II*\0", "MM\0*", "IIRO", "IIRS", "MMOR", "IIU\0"}) {
    if (std::memcmp(head, mark, 4) == 0) return true;
  }
  return false;
}

void FromTiff(Source& source, uint64_t base, uint64_t length, Findings& found, FirstIfd first) {
  const unsigned char* head = Fits(0, 8, length) ? source.At(base, 8) : nullptr;
  if (head == nullptr || !IsTiff(head)) return;
  const Tiff tiff{source, base, length, head[0] == 'I'};
  const uint32_t firstIfd = tiff.U32(head + 4);
  Entry image[4];
  Entry exif[2];
  if (first == FirstIfd::kImage) {
    WalkIfd(tiff, firstIfd, {kTagDateTime, kTagExifIfd, kTagXmp, kTagIptc}, image);
    const Entry& pointer = image[1];
    if (pointer.found && (pointer.type == kTypeLong || pointer.type == kTypeIfd) && pointer.count == 1) {
      WalkIfd(tiff, pointer.value, {kTagDateTimeOriginal, kTagDateTimeDigitized}, exif);
    }
  } else {
    WalkIfd(tiff, firstIfd, {kTagDateTimeOriginal, kTagDateTimeDigitized}, exif);
  }
  found.Offer(Rank::kExifOriginal, DateOf(tiff, exif[0]));
  uint64_t start = 0, size = 0;
  if (!found.Settled(Rank::kXmp) && BlockOf(tiff, image[2], start, size)) FromXmp(source, start, size, found);
  if (!found.Settled(Rank::kIptc) && BlockOf(tiff, image[3], start, size))
    FromIptc(source, start, size, found);
  found.Offer(Rank::kExifDigitized, DateOf(tiff, exif[1]));
  found.Offer(Rank::kExifDateTime, DateOf(tiff, image[0]));
}

void FromExifBlock(Source& source, uint64_t start, uint64_t length, Findings& found) {
  const unsigned char* p = length >= 6 ? source.At(start, 6) : nullptr;
  if (p != nullptr && std::memcmp(p, "Exif\0\0", 6) == 0) {
    FromTiff(source, start + 6, length - 6, found);
  } else {
    FromTiff(source, start, length, found);
  }
}

}  // namespace TakenDate
