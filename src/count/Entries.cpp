#include "count/Entries.h"

#include <vector>

#include "base/Constants.h"
#include "dates/Mask.h"

namespace {

// Each distinct unit of `counts` rendered through `pieces`, in the counts'
// order (no date first), to `each(text, files, bytes, date)`.
template <class Each>
void Rendered(const ValueCounts& counts, const std::vector<MaskPiece>& pieces, Each each) {
  Text text;
  if (counts.NoDateFiles() > 0) {
    RenderPieces(pieces, Dates::None, text);
    each(text, counts.NoDateFiles(), counts.NoDateBytes(), Dates::None);
  }
  for (size_t i = 0; i < counts.Size(); ++i) {
    const int64_t date = counts.DateAt(i);
    RenderPieces(pieces, date, text);
    each(text, counts.FilesAt(i), counts.BytesAt(i), date);
  }
}

DateCountList Gathered(const ValueCounts& counts, const std::vector<MaskPiece>& pieces, EntryOrder order) {
  DateCountList list;
  Rendered(counts, pieces, [&list](const Text& text, uint64_t files, uint64_t bytes, int64_t date) {
    list.Add(text, static_cast<int64_t>(files), bytes, date);
  });
  if (order == EntryOrder::kDate) {
    list.SortByDate();
  } else {
    list.Sort();
  }
  return list;
}

}  // namespace

void ForEachEntry(const ValueCounts& counts, TextView mask, EntryOrder order,
                  const std::function<void(const DateEntry&)>& each) {
  const std::vector<MaskPiece> pieces = MaskPieces(mask);
  // Each unit its own text, in the order of the dates: no table of texts
  // is needed, whatever their number.
  if (TextsInDateOrder(pieces) && FinestUnit(pieces) == counts.Unit()) {
    Rendered(counts, pieces, [&each](const Text& text, uint64_t files, uint64_t bytes, int64_t) {
      each(DateEntry{text, files, bytes});
    });
    return;
  }
  const DateCountList list = Gathered(counts, pieces, order);
  Text text;
  for (size_t i = 0; i < list.Size(); ++i) {
    list.TextAt(i, text);
    each(DateEntry{text, static_cast<uint64_t>(list.CountAt(i)), list.BytesAt(i)});
  }
}

size_t EntryCount(const ValueCounts& counts, TextView mask) {
  const std::vector<MaskPiece> pieces = MaskPieces(mask);
  if (TextsInDateOrder(pieces) && FinestUnit(pieces) == counts.Unit())
    return counts.Size() + (counts.NoDateFiles() > 0 ? 1 : 0);
  return Gathered(counts, pieces, EntryOrder::kText).Size();
}

DateCountList EntryList(const ValueCounts& counts, TextView mask, EntryOrder order) {
  return Gathered(counts, MaskPieces(mask), order);
}
