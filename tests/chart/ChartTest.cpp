#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <tuple>

#include "base/Constants.h"
#include "base/Conventions.h"
#include "chart/Chart.h"
#include "chart/ChartAxis.h"
#include "dates/DateValue.h"
#include "dates/Mask.h"
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

// The texts of the x labels, left to right, each ended by "|".
std::string Labels(const std::string& svg) {
  std::string labels;
  const std::string open = "\" y=\"552\">";
  for (size_t at = svg.find(open); at != std::string::npos; at = svg.find(open, at + 1)) {
    const size_t start = at + open.size();
    labels += svg.substr(start, svg.find('<', start) - start) + "|";
  }
  return labels;
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

// 100,000 files in a night's two bursts, counted by the second.
std::vector<DateCount> PerSecondCounts() {
  std::map<int64_t, int64_t> seconds;
  uint32_t state = 12345;
  for (int file = 0; file < 100000; ++file) {
    state = state * 1103515245u + 12345u;
    const int64_t offset = (file % 3 == 0 ? 0 : 14400) + (state >> 8) % (file % 3 == 0 ? 7200 : 21600);
    ++seconds[MakeDate(2018, 9, 26, 22, 0, 0) + offset];
  }
  std::vector<DateCount> counts;
  for (const auto& [date, count] : seconds)
    counts.push_back({RenderDate(u"%yyyy-%mm-%dd %hh:%ii:%ss", date), count});
  return counts;
}

struct GoldenCase {
  const char16_t* file;
  std::vector<DateCount> counts;
  ChartFacts facts;
};

class ChartGoldenTest : public testing::TestWithParam<GoldenCase> {};

// The files beside the test programs are the charts every build must write
// (each was looked at once, rendered).
TEST_P(ChartGoldenTest, SameBytesOnEveryBuild) {
  const Text program = TestSupport::ProgramPath();
  const Text folder = program.substr(0, program.find_last_of(Platform::kNameSeparators) + 1);
  const std::string svg = ChartSvg(GetParam().counts, GetParam().facts);
  const bool same = svg == TestSupport::ReadBytes(folder + GetParam().file);
  EXPECT_TRUE(same) << TestSupport::Show(GetParam().file) << " differs; written beside it as .new";
  if (!same) TestSupport::WriteBytes(folder + GetParam().file + u".new", svg);
}

INSTANTIATE_TEST_SUITE_P(
    Charts, ChartGoldenTest,
    testing::Values(
        // Months with gaps and the zeros of an unknown date, off the axis.
        GoldenCase{u"chart-gaps.svg",
                   Counts({{u"0000-00", 2},
                           {u"2019-11", 5},
                           {u"2020-01", 12},
                           {u"2020-02", 3},
                           {u"2020-07", 8},
                           {u"2021-03", 1}}),
                   ChartFacts{u"photos & more", DateKind::kModified, u"yyyy-mm", 1, u"%yyyy-%mm"}},
        GoldenCase{u"chart-seconds.svg", PerSecondCounts(),
                   ChartFacts{u"build", DateKind::kCreated, u"yyyy-mm-dd hh:ii:ss", 0,
                              u"%yyyy-%mm-%dd %hh:%ii:%ss"}},
        // Day first, with a gap: on the same time axis as yyyy-mm-dd, the
        // labels in the user's order.
        GoldenCase{u"chart-dayfirst.svg",
                   Counts({{u"02.10.2018", 5}, {u"05.09.2018", 3}, {u"07.09.2018", 1}, {u"30.09.2018", 2}}),
                   ChartFacts{u"C:\\Docs", DateKind::kCreated, u"dd.mm.yyyy", 0, u"%dd.%mm.%yyyy"}},
        // No year: one bar per text, in text order.
        GoldenCase{
            u"chart-texts.svg",
            Counts({{u"01", 4}, {u"02", 1}, {u"03", 9}, {u"05", 2}, {u"07", 6}, {u"09", 3}, {u"12", 5}}),
            ChartFacts{u"C:\\Docs", DateKind::kCreated, u"dd", 0, u"%dd"}}));

TEST(Chart, TitleNamesFolderKindMaskAndTotal) {
  const std::string svg =
      ChartSvg(Counts({{u"2018-09", 3}, {u"2018-10", 12}}),
               ChartFacts{u"C:\\Photos <2018>", DateKind::kAccessed, u"yyyy-mm", 0, u"%yyyy-%mm"});
  EXPECT_NE(svg.find(">Files by last-accessed date: C:\\Photos &lt;2018&gt;</text>"), std::string::npos)
      << svg;
  EXPECT_NE(svg.find(">mask yyyy-mm \xC2\xB7 15 files \xC2\xB7 2 date texts \xC2\xB7 by month</text>"),
            std::string::npos)
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
  const std::string svg =
      ChartSvg(counts, ChartFacts{u"big", DateKind::kCreated, u"yyyymmddhhiiss", 0, u"%yyyy%mm%dd%hh%ii%ss"});
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
      ChartSvg(Counts({{text.c_str(), 2}}), ChartFacts{u"f", DateKind::kCreated, u"x", 0, u"x"});
  EXPECT_NE(svg.find("<title>" + std::string(47, 'a') + "\xE2\x80\xA6: 2 files</title>"), std::string::npos)
      << svg;
  EXPECT_EQ(svg.find("\xEF\xBF\xBD"), std::string::npos);
}

TEST(CalendarUnit, FromTheYearDownWithoutAGapInAnyOrder) {
  const std::pair<const char16_t*, TimeUnit> units[] = {
      {u"%yyyy", TimeUnit::kYear},
      {u"%yyyy-%mm", TimeUnit::kMonth},
      {u"%yyyy%mm%dd", TimeUnit::kDay},
      {u"%YYYY-%MM-%DD %HH", TimeUnit::kHour},
      {u"%yyyy-%mm-%dd %hh:%ii", TimeUnit::kMinute},
      {u"100% %yyyy-%mm-%dd_%hh.%ii.%ss h", TimeUnit::kSecond},
      {u"%yy-%mm", TimeUnit::kMonth},
      {u"%dd.%mm.%yyyy", TimeUnit::kDay},
      {u"%mm/%yy", TimeUnit::kMonth},
      {u"%hh:%ii %dd.%mm.%yyyy", TimeUnit::kMinute}};
  for (const auto& [mask, unit] : units) EXPECT_EQ(CalendarUnit(mask), unit) << TestSupport::Show(mask);
  // "%yy" alone: its "00" is also an unknown date.
  for (const char16_t* mask : {u"%yy", u"%mm", u"%hh", u"%dd.%yyyy", u"%yyyy-%dd", u"%yyyy-%mm-%dd %ii",
                               u"%yyyy-%mm-%mm", u"yyyy-mm"})
    EXPECT_EQ(CalendarUnit(mask), std::nullopt) << TestSupport::Show(mask);
}

// The date each text stands for (Dates::None: none), which renders as the
// same text.
TEST(ReadDate, ReadsWhatRenderDateWrote) {
  const std::tuple<const char16_t*, const char16_t*, int64_t> cases[] = {
      {u"%yyyy-%mm-%dd", u"2018-09-26", MakeDate(2018, 9, 26, 0, 0, 0)},
      {u"%yyyy\u5E74%mm\u6708", u"2018\u5E7409\u6708", MakeDate(2018, 9, 1, 0, 0, 0)},
      {u"%yy%mm", u"9912", MakeDate(1999, 12, 1, 0, 0, 0)},
      {u"%yy%mm", u"3801", MakeDate(2038, 1, 1, 0, 0, 0)},
      {u"%yy-%mm", u"70-05", MakeDate(1970, 5, 1, 0, 0, 0)},
      {u"%yy%mm", u"6912", MakeDate(2069, 12, 1, 0, 0, 0)},
      {u"%yyyy-%mm-%dd %hh:%ii:%ss", u"2038-01-19 03:14:08", MakeDate(2038, 1, 19, 3, 14, 8)},
      {u"%yyyy", u"1965", MakeDate(1965, 1, 1, 0, 0, 0)},
      {u"%yyyy-%mm-%dd", u"1601-01-01", Dates::First},
      {u"%yyyy-%mm-%dd %hh:%ii:%ss", u"9999-12-31 23:59:59", Dates::Last},
      {u"%yyyy-%mm-%dd", u"0000-00-00", Dates::None},  // an unknown date
      {u"%yyyy", u"1600", Dates::None},
      {u"%yyyy-%mm-%dd", u"2018-02-29", Dates::None},
      {u"%yyyy-%mm-%dd", u"2018-09-2", Dates::None},
      {u"%yyyy-%mm-%dd", u"2018-09-260", Dates::None},
      {u"%yyyy-%mm-%dd", u"2018-0x-26", Dates::None},
      {u"%mm.%yyyy", u"09.2018", MakeDate(2018, 9, 1, 0, 0, 0)},
      {u"%dd.%yyyy", u"26.2018", Dates::None}};  // no calendar: no month
  for (const auto& [mask, text, expected] : cases) {
    const std::optional<int64_t> date = ReadDate(mask, text);
    EXPECT_EQ(date.value_or(Dates::None), expected) << TestSupport::Show(text);
    if (date) {
      EXPECT_EQ(RenderDate(mask, *date), Text(text));
    }
  }
}

struct SpanCase {
  const char16_t* mask;
  int64_t first, last;  // the dates of the only two texts
  const char* unit;     // what the subtitle says
  const char* labels;
};

class TimeAxisTest : public testing::TestWithParam<SpanCase> {};

// Slots merge into coarser units past kChartMaxSlots, and labels stand on
// the finest round boundaries of which at most six fit.
TEST_P(TimeAxisTest, UnitAndLabels) {
  const SpanCase& span = GetParam();
  const std::vector<DateCount> counts = {{RenderDate(span.mask, span.first), 1},
                                         {RenderDate(span.mask, span.last), 2}};
  const std::string svg = ChartSvg(counts, ChartFacts{u"f", DateKind::kCreated, u"m", 0, span.mask});
  EXPECT_NE(svg.find(std::string("date texts \xC2\xB7 by ") + span.unit + "</text>"), std::string::npos)
      << svg;
  EXPECT_EQ(Labels(svg), span.labels);
  EXPECT_EQ(Occurrences(svg, "<rect x="), span.first == span.last ? 1u : 2u);
}

constexpr const char16_t* kSeconds = u"%yyyy-%mm-%dd %hh:%ii:%ss";
int64_t Day(int year, int month, int day) { return MakeDate(year, month, day, 0, 0, 0); }

INSTANTIATE_TEST_SUITE_P(
    Spans, TimeAxisTest,
    testing::Values(
        SpanCase{kSeconds, MakeDate(2018, 9, 26, 14, 0, 0), MakeDate(2018, 9, 26, 14, 16, 39), "second",
                 "2018-09-26 14:00|2018-09-26 14:05|2018-09-26 14:10|2018-09-26 14:15|"},
        SpanCase{kSeconds, MakeDate(2018, 9, 26, 14, 0, 0), MakeDate(2018, 9, 26, 14, 16, 40), "minute",
                 "2018-09-26 14:00|2018-09-26 14:05|2018-09-26 14:10|2018-09-26 14:15|"},
        SpanCase{kSeconds, MakeDate(2018, 9, 26, 5, 0, 0), MakeDate(2018, 9, 27, 22, 0, 0), "hour",
                 "2018-09-26 12:00|2018-09-27 00:00|2018-09-27 12:00|"},
        SpanCase{u"%yyyy-%mm-%dd", Day(2018, 9, 25), Day(2018, 10, 4), "day",
                 "2018-09-25|2018-09-27|2018-09-29|2018-10-01|2018-10-03|"},
        SpanCase{u"%yyyy%mm%dd", Day(2016, 1, 1), Day(2018, 9, 27), "month",
                 "201601|201607|201701|201707|201801|201807|"},
        SpanCase{u"%yyyy", Day(1996, 1, 1), Day(2026, 1, 1), "year", "2000|2005|2010|2015|2020|2025|"},
        SpanCase{u"%yy-%mm", Day(1999, 12, 1), Day(2000, 1, 1), "month", "99-12|00-01|"},  // in time order
        // A two-digit 70 is 1970, a date on the axis like any other.
        SpanCase{u"%yy-%mm", Day(1970, 5, 1), Day(1970, 8, 1), "month", "70-05|70-06|70-07|70-08|"},
        SpanCase{u"%yyyy", Day(2001, 1, 1), Day(2001, 1, 1), "year", "2001|"},
        // Any order: the labels of coarser units drop the finer fields.
        SpanCase{u"%mm.%yyyy", Day(1996, 5, 1), Day(2005, 3, 1), "month", "1998|2000|2002|2004|"},
        SpanCase{u"%hh:%ii %dd.%mm.%yyyy", MakeDate(2018, 9, 20, 5, 0, 0), MakeDate(2018, 10, 2, 22, 0, 0),
                 "hour", "21.09.2018|23.09.2018|25.09.2018|27.09.2018|29.09.2018|01.10.2018|"}));

TEST(Chart, MergedSlotsNameTheirUnitAndTexts) {
  const std::string svg =
      ChartSvg(Counts({{u"2016-01-01", 1}, {u"2018-09-26", 2}, {u"2018-09-30", 3}, {u"x", 1}, {u"y", 1}}),
               ChartFacts{u"f", DateKind::kCreated, u"m", 0, u"%yyyy-%mm-%dd"});
  EXPECT_NE(svg.find("<title>2018-09 (2 texts): 5 files</title>"), std::string::npos) << svg;
  EXPECT_NE(svg.find("<title>2016-01-01: 1 file</title>"), std::string::npos);
  EXPECT_NE(svg.find("2 files off the axis (x and 1 more text)"), std::string::npos);
}

TEST(Chart, WithoutADateOnTheAxisTheTextsGetTheBars) {
  const std::string svg =
      ChartSvg(Counts({{u"0000-00-00", 3}}), ChartFacts{u"f", DateKind::kCreated, u"m", 0, u"%yyyy-%mm-%dd"});
  EXPECT_NE(svg.find("<title>0000-00-00: 3 files</title>"), std::string::npos) << svg;
  EXPECT_EQ(svg.find("\xC2\xB7 by "), std::string::npos);
}

TEST(Chart, TextLabelsAreEvenlySpacedFromTheFirst) {
  // At most six labels, every so many texts; the last text gets one only
  // when it falls on the step.
  const std::vector<std::pair<int, std::string>> cases = {{1, "t01|"},
                                                          {6, "t01|t02|t03|t04|t05|t06|"},
                                                          {7, "t01|t03|t05|t07|"},
                                                          {12, "t01|t03|t05|t07|t09|t11|"},
                                                          {13, "t01|t04|t07|t10|t13|"}};
  for (const auto& [texts, labels] : cases) {
    std::vector<DateCount> counts;
    for (int i = 1; i <= texts; ++i) counts.push_back({u"t" + Text(i < 10 ? u"0" : u"") + DecimalText(i), i});
    EXPECT_EQ(Labels(ChartSvg(counts, ChartFacts{u"f", DateKind::kCreated, u"mm", 0, u"%mm"})), labels)
        << texts;
  }
}

}  // namespace
