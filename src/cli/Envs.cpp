#include "cli/Envs.h"

#include "platform/Process.h"
#include "platform/TextCase.h"

namespace Envs {

KeyedTable Vars;

namespace {

bool loaded = false;

// Replaces every occurrence of `token` in `text`, left to right and without
// overlap, by `value`; the letters A to Z match in either case, every other
// unit exactly. Once the result passes kMaxExpandedLength the rest of `text`
// is kept as written: values that hold references to each other would
// otherwise double the text with every token.
Text ReplaceToken(const Text& text, TextView token, TextView value) {
  Text out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (out.size() > kMaxExpandedLength) return out.append(text, i);
    bool match = text.size() - i >= token.size();
    for (size_t k = 0; match && k < token.size(); ++k) {
      match = AsciiLowerUnit(text[i + k]) == AsciiLowerUnit(token[k]);
    }
    if (match) {
      out += value;
      i += token.size();
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

}  // namespace

Text KeyOf(TextView name) {
  Text key;
  const bool strip = name.find(u'(') != TextView::npos;
  for (char16_t c : name) {
    if (!strip || (c != u'(' && c != u')')) key.push_back(c);
  }
  return Platform::ToUpper(key);
}

void StoreEntries(const std::vector<Text>& entries) {
  for (const Text& entry : entries) {
    const size_t eq = entry.find(u'=');
    const TextView name = TextView(entry).substr(0, eq == Text::npos ? 0 : eq);
    // Hidden entries such as "=C:=C:\dir" have an empty name.
    if (name.empty()) continue;
    Vars.Set(KeyOf(name), entry.substr(eq + 1));
  }
}

bool Load() {
  if (loaded) return true;
  loaded = true;  // set first: a failed load is not repeated
  std::vector<Text> entries;
  if (Platform::EnvironmentEntries(entries)) StoreEntries(entries);
  return !Vars.Empty();
}

Text Expand(const Text& text) {
  const size_t percents = CountUnits(text, u'%');
  if (percents == 0 || percents % 2 != 0) return text;

  // Pair the signs in order: 1st with 2nd, 3rd with 4th, ...
  KeyedTable tokens;
  for (size_t open = text.find(u'%'); open != Text::npos;) {
    const size_t close = text.find(u'%', open + 1);
    tokens.Add(Platform::ToUpper(TextView(text).substr(open, close - open + 1)));
    open = text.find(u'%', close + 1);
  }

  Text result = text;
  tokens.ForEach([&](const Text& token, const Text&) {
    if (result.size() > kMaxExpandedLength) return;  // expanding has stopped
    const Text* value = Vars.Find(TextView(token).substr(1, token.size() - 2));
    if (value != nullptr) result = ReplaceToken(result, token, *value);
  });
  return result;
}

}  // namespace Envs
