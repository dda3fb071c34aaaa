// Files made of boxes (ISO media, QuickTime): HEIC and AVIF pictures, and
// MP4, MOV and 3GP movies.
#pragma once

#include "taken/Source.h"

namespace TakenDate {

// Whether bytes 4 to 7 name a box that starts ISO media and QuickTime files.
bool IsBoxFile(const unsigned char* head);

// The taken date of an ISO media or QuickTime file: the Exif item of a
// HEIC/AVIF (kWallClock), else the movie header's creation time (kUtc),
// else kNone.
Moment FromBoxes(Source& source);

}  // namespace TakenDate
