#include "taken/TakenDate.h"

#include <algorithm>
#include <cstring>

#include "taken/Boxes.h"
#include "taken/Exif.h"
#include "taken/Source.h"

namespace TakenDate {

namespace {

bool StartsWith(const unsigned char* bytes, const char* prefix, size_t size) {
  return std::memcmp(bytes, prefix, size) == 0;
}

// The answer of the format the first bytes announce.
Moment Dispatch(Source& source) {
  const unsigned char* head = source.At(0, 8);
  // Every format this reader knows starts with at least 8 bytes.
  if (head == nullptr) return {};
  if (StartsWith(head, "\xFF\xD8\xFF", 3)) return FromJpeg(source);
  if (IsTiff(head)) return FromTiff(source, 0, kToEndOfFile);
  if (StartsWith(head, "\x89PNG\r\n\x1A\n", 8)) return FromPng(source);
  if (IsBoxFile(head)) return FromBoxes(source);
  if (StartsWith(head, "RIFF", 4)) return FromWebp(source);
  return {};
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
  const Moment moment = Dispatch(source);
  // A failed read may have hidden the date that counts (DateTimeOriginal
  // behind a fallback): better no answer than a wrong one.
  return source.Failed() ? Moment{} : moment;
}

Moment ReadBytes(const unsigned char* data, size_t size, unsigned char* scratch) {
  Memory memory{data, data == nullptr ? 0 : size};
  return Read(ReadMemory, &memory, scratch);
}

}  // namespace TakenDate
