// Environment-variable expansion: the process environment is read once into
// Envs::Vars, and %NAME% references in a text are replaced by its values.
#pragma once

#include <vector>

#include "base/KeyedTable.h"
#include "base/Text.h"

namespace Envs {

// Variable values by key: the name, without "(" and ")" when it holds a "(",
// upper-cased by the platform.
extern KeyedTable Vars;

// Reads the environment into Vars on the first call only. Returns true when
// the table is usable: on the first call when at least one variable was
// stored, on every later call at once.
bool Load();

// Stores "name=value" entries into Vars as Load does: an entry with an empty
// name is skipped, a later entry wins over an earlier one with the same key.
void StoreEntries(const std::vector<Text>& entries);

// The key under which a variable of this name is stored.
Text KeyOf(TextView name);

// The length (the longest value the Windows environment holds) beyond which
// Expand replaces nothing more.
constexpr size_t kMaxExpandedLength = 32767;

// `text` with the references %NAME% of known variables replaced, in one pass.
// A text without "%", or with an odd number of them, comes back unchanged.
// Expanding stops once the text passes kMaxExpandedLength, keeping it as it
// stands then, so the result is never longer than the larger of the text's
// length and 2 * kMaxExpandedLength + the longest value.
Text Expand(const Text& text);

}  // namespace Envs
