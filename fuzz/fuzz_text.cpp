// The text conversions: any bytes to text and back, case mapping, and the
// narrow code page. Runs in the C locale (plain ASCII), where every
// character from U+0080 up is missing from the code page.
#include <algorithm>
#include <cstdlib>

#include "FuzzSupport.h"
#include "platform/CodePage.h"
#include "platform/TextCase.h"

namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// `text` as the narrow code page of the C locale must give it: ASCII kept,
// a byte carried from a name that is not UTF-8 given back as that byte, one
// "?" for each other character (a surrogate pair is one character, a lone
// surrogate one too).
std::string AsciiNarrow(const Text& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] < 0x80 || (text[i] >= 0xDC80 && text[i] <= 0xDCFF)) {
      out += static_cast<char>(text[i] & 0xFF);
      continue;
    }
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) ++i;
    out += '?';
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The narrow code page follows the locale, read once: pin it to ASCII.
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_CTYPE");
  ::setenv("LANG", "C", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Text text = TextFromUtf8(bytes);
  FUZZ_CHECK(Utf8FromText(text) == bytes);  // any bytes survive the round trip
  // What the log shows is valid UTF-8: the same bytes where they were valid,
  // and a fixed point of the conversion.
  const std::string shown = Platform::ToUtf8(text);
  const bool carried =
      std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; });
  if (!carried) FUZZ_CHECK(shown == bytes);
  FUZZ_CHECK(Platform::ToUtf8(TextFromUtf8(shown)) == shown);
  Text reused = u"earlier content";
  AssignFromUtf8(reused, bytes);
  FUZZ_CHECK(reused == text);

  FUZZ_CHECK(Platform::ToUpper(text).size() == text.size());
  FUZZ_CHECK(Platform::ToLower(text).size() == text.size());
  FUZZ_CHECK(AsciiLower(text).size() == text.size());

  // The bytes read as UTF-16 units reach every unit, lone surrogates of
  // every kind included.
  Text units(size / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  for (const Text* t : {&text, static_cast<const Text*>(&units)}) {
    const std::string narrow = Platform::ToNarrow(*t);
    FUZZ_CHECK(narrow == AsciiNarrow(*t));
    const Text back = TextFromUtf8(Utf8FromText(*t));
    FUZZ_CHECK(Utf8FromText(back) == Utf8FromText(*t));  // UTF-8 of any text is stable
  }
  return 0;
}
