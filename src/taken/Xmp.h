// Dates in text packets: XMP wherever a format keeps it, sidecar .xmp files,
// and GIMP's own list of a picture's metadata.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// A date property of a text packet: the name it stands behind, as an
// element (<name>value</name>) or an attribute (name="value"), the rank it
// is offered with and how its value reads.
struct TextDate {
  std::string_view name;
  Rank rank;
  Moment (*parse)(const unsigned char* text, size_t size);
};

// Offers, in the order of `dates`, the first valid value of each of them
// in the `length` bytes at `start` (kToEndOfFile: to the end of the file).
// The first of `dates` is the best: once it is found, the rest goes unread.
// Read in windows of up to kScratchBytes that overlap by more than any
// property's length, so that none is missed where two windows meet.
void FromText(Source& source, uint64_t start, uint64_t length, const TextDate* dates, size_t count,
              Findings& found);

// Offers the XMP date of the packet of `length` bytes at `start`:
// exif:DateTimeOriginal, else photoshop:DateCreated, else xmp:CreateDate
// (Rank::kXmp), the first valid one, as written.
void FromXmp(Source& source, uint64_t start, uint64_t length, Findings& found);

// Whether a file's first `size` bytes start an XMP packet on its own (a
// sidecar): "<?xpacket" or "<x:xmpmeta", or an XML declaration and then
// one of them, after an optional byte-order mark and blanks.
bool IsXmpFile(const unsigned char* head, size_t size);

}  // namespace TakenDate
