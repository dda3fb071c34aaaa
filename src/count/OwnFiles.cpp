#include "count/OwnFiles.h"

#include "base/Conventions.h"
#include "base/Paths.h"
#include "io/ReportFile.h"
#include "platform/FileSystem.h"
#include "platform/TextCase.h"

namespace {

// The full path of a folder as a key: trimmed, letter case folded where
// names ignore it; "" when it cannot be had.
Text PathKey(const Text& folder) {
  const Text full = Platform::FullPath(folder.empty() ? Text(u".") : folder);
  const Text trimmed(Paths::Trimmed(full));
  return Platform::kNamesIgnoreCase ? Platform::ToUpper(trimmed) : trimmed;
}

}  // namespace

OwnFiles::OwnFiles(const Text& folder, const std::set<Text>& names) {
  known_ = Platform::FolderIdentity(folder.empty() ? Text(u".") : folder, id_);
  // A file system that gives no folder an index of its own: by its path.
  if (id_.index == 0) path_ = PathKey(folder);
  known_ = known_ || !path_.empty();
  for (const Text& name : names) names_.insert(Key(name));
}

Text OwnFiles::Key(TextView name) const {
  return Platform::kNamesIgnoreCase ? Platform::ToUpper(name) : Text(name);
}

bool OwnFiles::Holds(const Text& folder, TextView name) {
  if (!known_ || (!names_.contains(Key(name)) && !IsOwnTemporaryName(name))) return false;
  // Only a name of the run's own asks which folder it lies in, once per folder.
  if (folder != lastFolder_) {
    Platform::FolderId id;
    lastFolder_ = folder;
    lastIsOutput_ =
        id_.index != 0 ? Platform::FolderIdentity(folder, id) && id == id_ : PathKey(folder) == path_;
  }
  return lastIsOutput_;
}
