#include "base/Text.h"

#include <algorithm>

size_t CountUnits(TextView text, char16_t unit) {
  size_t count = 0;
  for (char16_t c : text) count += (c == unit);
  return count;
}

Text AsciiLower(TextView text) {
  Text result(text);
  for (char16_t& c : result) c = AsciiLowerUnit(c);
  return result;
}

bool AsciiLowerAt(TextView text, size_t pos, TextView lower) {
  if (pos > text.size() || text.size() - pos < lower.size()) return false;
  for (size_t i = 0; i < lower.size(); ++i) {
    if (AsciiLowerUnit(text[pos + i]) != lower[i]) return false;
  }
  return true;
}

Text TrimSpaces(TextView text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == TextView::npos) return Text();
  return Text(text.substr(first, text.find_last_not_of(u' ') - first + 1));
}

Text FromAscii(std::string_view ascii) { return Text(ascii.begin(), ascii.end()); }

Text DecimalText(int64_t value) {
  char16_t digits[24];
  size_t pos = sizeof(digits) / sizeof(digits[0]);
  // Work on the magnitude as unsigned so INT64_MIN needs no special case.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[--pos] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--pos] = u'-';
  return Text(digits + pos, digits + sizeof(digits) / sizeof(digits[0]));
}

Text CountOf(int64_t count, TextView one, TextView many) {
  Text digits = DecimalText(count);
  const size_t sign = count < 0 ? 1 : 0;
  for (size_t at = digits.size(); at > sign + 3; at -= 3) digits.insert(at - 3, u",");
  return digits + u" " + Text(count == 1 ? one : many);
}

namespace {

void AppendCodePoint(Text& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Length of the valid UTF-8 sequence at `s` (1 to 4), or 0 when the bytes
// there are not one; the decoded code point goes to `cp`.
size_t DecodeUtf8(const unsigned char* s, size_t left, char32_t& cp) {
  const unsigned char b0 = s[0];
  size_t len;
  char32_t min;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (left < len) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not valid.
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

Text TextFromUtf8(std::string_view bytes) {
  Text out;
  AssignFromUtf8(out, bytes);
  return out;
}

void AssignFromUtf8(Text& out, std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  // Most names are ASCII: widen them in one pass over storage sized once.
  size_t ascii = 0;
  while (ascii < bytes.size() && s[ascii] < 0x80) ++ascii;
  out.resize(ascii);
  std::copy(s, s + ascii, out.begin());
  size_t i = ascii;
  while (i < bytes.size()) {
    if (s[i] < 0x80) {
      out.push_back(s[i++]);
      continue;
    }
    char32_t cp;
    size_t len = DecodeUtf8(s + i, bytes.size() - i, cp);
    if (len == 0) {
      out.push_back(static_cast<char16_t>(0xDC00 + s[i]));  // carry the raw byte
      i += 1;
    } else {
      AppendCodePoint(out, cp);
      i += len;
    }
  }
}

namespace {

std::string EncodeUtf8(TextView text, bool carryBytes) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (carryBytes && c >= 0xDC80 && c <= 0xDCFF) {
      out.push_back(static_cast<char>(c - 0xDC00));  // a byte carried through
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

}  // namespace

std::string Utf8FromText(TextView text) { return EncodeUtf8(text, true); }

std::string ValidUtf8FromText(TextView text) { return EncodeUtf8(text, false); }
