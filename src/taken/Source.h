// What every format of the taken-date reader reads through: a window on the
// file's bytes with every read counted against the budget, and the byte
// helpers. Shared by the reader's files and by no one else.
#pragma once

#include <cstddef>
#include <cstdint>

#include "taken/Moment.h"

namespace TakenDate {

// How many bytes one read asks for at least: small structures that lie
// together (segment headers, IFD entries, the boxes in a movie header) are
// then answered from one read.
constexpr size_t kWindowBytes = 4096;
// Every walk (segments, chunks, boxes, IFD entries, items) stops after this
// many steps, so no file can make the reader loop for long.
constexpr int kMostSteps = 512;
// The length of a structure whose end only the end of the file tells.
constexpr uint64_t kToEndOfFile = UINT64_MAX;

// The file as the formats see it: bytes at any offset through a window in
// the scratch buffer, with every read counted against kMostBytes.
class Source {
 public:
  Source(ReadAt read, void* context, unsigned char* scratch)
      : read_(read), context_(context), scratch_(scratch) {}

  // The `size` bytes at `offset` (size <= kScratchBytes): a pointer that is
  // valid until the next call, or nullptr when the file ends first, the
  // budget is spent or a read failed.
  const unsigned char* At(uint64_t offset, size_t size);

  // Up to `most` bytes at `offset` (at most kScratchBytes), fewer where the
  // file or the budget ends: their number in `size`, or nullptr when there
  // are none or a read failed.
  const unsigned char* Upto(uint64_t offset, size_t most, size_t& size);

  // The size of the file, for the formats whose directory stands at its
  // end: false when a read fails or the budget is spent first. Costs no
  // read when a window already reached the end, else one-byte reads (at
  // most two for each bit of the size).
  bool FindEnd(uint64_t& end);

  // Whether a read failed; no answer counts then.
  bool Failed() const { return failed_; }

 private:
  // Reads a window at `offset` that holds `need` bytes, `wish` or more when
  // the budget allows: false when it cannot, or the read failed.
  bool Fill(uint64_t offset, size_t need, size_t wish);
  // Whether the file has a byte at `offset`: 1 or 0, or -1 when the read
  // fails or the budget is spent. The window is given up.
  int Probe(uint64_t offset);

  ReadAt read_;
  void* context_;
  unsigned char* scratch_;
  uint64_t windowStart_ = 0;
  size_t windowSize_ = 0;
  size_t spent_ = 0;
  bool windowAtEnd_ = false;  // the window got fewer bytes than it asked for
  bool failed_ = false;
};

// A run of bytes of the file: a block a format points to.
struct Span {
  uint64_t start = 0, size = 0;  // size 0: none
};

// Whether `size` bytes at `offset` lie within `length` bytes, without overflow.
constexpr bool Fits(uint64_t offset, uint64_t size, uint64_t length) {
  return offset <= length && size <= length - offset;
}

constexpr uint32_t Be16(const unsigned char* p) { return uint32_t{p[0]} << 8 | p[1]; }
constexpr uint32_t Be32(const unsigned char* p) { return Be16(p) << 16 | Be16(p + 2); }
constexpr uint64_t Be64(const unsigned char* p) { return uint64_t{Be32(p)} << 32 | Be32(p + 4); }
constexpr uint32_t Le16(const unsigned char* p) { return uint32_t{p[1]} << 8 | p[0]; }
constexpr uint32_t Le32(const unsigned char* p) { return Le16(p + 2) << 16 | Le16(p); }
constexpr uint64_t Le64(const unsigned char* p) { return uint64_t{Le32(p + 4)} << 32 | Le32(p); }

// A four-character code as a big-endian number ('moov', 'Exif').
constexpr uint32_t FourCc(const char (&code)[5]) {
  return uint32_t{static_cast<unsigned char>(code[0])} << 24 |
         uint32_t{static_cast<unsigned char>(code[1])} << 16 |
         uint32_t{static_cast<unsigned char>(code[2])} << 8 | static_cast<unsigned char>(code[3]);
}

}  // namespace TakenDate
