// TakenDate: the moment a picture or a video was taken, read from the file's
// own metadata: Exif, XMP and IPTC wherever a still-image or raw format
// keeps them, a camera format's own capture date (raw and video files), and
// the creation times of QuickTime and ISO media movies.
//
// A pure function of the bytes: it does no I/O of its own (the caller's
// ReadAt does), allocates nothing (the caller's scratch buffer is all the
// memory it uses), throws nothing and keeps no state between calls, so any
// number of threads may read files at once, each with its own scratch.
#pragma once

#include <cstddef>

#include "taken/Moment.h"

namespace TakenDate {

// The taken date of the file that `read` reads (`context` is passed to it):
// of the dates the file holds, the first valid one in this order:
//   1. Exif DateTimeOriginal (JPEG, TIFF and raw kin, PNG, WebP, HEIF,
//      CR3, RAF, MRW, X3F, PSD, XCF, BPG, MIFF);
//   2. XMP exif:DateTimeOriginal, else photoshop:DateCreated, else
//      xmp:CreateDate, as written (an offset in the text is not applied);
//   3. IPTC DateCreated with TimeCreated;
//   4. the format's own: CIFF, X3F, AVI's IDIT, the H.264 MDPM date of an
//      AVCHD transport stream, DV's recording date (kWallClock); Matroska's
//      DateUTC, ASF's creation date (kUtc);
//   5. QuickTime com.apple.quicktime.creationdate, as written;
//   6. the movie header's creation time (kUtc);
//   7. Exif DateTimeDigitized; 8. IFD0 DateTime.
// A date is valid when it names a real day and a time of day in the range,
// and is not zero (0000:00:00 00:00:00, 1970-01-01 00:00:00, a movie time
// of 0); one that is absent, malformed or cut short gives way to
// the next. kNone when no date is valid, for a file of no known format,
// and after a read that failed (-1): it may have hidden the date that counts.
// `scratch` is kScratchBytes of the caller's memory; its content is
// ignored on entry and meaningless after.
Moment Read(ReadAt read, void* context, unsigned char* scratch);

// Read over the `size` bytes at `data`: the same answer for the same bytes.
Moment ReadBytes(const unsigned char* data, size_t size, unsigned char* scratch);

}  // namespace TakenDate
