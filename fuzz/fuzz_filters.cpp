// The scanner's name filters: extension and folder-word lists, the
// extension rule and path matching. Input: the list on the first line, a
// file name or path as the rest.
#include "FuzzSupport.h"
#include "platform/TextCase.h"
#include "scan/ScanDir.h"

namespace {

std::vector<Text> WordsOf(const Text& list) {
  const char16_t separator = list.find(u'|') != Text::npos ? u'|' : u';';
  std::vector<Text> words;
  size_t start = 0;
  for (size_t end = list.find(separator); end != Text::npos; end = list.find(separator, start)) {
    words.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  words.push_back(list.substr(start));
  return words;
}

void CheckList(const Text& list, KeyedTable& set) {
  set.Clear();
  set.Add(u"earlier");
  const bool parsed = ScanDir::ParseFilterList(set, list);
  FUZZ_CHECK(parsed == !list.empty());
  if (!parsed) {
    FUZZ_CHECK(set.Size() == 1 && set.Contains(u"earlier"));  // untouched
    return;
  }
  const std::vector<Text> words = WordsOf(list);
  FUZZ_CHECK(set.Size() <= words.size());
  for (const Text& word : words) {
    FUZZ_CHECK(set.Contains(Platform::ToLower(word)));
    FUZZ_CHECK(ScanDir::ExtensionListed(set, word) == !word.empty());
  }
}

void CheckExtension(const Text& name) {
  const Text extension = ScanDir::Extension(name);
  FUZZ_CHECK(extension.find_first_of(u". /\\\"") == Text::npos);
  if (!extension.empty()) FUZZ_CHECK(name.find(u"." + extension) != Text::npos);
  // The extension belongs to the last name of a path.
  FUZZ_CHECK(ScanDir::Extension(u"dir.d/" + name) == extension);
  FUZZ_CHECK(ScanDir::Extension(name + u"/") == Text());
}

void CheckPathMatch(const Text& path, const KeyedTable& set) {
  const Text lowered = Platform::ToLower(path);
  const bool matches = ScanDir::PathMatches(path, set);
  bool some = false;
  set.ForEach([&](const Text& key, const Text&) {
    some = some || (!key.empty() && lowered.find(key) != Text::npos);
  });
  FUZZ_CHECK(matches == some);
  if (matches) FUZZ_CHECK(ScanDir::PathMatches(u"x/" + path + u"/y", set));  // more text still matches
  // An empty word matches nothing: "zzz|" holds "zzz" and "".
  KeyedTable zzz;
  ScanDir::ParseFilterList(zzz, u"zzz|");
  FUZZ_CHECK(ScanDir::PathMatches(path, zzz) == (lowered.find(u"zzz") != Text::npos));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> fields = Fuzz::Fields(data, size, 2);
  const Text list = Fuzz::ToText(fields[0]);
  const Text path = Fuzz::ToText(fields[1]);
  KeyedTable set;
  CheckList(list, set);
  CheckExtension(path);
  CheckPathMatch(path, set);
  return 0;
}
