// The items of a HEIF or AVIF picture.
#include "taken/Items.h"

#include <cstring>
#include <initializer_list>
#include <string_view>

#include "taken/Exif.h"
#include "taken/Xmp.h"

namespace TakenDate {

namespace {

constexpr std::string_view kXmpContentType = "application/rdf+xml";

struct ItemIds {
  bool exif = false, xmp = false;
  uint32_t exifId = 0, xmpId = 0;
};

// Whether the item entry's strings behind `pos` (its name, then its
// content type) give XMP's content type.
bool IsXmpMime(Source& source, uint64_t pos, uint64_t end) {
  size_t size = 0;
  const unsigned char* p = pos < end ? source.Upto(pos, static_cast<size_t>(end - pos), size) : nullptr;
  const void* nul = p == nullptr ? nullptr : std::memchr(p, 0, size);
  if (nul == nullptr) return false;
  const size_t type = static_cast<size_t>(static_cast<const unsigned char*>(nul) - p) + 1;
  return size - type > kXmpContentType.size() &&
         std::memcmp(p + type, kXmpContentType.data(), kXmpContentType.size()) == 0 &&
         p[type + kXmpContentType.size()] == 0;
}

// The IDs of the first item of type 'Exif' and the first XMP item (type
// 'mime', content type application/rdf+xml) that the item info box lists.
ItemIds FindItemIds(Source& source, const Box& iinf) {
  ItemIds ids;
  Fields header(source, iinf.body, iinf.end);
  // Version 0 counts the entries in 16 bits, later ones in 32; the entries
  // are read as the boxes they are instead.
  const uint64_t version = header.Take(4) >> 24;
  const uint64_t skip = version == 0 ? 6 : 8;
  if (!header.Ok() || !Fits(iinf.body, skip, iinf.end)) return ids;
  uint64_t pos = iinf.body + skip;
  Box infe;
  for (int step = 0; step < kMostSteps && !(ids.exif && ids.xmp) && BoxAt(source, pos, iinf.end, infe);
       ++step) {
    pos = infe.end;
    if (infe.type != FourCc("infe")) continue;
    // Versions 0 and 1 name no item type; version 2 has 16-bit IDs, later ones 32-bit.
    Fields entry(source, infe.body, infe.end);
    const uint64_t entryVersion = entry.Take(4) >> 24;
    if (entryVersion < 2) continue;
    const auto itemId = static_cast<uint32_t>(entry.Take(entryVersion == 2 ? 2 : 4));
    entry.Take(2);  // protection
    const uint64_t type = entry.Take(4);
    if (!entry.Ok()) continue;
    if (type == FourCc("Exif") && !ids.exif) {
      ids.exif = true;
      ids.exifId = itemId;
    } else if (type == FourCc("mime") && !ids.xmp && IsXmpMime(source, entry.Pos(), infe.end)) {
      ids.xmp = true;
      ids.xmpId = itemId;
    }
  }
  return ids;
}

// The field sizes of an item location box.
struct IlocLayout {
  uint64_t version = 0;
  unsigned offsetBytes = 0, lengthBytes = 0, baseBytes = 0, indexBytes = 0, idBytes = 2;
};

bool ReadLayout(Fields& fields, IlocLayout& layout) {
  layout.version = fields.Take(4) >> 24;
  const auto sizes = static_cast<unsigned>(fields.Take(2));
  layout.offsetBytes = sizes >> 12;
  layout.lengthBytes = sizes >> 8 & 15;
  layout.baseBytes = sizes >> 4 & 15;
  layout.indexBytes = layout.version >= 1 ? sizes & 15 : 0;  // reserved in version 0
  layout.idBytes = layout.version == 2 ? 4 : 2;
  for (unsigned bytes : {layout.offsetBytes, layout.lengthBytes, layout.baseBytes, layout.indexBytes}) {
    if (bytes != 0 && bytes != 4 && bytes != 8) return false;
  }
  return fields.Ok() && layout.version <= 2;
}

struct Extent {
  uint64_t offset = 0, length = 0;  // offset + length never overflows
};

// Where an extent lies in the file: `method` 0 counts from the file's
// start, 1 from the start of the meta box's idat box. Length 0 runs to the
// end of what it counts from.
bool Locate(uint64_t method, uint64_t start, uint64_t length, const Box& idat, Extent& extent) {
  uint64_t room = UINT64_MAX - start;
  if (method == 1) {
    const uint64_t data = idat.end - idat.body;
    if (idat.type == 0 || start > data) return false;
    room = data - start;
    start += idat.body;
  } else if (method != 0) {
    return false;  // kept in another item
  }
  if (length == 0) length = room;
  if (length > room) return false;
  extent = {start, length};
  return true;
}

// The first extent of item `id` by the item location box.
bool ItemExtent(Source& source, const Box& iloc, const Box& idat, uint32_t id, Extent& extent) {
  Fields fields(source, iloc.body, iloc.end);
  IlocLayout layout;
  if (!ReadLayout(fields, layout)) return false;
  const uint64_t items = fields.Take(layout.idBytes);
  int steps = 0;
  for (uint64_t i = 0; i < items && fields.Ok() && steps < kMostSteps; ++i, ++steps) {
    const uint64_t itemId = fields.Take(layout.idBytes);
    const uint64_t method = layout.version >= 1 ? fields.Take(2) & 15 : 0;
    const uint64_t reference = fields.Take(2);  // 0: in this file
    const uint64_t base = fields.Take(layout.baseBytes);
    const uint64_t extents = fields.Take(2);
    if (itemId == id) {
      fields.Skip(layout.indexBytes);
      const uint64_t offset = fields.Take(layout.offsetBytes);
      const uint64_t length = fields.Take(layout.lengthBytes);
      return fields.Ok() && extents > 0 && reference == 0 && Fits(base, offset, UINT64_MAX) &&
             Locate(method, base + offset, length, idat, extent);
    }
    for (uint64_t e = 0; e < extents && fields.Ok() && steps < kMostSteps; ++e, ++steps) {
      fields.Skip(layout.indexBytes + layout.offsetBytes + layout.lengthBytes);
    }
  }
  return false;
}

// The Exif item starts with the TIFF header's offset from behind that field.
void FromExifItem(Source& source, const Extent& item, Findings& found) {
  const unsigned char* p = item.length >= 4 ? source.At(item.offset, 4) : nullptr;
  if (p == nullptr) return;
  const uint64_t skip = 4 + uint64_t{Be32(p)};
  if (skip <= item.length) FromTiff(source, item.offset + skip, item.length - skip, found);
}

}  // namespace

void FromItems(Source& source, const Box& meta, Findings& found) {
  if (!Fits(meta.body, 4, meta.end)) return;
  constexpr uint32_t kTypes[] = {FourCc("iinf"), FourCc("iloc"), FourCc("idat")};
  Box boxes[3];
  FindBoxes(source, meta.body + 4, meta.end, kTypes, boxes);  // behind the version and flags
  if (boxes[0].type == 0 || boxes[1].type == 0) return;
  const ItemIds ids = FindItemIds(source, boxes[0]);
  Extent item;
  if (ids.exif && ItemExtent(source, boxes[1], boxes[2], ids.exifId, item)) FromExifItem(source, item, found);
  if (ids.xmp && !found.Settled(Rank::kXmp) && ItemExtent(source, boxes[1], boxes[2], ids.xmpId, item)) {
    FromXmp(source, item.offset, item.length, found);
  }
}

}  // namespace TakenDate
