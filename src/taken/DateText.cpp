// The dates of the formats as they are written, read into Moments.
#include "taken/DateText.h"

#include <cstddef>
#include <cstring>

namespace TakenDate {

namespace {

constexpr size_t kExifLength = 19;  // "YYYY:MM:DD HH:MM:SS"

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Passes over a zone written behind a time (Z, +hh:mm, +hhmm, +hh) at `i`.
size_t SkipZone(const unsigned char* text, size_t i, size_t size) {
  if (i < size && text[i] == 'Z') return i + 1;
  if (i >= size || (text[i] != '+' && text[i] != '-')) return i;
  if (size - i < 3 || Digits(text + i + 1, 2) < 0) return i;
  i += 3;
  if (i < size && text[i] == ':') ++i;
  return size - i >= 2 && Digits(text + i, 2) >= 0 ? i + 2 : i;
}

// Whether the `size` bytes at `text` hold only a line's end, NULs or blanks.
bool OnlyPadding(const unsigned char* text, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (text[i] != 0 && text[i] != ' ' && text[i] != '\n' && text[i] != '\r') return false;
  }
  return true;
}

// The month of an English three-letter name ("Jan"), or -1.
int MonthOfName(const unsigned char* name) {
  constexpr char kNames[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  for (std::ptrdiff_t month = 0; month < 12; ++month) {
    if (std::memcmp(name, kNames + 3 * month, 3) == 0) return static_cast<int>(month) + 1;
  }
  return -1;
}

}  // namespace

int Bcd(unsigned char byte, unsigned char mask) {
  byte &= mask;
  return (byte >> 4) > 9 || (byte & 15) > 9 ? -1 : (byte >> 4) * 10 + (byte & 15);
}

int Digits(const unsigned char* text, size_t count) {
  int value = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!IsDigit(text[i])) return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

Moment WallClock(int64_t year, int month, int day, int hour, int minute, int second) {
  // A field read from text is -1 where it holds no digits, which fails here.
  if (year < 0 || year > 9999 || !Calendar::ValidFields(year, month, day, hour, minute, second)) return {};
  const int64_t seconds = Calendar::SecondsFromFields(
      year, static_cast<unsigned>(month), static_cast<unsigned>(day), static_cast<unsigned>(hour),
      static_cast<unsigned>(minute), static_cast<unsigned>(second));
  return WallClockAt(seconds);
}

Moment WallClockAt(int64_t seconds) {
  // 1970-01-01 00:00:00 is what a clock never set shows.
  if (seconds == 0 || seconds < Calendar::kFirstSecond || seconds > Calendar::kLastSecond) return {};
  return {Kind::kWallClock, seconds};
}

Moment Utc(int64_t seconds) {
  if (seconds == 0 || seconds < Calendar::kFirstSecond || seconds > Calendar::kLastSecond) return {};
  return {Kind::kUtc, seconds};
}

Moment FromExifText(const unsigned char* text, size_t size) {
  if (size < kExifLength) return {};
  // What follows the text may be its NUL or padding, never more text.
  if (size > kExifLength && text[kExifLength] != 0 && text[kExifLength] != ' ') return {};
  constexpr char kShape[] = "dddd:dd:dd dd:dd:dd";
  for (size_t i = 0; i < kExifLength; ++i) {
    if (kShape[i] != 'd' && text[i] != static_cast<unsigned char>(kShape[i])) return {};
  }
  // An all-zero date ("0000:00:00 00:00:00") fails the month; a blank
  // field ("    :  :  ") fails as -1.
  return WallClock(Digits(text, 4), Digits(text + 5, 2), Digits(text + 8, 2), Digits(text + 11, 2),
                   Digits(text + 14, 2), Digits(text + 17, 2));
}

Moment FromIsoText(const unsigned char* text, size_t size) {
  if (size < 16 || !(text[4] == '-' || text[4] == ':') || text[7] != text[4]) return {};
  if ((text[10] != 'T' && text[10] != ' ') || text[13] != ':') return {};
  int second = 0;
  size_t end = 16;
  if (end < size && text[end] == ':') {
    second = size >= 19 ? Digits(text + 17, 2) : -1;
    end = 19;
    if (end < size && (text[end] == '.' || text[end] == ',')) {
      const size_t digits = ++end;
      while (end < size && IsDigit(text[end])) ++end;
      if (end == digits) return {};
    }
  }
  if (SkipZone(text, end, size) != size) return {};
  return WallClock(Digits(text, 4), Digits(text + 5, 2), Digits(text + 8, 2), Digits(text + 11, 2),
                   Digits(text + 14, 2), second);
}

Moment FromIptcText(const unsigned char* date, size_t dateSize, const unsigned char* time, size_t timeSize) {
  if (dateSize != 8 || timeSize < 6) return {};
  if (SkipZone(time, 6, timeSize) != timeSize) return {};
  return WallClock(Digits(date, 4), Digits(date + 4, 2), Digits(date + 6, 2), Digits(time, 2),
                   Digits(time + 2, 2), Digits(time + 4, 2));
}

Moment FromIditText(const unsigned char* text, size_t size) {
  constexpr size_t kCtimeLength = 24;  // "Www Mmm dd hh:mm:ss yyyy"
  if (size >= kCtimeLength && text[0] >= 'A' && text[0] <= 'Z') {
    constexpr char kShape[] = "aaa aaa dd dd:dd:dd dddd";
    for (size_t i = 0; i < kCtimeLength; ++i) {
      if (kShape[i] == ' ' || kShape[i] == ':') {
        if (text[i] != static_cast<unsigned char>(kShape[i])) return {};
      }
    }
    if (!OnlyPadding(text + kCtimeLength, size - kCtimeLength)) return {};
    const int day = text[8] == ' ' ? Digits(text + 9, 1) : Digits(text + 8, 2);
    return WallClock(Digits(text + 20, 4), MonthOfName(text + 4), day, Digits(text + 11, 2),
                     Digits(text + 14, 2), Digits(text + 17, 2));
  }
  constexpr size_t kLength = 19;  // "YYYY:MM:DD HH:MM:SS"
  if (size < kLength || !OnlyPadding(text + kLength, size - kLength)) return {};
  if ((text[4] != ':' && text[4] != '/' && text[4] != '-') || text[7] != text[4]) return {};
  unsigned char exif[kLength];
  std::memcpy(exif, text, kLength);
  exif[4] = exif[7] = ':';
  return FromExifText(exif, kLength);
}

}  // namespace TakenDate
