#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/Constants.h"
#include "base/Conventions.h"
#include "count/Report.h"
#include "dates/DateValue.h"
#include "dates/Mask.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::ReadBytes;

// Counts by day of the files (date, size) given.
ValueCounts Counted(const std::vector<std::pair<int64_t, uint64_t>>& files, bool bytes = true) {
  ValueCounts counts;
  counts.Use(TimeUnit::kDay, bytes);
  for (const auto& [date, size] : files) counts.Add(date, size);
  counts.Settle();
  return counts;
}

ReportStyle Style(ReportFormat format, const char16_t* mask = u"%yyyy-%mm-%dd") {
  ReportStyle style;
  style.format = format;
  style.mask = mask;
  style.typedMask = u"yyyy-mm-dd";
  style.kind = DateKind::kModified;
  style.folders = {u"/data/photos"};
  return style;
}

const int64_t kSep25 = MakeDate(2018, 9, 25, 10, 0, 0);
const int64_t kSep26 = MakeDate(2018, 9, 26, 23, 59, 59);

// Every format holds the same entries, in the same order, with the files
// and the bytes counted under each date.
TEST(Report, EachFormatWritesTheSameEntries) {
  const ValueCounts counts = Counted({{kSep26, 10}, {kSep25, 5}, {kSep26, 7}, {Dates::None, 1}});
  const std::pair<ReportFormat, std::string> cases[] = {
      {ReportFormat::kTxt, "0000-00-00 1\r\n2018-09-25 1\r\n2018-09-26 2\r\n"},
      {ReportFormat::kTsv, "date\tfiles\tbytes\n0000-00-00\t1\t1\n2018-09-25\t1\t5\n2018-09-26\t2\t17\n"},
      {ReportFormat::kCsv, "date,files,bytes\r\n0000-00-00,1,1\r\n2018-09-25,1,5\r\n2018-09-26,2,17\r\n"},
      {ReportFormat::kJson,
       "{\"folders\": [\"/data/photos\"], \"mask\": \"yyyy-mm-dd\", \"date\": \"modified\", \"entries\": [\n"
       "  {\"date\": \"0000-00-00\", \"files\": 1, \"bytes\": 1},\n"
       "  {\"date\": \"2018-09-25\", \"files\": 1, \"bytes\": 5},\n"
       "  {\"date\": \"2018-09-26\", \"files\": 2, \"bytes\": 17}\n"
       "], \"totals\": {\"files\": 4, \"bytes\": 23, \"dates\": 3}}\n"},
  };
  for (const auto& [format, expected] : cases) {
    EXPECT_EQ(ReportBytes(counts, Style(format)), expected) << Utf8FromText(FormatExtension(format));
  }
  ReportStyle out = Style(ReportFormat::kTxt);
  out.toStandardOutput = true;
  EXPECT_EQ(ReportBytes(counts, out), "0000-00-00 1\n2018-09-25 1\n2018-09-26 2\n");
}

// What a text holds that the format gives a meaning is written so that a
// reader of that format reads the text back.
TEST(Report, TextsAreEscapedAsTheirFormatWants) {
  const ValueCounts counts = Counted({{kSep25, 1}});
  const struct {
    const char16_t* mask;
    ReportFormat format;
    std::string line;  // the entry's line
  } cases[] = {
      {u"%yyyy\t%mm\\%dd", ReportFormat::kTsv, "2018\\t09\\\\25\t1\t1\n"},
      {u"%yyyy\n%mm", ReportFormat::kTsv, "2018\\n09\t1\t1\n"},
      {u"%yyyy,%mm", ReportFormat::kCsv, "\"2018,09\",1,1\r\n"},
      {u"\"%yyyy\"", ReportFormat::kCsv, "\"\"\"2018\"\"\",1,1\r\n"},
      {u"%yyyy \u00E4", ReportFormat::kCsv, "2018 \xC3\xA4,1,1\r\n"},  // UTF-8 whatever the code page
      {u"%yyyy\"\\\t\u00E4\xDCFF", ReportFormat::kJson,
       "{\"date\": \"2018\\\"\\\\\\t\xC3\xA4\\udcff\", \"files\": 1, \"bytes\": 1}"},
  };
  for (const auto& c : cases) {
    const std::string bytes = ReportBytes(counts, Style(c.format, c.mask));
    EXPECT_NE(bytes.find(c.line), std::string::npos) << bytes;
  }
}

// Without a table of texts (a mask whose texts sort as their dates) and with
// one (day first), the order is the same rule: by text, or with the sort
// switch by date; units of one text (no year) are one entry.
TEST(Report, EntriesComeInTheOrderAsked) {
  const ValueCounts counts = Counted({{MakeDate(2024, 3, 2, 0, 0, 0), 1},
                                      {MakeDate(2024, 4, 1, 0, 0, 0), 1},
                                      {MakeDate(2024, 3, 1, 0, 0, 0), 1},
                                      {MakeDate(2023, 4, 1, 0, 0, 0), 1}});
  const struct {
    const char16_t* mask;
    EntryOrder order;
    std::string expected;
  } cases[] = {
      {u"%yyyy-%mm-%dd", EntryOrder::kText, "2023-04-01 1\n2024-03-01 1\n2024-03-02 1\n2024-04-01 1\n"},
      {u"%yyyy-%mm-%dd", EntryOrder::kDate, "2023-04-01 1\n2024-03-01 1\n2024-03-02 1\n2024-04-01 1\n"},
      {u"%dd.%mm.%yyyy", EntryOrder::kText, "01.03.2024 1\n01.04.2023 1\n01.04.2024 1\n02.03.2024 1\n"},
      {u"%dd.%mm.%yyyy", EntryOrder::kDate, "01.04.2023 1\n01.03.2024 1\n02.03.2024 1\n01.04.2024 1\n"},
      {u"%dd.%mm", EntryOrder::kDate, "01.04 2\n01.03 1\n02.03 1\n"},  // by its earliest date
      {u"%mm", EntryOrder::kText, "03 2\n04 2\n"},
  };
  for (const auto& c : cases) {
    ReportStyle style = Style(ReportFormat::kTxt, c.mask);
    style.order = c.order;
    style.toStandardOutput = true;
    EXPECT_EQ(ReportBytes(counts, style), c.expected) << Utf8FromText(c.mask);
  }
}

TEST(Report, IsWrittenIntoTheCurrentFolderAndReplacesALongerOne) {
  TestSupport::ScopedTempDir dir;
  TestSupport::ScopedCurrentDir here(dir.path());
  TestSupport::WriteBytes(dir / u"2018.txt", std::string(10000, 'x'));
  ValueCounts counts = Counted({{kSep26, 0}, {kSep25, 0}, {kSep26, 0}}, false);
  ASSERT_EQ(WriteReport(u"2018", counts, Style(ReportFormat::kTxt)).status, WriteStatus::kWritten);
  EXPECT_EQ(ReadBytes(dir / u"2018.txt"), "2018-09-25 1\r\n2018-09-26 2\r\n");
  ASSERT_EQ(WriteReport(u"2018", counts, Style(ReportFormat::kCsv)).status, WriteStatus::kWritten);
  // Nothing else is left behind.
  EXPECT_EQ(TestSupport::Listing(dir.path()), (std::vector<Text>{u"2018.csv", u"2018.txt"}));
}

TEST(Report, ALargeReportCrossesTheWriteBufferIntact) {
  TestSupport::ScopedTempDir dir;
  TestSupport::ScopedCurrentDir here(dir.path());
  ValueCounts counts;
  counts.Use(TimeUnit::kSecond, false);
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    counts.Add(MakeDate(2018, 1, 1, 0, 0, 0) + i, 0);
    expected +=
        Utf8FromText(RenderDate(u"%yyyy%mm%dd%hh%ii%ss", MakeDate(2018, 1, 1, 0, 0, 0) + i)) + " 1\r\n";
  }
  ASSERT_EQ(WriteReport(u"big", counts, Style(ReportFormat::kTxt, u"%yyyy%mm%dd%hh%ii%ss")).status,
            WriteStatus::kWritten);
  EXPECT_EQ(ReadBytes(dir / u"big.txt"), expected);
}

TEST(Report, ThatCannotBeWrittenFailsAndLeavesWhatWasThere) {
  TestSupport::ScopedTempDir dir;
  TestSupport::ScopedCurrentDir here(dir.path());
  // A folder stands where the report would go.
  TestSupport::MakeDirs(dir / u"taken.txt");
  TestSupport::WriteBytes(dir / u"taken.txt" + Platform::kSeparator + u"inside", "keep");
  ValueCounts counts = Counted({{kSep26, 0}}, false);
  EXPECT_EQ(WriteReport(u"taken", counts, Style(ReportFormat::kTxt)).status, WriteStatus::kNotWritten);
  EXPECT_EQ(ReadBytes(dir / u"taken.txt" + Platform::kSeparator + u"inside"), "keep");
  EXPECT_EQ(TestSupport::Listing(dir.path()), std::vector<Text>{u"taken.txt"});
}

TEST(ReportFormats, NamesAndExtensions) {
  ReportFormat format = ReportFormat::kTxt;
  for (const char16_t* word : {u"json", u"JSON", u"Tsv", u"csv", u"txt"}) {
    ASSERT_TRUE(ParseReportFormat(word, format)) << Utf8FromText(word);
    EXPECT_EQ(Text(FormatExtension(format)), AsciiLower(word));
  }
  for (const char16_t* word : {u"", u"xml", u"txt ", u".txt"}) EXPECT_FALSE(ParseReportFormat(word, format));
}

}  // namespace
