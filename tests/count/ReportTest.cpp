#include <gtest/gtest.h>

#include <string>

#include "base/Conventions.h"
#include "count/Report.h"
#include "support/TestSupport.h"

namespace {

using TestSupport::ReadBytes;

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

}  // namespace
