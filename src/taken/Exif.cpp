// Exif dates: the TIFF structure's IFD walk, and the still-image files that
// carry one (TIFF and its raw variants directly, JPEG in an APP1 segment,
// PNG in an eXIf chunk, WebP in an EXIF chunk).
#include <cstring>
#include <initializer_list>

#include "base/Calendar.h"
#include "taken/Exif.h"

namespace TakenDate {

namespace {

constexpr uint32_t kTagDateTime = 0x0132;
constexpr uint32_t kTagExifIfd = 0x8769;
constexpr uint32_t kTagDateTimeOriginal = 0x9003;
constexpr uint32_t kTagDateTimeDigitized = 0x9004;
constexpr uint32_t kTypeAscii = 2;
constexpr uint32_t kTypeLong = 4;
constexpr uint32_t kTypeIfd = 13;
constexpr size_t kEntryBytes = 12;
constexpr size_t kDateBytes = 20;  // the text and its NUL

// The number written by `count` decimal digits, or -1 for anything else
// (blanks included).
int Digits(const unsigned char* text, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

constexpr size_t kDateTextLength = 19;  // "YYYY:MM:DD HH:MM:SS"

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
void WalkIfd(const Tiff& tiff, uint32_t offset, const uint32_t (&tags)[2], Entry (&found)[2]) {
  const unsigned char* p = tiff.At(offset, 2);
  if (p == nullptr) return;
  const uint32_t count = tiff.U16(p);
  for (uint32_t i = 0; i < count && i < kMostSteps; ++i) {
    const unsigned char* entry = tiff.At(offset + 2 + uint64_t{i} * kEntryBytes, kEntryBytes);
    if (entry == nullptr) return;
    const uint32_t tag = tiff.U16(entry);
    for (int k = 0; k < 2; ++k) {
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

}  // namespace

Moment FromExifText(const unsigned char* text, size_t size) {
  if (size < kDateTextLength) return {};
  // What follows the text may be its NUL or padding, never more text.
  if (size > kDateTextLength && text[kDateTextLength] != 0 && text[kDateTextLength] != ' ') return {};
  constexpr char kShape[] = "dddd:dd:dd dd:dd:dd";
  for (size_t i = 0; i < kDateTextLength; ++i) {
    if (kShape[i] != 'd' && text[i] != static_cast<unsigned char>(kShape[i])) return {};
  }
  const int year = Digits(text, 4), month = Digits(text + 5, 2), day = Digits(text + 8, 2);
  const int hour = Digits(text + 11, 2), minute = Digits(text + 14, 2), second = Digits(text + 17, 2);
  // Digits gives -1 for a blank field, which fails every check below; an
  // all-zero date ("0000:00:00 00:00:00") fails the month.
  if (year < 1970 || !Calendar::ValidFields(year, month, day, hour, minute, second)) return {};
  const int64_t seconds = Calendar::SecondsFromFields(
      year, static_cast<unsigned>(month), static_cast<unsigned>(day), static_cast<unsigned>(hour),
      static_cast<unsigned>(minute), static_cast<unsigned>(second));
  if (seconds > Calendar::kLastSecond) return {};
  return {Kind::kWallClock, seconds};
}

bool IsTiff(const unsigned char* head) {
  // Plain TIFF in both byte orders, then the raw variants with their own
  // marks in place of 42 (ORF twice in Intel order, once in Motorola; RW2).
  for (const char* mark : {"II*\0", "MM\0*", "IIRO", "IIRS", "MMOR", "IIU\0"}) {
    if (std::memcmp(head, mark, 4) == 0) return true;
  }
  return false;
}

Moment FromTiff(Source& source, uint64_t base, uint64_t length) {
  const unsigned char* head = Fits(0, 8, length) ? source.At(base, 8) : nullptr;
  if (head == nullptr || !IsTiff(head)) return {};
  const Tiff tiff{source, base, length, head[0] == 'I'};
  Entry first[2];
  WalkIfd(tiff, tiff.U32(head + 4), {kTagDateTime, kTagExifIfd}, first);
  Entry exif[2];
  const Entry& pointer = first[1];
  if (pointer.found && (pointer.type == kTypeLong || pointer.type == kTypeIfd) && pointer.count == 1) {
    WalkIfd(tiff, pointer.value, {kTagDateTimeOriginal, kTagDateTimeDigitized}, exif);
  }
  for (const Entry* entry : {&exif[0], &exif[1], &first[0]}) {
    const Moment moment = DateOf(tiff, *entry);
    if (moment.kind != Kind::kNone) return moment;
  }
  return {};
}

Moment FromJpeg(Source& source) {
  uint64_t pos = 2;  // behind the start-of-image marker
  for (int step = 0; step < kMostSteps; ++step) {
    const unsigned char* p = source.At(pos, 4);
    if (p == nullptr || p[0] != 0xFF) return {};
    const unsigned marker = p[1];
    if (marker == 0xFF) {  // a fill byte before the marker
      pos += 1;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // markers without a length
      pos += 2;
      continue;
    }
    // Exif comes before the image data; from its start on there is none.
    if (marker == 0xDA || marker == 0xD9) return {};
    const uint32_t length = Be16(p + 2);  // counts itself, not the marker
    if (length < 2) return {};
    if (marker == 0xE1 && length >= 2 + 6) {
      const unsigned char* id = source.At(pos + 4, 6);
      if (id != nullptr && std::memcmp(id, "Exif\0", 5) == 0) return FromTiff(source, pos + 10, length - 8);
    }
    pos += 2 + uint64_t{length};
  }
  return {};
}

Moment FromPng(Source& source) {
  uint64_t pos = 8;  // behind the signature
  for (int step = 0; step < kMostSteps; ++step) {
    const unsigned char* p = source.At(pos, 8);
    if (p == nullptr) return {};
    const uint32_t length = Be32(p);
    const uint32_t type = Be32(p + 4);
    if (length > 0x7FFFFFFF) return {};  // PNG forbids longer chunks
    if (type == FourCc("eXIf")) return FromTiff(source, pos + 8, length);
    if (type == FourCc("IEND")) return {};
    pos += 12 + uint64_t{length};  // length, type, data, CRC
  }
  return {};
}

namespace {

Moment FromWebpExif(Source& source, uint64_t data, uint32_t size) {
  // Some writers keep the "Exif\0\0" of the JPEG segment before the TIFF header.
  const unsigned char* p = size >= 6 ? source.At(data, 6) : nullptr;
  if (p != nullptr && std::memcmp(p, "Exif\0\0", 6) == 0) return FromTiff(source, data + 6, size - 6);
  return FromTiff(source, data, size);
}

}  // namespace

Moment FromWebp(Source& source) {
  const unsigned char* p = source.At(0, 12);
  if (p == nullptr || std::memcmp(p + 8, "WEBP", 4) != 0) return {};
  const uint64_t end = 8 + uint64_t{Le32(p + 4)};
  uint64_t pos = 12;
  for (int step = 0; step < kMostSteps && Fits(pos, 8, end); ++step) {
    p = source.At(pos, 8);
    if (p == nullptr) return {};
    const uint32_t size = Le32(p + 4);
    if (Be32(p) == FourCc("EXIF")) return FromWebpExif(source, pos + 8, size);
    pos += 8 + uint64_t{size} + (size & 1);  // chunks are padded to an even size
  }
  return {};
}

}  // namespace TakenDate
