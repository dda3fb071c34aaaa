#include "taken/TakenDate.h"

#include <algorithm>
#include <cstring>

#include "base/Calendar.h"
#include "taken/Formats.h"

namespace TakenDate {

const unsigned char* Source::At(uint64_t offset, size_t size) {
  if (size > kScratchBytes || !Fits(offset, size, UINT64_MAX)) return nullptr;
  if (offset >= windowStart_ && Fits(offset - windowStart_, size, windowSize_)) {
    return scratch_ + (offset - windowStart_);
  }
  if (failed_) return nullptr;
  // Ask for a whole window so that what lies next is answered from it, but
  // never for more than the budget has left, nor past the last offset.
  size_t want = std::min(std::max(size, kWindowBytes), kMostBytes - spent_);
  if (UINT64_MAX - offset < want) want = static_cast<size_t>(UINT64_MAX - offset);
  if (want < size) return nullptr;
  spent_ += want;
  const int64_t got = read_(context_, offset, scratch_, want);
  if (got < 0 || static_cast<uint64_t>(got) > want) {
    failed_ = true;
    return nullptr;
  }
  windowStart_ = offset;
  windowSize_ = static_cast<size_t>(got);
  return windowSize_ >= size ? scratch_ : nullptr;
}

namespace {

// The number written by `count` decimal digits, or -1 for anything else
// (blanks included).
int Digits(const unsigned char* text, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

constexpr size_t kDateTextLength = 19;  // "YYYY:MM:DD HH:MM:SS"

}  // namespace

Moment FromExifText(const unsigned char* text, size_t size) {
  if (size < kDateTextLength) return {};
  // What follows the text may be its NUL or padding, never more text.
  if (size > kDateTextLength && text[kDateTextLength] != 0 && text[kDateTextLength] != ' ') return {};
  constexpr char kShape[] = "dddd:dd:dd dd:dd:dd";
  for (size_t i = 0; i < kDateTextLength; ++i) {
    if (kShape[i] != 'd' && text[i] != static_cast<unsigned char>(kShape[i])) return {};
  }
  const int year = Digits(text, 4), month = Digits(text + 5, 2), day = Digits(text + 8, 2);
  const int hour = Digits(text + 11, 2), minute = Digits(text + 14, 2), second = Digits(text + 17, 2);
  // Digits gives -1 for a blank field, which fails every check below; an
  // all-zero date ("0000:00:00 00:00:00") fails the month.
  if (year < 1970 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return {};
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return {};
  const int64_t seconds = Calendar::SecondsFromFields(
      year, static_cast<unsigned>(month), static_cast<unsigned>(day), static_cast<unsigned>(hour),
      static_cast<unsigned>(minute), static_cast<unsigned>(second));
  if (seconds > kLatestWallClock) return {};
  return {Kind::kWallClock, seconds};
}

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
