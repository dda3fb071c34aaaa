// The files a run writes itself: its reports, charts and temporary files,
// which a folder the run counts must not count (a report written into the
// folder it counts would count in the next run).
#pragma once

#include <set>

#include "base/Text.h"
#include "platform/Entry.h"

class OwnFiles {
 public:
  // The run writes the files `names` into the folder `folder` ("" is the
  // current folder), and its temporary files beside them.
  OwnFiles(const Text& folder, const std::set<Text>& names);

  // Whether the file `name` of the folder `folder` (as a walk names it) is
  // one of them: one of the names, or a temporary file of this process,
  // in the same folder (by its identity, so any way to name it counts).
  bool Holds(const Text& folder, TextView name);

 private:
  Text Key(TextView name) const;

  bool known_ = false;  // the identity of the output folder could be had
  Platform::FolderId id_;
  Text path_;             // the output folder's full path, where its identity has no index
  std::set<Text> names_;  // on Windows upper-cased, as names there compare
  Text lastFolder_;       // the folder asked about last, and whether it is the output folder
  bool lastIsOutput_ = false;
};
