// Exif dates: the TIFF structure's IFD walk, for every format that keeps one
// (TIFF and its raw variants, and the Exif blocks of the other formats).
#pragma once

#include <cstdint>

#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// Whether the file starts with a TIFF header, raw variants included.
bool IsTiff(const unsigned char* head);

// What the first IFD of a TIFF structure is: the image's own (IFD0, which
// points to the Exif IFD), or the Exif IFD itself (Canon CR3's CMT2 box).
enum class FirstIfd { kImage, kExif };

// Offers the dates of the TIFF structure whose header is at `base`, with
// `length` bytes (kToEndOfFile when unknown): DateTimeOriginal,
// DateTimeDigitized and IFD0's DateTime, and those of the XMP packet (tag
// 700) and the IPTC record (tag 33723) of IFD0, where they can matter.
void FromTiff(Source& source, uint64_t base, uint64_t length, Findings& found,
              FirstIfd first = FirstIfd::kImage);

// The same for an Exif block of `length` bytes at `start` that may keep the
// "Exif\0\0" of a JPEG segment before its TIFF header.
void FromExifBlock(Source& source, uint64_t start, uint64_t length, Findings& found);

}  // namespace TakenDate
