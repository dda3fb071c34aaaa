// End to end: what a run writes: reports that cannot be written, the out
// folder, charts, opening the files.
#include "e2e/EndToEnd.h"

namespace e2e {
namespace {

TEST_F(EndToEnd, AReportThatCannotBeWrittenIsLoggedAndFailsTheRun) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(work_, u"a.txt"));  // a folder where the report would go
  TestSupport::WriteBytes(Join(work_, u"b.txt"), "an older report that is much longer than the new one\r\n");
  const TestSupport::RunResult result = Run({S(u"date=m"), S(u"fmt=yyyy"), a, b});
  EXPECT_EQ(result.status, 1u);
  // The next folder is still done, and its report replaces the older one.
  EXPECT_EQ(Report(u"b.txt"), "2018 1\r\n2019 1\r\n");
  const std::string log = Log();
  const std::string told = "The report file 'a.txt' could not be written";
  EXPECT_TRUE(Logged(Platform::kWindowsConventions ? told : told + " (Is a directory)")) << log;
#ifndef _WIN32
  // The log line, on standard error too, with the system's reason.
  EXPECT_EQ(result.errors,
            "datemill: " + told + " (Is a directory); an earlier file of that name is left as it was.\n");
#endif
  EXPECT_TRUE(log.ends_with("\r\n"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}

// A folder that counts nothing is said without the verbose switch (on
// Windows in the log), with why, and an earlier report of its name stays
// as it was; the run still succeeds.
TEST_F(EndToEnd, AFolderThatCountsNothingSaysSo) {
  const Text etc = Folder(u"etc", {UtcStamp(2018, 1, 1, 0, 0, 0), UtcStamp(2018, 1, 2, 0, 0, 0)});
  ASSERT_EQ(Run({S(u"date=m"), etc}).status, 0u);
  const std::string earlier = Report(u"etc.txt");
  const TestSupport::RunResult result = Run({S(u"date=m"), S(u"ext=nosuchext"), etc});
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(Report(u"etc.txt"), earlier);
  const std::string said = Utf8FromText(etc) +
                           ": no report: every file left out by the extension lists (2 files); the earlier "
                           "report etc.txt is left as it was";
  EXPECT_NE((Platform::HasConsole() ? result.errors : Log()).find(said), std::string::npos)
      << result.errors << Log();
  const Text tree = dir_ / u"tree";
  Folder(u"tree" + Text(1, Platform::kSeparator) + u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  Folder(u"tree" + Text(1, Platform::kSeparator) + u"b", {});
  const TestSupport::RunResult subfolders = Run({S(u"date=m"), tree});
  EXPECT_EQ(subfolders.status, 0u);
  const std::string why =
      ": no report: no files directly in it; 2 subfolders that " + Utf8FromText(S(u"depth")) + " would count";
  EXPECT_NE((Platform::HasConsole() ? subfolders.errors : Log()).find(Utf8FromText(tree) + why),
            std::string::npos)
      << subfolders.errors << Log();
}

// The format switch chooses the report's file and its form, the sort
// switch its order; the counts are the same.
TEST_F(EndToEnd, FormatsAndOrders) {
  const Text folder = Folder(u"photos", {UtcStamp(2024, 4, 1, 0, 0, 0), UtcStamp(2024, 3, 2, 0, 0, 0)});
  TestSupport::MakeFile(Join(folder, u"big"), std::string(1000, 'x'), UtcStamp(2023, 4, 1, 0, 0, 0));
  ASSERT_EQ(Run({S(u"date=m"), S(u"format=CSV"), S(u"fmt=dd.mm.yyyy"), S(u"sort=date"), folder}).status, 0u);
  EXPECT_EQ(Report(u"photos.csv"),
            "date,files,bytes\r\n01.04.2023,1,1000\r\n02.03.2024,1,1\r\n01.04.2024,1,1\r\n");
  ASSERT_EQ(Run({S(u"date=m"), S(u"format=json"), S(u"fmt=yyyy"), folder}).status, 0u);
  EXPECT_NE(Report(u"photos.json")
                .find("\"entries\": [\n  {\"date\": \"2023\", \"files\": 1, \"bytes\": 1000},\n"
                      "  {\"date\": \"2024\", \"files\": 2, \"bytes\": 2}\n]"),
            std::string::npos)
      << Report(u"photos.json");
  EXPECT_EQ(TestSupport::Listing(work_), (std::vector<Text>{u"photos.csv", u"photos.json"}));
  EXPECT_EQ(Run({S(u"format=xml"), folder}).status, kBadSwitch);
  EXPECT_EQ(Run({S(u"sort=size"), folder}).status, kBadSwitch);
}

TEST_F(EndToEnd, AReadOnlyReportIsNotReplaced) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  TestSupport::WriteBytes(Join(work_, u"a.txt"), "protected\r\n");
  const auto writeBits = std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                         std::filesystem::perms::others_write;
  std::filesystem::permissions(std::filesystem::path(Join(work_, u"a.txt")), writeBits,
                               std::filesystem::perm_options::remove);
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), a, b}).status, 1u);
  EXPECT_EQ(Report(u"a.txt"), "protected\r\n");
  EXPECT_EQ(Report(u"b.txt"), "2018 1\r\n2019 1\r\n");
  EXPECT_EQ(TestSupport::Listing(work_), (std::vector<Text>{u"a.txt", u"b.txt"}));
  EXPECT_TRUE(Logged("The report file 'a.txt' could not be written")) << Log();
}

TEST_F(EndToEnd, OutPutsReportsAndChartsIntoItsFolder) {
  const Text folder = Folder(u"trip", {UtcStamp(2019, 5, 1, 8, 0, 0)});
  const Text out = dir_ / u"out folder";
  TestSupport::MakeDirs(out);
  // A temporary file an earlier run left there goes (which ones: the
  // writer's tests).
  const Text left = Join(out, u".fffffff0-00.tmp");
  TestSupport::MakeFile(left, "half", UtcStamp(2019, 5, 1, 8, 0, 0));
  EXPECT_EQ(Run({S(u"out=" + out + Platform::kSeparator), S(u"chart"), S(u"date=m"), folder}).status, 0u);
  EXPECT_EQ(ReadBytes(Join(out, u"trip.txt")), "2019-05-01 1\r\n");
  EXPECT_EQ(TestSupport::Listing(out), (std::vector<Text>{u"trip.svg", u"trip.txt"}));
  EXPECT_TRUE(TestSupport::Listing(work_).empty());
  EXPECT_TRUE(Logged("Removed '" + Utf8FromText(Join(out, u".fffffff0-00.tmp")) +
                     "', a temporary file an earlier run left behind."))
      << Log();
}

TEST_F(EndToEnd, ChartShowsTheCountsOfItsReport) {
  const Text a = Folder(u"a", {UtcStamp(2018, 9, 25, 9, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2018, 9, 26, 9, 0, 0), UtcStamp(2018, 9, 26, 10, 0, 0)});
  EXPECT_EQ(Run({S(u"chart"), S(u"date=m"), S(u"fmt=YYYY-MM-DD"), a, b}).status, 0u);
  const std::vector<DateCount> counts = {{u"2018-09-25", 1}, {u"2018-09-26", 2}};
  EXPECT_EQ(Report(u"b.svg"),
            ChartSvg(counts, ChartFacts{b, DateKind::kModified, u"yyyy-mm-dd", 1, u"%yyyy-%mm-%dd"}));
  EXPECT_EQ(Report(u"a.svg"),
            ChartSvg(std::vector<DateCount>{counts[0]},
                     ChartFacts{a, DateKind::kModified, u"yyyy-mm-dd", 0, u"%yyyy-%mm-%dd"}));
  EXPECT_EQ(Run({S(u"chart"), S(u"each"), S(u"date=m"), a, b}).status, 0u);
  EXPECT_EQ(Report(u"b.svg"),
            ChartSvg(std::vector<DateCount>{counts[1]},
                     ChartFacts{b, DateKind::kModified, u"yyyy-mm-dd", 0, u"%yyyy-%mm-%dd"}));
}

TEST_F(EndToEnd, AChartThatCannotBeWrittenFailsTheRun) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  TestSupport::MakeDirs(Join(work_, u"a.svg"));  // a folder where the chart would go
  EXPECT_EQ(Run({S(u"chart"), a}).status, 1u);
  EXPECT_NE(Report(u"a.txt"), "<missing>");
  EXPECT_TRUE(Logged("The chart file 'a.svg' could not be written")) << Log();
}

// The open switch hands each file written to the stand-in opener (on PATH as
// xdg-open on POSIX, named by DATEMILL_OPENER on Windows), which notes the
// paths; a failing opener is logged and leaves the status at 0.
TEST_F(EndToEnd, OpenHandsEachFileWrittenToTheOpener) {
  const Text folder = Folder(u"photos", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  const Text original = TestSupport::ProgramPath();
  const Text recorder = original.substr(0, original.find_last_of(Platform::kNameSeparators) + 1) +
                        (Platform::kWindowsConventions ? u"open_recorder.exe" : u"open_recorder");
  const Text path = dir_ / u"path";
  TestSupport::MakeDirs(path);
#ifndef _WIN32
  std::filesystem::copy_file(Utf8FromText(recorder), Utf8FromText(Join(path, u"xdg-open")));
#endif
  // A working opener with a chart, then a failing one (status 3) without.
  for (const bool failing : {false, true}) {
    const Text status = failing ? u"3" : u"0";
    TestSupport::RemoveAll(dir_ / u"out");
    const Text record = dir_ / (u"opened" + status);
    const Text out = dir_ / u"out";  // missing: the open switch makes it
    std::vector<Text> args{S(u"open"), S(u"date=m"), S(u"out=") + out, folder};
    if (!failing) args.insert(args.begin(), S(u"chart"));
    const TestSupport::RunResult result = Run(args, {{u"PATH", path},
                                                     {u"DATEMILL_OPENER", recorder},
                                                     {u"DATEMILL_OPEN_RECORD", record},
                                                     {u"DATEMILL_OPEN_STATUS", status}});
    EXPECT_EQ(result.status, 0u) << result.errors;
    const std::string report = Utf8FromText(Join(out, u"photos.txt"));
    EXPECT_EQ(ReadBytes(Join(out, u"photos.txt")), "2018-09-26 1\r\n");
    EXPECT_EQ(ReadBytes(record),
              report + "\n" + (failing ? "" : Utf8FromText(Join(out, u"photos.svg")) + "\n"));
    EXPECT_EQ(TestSupport::Exists(LogFile()), failing);
    EXPECT_EQ(Logged("The file '" + report + "' could not be opened: "), failing) << Log();
  }
}

}  // namespace
}  // namespace e2e
