// The movie box: Canon's Exif, XMP in the user data, the phone's creation
// date and the movie header.
#include "taken/Movie.h"

#include <cstring>
#include <string_view>

#include "base/Calendar.h"
#include "taken/DateText.h"
#include "taken/Exif.h"
#include "taken/Xmp.h"

namespace TakenDate {

namespace {

// The type of the uuid box in a CR3's movie box that holds its CMT boxes.
constexpr unsigned char kCanonUuid[16] = {0x85, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0,
                                          0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};
constexpr std::string_view kCreationDateKey = "com.apple.quicktime.creationdate";
constexpr uint32_t kUtf8 = 1;  // the well-known type of a data box's UTF-8 text
constexpr size_t kMostValue = 64;

// Seconds from 1904-01-01, where movie times count from, to 1970-01-01.
constexpr int64_t kMovieEpoch = -Calendar::DaysFromCivil(1904, 1, 1) * Calendar::kSecondsPerDay;

// Canon's CMT2 is a TIFF structure whose first IFD is the Exif IFD; CMT1's
// is the image's IFD0.
void FromCanon(Source& source, const Box& uuid, Findings& found) {
  constexpr uint32_t kTypes[] = {FourCc("CMT1"), FourCc("CMT2")};
  Box cmt[2];
  FindBoxes(source, uuid.body, uuid.end, kTypes, cmt);
  if (cmt[1].type != 0) FromTiff(source, cmt[1].body, cmt[1].end - cmt[1].body, found, FirstIfd::kExif);
  if (cmt[0].type != 0) FromTiff(source, cmt[0].body, cmt[0].end - cmt[0].body, found);
}

// The 1-based index of the creation date's key in the keys box, or 0.
uint64_t CreationDateIndex(Source& source, const Box& keys) {
  Fields header(source, keys.body, keys.end);
  header.Take(4);  // version and flags
  const uint64_t count = header.Take(4);
  uint64_t pos = header.Pos();
  for (uint64_t i = 1; i <= count && i <= kMostSteps && header.Ok(); ++i) {
    // Each key: its size (counting its 8-byte header), its namespace, its name.
    const unsigned char* p = Fits(pos, 8, keys.end) ? source.At(pos, 8) : nullptr;
    if (p == nullptr || Be32(p) < 8 || !Fits(pos, Be32(p), keys.end)) return 0;
    const uint32_t size = Be32(p);
    if (Be32(p + 4) == FourCc("mdta") && size - 8 == kCreationDateKey.size()) {
      const unsigned char* name = source.At(pos + 8, kCreationDateKey.size());
      if (name != nullptr && std::memcmp(name, kCreationDateKey.data(), kCreationDateKey.size()) == 0)
        return i;
    }
    pos += size;
  }
  return 0;
}

// The phone's creation date: in the QuickTime metadata box (hdlr 'mdta'),
// the item list's entry of the key's index holds a data box with the text.
void FromPhoneClock(Source& source, const Box& meta, Findings& found) {
  // A QuickTime metadata box has no version and flags, an ISO one has.
  const unsigned char* p = Fits(meta.body, 8, meta.end) ? source.At(meta.body, 8) : nullptr;
  if (p == nullptr) return;
  const uint64_t first = Be32(p + 4) == FourCc("hdlr") ? meta.body : meta.body + 4;
  constexpr uint32_t kTypes[] = {FourCc("keys"), FourCc("ilst")};
  Box boxes[2];
  FindBoxes(source, first, meta.end, kTypes, boxes);
  const uint64_t index = boxes[0].type != 0 && boxes[1].type != 0 ? CreationDateIndex(source, boxes[0]) : 0;
  if (index == 0 || index > UINT32_MAX) return;
  const uint32_t entryType[] = {static_cast<uint32_t>(index)};
  Box entry[1];
  FindBoxes(source, boxes[1].body, boxes[1].end, entryType, entry);
  constexpr uint32_t kData[] = {FourCc("data")};
  Box data[1];
  if (entry[0].type != 0) FindBoxes(source, entry[0].body, entry[0].end, kData, data);
  // The data box: its type (a set byte and a 24-bit type), its locale, the value.
  const uint64_t size = data[0].end - data[0].body;
  if (data[0].type == 0 || size < 8 || size - 8 > kMostValue) return;
  const unsigned char* value = source.At(data[0].body, static_cast<size_t>(size));
  if (value == nullptr || Be32(value) != kUtf8) return;
  found.Offer(Rank::kPhoneClock, FromIsoText(value + 8, static_cast<size_t>(size - 8)));
}

// The creation time in the movie header box: 0, what writers leave when
// they know no time, counts as none.
void FromMovieHeader(Source& source, const Box& mvhd, Findings& found) {
  Fields fields(source, mvhd.body, mvhd.end);
  const uint64_t version = fields.Take(4) >> 24;
  // Version 1 keeps its times in 64 bits, version 0 in 32.
  const uint64_t created = version == 1 ? fields.Take(8) : fields.Take(4);
  if (!fields.Ok() || version > 1 || created == 0 || created > static_cast<uint64_t>(INT64_MAX)) return;
  found.Offer(Rank::kMovieHeader, Utc(static_cast<int64_t>(created) - kMovieEpoch));
}

}  // namespace

void FromMovie(Source& source, const Box& moov, Findings& found) {
  constexpr uint32_t kTypes[] = {FourCc("uuid"), FourCc("udta"), FourCc("meta"), FourCc("mvhd")};
  Box boxes[4];
  FindBoxes(source, moov.body, moov.end, kTypes, boxes);
  if (IsUuid(source, boxes[0], kCanonUuid)) FromCanon(source, boxes[0], found);
  // The user data may hold an XMP box, and the metadata box where it is
  // not in the movie box itself (as some writers place it).
  constexpr uint32_t kUserTypes[] = {FourCc("XMP_"), FourCc("meta")};
  Box user[2];
  if (boxes[1].type != 0 && !found.Settled(Rank::kXmp))
    FindBoxes(source, boxes[1].body, boxes[1].end, kUserTypes, user);
  if (user[0].type != 0) FromXmp(source, user[0].body, user[0].end - user[0].body, found);
  const Box& meta = boxes[2].type != 0 ? boxes[2] : user[1];
  if (meta.type != 0 && !found.Settled(Rank::kPhoneClock)) FromPhoneClock(source, meta, found);
  if (boxes[3].type != 0 && !found.Settled(Rank::kMovieHeader)) FromMovieHeader(source, boxes[3], found);
}

}  // namespace TakenDate
