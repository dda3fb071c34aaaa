#include "scan/LPS.h"

#include "base/Conventions.h"
#include "base/Paths.h"
#include "cli/Envs.h"
#include "platform/FileSystem.h"
#include "platform/Search.h"
#include "platform/TextCase.h"

namespace LPS {

namespace {

constexpr TextView kPrefix = u"\\\\?\\";        // \\?\.
constexpr TextView kUncPrefix = u"\\\\?\\UNC";  // \\?\UNC

bool HasPrefix(const Text& path) { return path.starts_with(kPrefix); }

Text Prepare(const Text& path, int64_t flags) {
  Text prepared = (flags & FlagExpandEnv) ? Envs::Expand(path) : path;
  if (flags & FlagLongForm) prepared = ToLongPath(prepared, 0);
  return prepared;
}

// What a directory search on `pattern` finds first: IsAFolder, a size, or
// NotFound.
int64_t FirstEntry(const Text& pattern, bool& found) {
  Platform::DirSearch search;
  Platform::DirEntry entry;
  found = search.Open(pattern, 0).status == Platform::SearchStatus::kOpened && search.Next(entry);
  if (!found) return NotFound;
  return entry.IsDirectory() ? IsAFolder : static_cast<int64_t>(entry.size);
}

// The query on a path in ordinary form, without trailing separators (a
// drive root may keep its own).
int64_t FileQuery(const Text& path) {
  if (path.empty()) return NotFound;
  if ((path.size() == 2 || path.size() == 3) && path[1] == u':') {
    return Platform::DriveType(Paths::AsFolder(path)) > 1 ? IsAFolder : NotFound;
  }
  bool found = false;
  const int64_t result = FirstEntry(path, found);
  if (found) return result;
  // A bare share root cannot be listed; its attributes or its drive type
  // tell that it is a folder.
  if (path.starts_with(u"\\\\") || path.starts_with(u"..")) {
    uint32_t attributes = 0;
    if (Platform::FileAttributes(path, attributes)) {
      return (attributes & Platform::kAttrDirectory) ? IsAFolder : NotFound;
    }
    return Platform::DriveType(path) > 1 ? IsAFolder : NotFound;
  }
  return NotFound;
}

// Long paths: the last component looked up in its parent's listing, whose
// prefixed path the platform accepts at any length.
int64_t ParentListingQuery(const Text& path) {
  const TextView parent = Paths::FolderOf(path);
  const Text name(TextView(path).substr(parent.size()));
  const Text pattern = Paths::Join(parent, name.empty() ? Text(u"*.*") : name);

  Platform::DirSearch search;
  if (search.Open(pattern, 0).status == Platform::SearchStatus::kFailed) return NotFound;
  // Only an entry whose own name equals the looked-up one counts, not one
  // that merely matches the pattern (a wildcard, or a short alias).
  const Text wanted = Platform::ToLower(TrimSpaces(name));
  int64_t result = NotFound;
  Platform::DirEntry entry;
  while (search.Next(entry)) {
    if (entry.name == u"." || entry.name == u"..") continue;
    if (Platform::ToLower(TrimSpaces(entry.name)) != wanted) continue;
    result = entry.IsDirectory() ? IsAFolder : static_cast<int64_t>(entry.size);
  }
  return result;
}

// POSIX: no prefixes and no length limit to work around; ask the file
// system about the path itself (trailing separators do not matter, as on
// Windows).
int64_t StatQuery(const Text& path) {
  if (path.empty()) return NotFound;
  bool isDirectory = false;
  uint64_t size = 0;
  if (!Platform::StatPath(path, isDirectory, size)) return NotFound;
  return isDirectory ? IsAFolder : static_cast<int64_t>(size);
}

}  // namespace

Text ToLongPath(const Text& path, int64_t flags) {
  Text expanded = (flags & FlagExpandEnv) ? Envs::Expand(path) : path;
  if (!Platform::kLongPathPrefixes || HasPrefix(expanded)) return expanded;
  // A path from the current drive's root gets that drive ("\" is "Y:\"):
  // searches refuse a root without one.
  if (Paths::OnCurrentDrive(expanded)) {
    if (Text full = Platform::FullPath(expanded); !full.empty()) expanded = std::move(full);
  }
  if (expanded.size() >= 2 && expanded[1] == u':') return Text(kPrefix) + expanded;
  if (expanded.starts_with(u"\\\\")) return Text(kUncPrefix) + expanded.substr(1);
  return expanded;
}

Text FromLongPath(const Text& path) {
  if (!Platform::kLongPathPrefixes || !HasPrefix(path)) return path;
  if (Platform::ToUpper(TextView(path).substr(0, kUncPrefix.size())) == kUncPrefix) {
    Text share(1, u'\\');
    return share.append(path, kUncPrefix.size());
  }
  return path.substr(kPrefix.size());
}

int64_t ProbePath(const Text& path, int64_t flags) {
  const Text prepared(Paths::Trimmed(Prepare(path, flags)));
  if (!Platform::kLongPathPrefixes) return StatQuery(prepared);
  if (prepared.size() < LongPathThreshold) return FileQuery(FromLongPath(prepared));
  return ParentListingQuery(prepared);
}

bool IsFolder(const Text& path, int64_t flags) { return ProbePath(Prepare(path, flags), 0) == IsAFolder; }

}  // namespace LPS
