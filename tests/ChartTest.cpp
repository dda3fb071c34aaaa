#include <gtest/gtest.h>

#include "Chart.h"
#include "support/TestSupport.h"

namespace {

std::vector<DateCount> Counts(std::initializer_list<std::pair<const char16_t*, int64_t>> entries) {
  std::vector<DateCount> counts;
  for (const auto& [text, count] : entries) counts.push_back(DateCount{text, count});
  return counts;
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

struct XmlCase {
  Text text;
  std::string xml;
};

class XmlTextTest : public testing::TestWithParam<XmlCase> {};

TEST_P(XmlTextTest, IsEscapedUtf8) { EXPECT_EQ(XmlText(GetParam().text), GetParam().xml); }

INSTANTIATE_TEST_SUITE_P(
    Texts, XmlTextTest,
    testing::Values(XmlCase{u"2018-09-26", "2018-09-26"},
                    XmlCase{u"a&b<c>\"d'", "a&amp;b&lt;c&gt;&quot;d&apos;"},
                    XmlCase{u"\u00E4\u20AC", "\xC3\xA4\xE2\x82\xAC"},
                    XmlCase{u"\U0001F600", "\xF0\x9F\x98\x80"},    // a surrogate pair
                    XmlCase{Text(u"x\xDC80y"), "x\xEF\xBF\xBDy"},  // a byte of a non-UTF-8 name
                    XmlCase{Text(u"\xD83D"), "\xEF\xBF\xBD"},      // a high surrogate at the end
                    XmlCase{Text(u"\xDE00\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD"},  // a pair the wrong way round
                    XmlCase{Text(u"a\x01\tb\uFFFE"), "a\xEF\xBF\xBD\tb\xEF\xBF\xBD"}));  // XML forbids them

TEST(Chart, GroupsNeighbouringTextsPastTheBarLimit) {
  const std::vector<std::pair<size_t, size_t>> cases = {{1, 1},    {366, 1},  {2000, 1},     {2001, 2},
                                                        {4000, 2}, {4001, 3}, {1000000, 500}};
  for (const auto& [texts, bin] : cases) EXPECT_EQ(ChartBinSize(texts), bin) << texts;
}

TEST(Chart, SameBytesOnEveryBuild) {
  // The file beside the test programs is the chart every build must write.
  const Text program = TestSupport::ProgramPath();
  const Text golden =
      program.substr(0, program.find_last_of(Platform::kNameSeparators) + 1) + u"chart-golden.svg";
  const ChartFacts facts{u"photos & more", DateKind::kModified, u"yyyy-mm-dd", 1};
  EXPECT_EQ(ChartSvg(Counts({{u"2018-09-25", 1}, {u"2018-09-26", 12}, {u"2018-10-01", 7}}), facts),
            TestSupport::ReadBytes(golden));
}

TEST(Chart, TitleNamesFolderKindMaskAndTotal) {
  const std::string svg = ChartSvg(Counts({{u"2018-09", 3}, {u"2018-10", 12}}),
                                   ChartFacts{u"C:\\Photos <2018>", DateKind::kAccessed, u"yyyy-mm", 0});
  EXPECT_NE(svg.find(">Files by last-accessed date: C:\\Photos &lt;2018&gt;</text>"), std::string::npos)
      << svg;
  EXPECT_NE(svg.find(">mask yyyy-mm \xC2\xB7 15 files \xC2\xB7 2 date texts</text>"), std::string::npos)
      << svg;
  EXPECT_NE(svg.find("<title>2018-10: 12 files</title>"), std::string::npos);
  EXPECT_EQ(svg.find("earlier folder"), std::string::npos);
  EXPECT_EQ(svg.find("<script"), std::string::npos);
  EXPECT_EQ(svg.find("href"), std::string::npos);  // nothing outside the file
}

TEST(Chart, AMillionTextsMakeBinnedBarsUnderTwoMegabytes) {
  std::vector<DateCount> counts(1000000);
  for (size_t i = 0; i < counts.size(); ++i) {
    counts[i].DateText = DecimalText(static_cast<int64_t>(10000000 + i));
    counts[i].Count = 1;
  }
  const std::string svg = ChartSvg(counts, ChartFacts{u"big", DateKind::kCreated, u"yyyymmddhhiiss", 0});
  EXPECT_LT(svg.size(), 2u * 1024 * 1024);
  EXPECT_EQ(Occurrences(svg, "<rect x="), kChartMaxBars);
  EXPECT_NE(svg.find("<title>10000000 to 10000499 (500 texts): 500 files</title>"), std::string::npos);
  EXPECT_NE(svg.find("<title>10999500 to 10999999 (500 texts): 500 files</title>"), std::string::npos);
  EXPECT_NE(svg.find("1000000 files \xC2\xB7 1000000 date texts \xC2\xB7 500 texts per bar"),
            std::string::npos);
}

TEST(Chart, LongTextsAreShortenedWithoutSplittingACharacter) {
  const Text text = Text(47, u'a') + u"\U0001F600" + Text(100, u'b');
  const std::string svg =
      ChartSvg(Counts({{text.c_str(), 2}}), ChartFacts{u"f", DateKind::kCreated, u"x", 0});
  EXPECT_NE(svg.find("<title>" + std::string(47, 'a') + "\xE2\x80\xA6: 2 files</title>"), std::string::npos)
      << svg;
  EXPECT_EQ(svg.find("\xEF\xBF\xBD"), std::string::npos);
}

}  // namespace
