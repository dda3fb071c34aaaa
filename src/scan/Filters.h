// The scanner's name filters: extension lists, folder words and folder
// names.
#pragma once

#include <vector>

#include "base/KeyedTable.h"
#include "base/Text.h"

namespace ScanDir {

// Fills `set` with the lower-cased words of `text` (separated by "|" when it
// holds one, else by ";"). False, and `set` untouched, when `text` is empty.
bool ParseFilterList(KeyedTable& set, const Text& text);

// True when the lower-cased, non-empty `extension` is a key of `set`.
bool ExtensionListed(const KeyedTable& set, TextView extension);

// An extension list as users write it, made a list of plain extensions
// separated by "|": entries are separated by ";", ",", "|" and spaces;
// "jpg", ".jpg" and "*.jpg" are the same entry; "*" and "*.*" become "*",
// every file; "tar.gz" stays as it is; empty entries are dropped.
Text PrepareExtensions(const Text& list);

// Whether the file `name` is listed in `set`, filled from a prepared list:
// every name with the key "*"; else when its extension, or for a key with
// a dot inside the text after any "." of the name but its first character
// ("tar.gz" for "a.tar.gz"), is a key. Letter case is ignored.
bool NameListed(const KeyedTable& set, TextView name);

// True when some key of `set` occurs in `path`, letter case ignored.
bool PathMatches(TextView path, const KeyedTable& set);

// The extension of a file name without its ".": the text after the last
// ".", or "" when that "." starts the name or a space or separator follows it.
Text Extension(TextView name);

// Folder names as users write them (the skip switch): entries separated by
// ";", "," and "|", the spaces around an entry dropped (a space inside one
// belongs to the name: "System Volume Information"), empty entries dropped.
// A name matches an entry whole, "*" standing for any run of characters
// and "?" for any one; letter case counts as the platform's file names
// compare (Platform::kNamesIgnoreCase).
class FolderNames {
 public:
  FolderNames() = default;
  explicit FolderNames(TextView list);
  bool Empty() const { return entries_.empty(); }
  // Whether the name `name` matches one of the entries.
  bool Matches(TextView name) const;

 private:
  std::vector<Text> entries_;  // upper-cased where names ignore case
};

// Whether all of `name` matches `pattern`, where "*" stands for any run of
// characters and "?" for any one (a surrogate pair is one); every other
// unit stands for itself.
bool WildcardMatches(TextView pattern, TextView name);

}  // namespace ScanDir
