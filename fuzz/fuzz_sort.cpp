// Sorting scan records by any sort word. Input: 8 bytes of the sort word,
// then one record a line: 3 bytes of small keys (size or file count, depth,
// date) and the path.
#include <algorithm>

#include "FuzzSupport.h"
#include "scan/ScanDir.h"

namespace {

template <class Record>
void Fill(Record& record, std::string_view line, size_t id) {
  auto key = [&](size_t i) { return i < line.size() ? static_cast<int64_t>(line[i] & 3) : 0; };
  record.Depth = key(1);
  record.Created = record.Modified = record.Accessed = key(2);
  record.Path = Fuzz::ToText(line.substr(std::min<size_t>(3, line.size())));
  record.Attributes = static_cast<int64_t>(id);  // where it came from
  if constexpr (std::is_same_v<Record, FileRecord>)
    record.Size = key(0);
  else
    record.FileCount = key(0);
}

template <class Record>
bool SameKeys(const Record& a, const Record& b) {
  Record c = b;
  c.Attributes = a.Attributes;
  if constexpr (std::is_same_v<Record, FileRecord>)
    return a.Path == c.Path && a.Size == c.Size && a.Depth == c.Depth && a.Created == c.Created;
  else
    return a.Path == c.Path && a.FileCount == c.FileCount && a.Depth == c.Depth && a.Created == c.Created;
}

template <class Record>
using ListOf = std::conditional_t<std::is_same_v<Record, FileRecord>, FileList, FolderList>;

template <class Record>
void CheckSort(const std::vector<std::string_view>& lines, int64_t word) {
  ListOf<Record> records;
  for (size_t i = 1; i < lines.size(); ++i) Fill(records.emplace_back(), lines[i], i - 1);
  ScanDir::SortRecords(records, word);
  // A permutation of what went in.
  std::vector<bool> seen(records.size());
  for (const Record& r : records) {
    const auto id = static_cast<size_t>(r.Attributes);
    FUZZ_CHECK(id < seen.size() && !seen[id]);
    seen[id] = true;
  }
  // Records alike in every key keep their order (stable either way).
  for (size_t i = 0; i < records.size(); ++i) {
    for (size_t j = i + 1; j < records.size(); ++j) {
      if (SameKeys(records[i], records[j])) FUZZ_CHECK(records[i].Attributes < records[j].Attributes);
    }
  }
  // Sorting again changes nothing.
  ListOf<Record> again = records;
  ScanDir::SortRecords(again, word);
  for (size_t i = 0; i < records.size(); ++i) FUZZ_CHECK(again[i].Attributes == records[i].Attributes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> lines = Fuzz::Lines(data, size);
  if (lines.size() > 200) return 0;  // the pairwise check is quadratic
  const auto word = static_cast<int64_t>(Fuzz::Number(lines[0]));
  CheckSort<FileRecord>(lines, word);
  CheckSort<FolderRecord>(lines, word);
  return 0;
}
