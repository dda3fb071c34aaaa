// The movie box of MP4, MOV, 3GP and Canon CR3 files: Canon's Exif (the
// CMT boxes), the XMP box of its user data, the phone's own creation date
// (QuickTime metadata) and the movie header's creation time.
#pragma once

#include "taken/BoxWalk.h"
#include "taken/Findings.h"
#include "taken/Source.h"

namespace TakenDate {

// Offers the dates of the movie box `moov`.
void FromMovie(Source& source, const Box& moov, Findings& found);

}  // namespace TakenDate
