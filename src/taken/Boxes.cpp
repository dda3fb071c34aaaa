// Files made of boxes (ISO media, QuickTime): the Exif item of a HEIC or
// AVIF picture, and the creation time in the movie header of MP4, MOV and
// 3GP. Only box headers are read on the way, so a movie header behind
// gigabytes of media data costs one small read.
#include <initializer_list>

#include "base/Calendar.h"
#include "taken/Boxes.h"
#include "taken/Exif.h"

namespace TakenDate {

namespace {

struct Box {
  uint32_t type = 0;  // 0: no box found
  uint64_t body = 0;  // where its content starts
  uint64_t end = 0;   // where the next box starts
};

// The box at `pos` inside a parent that ends at `limit`: false when its
// header is cut short or its size does not fit the parent.
bool BoxAt(Source& source, uint64_t pos, uint64_t limit, Box& box) {
  const unsigned char* p = Fits(pos, 8, limit) ? source.At(pos, 8) : nullptr;
  if (p == nullptr) return false;
  uint64_t size = Be32(p);
  uint64_t header = 8;
  box.type = Be32(p + 4);
  if (size == 1) {  // the size follows in 64 bits
    const unsigned char* large = Fits(pos, 16, limit) ? source.At(pos + 8, 8) : nullptr;
    if (large == nullptr) return false;
    size = Be64(large);
    header = 16;
  } else if (size == 0) {  // the box runs to the end of its parent (of the file, at the top)
    size = limit - pos;
  }
  if (size < header || size > limit - pos) return false;
  box.body = pos + header;
  box.end = pos + size;
  return true;
}

// Notes the first box of each of `types` among the boxes from `pos` to `end`.
template <size_t N>
void FindBoxes(Source& source, uint64_t pos, uint64_t end, const uint32_t (&types)[N], Box (&found)[N]) {
  size_t missing = N;
  Box box;
  for (int step = 0; step < kMostSteps && missing > 0 && BoxAt(source, pos, end, box); ++step) {
    for (size_t i = 0; i < N; ++i) {
      if (box.type == types[i] && found[i].type == 0) {
        found[i] = box;
        --missing;
      }
    }
    pos = box.end;
  }
}

// Big-endian fields read one after another inside [pos, end); once one
// does not fit, it and every later field read as 0.
class Fields {
 public:
  Fields(Source& source, uint64_t pos, uint64_t end) : source_(source), pos_(pos), end_(end) {}

  // The next field of `bytes` bytes (at most 8), or 0 once a field failed.
  uint64_t Take(unsigned bytes) {
    const unsigned char* p = ok_ && Fits(pos_, bytes, end_) ? source_.At(pos_, bytes) : nullptr;
    if (p == nullptr) {
      ok_ = false;
      return 0;
    }
    pos_ += bytes;
    uint64_t value = 0;
    for (unsigned i = 0; i < bytes; ++i) value = value << 8 | p[i];
    return value;
  }

  // Passes over `bytes` bytes without reading them.
  void Skip(uint64_t bytes) {
    ok_ = ok_ && Fits(pos_, bytes, end_);
    if (ok_) pos_ += bytes;
  }

  bool Ok() const { return ok_; }

 private:
  Source& source_;
  uint64_t pos_;
  uint64_t end_;
  bool ok_ = true;
};

// The ID of the first item of type 'Exif' that the item info box lists.
bool ExifItemId(Source& source, const Box& iinf, uint32_t& id) {
  Fields header(source, iinf.body, iinf.end);
  // Version 0 counts the entries in 16 bits, later ones in 32; the entries
  // are read as the boxes they are instead.
  const uint64_t version = header.Take(4) >> 24;
  const uint64_t skip = version == 0 ? 6 : 8;
  if (!header.Ok() || !Fits(iinf.body, skip, iinf.end)) return false;
  uint64_t pos = iinf.body + skip;
  Box infe;
  for (int step = 0; step < kMostSteps && BoxAt(source, pos, iinf.end, infe); ++step) {
    pos = infe.end;
    if (infe.type != FourCc("infe")) continue;
    // Versions 0 and 1 name no item type; version 2 has 16-bit IDs, later ones 32-bit.
    Fields entry(source, infe.body, infe.end);
    const uint64_t entryVersion = entry.Take(4) >> 24;
    if (entryVersion < 2) continue;
    const uint64_t itemId = entry.Take(entryVersion == 2 ? 2 : 4);
    entry.Take(2);  // protection
    if (entry.Take(4) == FourCc("Exif") && entry.Ok()) {
      id = static_cast<uint32_t>(itemId);
      return true;
    }
  }
  return false;
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

// The Exif dates of the item of type 'Exif' in the meta box.
Moment FromExifItem(Source& source, const Box& meta) {
  if (!Fits(meta.body, 4, meta.end)) return {};
  constexpr uint32_t kTypes[] = {FourCc("iinf"), FourCc("iloc"), FourCc("idat")};
  Box found[3];
  FindBoxes(source, meta.body + 4, meta.end, kTypes, found);  // behind the version and flags
  uint32_t id = 0;
  Extent item;
  if (found[0].type == 0 || found[1].type == 0 || !ExifItemId(source, found[0], id) ||
      !ItemExtent(source, found[1], found[2], id, item)) {
    return {};
  }
  // The item starts with the TIFF header's offset from behind that field.
  const unsigned char* p = item.length >= 4 ? source.At(item.offset, 4) : nullptr;
  if (p == nullptr) return {};
  const uint64_t skip = 4 + uint64_t{Be32(p)};
  if (skip > item.length) return {};
  return FromTiff(source, item.offset + skip, item.length - skip);
}

// Seconds from 1904-01-01, where movie times count from, to 1970-01-01.
constexpr int64_t kMovieEpoch = -Calendar::DaysFromCivil(1904, 1, 1) * Calendar::kSecondsPerDay;

// The creation time in the movie header box.
Moment FromMovieHeader(Source& source, const Box& mvhd) {
  Fields fields(source, mvhd.body, mvhd.end);
  const uint64_t version = fields.Take(4) >> 24;
  // Version 1 keeps its times in 64 bits, version 0 in 32.
  const uint64_t created = version == 1 ? fields.Take(8) : fields.Take(4);
  // Zero, what writers leave when they know no time, is before 1970 too.
  if (!fields.Ok() || version > 1 || created < static_cast<uint64_t>(kMovieEpoch)) return {};
  const uint64_t seconds = created - static_cast<uint64_t>(kMovieEpoch);
  if (seconds > static_cast<uint64_t>(Calendar::kLastSecond)) return {};
  return {Kind::kUtc, static_cast<int64_t>(seconds)};
}

}  // namespace

bool IsBoxFile(const unsigned char* head) {
  const uint32_t type = Be32(head + 4);
  // QuickTime files may start with any of their top-level boxes, not only ftyp.
  for (uint32_t first :
       {FourCc("ftyp"), FourCc("moov"), FourCc("mdat"), FourCc("free"), FourCc("skip"), FourCc("wide")}) {
    if (type == first) return true;
  }
  return false;
}

Moment FromBoxes(Source& source) {
  constexpr uint32_t kTopTypes[] = {FourCc("meta"), FourCc("moov")};
  Box top[2];
  FindBoxes(source, 0, kToEndOfFile, kTopTypes, top);
  if (top[0].type != 0) {
    const Moment moment = FromExifItem(source, top[0]);
    if (moment.kind != Kind::kNone) return moment;
  }
  if (top[1].type == 0) return {};
  constexpr uint32_t kMovieTypes[] = {FourCc("mvhd")};
  Box header[1];
  FindBoxes(source, top[1].body, top[1].end, kMovieTypes, header);
  return header[0].type == 0 ? Moment{} : FromMovieHeader(source, header[0]);
}

}  // namespace TakenDate
