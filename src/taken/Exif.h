// Exif dates: the TIFF structure's IFD walk, and the still-image files that
// carry one (TIFF and its raw variants directly, JPEG in an APP1 segment,
// PNG in an eXIf chunk, WebP in an EXIF chunk).
#pragma once

#include <cstddef>
#include <cstdint>

#include "taken/Source.h"

namespace TakenDate {

// An Exif date text of `size` bytes ("YYYY:MM:DD HH:MM:SS", then nothing,
// a NUL or spaces): kWallClock, or kNone when it is not a valid date in
// the range a Moment holds.
Moment FromExifText(const unsigned char* text, size_t size);

// The Exif dates of the TIFF structure whose header is at `base`, with
// `length` bytes (kToEndOfFile when unknown): kWallClock, or kNone.
Moment FromTiff(Source& source, uint64_t base, uint64_t length);

// Whether the file starts with a TIFF header, raw variants included.
bool IsTiff(const unsigned char* head);

// The Exif dates of a JPEG, a PNG or a WebP file: kWallClock, or kNone.
Moment FromJpeg(Source& source);
Moment FromPng(Source& source);
Moment FromWebp(Source& source);

}  // namespace TakenDate
