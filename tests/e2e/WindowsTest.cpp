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
  namespace fs = std::filesystem;
  const Text file = u"C:\\dm-e2e-root-" + DecimalText(Platform::ProcessId()) + u".txt";
  TestSupport::MakeFile(file, "x", UtcStamp(1999, 5, 5, 0, 0, 0));
  const auto count = [&](const Text& value) {
    fs::remove(fs::path(Join(work_, u"C.txt")));
    const TestSupport::RunResult run =
        TestSupport::Run(program_, {S(u"date=m"), S(u"fmt=yyyy"), S(u"out=") + work_, value}, u"C:\\users");
    return std::make_pair(run.status, Report(u"C.txt"));
  };
  const auto [status, report] = count(u"C:\\");
  ASSERT_EQ(status, 0u);
  EXPECT_NE(report.find("1999 "), std::string::npos) << report;
  for (const Text value : {u"\\", u"\\.", u"\\.."})
    EXPECT_EQ(count(value), std::make_pair(0u, report)) << Show(value);
  for (const Text value : {u"\\\\", u"\\/", u"\\\\\\"}) {
    EXPECT_EQ(count(value).first, 1u) << Show(value);
    EXPECT_TRUE(Logged(Utf8FromText(value) + ": ")) << Show(value) << Log();
  }
  fs::remove(fs::path(file));
}

}  // namespace
}  // namespace e2e
