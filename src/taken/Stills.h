// The common still-picture files: JPEG (its Exif, XMP and Photoshop
// segments), PNG (eXIf and the XMP iTXt chunk) and WebP (EXIF and XMP chunks).
#pragma once

#include <cstdint>

#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// Offers the dates of the JPEG stream of `length` bytes at `start` (a file,
// or one embedded in a raw file). Stops at the first DateTimeOriginal: the
// segments behind it are not read.
void FromJpeg(Source& source, uint64_t start, uint64_t length, Findings& found);

// Offers the dates of a PNG or a WebP file.
void FromPng(Source& source, Findings& found);
void FromWebp(Source& source, Findings& found);

}  // namespace TakenDate
