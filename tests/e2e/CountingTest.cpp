// End to end: Files counted by their dates: masks, kinds, accumulation,
// separate reports, extensions, the date taken.
#include "e2e/EndToEnd.h"

namespace e2e {
namespace {

TEST_F(EndToEnd, TypicalRunCountsModifiedDatesByMonth) {
  const Text folder = Folder(u"2018", {UtcStamp(2018, 8, 30, 10, 0, 0), UtcStamp(2018, 9, 1, 0, 0, 0),
                                       UtcStamp(2018, 9, 30, 23, 59, 59)});
  TestSupport::MakeDirs(Join(folder, u"sub"));
  TestSupport::MakeFile(Join(folder, u"sub" + Text(1, Platform::kSeparator) + u"deeper"), "x",
                        UtcStamp(2017, 1, 1, 0, 0, 0));
  const TestSupport::RunResult result = Run({S(u"fmt=yyyy-mm"), folder + Platform::kSeparator, S(u"date=m")});
  EXPECT_EQ(result.status, 0u) << result.errors;
  EXPECT_EQ(result.errors, "");
  EXPECT_EQ(Report(u"2018.txt"), "2018-08 1\r\n2018-09 2\r\n");
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"2018.txt"});
  EXPECT_FALSE(TestSupport::Exists(LogFile()));
}

TEST_F(EndToEnd, SwitchNamesAndDateValuesIgnoreCase) {
  const Text folder = Folder(u"photos", {UtcStamp(2018, 9, 26, 12, 0, 0), UtcStamp(2018, 10, 1, 12, 0, 0)});
  EXPECT_EQ(Run({S(u"FMT=DD.MM.YYYY"), S(u"DATE=Modified"), folder}).status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "01.10.2018 1\r\n26.09.2018 1\r\n");

  // The first of two switches counts; a "%" typed before a token stays.
  EXPECT_EQ(Run({S(u"date=a"), S(u"date=c"), S(u"fmt=%yyyy"), S(u"date=m"), folder}).status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "%2018 2\r\n");
  EXPECT_EQ(Run({S(u"fmt=week"), S(u"date=m"), folder}).status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "2018-09-26 1\r\n2018-10-01 1\r\n");
}

TEST_F(EndToEnd, CountsAccumulateOverTheFoldersOfARun) {
  const Text empty = Folder(u"empty", {});
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0), UtcStamp(2019, 1, 1, 0, 0, 0)});
  const Text b = Folder(u"b", {UtcStamp(2019, 6, 1, 0, 0, 0)});
  const Text missing = dir_ / u"missing";
  // A folder that does not exist fails the run, which goes on all the same.
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), empty, missing + u"x", a, b, missing}).status, 1u);
  // A first folder without files gets no report; later ones carry all counts.
  EXPECT_EQ(TestSupport::Listing(work_), (std::vector<Text>{u"a.txt", u"b.txt", u"missing.txt"}));
  EXPECT_EQ(Report(u"a.txt"), "2018 1\r\n2019 1\r\n");
  EXPECT_EQ(Report(u"b.txt"), "2018 1\r\n2019 2\r\n");
  EXPECT_EQ(Report(u"missing.txt"), "2018 1\r\n2019 2\r\n");
}

// A report or chart the run writes into a folder it counts is none of that
// folder's files, in the first run or a later one; other files count, other
// ".txt" files too.
TEST_F(EndToEnd, TheRunsOwnFilesAreNotCounted) {
  for (int i = 0; i < 2; ++i)
    TestSupport::MakeFile(Join(work_, u"f" + DecimalText(i)), "x", UtcStamp(2018, 5, 5, 0, 0, 0));
  TestSupport::MakeFile(Join(work_, u"notes.txt"), "x", UtcStamp(2018, 5, 5, 0, 0, 0));
  const Text other = Folder(u"other", {UtcStamp(2019, 1, 1, 0, 0, 0)});
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), S(u"chart"), u"."}).status, 0u);
    EXPECT_EQ(Report(u"work.txt"), "2018 3\r\n") << "run " << run;
  }
  // Written into a counted folder by the out switch, also under a name of
  // its own with the each switch.
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), S(u"each"), S(u"out=") + other, other, other}).status, 0u);
    EXPECT_EQ(ReadBytes(Join(other, u"other (2).txt")), "2019 1\r\n") << "run " << run;
  }
}

TEST_F(EndToEnd, EachReportHoldsItsOwnFolderOnly) {
  const Text a = Folder(u"a", {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text empty = Folder(u"empty", {});
  const Text b = Folder(u"b", {UtcStamp(2019, 1, 1, 0, 0, 0), UtcStamp(2019, 2, 1, 0, 0, 0)});
  EXPECT_EQ(Run({S(u"Each"), S(u"date=m"), S(u"fmt=yyyy"), a, empty, b}).status, 0u);
  EXPECT_EQ(Report(u"a.txt"), "2018 1\r\n");
  EXPECT_EQ(Report(u"b.txt"), "2019 2\r\n");
  EXPECT_EQ(TestSupport::Listing(work_),
            (std::vector<Text>{u"a.txt", u"b.txt"}));  // nothing to report for empty
}

TEST_F(EndToEnd, ASeparateReportOfANameGivenBeforeIsACopy) {
  // Which names a later report gets is ReportNames' table. A folder that
  // gives no report (w's, empty) takes no name.
  for (const Text parent : {u"w", u"x", u"y"}) TestSupport::MakeDirs(dir_ / parent);
  const Text empty = Folder(Join(u"w", u"photos"), {});
  const Text first = Folder(Join(u"x", u"photos"), {UtcStamp(2018, 1, 1, 0, 0, 0)});
  const Text second = Folder(Join(u"y", u"photos"), {UtcStamp(2019, 1, 1, 0, 0, 0)});
  const TestSupport::RunResult result =
      Run({S(u"each"), S(u"chart"), S(u"date=m"), S(u"fmt=yyyy"), empty, first, second});
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(Report(u"photos.txt"), "2018 1\r\n");
  EXPECT_EQ(Report(u"photos (2).txt"), "2019 1\r\n");
  EXPECT_EQ(TestSupport::Listing(work_).size(), 4u);  // two reports, two charts
  EXPECT_TRUE(TestSupport::Exists(Join(work_, u"photos (2).svg")));
  EXPECT_TRUE(Logged("The report of the folder '" + Utf8FromText(second) + "' is 'photos (2).txt'")) << Log();
#ifndef _WIN32
  EXPECT_EQ(result.errors, "datemill: " + Utf8FromText(empty) +
                               ": no report: no files directly in it\n"
                               "datemill: The report of the folder '" +
                               Utf8FromText(second) +
                               "' is 'photos (2).txt', as an earlier folder of the run has 'photos.txt'.\n");
#endif
  // Counts that accumulate go into one report of that name, as before.
  for (const Text& name : TestSupport::Listing(work_))
    std::filesystem::remove(Utf8FromText(Join(work_, name)));
  EXPECT_EQ(Run({S(u"date=m"), S(u"fmt=yyyy"), first, second}).status, 0u);
  EXPECT_EQ(TestSupport::Listing(work_), std::vector<Text>{u"photos.txt"});
  EXPECT_EQ(Report(u"photos.txt"), "2018 1\r\n2019 1\r\n");
}

TEST_F(EndToEnd, ExtAndExcludeChooseFilesByExtension) {
  // One file per year, so the report tells which files were counted;
  // folders are never filtered.
  const Text folder = dir_ / u"mixed";
  const std::vector<Text> names = {u"a.jpg", u"b.JPG", u"c.png", u"d.tmp", u"e", u"f.jpg.bak", u"g.tar.gz"};
  for (size_t i = 0; i < names.size(); ++i) {
    TestSupport::MakeDirs(folder);
    TestSupport::MakeFile(Join(folder, names[i]), "x", UtcStamp(2010 + static_cast<int>(i), 1, 1, 0, 0, 0));
  }
  TestSupport::MakeDirs(Join(folder, u"sub.tmp"));
  TestSupport::MakeFile(Join(Join(folder, u"sub.tmp"), u"g.png"), "x", UtcStamp(2020, 1, 1, 0, 0, 0));
  const std::vector<std::pair<std::vector<Text>, std::string>> cases = {
      {{S(u"ext=jpg;png")}, "2010 1\r\n2011 1\r\n2012 1\r\n2020 1\r\n"},
      {{S(u"ext=*.JPG|bak")}, "2010 1\r\n2011 1\r\n2015 1\r\n"},
      {{S(u"exclude=tmp;bak")}, "2010 1\r\n2011 1\r\n2012 1\r\n2014 1\r\n2016 1\r\n2020 1\r\n"},
      {{S(u"ext=jpg;tmp"), S(u"exclude=tmp")}, "2010 1\r\n2011 1\r\n"}};
  for (const auto& [filters, report] : cases) {
    std::vector<Text> args = filters;
    args.insert(args.end(), {S(u"depth=all"), S(u"each"), S(u"date=m"), S(u"fmt=yyyy"), folder});
    EXPECT_EQ(Run(args).status, 0u);
    EXPECT_EQ(Report(u"mixed.txt"), report) << TestSupport::Show(filters[0]);
  }
}

TEST_F(EndToEnd, LiteralTextGoesOutInTheNarrowCodePage) {
  const Text folder = Folder(u"lit", {UtcStamp(2018, 9, 26, 12, 0, 0)});
  EXPECT_EQ(Run({S(u"fmt=\u00C4 yyyy"), S(u"date=m"), folder}).status, 0u);
#ifdef _WIN32
  EXPECT_EQ(Report(u"lit.txt"), "\xE4 2018 1\r\n");  // code page 1252, lower-cased
#else
  EXPECT_EQ(Report(u"lit.txt"), "\xC3\xA4 2018 1\r\n");  // the UTF-8 locale of the test run
#endif
}

// Pictures and a video count by the date they were taken, from their own
// metadata; a file that records none (here a text) by its last write, and
// the run says how many those were.
TEST_F(EndToEnd, PhotosCountByTheDateTheyWereTaken) {
  const Text photos = Folder(u"photos", {});
  const Text program = TestSupport::ProgramPath();
  const Text corpus =
      Join(program.substr(0, program.find_last_of(Platform::kNameSeparators)), u"taken-corpus");
  for (const Text name : {u"jpeg-original.jpg", u"heic-exif.heic", u"png-exif.png", u"mp4-created.mp4"}) {
    TestSupport::MakeFile(Join(photos, name), ReadBytes(Join(corpus, name)), UtcStamp(2015, 1, 1, 0, 0, 0));
  }
  TestSupport::MakeFile(Join(photos, u"note.txt"), "x", UtcStamp(2016, 2, 3, 0, 0, 0));
#ifndef _WIN32
  // Last accessed before its last write: reading it would move that.
  const std::string jpeg = Utf8FromText(Join(photos, u"jpeg-original.jpg"));
  constexpr time_t kAccessed = 978307200;  // 2001-01-01
  const timespec times[2] = {{kAccessed, 0}, {0, UTIME_OMIT}};
  ASSERT_EQ(::utimensat(AT_FDCWD, jpeg.c_str(), times, 0), 0);
#endif
  const std::vector<Text> args = {S(u"date=t"), photos};
  const TestSupport::RunResult result =
      Platform::kWindowsConventions ? Run(args) : Run({S(u"date=t"), u"-v", photos});
  EXPECT_EQ(result.status, 0u);
  // The JPEG's Exif time as it stands, the movie's UTC time made local
  // (the tests run in UTC), the HEIC's and the PNG's Exif items.
  EXPECT_EQ(Report(u"photos.txt"), "2016-02-03 1\r\n2018-09-26 2\r\n2019-12-31 1\r\n2021-06-07 1\r\n");
  const std::string told = "1 file recorded no taken date (counted by their last write)";
  EXPECT_NE((Platform::kWindowsConventions ? Log() : result.errors).find(told), std::string::npos)
      << Log() << result.errors;
#ifndef _WIN32
  struct stat after {};
  ASSERT_EQ(::stat(jpeg.c_str(), &after), 0);
  EXPECT_EQ(after.st_atime, kAccessed);
#endif
}

}  // namespace
}  // namespace e2e
