// Text services on POSIX: case mapping in a Unicode locale whatever the
// user's is, and the narrow code page, which is the locale's character set.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <wctype.h>

#include <string>

#include "platform/Platform.h"

namespace Platform {

namespace {

// A Unicode locale for case mapping, whatever the user's locale is.
locale_t CaseLocale() {
  static locale_t locale = [] {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      if (locale_t l = ::newlocale(LC_CTYPE_MASK, name, nullptr)) return l;
    }
    return static_cast<locale_t>(nullptr);
  }();
  return locale;
}

template <class Map>
Text MapCase(TextView text, Map map, char16_t asciiFrom, char16_t asciiTo) {
  Text out(text);
  const locale_t locale = CaseLocale();
  for (size_t i = 0; i < out.size(); ++i) {
    const char16_t c = out[i];
    if (c < 0x80) {
      if (c >= asciiFrom && c <= asciiTo) out[i] = static_cast<char16_t>(c ^ 0x20);
      continue;
    }
    if (locale == nullptr) continue;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
      const wint_t cp = 0x10000 + ((wint_t(c) - 0xD800) << 10) + (out[i + 1] - 0xDC00);
      const wint_t mapped = map(cp, locale);
      if (mapped >= 0x10000 && mapped <= 0x10FFFF) {  // stays two units long
        out[i] = static_cast<char16_t>(0xD800 + ((mapped - 0x10000) >> 10));
        out[i + 1] = static_cast<char16_t>(0xDC00 + ((mapped - 0x10000) & 0x3FF));
      }
      ++i;
    } else if (c < 0xD800 || c > 0xDFFF) {
      const wint_t mapped = map(c, locale);
      if (mapped < 0x10000 && (mapped < 0xD800 || mapped > 0xDFFF)) out[i] = static_cast<char16_t>(mapped);
    }
  }
  return out;
}

}  // namespace

Text ToUpper(TextView text) {
  return MapCase(
      text, [](wint_t c, locale_t l) { return ::towupper_l(c, l); }, u'a', u'z');
}

Text ToLower(TextView text) {
  return MapCase(
      text, [](wint_t c, locale_t l) { return ::towlower_l(c, l); }, u'A', u'Z');
}

namespace {

// The character set of the user's locale, as iconv knows it.
const std::string& LocaleCodeset() {
  static const std::string codeset = [] {
    std::string name = "ANSI_X3.4-1968";
    if (locale_t l = ::newlocale(LC_CTYPE_MASK, "", nullptr)) {
      name = ::nl_langinfo_l(CODESET, l);
      ::freelocale(l);
    }
    return name;
  }();
  return codeset;
}

bool IsUtf8(const std::string& codeset) { return codeset == "UTF-8" || codeset == "utf8"; }

bool IsCarriedByte(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// The code units of the character at `i`: 2 for a surrogate pair, else 1 (a
// lone surrogate is a character of its own, never joined to the next one).
size_t UnitsAt(TextView text, size_t i) {
  const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                    text[i + 1] <= 0xDFFF;
  return pair ? 2 : 1;
}

// One character, not ASCII, in the locale's set, or "?" when the set lacks
// it. A conversion that gives nothing back counts as lacking too: glibc's
// ASCII and Latin sets silently drop the tag characters U+E0000..U+E007F.
void AppendConverted(iconv_t converter, TextView character, std::string& out) {
  std::string utf8 = Utf8FromText(character);
  char buffer[16];
  char* in = utf8.data();
  size_t inLeft = utf8.size();
  char* outPtr = buffer;
  size_t outLeft = sizeof(buffer);
  const bool converted = converter != reinterpret_cast<iconv_t>(-1) &&
                         ::iconv(converter, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
  if (converted && outPtr != buffer) {
    out.append(buffer, outPtr);
    return;
  }
  out += '?';
  if (converter != reinterpret_cast<iconv_t>(-1)) ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

std::string ToNarrow(TextView text) {
  bool ascii = true;
  for (char16_t c : text) ascii = ascii && c < 0x80;
  if (ascii) return std::string(text.begin(), text.end());
  const std::string& codeset = LocaleCodeset();
  const bool utf8 = IsUtf8(codeset);
  static iconv_t converter = utf8 ? reinterpret_cast<iconv_t>(-1) : ::iconv_open(codeset.c_str(), "UTF-8");

  // Character by character, so that one the set lacks becomes one "?".
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const char16_t c = text[i];
    const size_t units = UnitsAt(text, i);
    if (c < 0x80 || IsCarriedByte(c)) {
      out += static_cast<char>(c < 0x80 ? c : c - 0xDC00);  // a byte of a name goes out as it came in
    } else if (units == 1 && c >= 0xD800 && c <= 0xDFFF) {
      out += '?';  // a lone surrogate is no character of any set
    } else if (utf8) {
      out += Utf8FromText(text.substr(i, units));
    } else {
      AppendConverted(converter, text.substr(i, units), out);
    }
    i += units;
  }
  return out;
}

// Valid UTF-8 whatever the text holds: a name that is not UTF-8 shows its
// bytes as U+FFFD here, as Windows shows lone surrogates.
std::string ToUtf8(TextView text) { return ValidUtf8FromText(text); }

}  // namespace Platform
