// Text: the one string type of the program, and the few helpers that every
// module needs. All text is UTF-16; comparisons are by code unit unless a
// caller folds case itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using Text = std::u16string;
using TextView = std::u16string_view;

// Number of occurrences of `unit` in `text`.
size_t CountUnits(TextView text, char16_t unit);

// `text` with the letters A to Z mapped to a to z; every other unit is kept.
Text AsciiLower(TextView text);

// Maps one unit as AsciiLower does.
inline char16_t AsciiLowerUnit(char16_t unit) {
  return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + 32) : unit;
}

// Whether `unit` is one of the letters A to Z or a to z.
inline bool IsAsciiLetter(char16_t unit) {
  const char16_t lower = AsciiLowerUnit(unit);
  return lower >= u'a' && lower <= u'z';
}

// Whether `text` holds `lower` (written in lower case) at `pos`, its letters
// A to Z matched as a to z.
bool AsciiLowerAt(TextView text, size_t pos, TextView lower);

// `text` without its leading and trailing spaces (U+0020 only).
Text TrimSpaces(TextView text);

// Text from 7-bit ASCII (program constants, numbers).
Text FromAscii(std::string_view ascii);

// Decimal digits of a signed number.
Text DecimalText(int64_t value);

// A count for people to read, its digits grouped by commas, and the word
// for one or for many of what it counts: "1 file", "1,234 files".
Text CountOf(int64_t count, TextView one, TextView many);

// UTF-8 to UTF-16. Bytes that are not part of valid UTF-8 become the lone
// surrogates U+DC80..U+DCFF, so any byte string survives the round trip
// through Utf8FromText.
Text TextFromUtf8(std::string_view bytes);
// The same into `out`, replacing its content and reusing its storage.
void AssignFromUtf8(Text& out, std::string_view bytes);

// UTF-16 to UTF-8. A lone surrogate U+DC80..U+DCFF becomes the byte it
// carries; any other lone surrogate becomes U+FFFD.
std::string Utf8FromText(TextView text);

// UTF-16 to UTF-8 that is always valid, for text people read: every lone
// surrogate, a carried byte too, becomes U+FFFD.
std::string ValidUtf8FromText(TextView text);
