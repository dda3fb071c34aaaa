// Date masks: lower-casing, validation, translation and rendering of any
// 64-bit date. Input: the mask on the first line, then 8 bytes of a date
// value and 7 bytes of calendar fields (little-endian, missing bytes 0).
#include "FuzzSupport.h"
#include "base/Constants.h"
#include "dates/DateValue.h"
#include "dates/Mask.h"
#include "platform/TextCase.h"

namespace {

const Text kAllFields = u"%yyyy%mm%dd%hh%ii%ss";

// Whether `translated` is `mask` with some "%" inserted and nothing else.
bool OnlyPercentInserted(const Text& mask, const Text& translated) {
  size_t m = 0;
  for (char16_t c : translated) {
    if (m < mask.size() && c == mask[m])
      ++m;
    else if (c != u'%')
      return false;
  }
  return m == mask.size();
}

int Digits(const Text& text, size_t pos, size_t count) {
  int value = 0;
  for (size_t i = 0; i < count; ++i) value = value * 10 + (text[pos + i] - u'0');
  return value;
}

// A valid date renders to fields that make the same date again.
void CheckRoundTrip(int64_t date) {
  const Text fields = RenderDate(kAllFields, date);
  FUZZ_CHECK(fields.size() == 14);
  FUZZ_CHECK(MakeDate(Digits(fields, 0, 4), Digits(fields, 4, 2), Digits(fields, 6, 2), Digits(fields, 8, 2),
                      Digits(fields, 10, 2), Digits(fields, 12, 2)) == date);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> fields = Fuzz::Fields(data, size, 2);
  const Text mask = Fuzz::ToText(fields[0]);
  const std::string_view numbers = fields[1];
  const auto date = static_cast<int64_t>(Fuzz::Number(numbers));

  const Text lowered = Platform::ToLower(mask);
  FUZZ_CHECK(lowered.size() == mask.size());
  const Text valid = ValidateMask(lowered);
  FUZZ_CHECK(valid == lowered || valid == u"yyyy-mm-dd");
  const Text translated = TranslateMask(valid);
  FUZZ_CHECK(OnlyPercentInserted(valid, translated));
  FUZZ_CHECK(CountUnits(translated, u'%') - CountUnits(valid, u'%') <= 6);

  // Any date of the calendar (the number folded into it), or none: no
  // field is longer than its token with the "%", and the fields give the
  // same date again.
  const int64_t span = Dates::Last - Dates::First + 1;
  const int64_t inCalendar = Dates::First + static_cast<int64_t>(static_cast<uint64_t>(date) % span);
  for (const int64_t value : {inCalendar, Dates::None}) {
    const Text rendered = RenderDate(translated, value);
    FUZZ_CHECK(rendered.size() <= translated.size());
    if (CountUnits(mask, u'%') == 0) FUZZ_CHECK(RenderDate(mask, value) == mask);
  }
  FUZZ_CHECK(RenderDate(kAllFields, Dates::None) == Text(14, u'0'));
  CheckRoundTrip(inCalendar);

  // Calendar fields of any value: a date of the calendar, or none.
  auto byteAt = [&](size_t i) { return i < numbers.size() ? static_cast<signed char>(numbers[i]) : 0; };
  const int64_t made =
      MakeDate(1601 + byteAt(8) * 70 + byteAt(7), byteAt(9), byteAt(10), byteAt(11), byteAt(12), byteAt(13));
  FUZZ_CHECK(made == Dates::None || (made >= Dates::First && made <= Dates::Last));
  if (made != Dates::None) CheckRoundTrip(made);
  return 0;
}
