#include "taken/TakenDate.h"

#include <algorithm>
#include <cstring>

#include "taken/Boxes.h"
#include "taken/Exif.h"
#include "taken/Findings.h"
#include "taken/Images.h"
#include "taken/Photoshop.h"
#include "taken/Raw.h"
#include "taken/Source.h"
#include "taken/Stills.h"
#include "taken/Streams.h"
#include "taken/Video.h"
#include "taken/Xmp.h"

namespace TakenDate {

namespace {

bool StartsWith(const unsigned char* bytes, size_t size, const char* prefix, size_t length) {
  return size >= length && std::memcmp(bytes, prefix, length) == 0;
}

// Offers the dates of the format the first bytes announce; the common
// still pictures are tried first.
void Dispatch(Source& source, Findings& found) {
  size_t size = 0;
  const unsigned char* head = source.Upto(0, kWindowBytes, size);
  // Every format this reader knows starts with at least 8 bytes.
  if (head == nullptr || size < 8) return;
  if (StartsWith(head, size, "\xFF\xD8\xFF", 3)) return FromJpeg(source, 0, kToEndOfFile, found);
  if (IsTiff(head)) return FromTiff(source, 0, kToEndOfFile, found);
  if (StartsWith(head, size, "\x89PNG\r\n\x1A\n", 8)) return FromPng(source, found);
  if (IsBoxFile(head)) return FromBoxes(source, found);
  if (IsAvi(head, size)) return FromAvi(source, found);
  if (StartsWith(head, size, "RIFF", 4)) return FromWebp(source, found);
  if (StartsWith(head, size, "8BPS", 4)) return FromPsd(source, found);
  if (IsRaf(head, size)) return FromRaf(source, found);
  if (IsMrw(head, size)) return FromMrw(source, found);
  if (IsX3f(head, size)) return FromX3f(source, found);
  if (IsCrw(head, size)) return FromCrw(source, found);
  if (IsXcf(head, size)) return FromXcf(source, found);
  if (IsBpg(head, size)) return FromBpg(source, found);
  if (IsMiff(head, size)) return FromMiff(source, found);
  if (IsMatroska(head, size)) return FromMatroska(source, found);
  if (IsAsf(head, size)) return FromAsf(source, found);
  if (IsDv(head, size)) return FromDv(source, found);
  if (IsTransportStream(head, size)) return FromTransportStream(source, found);
  if (IsXmpFile(head, size)) return FromXmp(source, 0, kToEndOfFile, found);
}

struct Memory {
  const unsigned char* data;
  size_t size;
};

int64_t ReadMemory(void* context, uint64_t offset, unsigned char* out, size_t size) {
  const auto& memory = *static_cast<const Memory*>(context);
  if (offset >= memory.size) return 0;
  const size_t count = std::min<uint64_t>(size, memory.size - offset);
  std::memcpy(out, memory.data + offset, count);
  return static_cast<int64_t>(count);
}

}  // namespace

Moment Read(ReadAt read, void* context, unsigned char* scratch) {
  if (read == nullptr || scratch == nullptr) return {};
  Source source(read, context, scratch);
  Findings found;
  Dispatch(source, found);
  // A failed read may have hidden the date that counts (DateTimeOriginal
  // behind a fallback): better no answer than a wrong one.
  return source.Failed() ? Moment{} : found.Best();
}

Moment ReadBytes(const unsigned char* data, size_t size, unsigned char* scratch) {
  Memory memory{data, data == nullptr ? 0 : size};
  return Read(ReadMemory, &memory, scratch);
}

}  // namespace TakenDate
