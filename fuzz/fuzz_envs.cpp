// %NAME% expansion with a fuzzed environment table. Input: the text to
// expand on the first line, then one "name=value" entry a line.
#include <algorithm>

#include "FuzzSupport.h"
#include "cli/Envs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> lines = Fuzz::Lines(data, size);
  const Text text = Fuzz::ToText(lines[0]);
  std::vector<Text> entries;
  size_t longestValue = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    entries.push_back(Fuzz::ToText(lines[i]));
    longestValue = std::max(longestValue, entries.back().size());
  }
  Envs::Vars.Clear();
  Envs::StoreEntries(entries);
  FUZZ_CHECK(Envs::Vars.Size() <= entries.size());

  const Text expanded = Envs::Expand(text);
  // Bounded, whatever the values refer to.
  FUZZ_CHECK(expanded.size() <= std::max(text.size(), 2 * Envs::kMaxExpandedLength + longestValue));
  // Deterministic: the same table gives the same text.
  FUZZ_CHECK(Envs::Expand(text) == expanded);
  // Nothing to pair, or nothing known: the text stays as it is.
  const size_t percents = CountUnits(text, u'%');
  if (percents % 2 != 0 || Envs::Vars.Empty()) FUZZ_CHECK(expanded == text);
  // Every stored variable is found under the key of its name, any letter case.
  for (const Text& entry : entries) {
    const size_t eq = entry.find(u'=');
    if (eq == 0 || eq == Text::npos) continue;
    FUZZ_CHECK(Envs::Vars.Contains(Envs::KeyOf(entry.substr(0, eq))));
  }
  Envs::Vars.Clear();
  return 0;
}
