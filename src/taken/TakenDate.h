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
#include <cstdint>

#include "base/Constants.h"

namespace TakenDate {

// Never more than this many bytes of one file are asked for, all reads
// together; most files are answered from their first few kilobytes.
constexpr size_t kMostBytes = size_t{256} * 1024;
// The size of the scratch buffer the caller lends to each call.
constexpr size_t kScratchBytes = size_t{64} * 1024;

// Reads up to `size` bytes at `offset` into `out`: the number read (fewer
// only at the end of the file, 0 past it), or -1 when reading fails.
using ReadAt = int64_t (*)(void* context, uint64_t offset, unsigned char* out, size_t size);

enum class Kind {
  kNone,       // no taken date: none recorded, none valid, or the file could not be read
  kWallClock,  // an Exif date: the camera's local clock, in a zone nobody recorded
  kUtc,        // a movie header's creation time, which is kept in UTC
};

struct Moment {
  Kind kind = Kind::kNone;
  // kNone: 0.
  // kWallClock: the wall-clock time as seconds since 1970-01-01 00:00:00,
  //   every day 86,400 s (Calendar::SecondsFromFields), 0 .. kLatestWallClock.
  // kUtc: seconds since 1970-01-01 00:00:00 UTC, 0 .. kLatestUtc.
  int64_t seconds = 0;

  friend bool operator==(const Moment&, const Moment&) = default;
};

// 2038-01-19 03:14:07: later Exif dates give kNone.
constexpr int64_t kLatestWallClock = Dates::Last;
// 9999-12-31 23:59:59: later movie times give kNone.
constexpr int64_t kLatestUtc = 253402300799;

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
