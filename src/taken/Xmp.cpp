// Dates in text packets. The packet is searched for the properties' names
// rather than parsed: what is read is a date, and a name that stands in
// other text (a description, a comment) only counts where it is followed
// by a value of the date's shape.
#include "taken/Xmp.h"

#include <algorithm>
#include <iterator>

#include "taken/DateText.h"

namespace TakenDate {

namespace {

// How far behind a name its value may end (blanks, quotes, fraction and
// zone included); windows overlap by more than a name and this.
constexpr size_t kValueSpan = 96;
constexpr size_t kOverlap = 256;
constexpr size_t kMostDates = 8;

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The value of the property whose name stands at [name, nameEnd) of the
// `size` bytes at `text`: false when it is no property there (the name
// inside another word, an end tag) or its value does not end in the text.
// A name that starts with '<' is its element's start itself.
bool ValueOf(const unsigned char* text, size_t size, size_t name, size_t nameEnd, size_t& from, size_t& to) {
  const bool element = text[name] == '<' || (name > 0 && text[name - 1] == '<');
  if (!element && (name == 0 || !IsBlank(text[name - 1]))) return false;
  const size_t limit = std::min(size, nameEnd + kValueSpan);
  size_t i = nameEnd;
  while (i < limit && IsBlank(text[i])) ++i;
  if (i >= limit) return false;
  unsigned char close = 0;
  if (text[i] == '=' && !element) {  // an attribute
    for (++i; i < limit && IsBlank(text[i]);) ++i;
    if (i >= limit || (text[i] != '"' && text[i] != '\'')) return false;
    close = text[i++];
  } else if (text[i] == '>' && element) {
    close = '<';
    ++i;
  } else {
    return false;
  }
  while (i < limit && IsBlank(text[i])) ++i;
  from = i;
  while (i < limit && text[i] != close) ++i;
  if (i >= limit) return false;
  to = i;
  while (to > from && IsBlank(text[to - 1])) --to;
  return true;
}

// The first valid value of `date` in the text, or kNone.
Moment Search(const unsigned char* text, size_t size, const TextDate& date) {
  const std::string_view all(reinterpret_cast<const char*>(text), size);
  for (size_t at = all.find(date.name); at != std::string_view::npos; at = all.find(date.name, at + 1)) {
    size_t from = 0, to = 0;
    if (!ValueOf(text, size, at, at + date.name.size(), from, to)) continue;
    const Moment moment = date.parse(text + from, to - from);
    if (moment.kind != Kind::kNone) return moment;
  }
  return {};
}

constexpr TextDate kXmpDates[] = {
    {"exif:DateTimeOriginal", Rank::kXmp, FromIsoText},
    {"photoshop:DateCreated", Rank::kXmp, FromIsoText},
    {"xmp:CreateDate", Rank::kXmp, FromIsoText},
};

}  // namespace

void FromText(Source& source, uint64_t start, uint64_t length, const TextDate* dates, size_t count,
              Findings& found) {
  count = std::min(count, kMostDates);
  Moment moments[kMostDates];
  const uint64_t end = Fits(start, length, UINT64_MAX) ? start + length : UINT64_MAX;
  uint64_t pos = start;
  for (int step = 0; step < kMostSteps && pos < end; ++step) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(end - pos, kScratchBytes));
    size_t size = 0;
    const unsigned char* text = source.Upto(pos, want, size);
    if (text == nullptr) break;
    for (size_t k = 0; k < count; ++k) {
      if (moments[k].kind == Kind::kNone) moments[k] = Search(text, size, dates[k]);
    }
    // The best of them found: no later window can change the answer.
    if (moments[0].kind != Kind::kNone || size < want || size >= end - pos || size <= kOverlap) break;
    pos += size - kOverlap;
  }
  for (size_t k = 0; k < count; ++k) found.Offer(dates[k].rank, moments[k]);
}

void FromXmp(Source& source, uint64_t start, uint64_t length, Findings& found) {
  if (found.Settled(Rank::kXmp)) return;
  FromText(source, start, length, kXmpDates, std::size(kXmpDates), found);
}

bool IsXmpFile(const unsigned char* head, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(head), size);
  size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (at < size && IsBlank(head[at])) ++at;
  const std::string_view rest = text.substr(at);
  if (rest.starts_with("<?xpacket") || rest.starts_with("<x:xmpmeta")) return true;
  return rest.starts_with("<?xml") && (rest.find("<?xpacket") != std::string_view::npos ||
                                       rest.find("<x:xmpmeta") != std::string_view::npos);
}

}  // namespace TakenDate
