// What the taken-date reader shares with its callers and its own files: the
// kinds of moment it gives, how it reads a file (ReadAt) and its budget.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/Calendar.h"

namespace TakenDate {

// Never more than this many bytes of one file are asked for, all reads
// together; most files are answered from their first few kilobytes. Reads
// go wherever a format's structure leads: past gigabytes of media data to
// a movie header at the end (box headers only), and to the last bytes of
// a Canon CRW or Sigma X3F file, whose directories stand there (the end is
// found by one-byte reads, about 2 x log2 of the file size, counted too).
constexpr size_t kMostBytes = size_t{256} * 1024;
// The size of the scratch buffer the caller lends to each call.
constexpr size_t kScratchBytes = size_t{64} * 1024;

// Reads up to `size` bytes at `offset` into `out`: the number read (fewer
// only at the end of the file, 0 past it), or -1 when reading fails.
using ReadAt = int64_t (*)(void* context, uint64_t offset, unsigned char* out, size_t size);

enum class Kind {
  kNone,       // no taken date: none recorded, none valid, or the file could not be read
  kWallClock,  // a camera's or phone's local clock as written, in a zone not applied
  kUtc,        // a time kept in UTC: a movie header
};

struct Moment {
  Kind kind = Kind::kNone;
  // kNone: 0.
  // kWallClock: the wall-clock time as seconds since 1970-01-01 00:00:00,
  //   every day 86,400 s (Calendar::SecondsFromFields); kUtc: seconds since
  //   1970-01-01 00:00:00 UTC. Both lie in the calendar's range,
  //   Calendar::kFirstSecond .. Calendar::kLastSecond (1601 to 9999), and
  //   are never 0 (a clock never set, a writer that knew no time).
  int64_t seconds = 0;

  friend bool operator==(const Moment&, const Moment&) = default;
};

}  // namespace TakenDate
