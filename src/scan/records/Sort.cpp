// Sorting of scan results by a sort word.
#include "scan/records/Sort.h"

#include <algorithm>

#include "base/Constants.h"

namespace ScanDir {

namespace {

enum class Key { kPath, kCount, kDepth, kCreated, kModified, kAccessed };

struct Order {
  Key key = Key::kPath;
  bool descending = false;
  bool noCase = false;
};

// `countBit` is the size key for files and the file-count key for folders; a
// word that sets no key bit applying to the records sorts by Path.
Order Decode(int64_t word, int64_t countBit) {
  Order order;
  order.descending = (word & SortDescending) && !(word & SortAscending);
  order.noCase = (word & SortNoCase) != 0;
  if (word & SortByPath) return order;
  if (word & countBit)
    order.key = Key::kCount;
  else if (word & SortByDepth)
    order.key = Key::kDepth;
  else if (word & SortByCreated)
    order.key = Key::kCreated;
  else if (word & SortByModified)
    order.key = Key::kModified;
  else if (word & SortByAccessed)
    order.key = Key::kAccessed;
  return order;
}

// Compares as the C runtime's case-insensitive compare does in the C locale:
// A to Z folded to a to z, then code units compared.
int CompareNoCase(const RecordPath& a, const RecordPath& b) { return a.Compare(b, AsciiLowerUnit); }

int CompareNoCase(const Text& a, const Text& b) {
  return RecordPath::Pieces(StoredText(), StoredText::Of(a))
      .Compare(RecordPath::Pieces(StoredText(), StoredText::Of(b)), AsciiLowerUnit);
}

int64_t CountOf(const FileRecord& file) { return file.Size; }
int64_t CountOf(const FolderRecord& folder) { return folder.FileCount; }

template <class Record>
bool Less(const Record& a, const Record& b, const Order& order) {
  switch (order.key) {
    case Key::kPath: return order.noCase ? CompareNoCase(a.Path, b.Path) < 0 : a.Path < b.Path;
    case Key::kCount: return CountOf(a) < CountOf(b);
    case Key::kDepth: return a.Depth < b.Depth;
    case Key::kCreated: return a.Created < b.Created;
    case Key::kModified: return a.Modified < b.Modified;
    case Key::kAccessed: return a.Accessed < b.Accessed;
  }
  return false;
}

template <class List>
void Sort(List& records, const Order& order) {
  using Record = typename List::value_type;
  // A stable sort keeps records with equal keys in their previous order in
  // both directions, since descending only swaps the operands.
  std::stable_sort(records.begin(), records.end(), [&order](const Record& a, const Record& b) {
    return order.descending ? Less(b, a, order) : Less(a, b, order);
  });
}

}  // namespace

void SortRecords(FileList& files, int64_t sortWord) { Sort(files, Decode(sortWord, SortBySize)); }

void SortRecords(FolderList& folders, int64_t sortWord) { Sort(folders, Decode(sortWord, SortByFileCount)); }

}  // namespace ScanDir
