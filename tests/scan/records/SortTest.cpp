#include <gtest/gtest.h>

#include <vector>

#include "base/Constants.h"
#include "scan/records/Sort.h"
#include "support/TestSupport.h"

namespace {

using namespace ScanDir;
using Paths = std::vector<Text>;

TEST(ScanDirSort, StableInBothDirectionsAndCaseRules) {
  FileList files;
  for (const char16_t* path : {u"b", u"Z", u"a", u"B"}) {
    FileRecord& f = files.emplace_back();
    f.Path = path;
    f.Size = path[0] == u'a' || path[0] == u'Z' ? 1 : 2;
  }
  auto paths = [&] {
    Paths p;
    for (const FileRecord& f : files) p.push_back(f.Path);
    return p;
  };
  SortRecords(files, 0);
  EXPECT_EQ(paths(), (Paths{u"B", u"Z", u"a", u"b"}));
  SortRecords(files, SortByPath | SortNoCase);
  EXPECT_EQ(paths(), (Paths{u"a", u"B", u"b", u"Z"}));  // B and b keep their order
  SortRecords(files, SortBySize | SortDescending);
  EXPECT_EQ(paths(), (Paths{u"B", u"b", u"a", u"Z"}));
  SortRecords(files, SortBySize);
  EXPECT_EQ(paths(), (Paths{u"a", u"Z", u"B", u"b"}));
  // No key bit that applies to files: by Path, in the direction named.
  SortRecords(files, SortByFileCount | SortDescending);
  EXPECT_EQ(paths(), (Paths{u"b", u"a", u"Z", u"B"}));
  // Case-insensitive compare folds A-Z only: "_" (0x5F) sorts before "z".
  for (FileRecord& f : files) f.Path = f.Path == u"B" ? u"_" : f.Path;
  SortRecords(files, SortNoCase);
  EXPECT_EQ(paths(), (Paths{u"_", u"a", u"b", u"Z"}));
}

TEST(ScanDirSort, EachKeyInBothDirections) {
  // Record i has the key values of column i; every key orders them differently.
  struct Key {
    int64_t word;
    int64_t values[3];
  };
  const Key keys[] = {{SortByDepth, {2, 3, 1}},    {SortByCreated, {3, 1, 2}}, {SortByModified, {1, 3, 2}},
                      {SortByAccessed, {2, 1, 3}}, {SortBySize, {3, 2, 1}},    {SortByFileCount, {1, 2, 3}}};
  for (const Key& key : keys) {
    FileList files;
    FolderList folders;
    for (int i = 0; i < 3; ++i) {
      FileRecord& file = files.emplace_back();
      FolderRecord& folder = folders.emplace_back();
      file.Path = folder.Path = DecimalText(i);
      file.Depth = folder.Depth = key.word == SortByDepth ? key.values[i] : 0;
      file.Created = folder.Created = key.word == SortByCreated ? key.values[i] : 0;
      file.Modified = folder.Modified = key.word == SortByModified ? key.values[i] : 0;
      file.Accessed = folder.Accessed = key.word == SortByAccessed ? key.values[i] : 0;
      file.Size = key.word == SortBySize ? key.values[i] : 0;
      folder.FileCount = key.word == SortByFileCount ? key.values[i] : 0;
    }
    auto order = [](const auto& records) {
      Text order;
      for (const auto& r : records) order += r.Path;
      return order;
    };
    // The expected order lists the records by ascending value.
    Text ascending(3, u'?');
    for (int i = 0; i < 3; ++i) ascending[key.values[i] - 1] = static_cast<char16_t>(u'0' + i);
    const Text descending(ascending.rbegin(), ascending.rend());
    SortRecords(files, key.word);
    SortRecords(folders, key.word | SortNoCase);
    // Size applies to files only, file count to folders only: the other
    // sorts by Path.
    EXPECT_EQ(order(files), key.word == SortByFileCount ? u"012" : ascending) << key.word;
    EXPECT_EQ(order(folders), key.word == SortBySize ? u"012" : ascending) << key.word;
    SortRecords(files, key.word | SortDescending);
    SortRecords(folders, key.word | SortDescending);
    EXPECT_EQ(order(files), key.word == SortByFileCount ? u"210" : descending) << key.word;
    EXPECT_EQ(order(folders), key.word == SortBySize ? u"210" : descending) << key.word;
  }
}

}  // namespace
