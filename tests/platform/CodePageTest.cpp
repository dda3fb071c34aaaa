#include <gtest/gtest.h>

#include <string>

#include "count/Report.h"
#include "dates/DateValue.h"
#include "platform/CodePage.h"
#include "support/TestSupport.h"

namespace {

TEST(NarrowText, FollowsTheSystemCodePage) {
  [[maybe_unused]] const std::string locale = TestSupport::EnvironmentValue("LC_ALL");
#ifdef _WIN32
  // Code page 1252: a-umlaut is one byte; a CJK character has no mapping.
  EXPECT_EQ(Platform::ToNarrow(u"\u00E4 \u4E2D"), "\xE4 ?");
#else
  if (locale == "C") {
    EXPECT_EQ(Platform::ToNarrow(u"\u00E4 \u4E2D"), "? ?");
  } else {
    EXPECT_EQ(Platform::ToNarrow(u"\u00E4 \u4E2D"), "\xC3\xA4 \xE4\xB8\xAD");
  }
#endif
  EXPECT_EQ(Platform::ToNarrow(u"2018-09-26 12\r\n"), "2018-09-26 12\r\n");
}

// Each character the code page lacks becomes one "?", and nothing else is
// lost: not the character after a lone surrogate, not one that the
// converter would drop without a word (the tag characters in ASCII).
struct NarrowCase {
  Text text;
  std::string utf8, ascii, windows1252;
};

TEST(NarrowText, OneQuestionMarkPerMissingCharacter) {
  const std::vector<NarrowCase> cases{
      {u"a" + Text(1, char16_t(0xD800)) + u"b", "a?b", "a?b", "a?b"},
      {Text(1, char16_t(0xDC10)) + u"\u00E9", "?\xC3\xA9", "??", "?\xE9"},
      {u"x\U000E0012\u00E9", "x\xF3\xA0\x80\x92\xC3\xA9", "x??", "x??\xE9"},
      {u"\U000E007F\U000E0000y", "\xF3\xA0\x81\xBF\xF3\xA0\x80\x80y", "??y", "????y"},
      {u"\u4E2D\U0001F600.", "\xE4\xB8\xAD\xF0\x9F\x98\x80.", "??.", "???."},
      // A byte carried from a name that is not UTF-8 goes out as that byte.
      {TextFromUtf8("f\xE9te"), "f\xE9te", "f\xE9te", "f?te"},
  };
  [[maybe_unused]] const bool ascii = TestSupport::EnvironmentValue("LC_ALL") == "C";
  for (const NarrowCase& c : cases) {
#ifdef _WIN32
    EXPECT_EQ(Platform::ToNarrow(c.text), c.windows1252) << TestSupport::Show(c.text);
#else
    EXPECT_EQ(Platform::ToNarrow(c.text), ascii ? c.ascii : c.utf8) << TestSupport::Show(c.text);
#endif
  }
}

TEST(NarrowText, ReportLinesUseIt) {
  ValueCounts counts;
  counts.Use(TimeUnit::kYear, false);
  counts.Add(MakeDate(2018, 9, 1, 0, 0, 0), 0);
  counts.Settle();
  ReportStyle style;
  style.mask = u"sept. \u00E4 %yyyy";
  EXPECT_EQ(ReportBytes(counts, style), Platform::ToNarrow(u"sept. \u00E4 2018 1\r\n"));
}

}  // namespace
