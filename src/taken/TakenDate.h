// TakenDate: the moment a picture or a video was taken, read from the file's
// own metadata: the Exif dates of JPEG, TIFF and the raw formats built on
// TIFF, HEIC/AVIF, PNG and WebP, and the movie header of MP4, MOV and 3GP.
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
//   kWallClock from Exif: DateTimeOriginal, else DateTimeDigitized, else
//     the first IFD's DateTime, the first of them that is a valid date;
//   kUtc from the creation time of an MP4/MOV/3GP movie header;
//   kNone for any other file, a date that is absent, zero or invalid, a
//     file cut short or malformed, or a read that failed (-1).
// `scratch` is kScratchBytes of the caller's memory; its content is
// ignored on entry and meaningless after.
Moment Read(ReadAt read, void* context, unsigned char* scratch);

// Read over the `size` bytes at `data`: the same answer for the same bytes.
Moment ReadBytes(const unsigned char* data, size_t size, unsigned char* scratch);

}  // namespace TakenDate
