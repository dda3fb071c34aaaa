#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "base/Conventions.h"
#include "dates/DateValue.h"
#include "platform/Search.h"
#include "scan/LPS.h"
#include "scan/ScanDir.h"
#include "support/TestSupport.h"
#ifndef _WIN32
#include "platform/posix/Stat.h"
#endif

namespace {

using namespace ScanDir;
using TestSupport::Join;
using TestSupport::Show;
using Paths = std::vector<Text>;

// A tree of folders and files with known sizes and last-write times:
//   root: a.txt(1) B.JPG(2) .hidden(3)
//   root/x: x.txt(4)          root/x/x1: deep.jpg(5)
//   root/y: y.png(6) noext(7)
class ScanDirTest : public testing::Test {
 protected:
  void SetUp() override {
    Reset();
    root_ = dir_ / u"root";
    for (const Text& folder : {Text(u"x"), u"x" + sep_ + u"x1", Text(u"y")})
      TestSupport::MakeDirs(Join(root_, folder));
    int size = 1;
    for (const Text& file :
         {Text(u"a.txt"), Text(u"B.JPG"), Text(u".hidden"), u"x" + sep_ + u"x.txt",
          u"x" + sep_ + u"x1" + sep_ + u"deep.jpg", u"y" + sep_ + u"y.png", u"y" + sep_ + u"noext"}) {
      TestSupport::MakeFile(Join(root_, file), std::string(size, 'z'),
                            TestSupport::UtcStamp(2018, 9, size, 12, 0, 0));
      ++size;
    }
  }
  void TearDown() override { Reset(); }

  // The root as the scan makes it, and paths below it.
  Text Root() const { return LPS::ToLongPath(root_, 0) + sep_; }
  Text R(const Text& rest) const { return Root() + rest; }
  Text D(const Text& rest) const { return Root() + rest + sep_; }
  // A folder word that names the subfolder `name` of the root and cannot
  // stand in the path the tests run under: it holds the test folder's own
  // unique name.
  Text WordFor(const Text& name) const {
    const Text& dir = dir_.path();
    return sep_ + dir.substr(dir.find_last_of(Platform::kNameSeparators) + 1) + sep_ + u"root" + sep_ + name +
           sep_;
  }

  int64_t Run(int64_t levels, int64_t flags, const Text& extensions = u"", const Text& skip = u"",
              const Text& words = u"", const Text& skipWords = u"", int64_t folderSort = 0,
              int64_t fileSort = 0) {
    return Scan(Folders, root_, extensions, levels, flags, folderSort, fileSort, skip, words, skipWords);
  }
  Paths FolderPaths() const {
    Paths paths;
    for (const FolderRecord& f : Folders) paths.push_back(f.Path);
    return paths;
  }
  // Records with their files, each folder's files sorted (the file system
  // delivers them in no promised order).
  Paths SortedRecordPaths() const {
    Paths paths;
    for (const FolderRecord& f : Folders) {
      paths.push_back(f.Path);
      Paths files;
      for (const FileRecord& file : f.Files) files.push_back(file.Path);
      std::sort(files.begin(), files.end());
      paths.insert(paths.end(), files.begin(), files.end());
    }
    return paths;
  }

  TestSupport::ScopedTempDir dir_;
  const Text sep_ = Text(1, Platform::kSeparator);
  Text root_;
};

TEST_F(ScanDirTest, LevelsZeroListsTheFilesDirectlyInTheRoot) {
  EXPECT_EQ(Run(0, ReturnFileCount | WithDates), 3);
  EXPECT_EQ(SortedRecordPaths(), (Paths{Root(), R(u".hidden"), R(u"B.JPG"), R(u"a.txt")}));
  ASSERT_EQ(Folders.size(), 1u);
  EXPECT_EQ(Folders[0].FileCount, 3);
  EXPECT_TRUE(FoundFiles.empty());
}

TEST_F(ScanDirTest, LevelsOneAddsDirectSubfoldersOnly) {
  EXPECT_EQ(Run(1, ReturnFileCount), 6);
  const Paths root{Root(), R(u".hidden"), R(u"B.JPG"), R(u"a.txt")};
  const Paths x{D(u"x"), R(u"x" + sep_ + u"x.txt")};
  const Paths y{D(u"y"), R(u"y" + sep_ + u"noext"), R(u"y" + sep_ + u"y.png")};
  // x and y come in the order the file system delivers them.
  const bool xFirst = Folders.size() > 1 && Folders[1].Path == D(u"x");
  Paths expected = root;
  for (const Paths* block : xFirst ? std::vector{&x, &y} : std::vector{&y, &x}) {
    expected.insert(expected.end(), block->begin(), block->end());
  }
  EXPECT_EQ(SortedRecordPaths(), expected);
  Reset();
  EXPECT_EQ(Run(-5, ReturnFileCount), 6);  // any level below -1 walks one level
}

TEST_F(ScanDirTest, AllLevelsWalksDepthFirstPreOrder) {
  EXPECT_EQ(Run(AllLevels, ReturnFileCount), 7);
  const Paths xFirst{Root(), D(u"x"), D(u"x" + sep_ + u"x1"), D(u"y")};
  const Paths yFirst{Root(), D(u"y"), D(u"x"), D(u"x" + sep_ + u"x1")};
  const Paths got = FolderPaths();
  EXPECT_TRUE(got == xFirst || got == yFirst) << TestSupport::Show(got[1]);
  Reset();
  Run(2, 0);
  EXPECT_EQ(FolderPaths().size(), 4u);
}

// A progress line hears of a big folder while it is listed, not only once
// it is done: every FilesPerTelling files, then the rest with the folder.
TEST_F(ScanDirTest, FilesAreToldWhileABigFolderIsListed) {
  for (int64_t i = 0; i < FilesPerTelling; ++i) {
    TestSupport::MakeFile(Join(root_, u"y" + sep_ + u"f" + DecimalText(i)), "", 0);
  }
  static std::vector<std::tuple<Text, int64_t, bool>> told;
  told.clear();
  FilesListed = [](const Text& folder, int64_t files, bool done) { told.emplace_back(folder, files, done); };
  Run(AllLevels, ReturnFileCount);
  FilesListed = nullptr;
  // Siblings come in the file system's order; each folder's calls in theirs.
  std::stable_sort(told.begin(), told.end(),
                   [](const auto& x, const auto& y) { return std::get<0>(x) < std::get<0>(y); });
  EXPECT_EQ(told, (std::vector<std::tuple<Text, int64_t, bool>>{{Root(), 3, true},
                                                                {D(u"x"), 1, true},
                                                                {D(u"x" + sep_ + u"x1"), 1, true},
                                                                {D(u"y"), FilesPerTelling, false},
                                                                {D(u"y"), 2, true}}));
}

TEST_F(ScanDirTest, LevelsCountFromTheRootEvenWhenItsNameRecurs) {
  // A relative root "r" holding r/b/r/c: the level of r/b/r is 2, although
  // the root's text occurs in its path twice.
  TestSupport::ScopedCurrentDir here(dir_.path());
  TestSupport::MakeDirs(Join(u"r", Join(u"b", Join(u"r", u"c"))));
  Scan(Folders, u"r", u"", 2, FoldersOnly, 0, 0, u"", u"", u"");
  const Text r = u"r" + sep_;
  EXPECT_EQ(FolderPaths(), (Paths{r, r + u"b" + sep_, r + u"b" + sep_ + r}));
}

TEST_F(ScanDirTest, FlagsFillDepthsDatesAndAttributes) {
  EXPECT_EQ(Run(1, ReturnFileCount | WithDepth | WithDates | WithAttributes), 6);
  const FolderRecord& root = Folders[0];
  EXPECT_EQ(root.Depth, DepthOf(Root()));
  EXPECT_EQ(root.Modified, 0);  // a root's own dates are not looked up
  EXPECT_TRUE(root.Attributes & Platform::kAttrDirectory);
  for (const FolderRecord& folder : Folders) {
    EXPECT_EQ(folder.Depth, DepthOf(folder.Path));
    EXPECT_TRUE(folder.Attributes & Platform::kAttrDirectory);
    for (const FileRecord& file : folder.Files) {
      EXPECT_EQ(file.Depth, root.Depth + (&folder == &root ? 0 : 1));
      // Sizes 1..7 were written on September 1..7 at noon UTC.
      EXPECT_EQ(file.Modified, MakeDate(2018, 9, static_cast<int>(file.Size), 12, 0, 0))
          << TestSupport::Show(file.Path);
      EXPECT_FALSE(file.Attributes & Platform::kAttrDirectory);
    }
  }
  const FileRecord* hidden = nullptr;
  for (const FileRecord& file : root.Files) {
    if (file.Path.ends_with(u".hidden")) hidden = &file;
  }
  ASSERT_NE(hidden, nullptr);
  EXPECT_TRUE(hidden->Attributes & Platform::kAttrHidden);
}

TEST_F(ScanDirTest, WithoutFlagsOnlySizesAndCountsAreFilled) {
  Run(1, 0);
  for (const FolderRecord& folder : Folders) {
    EXPECT_EQ(folder.Depth + folder.Created + folder.Modified + folder.Accessed + folder.Attributes, 0);
    EXPECT_EQ(folder.FileCount, static_cast<int64_t>(folder.Files.size()));
    for (const FileRecord& file : folder.Files) {
      EXPECT_GT(file.Size, 0);
      EXPECT_EQ(file.Depth + file.Created + file.Modified + file.Accessed + file.Attributes, 0);
    }
  }
}

TEST_F(ScanDirTest, ResultCountsDependOnTheFlagsAndRootFields) {
  if (!Platform::kRootLists) GTEST_SKIP() << "a folder value is one root here";
  const Text roots = root_ + u"||" + Join(dir_.path(), u"missing") + u"\r\n" + Join(root_, u"y");
  // Four fields, two of them real roots: root (1 folder at level 0, 3 files)
  // and y (1 folder, 2 files).
  EXPECT_EQ(Scan(Folders, roots, u"", 0, ReturnFileCount, 0, 0, u"", u"", u""), 5);
  Reset();
  EXPECT_EQ(Scan(Folders, roots, u"", 0, 0, 0, 0, u"", u"", u""), 2 + 5 - 4);
  Reset();
  EXPECT_EQ(Scan(Folders, roots, u"", 0, FoldersOnly, 0, 0, u"", u"", u""), 2 - 4);
  Reset();
  EXPECT_EQ(Scan(Folders, roots, u"", 0, FoldersOnly | ReturnFileCount, 0, 0, u"", u"", u""), 0);
  EXPECT_EQ(FolderPaths(), (Paths{Root(), D(u"y")}));
  for (const FolderRecord& folder : Folders) EXPECT_EQ(folder.FileCount, 0);
  // The scan only appends: a second scan's records follow the first's.
  Scan(Folders, root_, u"", 0, FoldersOnly, 0, 0, u"", u"", u"");
  EXPECT_EQ(FolderPaths(), (Paths{Root(), D(u"y"), Root()}));
}

// Where "|" and CR LF may stand in names, a folder value is one root.
TEST_F(ScanDirTest, AValueIsOneRootWhereNamesHoldSeparators) {
  if (Platform::kRootLists) GTEST_SKIP() << "names cannot hold \"|\" here";
  for (const Text& name : {Text(u"pipe|dir"), Text(u"cr\r\nlf")}) {
    const Text folder = dir_ / name;
    TestSupport::MakeDirs(folder);
    TestSupport::MakeFile(Join(folder, u"f"), "x", TestSupport::UtcStamp(2018, 1, 1, 0, 0, 0));
    Reset();
    EXPECT_EQ(Scan(Folders, folder, u"", 0, ReturnFileCount, 0, 0, u"", u"", u""), 1)
        << TestSupport::Show(name);
    EXPECT_EQ(FolderPaths(), Paths{folder + sep_});
  }
}

TEST_F(ScanDirTest, ARootWithOrWithoutSeparatorGivesTheSamePath) {
  Scan(Folders, root_ + sep_, u"", 0, FoldersOnly, 0, 0, u"", u"", u"");
  Scan(Folders, root_, u"", 0, FoldersOnly, 0, 0, u"", u"", u"");
  EXPECT_EQ(FolderPaths(), (Paths{Root(), Root()}));
}

TEST_F(ScanDirTest, AFileOrNothingIsNoRoot) {
  EXPECT_EQ(Scan(Folders, Join(root_, u"a.txt") + u"|", u"", 0, ReturnFileCount, 0, 0, u"", u"", u""), 0);
  EXPECT_TRUE(Folders.empty());
}

TEST_F(ScanDirTest, ExtensionFiltersIncludeAndExclude) {
  Run(AllLevels, 0, u"*.jpg; *.png");
  EXPECT_EQ(SortedRecordPaths().size(), 4u + 3u);  // four folders; B.JPG, deep.jpg, y.png
  // The lists as users write them; seven files in all.
  const std::tuple<const char16_t*, const char16_t*, int64_t> cases[] = {
      {u"jpg|png;txt", u"", 5}, {u"jpg;txt", u"TXT", 2}, {u"", u"jpg", 5},  {u"*.*", u"", 7},
      {u";", u"", 7},           {u"jpg,png", u"", 3},    {u".JPG", u"", 2}, {u"*", u"*", 0}};
  for (const auto& [include, exclude, files] : cases) {
    Reset();
    EXPECT_EQ(Run(AllLevels, ReturnFileCount, include, exclude), files) << TestSupport::Show(include);
  }
}

TEST_F(ScanDirTest, FolderWordsAdmitFoldersAndSkipWordsCutSubtrees) {
  Run(AllLevels, FoldersOnly, u"", u"", u"x1");
  EXPECT_EQ(FolderPaths(), (Paths{D(u"x" + sep_ + u"x1")}));  // x failed but was walked
  Reset();
  Run(AllLevels, FoldersOnly, u"", u"", u"", WordFor(u"X"));
  EXPECT_EQ(FolderPaths(), (Paths{Root(), D(u"y")}));
  Reset();
  // A word in the root's own path admits every folder and cuts every subfolder.
  Run(AllLevels, FoldersOnly, u"", u"", u"ROOT", u"");
  EXPECT_EQ(FolderPaths().size(), 4u);
  Reset();
  EXPECT_EQ(Run(AllLevels, ReturnFileCount, u"", u"", u"", u"root"), 3);
  EXPECT_EQ(FolderPaths(), (Paths{Root()}));
  Reset();
  Run(AllLevels, FoldersOnly, u"", u"", WordFor(u"x"));  // x and everything below it
  EXPECT_EQ(FolderPaths(), (Paths{D(u"x"), D(u"x" + sep_ + u"x1")}));
  Reset();
  Run(AllLevels, FoldersOnly, u"", u"", u"zzz|");  // the empty word matches no folder
  EXPECT_EQ(FolderPaths(), Paths{});
}

TEST_F(ScanDirTest, SortsFoldersAndFilesByTheirWords) {
  Run(AllLevels, SortFolders | SortFiles, u"", u"", u"", u"", 0, SortBySize | SortDescending);
  EXPECT_EQ(FolderPaths(), (Paths{Root(), D(u"x"), D(u"x" + sep_ + u"x1"), D(u"y")}));
  ASSERT_EQ(Folders[0].Files.size(), 3u);
  EXPECT_EQ(Folders[0].Files[0].Size, 3);
  EXPECT_EQ(Folders[0].Files[2].Size, 1);
  Reset();
  Run(AllLevels, SortFolders, u"", u"", u"", u"", SortByPath | SortDescending | SortAscending);
  EXPECT_EQ(FolderPaths().back(), D(u"y"));
  Reset();
  Run(AllLevels, SortFolders, u"", u"", u"", u"", SortByFileCount | SortDescending);
  EXPECT_EQ(Folders[0].Path, Root());  // three files
  EXPECT_EQ(Folders[1].Path, D(u"y"));
}

// What a walk hands a sink is what Scan makes records of, in the same
// order: the counting of a run sees the files the records would hold.
struct SinkCase {
  int64_t levels, flags;
  const char16_t *extensions, *skip, *words, *skipWords;
};

class SinkTest : public ScanDirTest, public testing::WithParamInterface<SinkCase> {};

TEST_P(SinkTest, AWalksSinkSeesTheRecordsOfScan) {
  struct Recorder : Sink {
    Paths paths;
    void Folder(const Text& path, const Platform::DirEntry*) override { paths.push_back(path); }
    void File(const Text& folder, const Platform::DirEntry& entry) override {
      paths.push_back(folder + entry.name);
    }
  } recorder;
  const SinkCase& c = GetParam();
  WalkRules rules(c.levels, c.flags);
  rules.extensions = PrepareExtensions(c.extensions);
  rules.skipExtensions = PrepareExtensions(c.skip);
  rules.folderWords = c.words;
  rules.skipFolderWords = c.skipWords;
  const int64_t walked = Walk(root_, rules, recorder);
  Reset();
  EXPECT_EQ(Run(c.levels, c.flags | ReturnFileCount, c.extensions, c.skip, c.words, c.skipWords), walked);
  EXPECT_EQ(recorder.paths, TestSupport::RecordPaths(Folders));
}

INSTANTIATE_TEST_SUITE_P(Cases, SinkTest,
                         testing::Values(SinkCase{0, WithDates, u"", u"", u"", u""},
                                         SinkCase{1, 0, u"", u"", u"", u""},
                                         SinkCase{AllLevels, 0, u"", u"", u"", u""},
                                         SinkCase{AllLevels, 0, u"jpg;png", u"", u"", u""},
                                         SinkCase{AllLevels, 0, u"", u"txt", u"", u""},
                                         SinkCase{AllLevels, 0, u"", u"", u"x", u""},
                                         SinkCase{AllLevels, 0, u"", u"", u"", u"x1"},
                                         SinkCase{AllLevels, FoldersOnly, u"", u"", u"", u""}));

// Taken dates are read of the files that count, and of no other: not of
// those the extension lists leave out, nor of the files of a folder the
// folder words do not admit. The same picture under every name, in two
// folders (a: p.jpg p.mkv n.txt, b: q.jpg); POSIX also counts the opens.
struct TakenCase {
  const char16_t *extensions, *skip;
  bool onlyA;  // the folder words admit the folder a only
  int dated;   // the pictures that count
};

class TakenReadsTest : public testing::TestWithParam<TakenCase> {
 protected:
  void TearDown() override { Reset(); }
  TestSupport::ScopedTempDir dir_;
};

TEST_P(TakenReadsTest, OpenOnlyTheFilesThatCount) {
  const Text sep(1, Platform::kSeparator);
  const std::string picture = TestSupport::SeedFile(u"jpeg-original.jpg");
  for (const Text& name :
       {u"a" + sep + u"p.jpg", u"a" + sep + u"p.mkv", u"a" + sep + u"n.txt", u"b" + sep + u"q.jpg"}) {
    TestSupport::MakeDirs(dir_ / name.substr(0, 1));
    TestSupport::WriteBytes(dir_ / name, picture);
  }
  struct Recorder : Sink {
    std::vector<std::pair<Text, Platform::TakenRead>> counted, skipped;
    int dated = 0;
    void File(const Text&, const Platform::DirEntry& entry) override {
      counted.emplace_back(entry.name, entry.takenRead);
      dated += entry.taken.kind != TakenDate::Kind::kNone ? 1 : 0;
    }
    void Skipped(const Text&, const Platform::DirEntry& entry) override {
      skipped.emplace_back(entry.name, entry.takenRead);
    }
  } recorder;
  const TakenCase& c = GetParam();
  WalkRules rules(AllLevels, WithDates | WithTaken);
  rules.extensions = PrepareExtensions(c.extensions);
  rules.skipExtensions = PrepareExtensions(c.skip);
  const Text& dir = dir_.path();
  if (c.onlyA)
    rules.folderWords = sep + dir.substr(dir.find_last_of(Platform::kNameSeparators) + 1) + sep + u"a" + sep;
#ifndef _WIN32
  const uint64_t before = Platform::posix::TakenOpens();
#endif
  const int64_t walked = Walk(dir, rules, recorder);
  for (const auto& [name, read] : recorder.counted) EXPECT_EQ(read, Platform::TakenRead::kRead) << Show(name);
  for (const auto& [name, read] : recorder.skipped)
    EXPECT_EQ(read, Platform::TakenRead::kNotRead) << Show(name);
  EXPECT_EQ(static_cast<int64_t>(recorder.counted.size()), walked);
  EXPECT_EQ(recorder.dated, c.dated);
#ifndef _WIN32
  EXPECT_EQ(Platform::posix::TakenOpens() - before, static_cast<uint64_t>(walked));
#endif
}

INSTANTIATE_TEST_SUITE_P(Lists, TakenReadsTest,
                         testing::Values(TakenCase{u"", u"", false, 4}, TakenCase{u"jpg", u"", false, 2},
                                         TakenCase{u"", u"mkv;txt", false, 2}, TakenCase{u"", u"", true, 3},
                                         TakenCase{u"jpg;png", u"", true, 1}));

TEST(ScanDirReset, EmptiesEverything) {
  IncludeExtensions.Add(u"x");
  Folders.emplace_back().Files.emplace_back();
  CurrentRoot = u"r";
  EXPECT_TRUE(Reset());
  EXPECT_TRUE(Folders.empty() && IncludeExtensions.Empty() && CurrentRoot.empty());
  EXPECT_TRUE(Reset());
}

#ifdef _WIN32
TEST_F(ScanDirTest, FoldersBeyondTheClassicLimitAreWalked) {
  Text deep = root_;
  while (deep.size() < 300) deep = Join(deep, u"a-rather-long-folder-name");
  TestSupport::MakeDirs(LPS::ToLongPath(deep, 0));
  TestSupport::WriteBytes(LPS::ToLongPath(Join(deep, u"far.txt"), 0), "far");
  EXPECT_EQ(Run(AllLevels, ReturnFileCount), 8);
  EXPECT_EQ(Scan(Folders, deep, u"", 0, ReturnFileCount, 0, 0, u"", u"", u""), 1);
  EXPECT_EQ(Folders.back().Files[0].Path, LPS::ToLongPath(Join(deep, u"far.txt"), 0));
}
#endif

// A folder is entered once; an index of 0, which some file systems report
// for every folder, identifies nothing.
TEST(ScanDirLoops, OnlyAKnownIdentityIsEnteredOnce) {
  EnteredFolders entered;
  const struct {
    Platform::FolderId id;
    bool first;
  } visits[] = {{{7, 100}, true}, {{7, 100}, false}, {{8, 100}, true},  // the same index on another volume
                {{7, 0}, true},   {{7, 0}, true},    {{8, 100}, false}};
  for (const auto& v : visits)
    EXPECT_EQ(FirstEntry(entered, v.id), v.first) << v.id.volume << " " << v.id.index;
}

// Trees with links to folders (made on the system's side under Wine):
//   t: f  t/a: f  t/a/up -> ..  t/in -> a  t/out -> ../outside
//   outside: f
//   mesh/m0..m3: f each, and links to the other three
//   class/c0, class/c1: links d0..d3 -> ../../devices/dK (a fan-out)
//   devices/d0..d3: f each, and subsystem -> ../../class/c0
class ScanDirLinks : public testing::Test {
 protected:
  void SetUp() override {
    Reset();
    const auto withFile = [this](const Text& folder) {
      TestSupport::MakeDirs(At(folder));
      TestSupport::WriteBytes(Join(At(folder), u"f"), "x");
    };
    for (const Text folder : {u"t/a", u"t", u"outside"}) withFile(folder);
    TestSupport::MakeFolderLink(u"..", At(u"t/a/up"));
    TestSupport::MakeFolderLink(u"a", At(u"t/in"));
    TestSupport::MakeFolderLink(u"../outside", At(u"t/out"));
    for (int m = 0; m < 4; ++m) withFile(u"mesh/m" + DecimalText(m));
    for (int m = 0; m < 4; ++m)
      for (int to = 0; to < 4; ++to)
        if (to != m)
          TestSupport::MakeFolderLink(u"../m" + DecimalText(to),
                                      At(u"mesh/m" + DecimalText(m) + u"/" + DecimalText(to)));
    for (int c = 0; c < 2; ++c) TestSupport::MakeDirs(At(u"class/c" + DecimalText(c)));
    for (int d = 0; d < 4; ++d) {
      const Text device = u"devices/d" + DecimalText(d);
      withFile(device);
      TestSupport::MakeFolderLink(u"../../class/c0", At(device + u"/subsystem"));
      for (int c = 0; c < 2; ++c)
        TestSupport::MakeFolderLink(u"../../" + device,
                                    At(u"class/c" + DecimalText(c) + u"/d" + DecimalText(d)));
    }
  }
  // A path below the test folder, given with "/" between names.
  Text At(Text relative) const {
    std::replace(relative.begin(), relative.end(), u'/', Platform::kSeparator);
    return dir_ / relative;
  }
  void TearDown() override { Reset(); }
  TestSupport::ScopedTempDir dir_;
};

TEST_F(ScanDirLinks, FolderLinksAreSkippedOrEachRealFolderEnteredOnce) {
  const int64_t kSkip = SkipFolderLinks;
  const struct {
    const char16_t* root;
    int64_t levels, flags, files;
  } cases[] = {
      // Without following: every file of the tree once, nothing from outside.
      {u"t", AllLevels, kSkip, 2},
      {u"t", 999999999, kSkip, 2},
      {u"mesh", AllLevels, kSkip, 4},
      {u"mesh/m0", AllLevels, kSkip, 1},
      {u"class", AllLevels, kSkip, 0},
      // Following: each real folder once, at any depth.
      {u"t", AllLevels, 0, 3},
      {u"t", 1, 0, 3},  // a at level 1, outside through out
      {u"t", 999999999, 0, 3},
      {u"mesh", AllLevels, 0, 4},
      {u"mesh/m0", AllLevels, 0, 4},
      {u"mesh/m0", 1, 0, 4},
      {u"class", AllLevels, 0, 4},
      {u"devices", 30, 0, 4},
      // The depth 0 does not walk: links change nothing.
      {u"t", 0, 0, 1},
      {u"t", 0, kSkip, 1},
  };
  for (const auto& c : cases) {
    Reset();
    std::vector<UnreadFolder> unread;
    EXPECT_EQ(
        Scan(Folders, At(c.root), u"", c.levels, ReturnFileCount | c.flags, 0, 0, u"", u"", u"", &unread),
        c.files)
        << TestSupport::Show(c.root) << " levels " << c.levels << " flags " << c.flags;
    EXPECT_TRUE(unread.empty());
  }
}

TEST_F(ScanDirLinks, WalkFoldersAndListFilesAreTheScansOwnWalk) {
  const Text t = Join(dir_.path(), u"t") + Platform::kSeparator;
  FolderList pending;
  EXPECT_EQ(WalkFolders(pending, t, AllLevels, SkipFolderLinks, u"", u""), 1);
  EXPECT_EQ(pending.at(0).Path, t + u"a" + Platform::kSeparator);
  EXPECT_EQ(WalkFolders(pending, t, AllLevels, 0, u"", u""), 3);  // a (or in, whichever comes first), out
  FileList found;
  EXPECT_EQ(ListFiles(found, t, u"", 0, u""), 1);
  EXPECT_EQ(found.at(0).Path, t + u"f");
}

// A chain of folders deeper than any recursion or whole path would allow:
// only the folder at its bottom gets a record.
TEST(ScanDirDeep, AChainOfManyLevelsIsWalkedToItsBottom) {
  TestSupport::ScopedTempDir dir;
  TestSupport::ScopedCurrentDir here(dir.path());
#ifdef _WIN32
  // Windows opens each level by its whole path, which Wine resolves one
  // name at a time.
  constexpr int kLevels = 100;
#else
  constexpr int kLevels = 20000;
#endif
  const Text sep(1, Platform::kSeparator);
  const Text bottom = TestSupport::MakeChain(u"r", kLevels, u"bottom");
  Reset();
  EXPECT_EQ(Scan(Folders, u"r", u"", AllLevels, ReturnFileCount, 0, 0, u"", u"bottom", u""), 1);
  ASSERT_EQ(Folders.size(), 1u);
  EXPECT_EQ(Folders[0].Path, LPS::ToLongPath(bottom, 0) + sep);
  EXPECT_EQ(DepthOf(Folders[0].Path) - DepthOf(LPS::ToLongPath(u"r", 0) + sep), kLevels + 1);
  Reset();
  TestSupport::RemoveChain(u"r", kLevels, u"bottom");
}

// However many folders wait for their next subfolder, at most
// MostHeldFolders stay open; the others are opened again when due.
TEST(ScanDirDeep, FoldersBeyondTheHeldOnesAreOpenedAgain) {
  TestSupport::ScopedTempDir dir;
  // Each level holds a file, the next level and a sibling with a file.
  Text level = dir / u"w";
  for (int i = 0; i < 40; ++i) {
    TestSupport::MakeDirs(Join(level, u"s"));
    TestSupport::WriteBytes(Join(level, u"f"), "x");
    TestSupport::WriteBytes(Join(Join(level, u"s"), u"f"), "x");
    level = Join(level, u"n");
  }
  const size_t most = MostHeldFolders;
  for (size_t held : {size_t{0}, size_t{1}, size_t{3}, most}) {
    MostHeldFolders = held;
    Reset();
    EXPECT_EQ(Scan(Folders, dir / u"w", u"", AllLevels, ReturnFileCount, 0, 0, u"", u"", u""), 80) << held;
    EXPECT_EQ(Folders.size(), 80u) << held;
  }
  MostHeldFolders = most;
  Reset();
}

}  // namespace

namespace {}  // namespace
