// Picture formats of image programs that carry a camera's metadata over:
// BPG (its extension tags), ImageMagick's MIFF (its profiles) and GIMP's
// XCF (its parasites).
#pragma once

#include <cstddef>

#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// Which of these formats the first `size` bytes announce.
bool IsBpg(const unsigned char* head, size_t size);
bool IsMiff(const unsigned char* head, size_t size);
bool IsXcf(const unsigned char* head, size_t size);

// Offer the dates of the Exif, XMP and IPTC such a file carries; an XCF
// also those of GIMP's own metadata list.
void FromBpg(Source& source, Findings& found);
void FromMiff(Source& source, Findings& found);
void FromXcf(Source& source, Findings& found);

}  // namespace TakenDate
