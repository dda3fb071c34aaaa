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

}  // namespace

std::string ToNarrow(TextView text) {
  bool ascii = true;
  for (char16_t c : text) ascii = ascii && c < 0x80;
  if (ascii) return std::string(text.begin(), text.end());
  const std::string& codeset = LocaleCodeset();
  if (IsUtf8(codeset)) return Utf8FromText(text);

  // Character by character, so one that the set lacks becomes "?".
  static iconv_t converter = ::iconv_open(codeset.c_str(), "UTF-8");
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t units = (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size()) ? 2 : 1;
    std::string utf8 = Utf8FromText(text.substr(i, units));
    i += units - 1;
    if (utf8.size() == 1 && static_cast<unsigned char>(utf8[0]) < 0x80) {
      out += utf8;
      continue;
    }
    char buffer[16];
    char* in = utf8.data();
    size_t inLeft = utf8.size();
    char* outPtr = buffer;
    size_t outLeft = sizeof(buffer);
    if (converter == reinterpret_cast<iconv_t>(-1) ||
        ::iconv(converter, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
      out += '?';
      if (converter != reinterpret_cast<iconv_t>(-1)) ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
    } else {
      out.append(buffer, outPtr);
    }
  }
  return out;
}

// Valid UTF-8 whatever the text holds: a name that is not UTF-8 shows its
// bytes as U+FFFD here, as Windows shows lone surrogates.
std::string ToUtf8(TextView text) { return ValidUtf8FromText(text); }

}  // namespace Platform
