#include <gtest/gtest.h>

#include "base/Text.h"

namespace {

TEST(Text, DecimalTextCoversSignAndExtremes) {
  EXPECT_EQ(DecimalText(0), u"0");
  EXPECT_EQ(DecimalText(12), u"12");
  EXPECT_EQ(DecimalText(-3), u"-3");
  EXPECT_EQ(DecimalText(INT64_MAX), u"9223372036854775807");
  EXPECT_EQ(DecimalText(INT64_MIN), u"-9223372036854775808");
}

TEST(Text, Utf8RoundTripKeepsEveryByteString) {
  const std::string samples[] = {
      "plain",           "\xC3\xA4\xE4\xB8\xAD\xF0\x9F\x98\x80",  // ä, a CJK character, an emoji
      "bad\xFFname\xC3",                                          // invalid and truncated bytes
      "\xED\xA0\x80",                                             // an encoded surrogate is not valid UTF-8
      "\xC0\xAF",                                                 // overlong "/"
  };
  for (const std::string& bytes : samples) {
    EXPECT_EQ(Utf8FromText(TextFromUtf8(bytes)), bytes);
  }
  EXPECT_EQ(TextFromUtf8("\xC3\xA4"), u"\u00E4");
  EXPECT_EQ(TextFromUtf8("a\xFF"), Text(u"a") + char16_t(0xDCFF));
  EXPECT_EQ(TextFromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(Text, LoneSurrogatesOutsideTheByteRangeBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8FromText(Text(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8FromText(Text(1, char16_t(0xDC10))), "\xEF\xBF\xBD");
  // Valid UTF-8 takes no carried bytes either: one U+FFFD for each.
  EXPECT_EQ(ValidUtf8FromText(TextFromUtf8("f\xE9te \xC3\xA4\xFF\xFE")),
            "f\xEF\xBF\xBDte \xC3\xA4\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(ValidUtf8FromText(Text(1, char16_t(0xD800)) + u"b"),
            "\xEF\xBF\xBD"
            "b");
}

}  // namespace
