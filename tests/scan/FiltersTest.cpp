#include <gtest/gtest.h>

#include <vector>

#include "base/Conventions.h"
#include "base/KeyedTable.h"
#include "scan/Filters.h"
#include "support/TestSupport.h"

namespace {

using namespace ScanDir;

TEST(ScanDirFilters, ExtensionListsAsUsersWriteThem) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"jpg", u"jpg"}, {u".jpg", u"jpg"},        {u"*.jpg", u"jpg"},         {u"*.*", u"*"},
      {u"*", u"*"},     {u"jpg,png", u"jpg|png"}, {u"a; b|c  d", u"a|b|c|d"}, {u"*.tar.gz", u"tar.gz"},
      {u";;, ", u""}};
  for (const auto& [list, prepared] : cases)
    EXPECT_EQ(PrepareExtensions(list), prepared) << TestSupport::Show(list);

  KeyedTable set;
  ParseFilterList(set, PrepareExtensions(u"JPG tar.gz"));
  const std::pair<const char16_t*, bool> names[] = {
      {u"a.jpg", true},      {u"A.Jpg", true},      {u"x.tar.gz", true},      {u"x.TAR.GZ", true},
      {u"x.gz", false},      {u"x.y.tar.gz", true}, {u".tar.gz", false},      {u"tar.gz", false},
      {u"a b.tar.gz", true}, {u"a.tar gz", false},  {u"x.othertar.gz", false}};
  for (const auto& [name, listed] : names)
    EXPECT_EQ(NameListed(set, name), listed) << TestSupport::Show(name);
  ParseFilterList(set, PrepareExtensions(u"*"));
  EXPECT_TRUE(NameListed(set, u"noext"));
  EXPECT_FALSE(NameListed(KeyedTable(), u"a.jpg"));
}

TEST(ScanDirFilters, ParseFilterListChoosesItsSeparator) {
  KeyedTable set;
  EXPECT_FALSE(ParseFilterList(set, u""));
  EXPECT_TRUE(ParseFilterList(set, u"JPG;Png;;jpg"));
  EXPECT_EQ(set.Size(), 3u);  // jpg, png and the empty word
  EXPECT_TRUE(set.Contains(u"png") && set.Contains(u"") && !set.Contains(u"Png"));
  EXPECT_FALSE(ParseFilterList(set, u""));  // keeps what it had
  EXPECT_EQ(set.Size(), 3u);
  EXPECT_TRUE(ParseFilterList(set, u"a;b|C"));
  EXPECT_EQ(set.Size(), 2u);
  EXPECT_TRUE(set.Contains(u"a;b") && set.Contains(u"c"));
}

TEST(ScanDirFilters, ExtensionRule) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"photo.JPG", u"JPG"}, {u"a.b.c", u"c"}, {u"archive.tar gz", u""}, {u".profile", u""},
      {u"name.", u""},        {u"noext", u""},  {u"dir\\.x", u""},        {u"a.x\"y", u"x"},
      {u"a.b/c", u""},        {u"x. y", u""}};
  for (const auto& [name, ext] : cases) EXPECT_EQ(Extension(name), ext) << TestSupport::Show(name);
}

// Folder names to skip: the whole name, "*" and "?" as wildcards, letter
// case as the platform's file names compare.
TEST(ScanDirFilters, FolderNamesMatchWholeNamesWithWildcards) {
  const struct {
    const char16_t *list, *name;
    bool posix, windows;  // matches where letter case counts, and where it does not
  } cases[] = {
      {u".git", u".git", true, true},
      {u".git", u".GIT", false, true},
      {u".git", u".gitignore", false, false},  // the whole name
      {u".git", u"a.git", false, false},
      {u"node_*", u"node_modules", true, true},
      {u"node_*", u"node_", true, true},
      {u"node_*", u"Node_modules", false, true},
      {u"*.bak", u"x.bak.bak", true, true},
      {u"*.bak", u"x.bak.old", false, false},
      {u"a*b*c", u"aXbYbZc", true, true},
      {u"a*b*c", u"aXbYcZ", false, false},
      {u"?", u"\U0001F600", true, true},  // one character, though two units
      {u"??", u"\U0001F600", false, false},
      {u"*?x", u"\U0001F600x", true, true},
      {u"a?c",
       u"a\xDC80"
       u"c",
       true, true},  // a byte that is not UTF-8 (POSIX) is one character too
      {u"?b", u"b", false, false},
      {u".Trash-*", u".Trash-1000", true, true},
      {u"*", u"anything", true, true},
      // Separators, and the spaces around an entry.
      {u"tmp, .git ;cache| x", u".git", true, true},
      {u"tmp, .git ;cache| x", u"x", true, true},
      {u"tmp, .git ;cache| x", u"cache", true, true},
      {u"System Volume Information", u"System Volume Information", true, true},
      {u"System Volume Information", u"System", false, false},
      {u"$RECYCLE.BIN", u"$Recycle.Bin", false, true},
      {u";, |", u"x", false, false},
      {u"", u"x", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FolderNames(c.list).Matches(c.name), Platform::kNamesIgnoreCase ? c.windows : c.posix)
        << TestSupport::Show(c.list) << " " << TestSupport::Show(c.name);
  }
  EXPECT_TRUE(FolderNames(u" ;, ").Empty());
  EXPECT_FALSE(FolderNames(u"a").Empty());
}

TEST(ScanDirFilters, ListedAndMatchingIgnoreCase) {
  KeyedTable set;
  ParseFilterList(set, u"jpg|temp");
  EXPECT_TRUE(ExtensionListed(set, u"JPG"));
  EXPECT_FALSE(ExtensionListed(set, u""));
  EXPECT_TRUE(PathMatches(u"C:\\Attempt\\", set));
  EXPECT_FALSE(PathMatches(u"", set));
  EXPECT_FALSE(PathMatches(u"C:\\x\\", KeyedTable()));
  ParseFilterList(set, u"zzz|");
  EXPECT_TRUE(PathMatches(u"C:\\ZZZ\\", set));
  EXPECT_FALSE(PathMatches(u"C:\\x\\", set));
}

}  // namespace
