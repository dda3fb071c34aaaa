// Letter case on POSIX: mapped in a Unicode locale whatever the user's is.
#include "platform/TextCase.h"

#include <locale.h>
#include <wctype.h>

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

}  // namespace Platform
