#include <gtest/gtest.h>

#include "app/Progress.h"
#include "io/Program.h"
#include "support/TestSupport.h"

namespace {

TEST(Progress, FirstAfterASecondThenAtMostTenTimesASecond) {
  const std::tuple<int64_t, int64_t, bool> cases[] = {{0, -1, false},    {999, -1, false},  {1000, -1, true},
                                                      {5000, 99, false}, {5000, 100, true}, {5000, 0, false}};
  for (const auto& [sinceStart, sinceDrawn, due] : cases)
    EXPECT_EQ(Progress::Due(sinceStart, sinceDrawn), due) << sinceStart << " " << sinceDrawn;
}

TEST(Progress, LineFitsTheTerminalAndKeepsTheFoldersEnd) {
  ProgramFile = u"dm";
  const Text counts = u"dm: 1 folder, 1,234,567 files ";
  const std::pair<size_t, Text> cases[] = {
      {80, counts + u"/data/photos/2018/"},
      {counts.size() + 11, counts + u"...s/2018/"},  // ten columns and the last one left free
      {counts.size() + 4, counts},                   // no room for a folder worth showing
      {10, counts.substr(0, 9)},
      {0, u""}};
  for (const auto& [columns, line] : cases)
    EXPECT_EQ(Progress::Line(1, 1234567, 0, u"/data/photos/2018/", columns), line) << columns;
  EXPECT_EQ(Progress::Line(1000, 0, 0, u"", 80), u"dm: 1,000 folders, 0 files ");
  // Folders left out are said once there are any.
  EXPECT_EQ(Progress::Line(3, 9, 1200, u"/a/", 80), u"dm: 3 folders, 9 files, 1,200 left out /a/");
}

}  // namespace
