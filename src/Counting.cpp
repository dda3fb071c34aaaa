#include "Counting.h"

#include <algorithm>

#include "Process.h"
#include "ReportFile.h"
#include "platform/Platform.h"

DateCountList DateCounts;

namespace {

uint32_t HashText(TextView text) {
  uint64_t h = 14695981039346656037ull;  // 64-bit FNV-1a, folded
  for (char16_t unit : text) h = (h ^ unit) * 1099511628211ull;
  return static_cast<uint32_t>(h ^ (h >> 32));
}

}  // namespace

int64_t DateCountList::Find(TextView text, uint32_t hash) const {
  if (slots_.empty()) return -1;
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const uint64_t slot = slots_[i];
    if (slot == 0) return -1;
    const size_t entry = static_cast<uint32_t>(slot) - 1;
    if (slot >> 32 == hash && entries_[entry].DateText == text) return static_cast<int64_t>(entry);
  }
}

void DateCountList::Rebuild(size_t capacity) {
  slots_.assign(capacity, 0);
  const size_t mask = capacity - 1;
  for (size_t e = 0; e < entries_.size(); ++e) {
    size_t i = hashes_[e] & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = SlotOf(hashes_[e], e);
  }
}

void DateCountList::Append(TextView text, uint32_t hash) {
  entries_.push_back(DateCount{Text(text), 1});
  hashes_.push_back(hash);
  // Keep the table at most half full so probes stay short.
  if (entries_.size() * 2 > slots_.size()) {
    Rebuild(std::max<size_t>(64, slots_.size() * 2));
    return;
  }
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = SlotOf(hash, entries_.size() - 1);
}

void DateCountList::Add(TextView text) {
  const uint32_t hash = HashText(text);
  const int64_t found = Find(text, hash);
  if (found >= 0) {
    entries_[static_cast<size_t>(found)].Count += 1;
  } else {
    Append(text, hash);
  }
}

namespace {

// A sort key: the leading code units of a text packed into three words so
// that comparing the words compares the units in order, 8 units a word when
// every unit of every text fits in a byte (dates rendered through a mask
// nearly always do), else 4. Texts that agree on their key are compared in
// full. Sorting these keys touches no text for nearly every comparison,
// which counts with a million distinct texts.
struct SortKey {
  uint64_t words[3];
  uint32_t entry;
};

SortKey KeyOf(const Text& text, uint32_t entry, unsigned bits) {
  SortKey key{{0, 0, 0}, entry};
  const size_t perWord = 64 / bits;
  const size_t units = std::min(text.size(), 3 * perWord);
  for (size_t i = 0; i < units; ++i) {
    key.words[i / perWord] |= uint64_t{text[i]} << (64 - bits * (i % perWord + 1));
  }
  return key;
}

}  // namespace

void DateCountList::Sort() {
  bool narrow = true;
  for (const DateCount& entry : entries_) {
    for (char16_t unit : entry.DateText) narrow = narrow && unit < 0x100;
  }
  std::vector<SortKey> keys;
  keys.reserve(entries_.size());
  for (size_t e = 0; e < entries_.size(); ++e) {
    keys.push_back(KeyOf(entries_[e].DateText, static_cast<uint32_t>(e), narrow ? 8 : 16));
  }
  // Texts are unique, so any correct sort gives the one order there is.
  std::sort(keys.begin(), keys.end(), [this](const SortKey& a, const SortKey& b) {
    for (int w = 0; w < 3; ++w) {
      if (a.words[w] != b.words[w]) return a.words[w] < b.words[w];
    }
    return entries_[a.entry].DateText < entries_[b.entry].DateText;
  });
  // Put every entry in its place by following the cycles of the
  // permutation, so no second list is needed.
  for (uint32_t start = 0; start < keys.size(); ++start) {
    if (keys[start].entry == start) continue;
    DateCount held = std::move(entries_[start]);
    const uint32_t heldHash = hashes_[start];
    uint32_t at = start;
    while (keys[at].entry != start) {
      const uint32_t from = keys[at].entry;
      entries_[at] = std::move(entries_[from]);
      hashes_[at] = hashes_[from];
      keys[at].entry = at;
      at = from;
    }
    entries_[at] = std::move(held);
    hashes_[at] = heldHash;
    keys[at].entry = at;
  }
  Rebuild(slots_.size());
}

DateKind DateKindFromText(TextView kind) {
  if (kind == u"m") return DateKind::kModified;
  if (kind == u"a") return DateKind::kAccessed;
  return DateKind::kCreated;
}

void CountDates(const FolderList& folders, TextView mask, DateKind kind, DateCountList& counts) {
  Text text;
  for (const FolderRecord& folder : folders) {
    for (const FileRecord& file : folder.Files) {
      const int64_t date = kind == DateKind::kModified   ? file.Modified
                           : kind == DateKind::kAccessed ? file.Accessed
                                                         : file.Created;
      RenderDateTo(mask, date, text);
      counts.Add(text);
    }
  }
}

namespace {

// Hands the report bytes of `counts` to `out`, converting to the narrow code
// page a few lines at a time (whole lines, so no character is split).
template <class Sink>
void RenderReport(const DateCountList& counts, Sink&& out) {
  Text lines;
  for (const DateCount& entry : counts.Entries()) {
    lines += entry.DateText;
    lines += u' ';
    lines += DecimalText(entry.Count);
    lines += u"\r\n";
    if (lines.size() >= 2048) {
      out(Platform::ToNarrow(lines));
      lines.clear();
    }
  }
  if (!lines.empty()) out(Platform::ToNarrow(lines));
}

}  // namespace

std::string ReportBytes(const DateCountList& counts) {
  std::string bytes;
  RenderReport(counts, [&bytes](const std::string& more) { bytes += more; });
  return bytes;
}

WriteOutcome WriteReport(const Text& reportName, DateCountList& counts) {
  counts.Sort();
  return WriteFileReplacing(reportName + u".txt",
                            [&counts](const ByteSink& out) { RenderReport(counts, out); });
}
