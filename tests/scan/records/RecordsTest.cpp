#include <gtest/gtest.h>

#include <vector>

#include "scan/records/Records.h"
#include "support/TestSupport.h"

namespace {

using Paths = std::vector<Text>;

TEST(RecordPaths, ReadLikeTextsWhereverTheirPiecesLive) {
  FileList list;
  const Text folder = u"/data/";
  list.AddFile(folder, u"b.txt");
  list.AddFile(folder, u"a.txt");
  FileRecord& whole = list.emplace_back();
  whole.Path = u"/data/c.txt";
  const FileList copy = list;  // shares the names
  FileList moved;
  moved.Append(std::move(list));
  moved.AddFile(u"/else/", u"d");
  list.AddFile(folder, u"x");  // the emptied list starts afresh
  const struct {
    const FileList& files;
    Paths expected;
  } cases[] = {{copy, {u"/data/b.txt", u"/data/a.txt", u"/data/c.txt"}},
               {moved, {u"/data/b.txt", u"/data/a.txt", u"/data/c.txt", u"/else/d"}},
               {list, {u"/data/x"}}};
  for (const auto& c : cases) {
    Paths paths;
    for (const FileRecord& f : c.files) paths.push_back(f.Path);
    EXPECT_EQ(paths, c.expected);
  }
  EXPECT_TRUE(copy[1].Path < copy[0].Path && copy[0].Path < copy[2].Path);
  EXPECT_EQ(copy[0].Path, Text(u"/data/b.txt"));
  EXPECT_EQ(copy[0].Path.name(), u"b.txt");
  EXPECT_TRUE(moved[3].Path.ends_with(u"se/d") && !moved[3].Path.ends_with(u"/data/d"));

  // One list holding the files of two folders: each keeps its own folder.
  FileList mixed;
  for (const char16_t* folder : {u"/a/", u"/b/", u"/a/"}) mixed.AddFile(folder, u"f");
  Paths paths;
  for (const FileRecord& f : mixed) paths.push_back(f.Path);
  EXPECT_EQ(paths, (Paths{u"/a/f", u"/b/f", u"/a/f"}));
}

TEST(RecordPaths, EmptyPiecesNeedNoBlock) {
  FileList list;
  list.AddFile(u"", u"");
  list.AddFile(u"", u"a");
  EXPECT_EQ(list[0].Path, Text());
  EXPECT_EQ(list[1].Path, Text(u"a"));
}

}  // namespace
