// End to end: what only the Windows program does: drive roots.
#include "e2e/EndToEnd.h"
#include "platform/Process.h"

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

// A root without its drive is the current drive's, counted as that drive's
// root is; two separators in front start a share name, which is no root,
// and a run on one fails and says so. Run from drive C, whose root gets a
// file of this test's own.
TEST_F(EndToEnd, ARootWithoutItsDriveIsTheCurrentDrivesRoot) {
  const Text file = u"C:\\dm-e2e-root-" + DecimalText(Platform::ProcessId()) + u".txt";
  TestSupport::MakeFile(file, "x", UtcStamp(1999, 5, 5, 0, 0, 0));
  const std::pair<Text, uint32_t> cases[] = {{u"C:\\", 0}, {u"\\", 0},  {u"\\.", 0},   {u"\\..", 0},
                                             {u"\\\\", 1}, {u"\\/", 1}, {u"\\\\\\", 1}};
  for (const auto& [value, status] : cases) {
    TestSupport::RemoveAll(Join(work_, u"C.txt"));
    const TestSupport::RunResult run =
        TestSupport::Run(program_, {S(u"date=m"), S(u"fmt=yyyy"), S(u"out=") + work_, value}, u"C:\\users");
    EXPECT_EQ(run.status, status) << Show(value);
    if (status == 0) {
      EXPECT_NE(Report(u"C.txt").find("1999 1"), std::string::npos) << Show(value) << Report(u"C.txt");
    } else {
      EXPECT_TRUE(Logged(Utf8FromText(value) + ": ")) << Show(value) << Log();
    }
  }
  TestSupport::RemoveAll(file);
}

}  // namespace
}  // namespace e2e
