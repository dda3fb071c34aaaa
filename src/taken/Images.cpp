// Picture formats of image programs: BPG, MIFF, XCF.
#include "taken/Images.h"

#include <cstring>
#include <iterator>
#include <string_view>

#include "taken/DateText.h"
#include "taken/Exif.h"
#include "taken/Iptc.h"
#include "taken/Photoshop.h"
#include "taken/Xmp.h"

namespace TakenDate {

namespace {

// The metadata blocks a file carries, read best first.
struct Blocks {
  Span exif, xmp, iptc, resources, gimpList;
};

// GIMP's metadata list: <tag name="Exif.Photo.DateTimeOriginal">...</tag>.
constexpr TextDate kGimpDates[] = {
    {"<tag name=\"Exif.Photo.DateTimeOriginal\"", Rank::kExifOriginal, FromExifText},
    {"<tag name=\"Xmp.exif.DateTimeOriginal\"", Rank::kXmp, FromIsoText},
    {"<tag name=\"Xmp.photoshop.DateCreated\"", Rank::kXmp, FromIsoText},
    {"<tag name=\"Xmp.xmp.CreateDate\"", Rank::kXmp, FromIsoText},
    {"<tag name=\"Exif.Photo.DateTimeDigitized\"", Rank::kExifDigitized, FromExifText},
    {"<tag name=\"Exif.Image.DateTime\"", Rank::kExifDateTime, FromExifText},
};

void FromBlocks(Source& source, const Blocks& blocks, Findings& found) {
  if (blocks.exif.size != 0) FromExifBlock(source, blocks.exif.start, blocks.exif.size, found);
  if (blocks.gimpList.size != 0 && !found.Settled(Rank::kExifOriginal)) {
    FromText(source, blocks.gimpList.start, blocks.gimpList.size, kGimpDates, std::size(kGimpDates), found);
  }
  if (blocks.xmp.size != 0) FromXmp(source, blocks.xmp.start, blocks.xmp.size, found);
  if (blocks.iptc.size != 0) FromIptc(source, blocks.iptc.start, blocks.iptc.size, found);
  if (blocks.resources.size != 0 && !found.Settled(Rank::kExifOriginal)) {
    FromResources(source, blocks.resources.start, blocks.resources.size, found);
  }
}

// BPG's numbers: big-endian groups of 7 bits, each but the last with the
// high bit set; at most 32 bits.
bool Ue7(Source& source, uint64_t& pos, uint64_t& value) {
  value = 0;
  for (int i = 0; i < 5; ++i) {
    const unsigned char* p = source.At(pos++, 1);
    if (p == nullptr) return false;
    value = value << 7 | (p[0] & 0x7F);
    if ((p[0] & 0x80) == 0) return value <= UINT32_MAX;
  }
  return false;
}

// MIFF: the data of the profiles that the header names, in its order,
// follow the header; each "profile=NAME" is behind its 32-bit length, each
// older "profile:NAME=LENGTH" of that length.
struct MiffProfile {
  std::string_view name;
  uint64_t length = 0;  // 0: behind its own length
};

Span* BlockOfName(Blocks& blocks, std::string_view name) {
  if (name == "exif") return &blocks.exif;
  if (name == "xmp") return &blocks.xmp;
  if (name == "iptc") return &blocks.iptc;
  if (name == "8bim") return &blocks.resources;
  return nullptr;
}

// The header's words up to its end (":" and Ctrl-Z): the profiles it
// names and where their data starts; false when the end is not in `size`.
bool ReadMiffHeader(const unsigned char* text, size_t size, MiffProfile (&profiles)[8], size_t& count,
                    uint64_t& dataStart) {
  count = 0;
  const std::string_view all(reinterpret_cast<const char*>(text), size);
  for (size_t i = 0; i < size;) {
    if (all[i] == ':' && i + 1 < size && text[i + 1] == 0x1A) {
      dataStart = i + 2;
      return true;
    }
    if (all[i] == ' ' || all[i] == '\n' || all[i] == '\r' || all[i] == '\t' || all[i] == '\f') {
      ++i;
      continue;
    }
    // A word runs to the next blank, but a value in braces may hold blanks.
    const size_t start = i;
    while (i < size && all[i] != ' ' && all[i] != '\n' && all[i] != '\r' && all[i] != '\t' &&
           all[i] != '\f') {
      if (all[i] == '{') i = all.find('}', i);
      if (i == std::string_view::npos) return false;
      ++i;
    }
    const std::string_view word = all.substr(start, i - start);
    if (count < std::size(profiles) && word.starts_with("profile=")) {
      profiles[count++] = {word.substr(8), 0};
    } else if (count < std::size(profiles) && word.starts_with("profile:")) {
      const size_t equals = word.find('=');
      const std::string_view digits = equals == std::string_view::npos ? "" : word.substr(equals + 1);
      uint64_t length = 0;
      for (size_t d = 0; d < digits.size() && length <= UINT32_MAX; ++d) {
        length = digits[d] >= '0' && digits[d] <= '9' ? length * 10 + (digits[d] - '0') : UINT64_MAX;
      }
      if (!digits.empty() && length != 0 && length <= UINT32_MAX) {
        profiles[count++] = {word.substr(8, equals - 8), length};
      }
    }
  }
  return false;
}

}  // namespace

bool IsBpg(const unsigned char* head, size_t size) {
  return size >= 6 && std::memcmp(head, "BPG\xFB", 4) == 0;
}

bool IsMiff(const unsigned char* head, size_t size) {
  return size >= 14 && std::memcmp(head, "id=ImageMagick", 14) == 0;
}

bool IsXcf(const unsigned char* head, size_t size) {
  return size >= 26 && std::memcmp(head, "gimp xcf ", 9) == 0;
}

void FromBpg(Source& source, Findings& found) {
  // The mark, two bytes of flags (the extension flag in the second), the
  // width, height and picture data length, the extensions' length, then
  // the extensions: a tag (1 Exif, 3 XMP), a length, the data.
  const unsigned char* p = source.At(0, 6);
  if (p == nullptr || (p[5] & 0x08) == 0) return;
  uint64_t pos = 6, value = 0, length = 0;
  for (int field = 0; field < 3; ++field) {
    if (!Ue7(source, pos, value)) return;
  }
  if (!Ue7(source, pos, length)) return;
  const uint64_t end = pos + length;
  Blocks blocks;
  for (int step = 0; step < kMostSteps && pos < end; ++step) {
    uint64_t tag = 0, size = 0;
    if (!Ue7(source, pos, tag) || !Ue7(source, pos, size) || !Fits(pos, size, end)) break;
    if (tag == 1 && blocks.exif.size == 0) blocks.exif = {pos, size};
    if (tag == 3 && blocks.xmp.size == 0) blocks.xmp = {pos, size};
    pos += size;
  }
  FromBlocks(source, blocks, found);
}

void FromMiff(Source& source, Findings& found) {
  size_t size = 0;
  const unsigned char* text = source.Upto(0, kScratchBytes, size);
  MiffProfile profiles[8];
  size_t count = 0;
  uint64_t pos = 0;
  if (text == nullptr || !ReadMiffHeader(text, size, profiles, count, pos)) return;
  Blocks blocks;
  Span* where[8] = {};
  for (size_t i = 0; i < count; ++i) where[i] = BlockOfName(blocks, profiles[i].name);
  for (size_t i = 0; i < count; ++i) {  // the names point into the window: taken before reading on
    uint64_t length = profiles[i].length, start = pos;
    if (length == 0) {
      const unsigned char* p = source.At(pos, 4);
      if (p == nullptr) break;
      length = Be32(p);
      start = pos + 4;
    }
    if (where[i] != nullptr && where[i]->size == 0) *where[i] = {start, length};
    pos = start + length;
  }
  FromBlocks(source, blocks, found);
}

void FromXcf(Source& source, Findings& found) {
  // "gimp xcf ", the version ("file" or "v" and 3 digits) and a NUL, the
  // width, height and color mode, from version 4 the precision; then the
  // image's properties: a type, a payload length, the payload.
  const unsigned char* p = source.At(0, 26);
  if (p == nullptr) return;
  const int version = p[9] == 'v' ? Digits(p + 10, 3) : 0;
  uint64_t pos = version >= 4 ? 30 : 26;
  Span parasites;
  for (int step = 0; step < kMostSteps && parasites.size == 0; ++step) {
    p = source.At(pos, 12);
    if (p == nullptr) return;
    const uint32_t type = Be32(p);
    uint64_t size = Be32(p + 4);
    if (type == 0) break;                                 // the end of the list
    if (type == 1) size = 4 + 3 * uint64_t{Be32(p + 8)};  // colour maps were written with a wrong length
    if (type == 21) parasites = {pos + 8, size};
    pos += 8 + size;
  }
  // Each parasite: its name (a length counting the NUL, the name), flags,
  // the data's length, the data.
  const uint64_t end = parasites.start + parasites.size;
  Blocks blocks;
  pos = parasites.start;
  for (int step = 0; step < kMostSteps && Fits(pos, 4, end); ++step) {
    p = source.At(pos, 4);
    const uint64_t nameSize = p == nullptr ? 0 : Be32(p);
    const unsigned char* q =
        nameSize <= 64 && Fits(pos + 4, nameSize + 8, end) ? source.At(pos + 4, nameSize + 8) : nullptr;
    if (q == nullptr || nameSize == 0) break;
    const std::string_view name(reinterpret_cast<const char*>(q), nameSize - 1);
    const Span data{pos + 12 + nameSize, Be32(q + nameSize + 4)};
    if (!Fits(data.start, data.size, end)) break;
    Span* which = name == "exif-data" || name == "jpeg-exif-data" ? &blocks.exif
                  : name == "gimp-metadata"                       ? &blocks.xmp
                  : name == "iptc-data"                           ? &blocks.iptc
                  : name == "gimp-image-metadata"                 ? &blocks.gimpList
                                                                  : nullptr;
    if (which != nullptr && which->size == 0) *which = data;
    pos = data.start + data.size;
  }
  FromBlocks(source, blocks, found);
}

}  // namespace TakenDate
