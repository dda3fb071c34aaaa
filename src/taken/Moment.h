// What the taken-date reader shares with its callers and its own files: the
// kinds of moment it gives, how it reads a file (ReadAt) and its budget.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/Calendar.h"

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
  //   every day 86,400 s (Calendar::SecondsFromFields), 0 .. Calendar::kLastSecond.
  // kUtc: seconds since 1970-01-01 00:00:00 UTC, 0 .. Calendar::kLastSecond.
  int64_t seconds = 0;

  friend bool operator==(const Moment&, const Moment&) = default;
};

}  // namespace TakenDate
