// The entries of a report: each distinct date text and the files and bytes
// counted under it, made from the counts by date value, in the order the
// report shows them.
#pragma once

#include <cstdint>
#include <functional>

#include "base/Text.h"
#include "count/DateCounts.h"
#include "count/ValueCounts.h"

// One entry: the text (valid during the call), its files and their bytes.
struct DateEntry {
  TextView text;
  uint64_t files = 0;
  uint64_t bytes = 0;
};

// By text, code unit by code unit (a prefix first); or by the earliest date
// counted under each text, equal ones by text.
enum class EntryOrder { kText, kDate };

// Hands the entries of the settled `counts` to `each` in `order`: each
// distinct unit rendered once through the rendering mask `mask` (the files
// without a date as every field zero), units that give one text (a mask
// without the year) merged into one entry. Where the mask's texts sort as
// their dates (TextsInDateOrder) the entries come straight from the counts;
// otherwise they are gathered by text first.
void ForEachEntry(const ValueCounts& counts, TextView mask, EntryOrder order,
                  const std::function<void(const DateEntry&)>& each);

// The number of entries of the settled `counts` through `mask`.
size_t EntryCount(const ValueCounts& counts, TextView mask);

// The entries as a list of texts, in `order` (for the chart, which reads
// them by index).
DateCountList EntryList(const ValueCounts& counts, TextView mask, EntryOrder order);
