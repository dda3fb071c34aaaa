// End to end: what only the Windows program does: drive roots.
#include "e2e/EndToEnd.h"

namespace e2e {
namespace {

TEST_F(EndToEnd, ADriveRootNamesItsReportByItsLetter) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), a, u"C:\\"}).status, 0u);
  EXPECT_EQ(TestSupport::Listing(work_), (std::vector<Text>{u"C.txt", u"a.txt"}));
  TestSupport::RemoveAll(Join(work_, u"C.txt"));
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), a, u"\\\\?\\C:\\"}).status, 0u);
  EXPECT_EQ(TestSupport::Listing(work_), (std::vector<Text>{u"C.txt", u"a.txt"}));
}

}  // namespace
}  // namespace e2e
