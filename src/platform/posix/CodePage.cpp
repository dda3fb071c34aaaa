// The narrow code page on POSIX, which is the locale's character set, and
// UTF-8.
#include "platform/CodePage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <string>

namespace Platform {

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
