#include <gtest/gtest.h>

#include <algorithm>

#include "base/Constants.h"
#include "base/Conventions.h"
#include "count/Counting.h"
#include "count/Report.h"
#include "dates/DateValue.h"
#include "platform/CodePage.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::ReadBytes;

std::vector<Text> Texts(const DateCountList& counts) {
  std::vector<Text> texts;
  for (size_t i = 0; i < counts.Size(); ++i)
    texts.push_back(counts.TextAt(i) + u" " + DecimalText(counts.CountAt(i)));
  return texts;
}

FolderRecord FolderWithDates(std::initializer_list<int64_t> created, int64_t modified = 0) {
  FolderRecord folder;
  for (int64_t date : created) {
    FileRecord& file = folder.Files.emplace_back();
    file.Created = date;
    file.Modified = modified;
    file.Accessed = Dates::OutOfRange;
  }
  folder.FileCount = static_cast<int64_t>(folder.Files.size());
  return folder;
}

const int64_t kSep25 = MakeDate(2018, 9, 25, 10, 0, 0);
const int64_t kSep26 = MakeDate(2018, 9, 26, 23, 59, 59);
const int64_t kOct01 = MakeDate(2018, 10, 1, 0, 0, 0);

TEST(DateCountList, KeepsFirstOccurrenceOrderUntilSorted) {
  DateCountList counts;
  for (const char16_t* text : {u"b", u"a", u"b", u"c", u"a", u"b"}) counts.Add(text);
  EXPECT_EQ(Texts(counts), (std::vector<Text>{u"b 3", u"a 2", u"c 1"}));
  counts.Sort();
  EXPECT_EQ(Texts(counts), (std::vector<Text>{u"a 2", u"b 3", u"c 1"}));
  // New texts go behind the sorted ones; known ones are still found.
  counts.Add(u"0");
  counts.Add(u"b");
  EXPECT_EQ(Texts(counts), (std::vector<Text>{u"a 2", u"b 4", u"c 1", u"0 1"}));
}

TEST(DateCountList, SortsByCodeUnitWithPrefixesFirst) {
  DateCountList counts;
  for (const char16_t* text : {u"02.09.2018", u"01.10.2018", u"a", u"Z", u"2018", u"2018-01", u"\u00E4"}) {
    counts.Add(text);
  }
  counts.Sort();
  EXPECT_EQ(Texts(counts), (std::vector<Text>{u"01.10.2018 1", u"02.09.2018 1", u"2018 1", u"2018-01 1",
                                              u"Z 1", u"a 1", u"\u00E4 1"}));
}

TEST(DateCountList, SortMatchesTheOrdinalOrderForTrickyTexts) {
  const Text longA(30, u'a');
  const std::vector<Text> narrow{longA + u"b",    longA, longA + u"a", Text(u"ab\0", 3),  u"ab",
                                 u"a\u00FF",      u"a",  u"",          u"20181231235959", u"20181231235958",
                                 u"2018123123595"};
  const std::vector<Text> wide = [&] {
    std::vector<Text> texts = narrow;
    texts.push_back(u"\u20AC");  // one unit above 0xFF: the keys hold 16-bit units
    texts.push_back(u"\uFFFF\uFFFF\uFFFF\uFFFF\uFFFF");
    texts.push_back(u"\uFFFF\uFFFF\uFFFF\uFFFF");
    return texts;
  }();
  for (const std::vector<Text>* texts : {&narrow, &wide}) {
    DateCountList counts;
    for (const Text& text : *texts) counts.Add(text);
    counts.Sort();
    std::vector<Text> expected = *texts;
    std::sort(expected.begin(), expected.end());
    std::vector<Text> got;
    for (size_t i = 0; i < counts.Size(); ++i) got.push_back(counts.TextAt(i));
    EXPECT_EQ(got, expected);
    // The index still finds every text after the entries moved.
    for (const Text& text : *texts) counts.Add(text);
    for (size_t i = 0; i < counts.Size(); ++i) EXPECT_EQ(counts.CountAt(i), 2);
  }
}

TEST(DateCountList, CountsManyDistinctTextsThroughItsIndex) {
  // Hundreds of thousands of distinct texts: a list searched from its first
  // entry for every file would take hours here.
  DateCountList counts;
  constexpr int kTexts = 400000;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < kTexts; ++i) counts.Add(DecimalText(i * 7919LL % kTexts));
  }
  ASSERT_EQ(counts.Size(), static_cast<size_t>(kTexts));
  EXPECT_EQ(counts.TextAt(0), u"0");
  EXPECT_EQ(counts.TextAt(1), u"7919");
  for (size_t i = 0; i < counts.Size(); ++i) ASSERT_EQ(counts.CountAt(i), 2);
}

TEST(CountDates, CountsTheChosenStampOfEveryFileAcrossFolders) {
  FolderList folders;
  folders.push_back(FolderWithDates({kSep26, kSep25, kSep26}, kOct01));
  folders.push_back(FolderRecord());  // a folder without files
  folders.push_back(FolderWithDates({kSep25}, kOct01));

  DateCountList created, modified, accessed;
  CountDates(folders, u"%yyyy-%mm-%dd", DateKind::kCreated, created);
  CountDates(folders, u"%yyyy-%mm-%dd", DateKind::kModified, modified);
  CountDates(folders, u"%yyyy-%mm-%dd", DateKind::kAccessed, accessed);
  EXPECT_EQ(Texts(created), (std::vector<Text>{u"2018-09-26 2", u"2018-09-25 2"}));
  EXPECT_EQ(Texts(modified), (std::vector<Text>{u"2018-10-01 4"}));
  // A stamp without a valid date counts under the all-zero text.
  EXPECT_EQ(Texts(accessed), (std::vector<Text>{u"0000-00-00 4"}));

  // Counts accumulate over later folders.
  CountDates(folders, u"%yyyy", DateKind::kCreated, created);
  EXPECT_EQ(Texts(created), (std::vector<Text>{u"2018-09-26 2", u"2018-09-25 2", u"2018 4"}));
}

TEST(Report, LinesAreTextSpaceCountAndCrLf) {
  DateCountList counts;
  for (int i = 0; i < 12; ++i) counts.Add(u"2018-09-26");
  counts.Add(u"2018-09-25");
  counts.Sort();
  EXPECT_EQ(ReportBytes(counts), "2018-09-25 1\r\n2018-09-26 12\r\n");
}

TEST(Report, IsWrittenIntoTheCurrentFolderAndReplacesALongerOne) {
  TestSupport::ScopedTempDir dir;
  TestSupport::ScopedCurrentDir here(dir.path());
  TestSupport::WriteBytes(dir / u"2018.txt", std::string(10000, 'x'));

  DateCountList counts;
  counts.Add(u"2018-09-26");
  counts.Add(u"2018-09-25");
  counts.Add(u"2018-09-26");
  ASSERT_EQ(WriteReport(u"2018", counts).status, WriteStatus::kWritten);
  EXPECT_EQ(ReadBytes(dir / u"2018.txt"), "2018-09-25 1\r\n2018-09-26 2\r\n");
  // Nothing else is left behind.
  EXPECT_EQ(TestSupport::Listing(dir.path()), std::vector<Text>{u"2018.txt"});
}

TEST(Report, ALargeReportCrossesTheWriteBufferIntact) {
  TestSupport::ScopedTempDir dir;
  TestSupport::ScopedCurrentDir here(dir.path());
  DateCountList counts;
  std::string expected;
  for (int i = 10000; i < 13000; ++i) {
    counts.Add(DecimalText(i));
    expected += std::to_string(i) + " 1\r\n";
  }
  ASSERT_EQ(WriteReport(u"big", counts).status, WriteStatus::kWritten);
  EXPECT_EQ(ReadBytes(dir / u"big.txt"), expected);
}

TEST(Report, ThatCannotBeWrittenFailsAndLeavesWhatWasThere) {
  TestSupport::ScopedTempDir dir;
  TestSupport::ScopedCurrentDir here(dir.path());
  // A folder stands where the report would go.
  TestSupport::MakeDirs(dir / u"taken.txt");
  TestSupport::WriteBytes(dir / u"taken.txt" + Platform::kSeparator + u"inside", "keep");

  DateCountList counts;
  counts.Add(u"2018-09-26");
  EXPECT_EQ(WriteReport(u"taken", counts).status, WriteStatus::kNotWritten);
  EXPECT_EQ(ReadBytes(dir / u"taken.txt" + Platform::kSeparator + u"inside"), "keep");
  EXPECT_EQ(TestSupport::Listing(dir.path()), std::vector<Text>{u"taken.txt"});
}

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
  DateCountList counts;
  counts.Add(u"sept. \u00E4");
  EXPECT_EQ(ReportBytes(counts), Platform::ToNarrow(u"sept. \u00E4 1\r\n"));
}

}  // namespace
