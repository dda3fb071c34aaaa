// Files made of boxes (ISO media, QuickTime): HEIF and AVIF pictures, MP4,
// MOV and 3GP movies and Canon CR3 raw files.
#pragma once

#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// Whether bytes 4 to 7 name a box that starts ISO media and QuickTime files.
bool IsBoxFile(const unsigned char* head);

// Offers the dates of an ISO media or QuickTime file: its HEIF items, its
// movie box and its XMP box.
void FromBoxes(Source& source, Findings& found);

}  // namespace TakenDate
