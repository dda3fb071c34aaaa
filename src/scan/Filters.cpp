// The scanner's name filters: extension lists and folder words.
#include "scan/Filters.h"

#include "base/Conventions.h"
#include "platform/TextCase.h"

namespace ScanDir {

bool ParseFilterList(KeyedTable& set, const Text& text) {
  if (text.empty()) return false;
  set.Clear();
  const char16_t separator = text.find(u'|') != Text::npos ? u'|' : u';';
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    set.Add(Platform::ToLower(TextView(text).substr(start, end - start)));
    if (end == Text::npos) break;
    start = end + 1;
  }
  return true;
}

Text Extension(TextView name) {
  for (size_t i = name.size(); i-- > 0;) {
    const char16_t c = name[i];
    if (c == u' ' || c == u'/' || c == u'\\') return Text();
    if (c != u'.') continue;
    if (i == 0 || name[i - 1] == u'/' || name[i - 1] == u'\\') return Text();
    const TextView rest = name.substr(i + 1);
    return Text(rest.substr(0, rest.find(u'"')));
  }
  return Text();
}

bool ExtensionListed(const KeyedTable& set, TextView extension) {
  if (set.Empty() || extension.empty()) return false;
  return set.Contains(Platform::ToLower(extension));
}

Text PrepareExtensions(const Text& list) {
  Text prepared;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(u";,| ", start);
    if (end == Text::npos) end = list.size();
    TextView entry = TextView(list).substr(start, end - start);
    start = end + 1;
    if (entry == u"*.*") entry = u"*";
    if (entry.starts_with(u"*.")) entry.remove_prefix(2);
    if (entry.starts_with(u'.')) entry.remove_prefix(1);
    if (entry.empty()) continue;
    if (!prepared.empty()) prepared += u'|';
    prepared += entry;
  }
  return prepared;
}

bool NameListed(const KeyedTable& set, TextView name) {
  if (set.Empty()) return false;
  if (set.Contains(u"*") || ExtensionListed(set, Extension(name))) return true;
  // A key such as "tar.gz": the text after an earlier "." of the name, which
  // needs two dots at least.
  const size_t first = name.find(u'.', 1);
  if (first == TextView::npos || name.find(u'.', first + 1) == TextView::npos) return false;
  const Text lowered = Platform::ToLower(name);
  for (size_t dot = lowered.find(u'.', 1); dot != Text::npos; dot = lowered.find(u'.', dot + 1)) {
    const TextView tail = TextView(lowered).substr(dot + 1);
    if (tail.find(u'.') != TextView::npos && tail.find(u' ') == TextView::npos && set.Contains(tail))
      return true;
  }
  return false;
}

bool PathMatches(TextView path, const KeyedTable& set) {
  if (path.empty() || set.Empty()) return false;
  const Text lowered = Platform::ToLower(path);
  bool found = false;
  set.ForEach([&](const Text& key, const Text&) {
    if (!found && !key.empty()) found = lowered.find(key) != Text::npos;
  });
  return found;
}

namespace {

// The units of the character at `at` of `text`: 2 for a surrogate pair.
size_t CharacterUnits(TextView text, size_t at) {
  const bool pair = at + 1 < text.size() && text[at] >= 0xD800 && text[at] <= 0xDBFF &&
                    text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF;
  return pair ? 2 : 1;
}

Text AsNamesCompare(TextView name) {
  return Platform::kNamesIgnoreCase ? Platform::ToUpper(name) : Text(name);
}

}  // namespace

bool WildcardMatches(TextView pattern, TextView name) {
  // The last "*" and where its run ends so far: on a mismatch that run
  // takes one character more.
  size_t p = 0, n = 0, star = TextView::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && pattern[p] == u'?') {
      ++p;
      n += CharacterUnits(name, n);
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (star != TextView::npos) {
      p = star + 1;
      resume += CharacterUnits(name, resume);
      n = resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

FolderNames::FolderNames(TextView list) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(u";,|", start);
    if (end == TextView::npos) end = list.size();
    const Text entry = TrimSpaces(list.substr(start, end - start));
    start = end + 1;
    if (!entry.empty()) entries_.push_back(AsNamesCompare(entry));
  }
}

bool FolderNames::Matches(TextView name) const {
  if (entries_.empty()) return false;
  const Text compared = AsNamesCompare(name);
  for (const Text& entry : entries_) {
    if (WildcardMatches(entry, compared)) return true;
  }
  return false;
}

}  // namespace ScanDir
