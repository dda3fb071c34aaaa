#include "base/Paths.h"

#include "base/Conventions.h"

namespace Paths {

namespace {

// The length of a Windows drive in front of `path` ("C:" or "\\?\C:"), or 0.
size_t DriveLength(TextView path) {
  if (!Platform::kWindowsPaths) return 0;
  constexpr TextView kPrefix = u"\\\\?\\";
  const size_t at = path.starts_with(kPrefix) ? kPrefix.size() : 0;
  const bool drive = path.size() >= at + 2 && IsAsciiLetter(path[at]) && path[at + 1] == u':';
  return drive ? at + 2 : 0;
}

// Whether `path` starts with the two separators of a share name (Windows,
// whichever separators they are; "\\?\C:" is a drive).
bool ShareStart(TextView path) {
  return Platform::kWindowsPaths && DriveLength(path) == 0 && path.size() >= 2 && IsSeparator(path[0]) &&
         IsSeparator(path[1]);
}

// The length of the root at the start of `path`: its drive and one
// separator, or one separator; 0 when the path starts with neither, or
// with a share name.
size_t RootLength(TextView path) {
  if (ShareStart(path)) return 0;
  const size_t drive = DriveLength(path);
  return path.size() > drive && IsSeparator(path[drive]) ? drive + 1 : 0;
}

}  // namespace

bool IsSeparator(char16_t unit) {
  for (const char16_t* s = Platform::kNameSeparators; *s != 0; ++s) {
    if (*s == unit) return true;
  }
  return false;
}

TextView Trimmed(TextView path) {
  size_t end = path.size();
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  // Nothing but the root's own separators went: the root keeps one, and
  // the start of a share name its two.
  const size_t root = ShareStart(path) ? 2 : RootLength(path);
  if (root > 0 && end < root) end = root;
  return path.substr(0, end);
}

bool OnCurrentDrive(TextView path) {
  return Platform::kWindowsPaths && !ShareStart(path) && RootLength(path) == 1;
}

bool IsRoot(TextView path) {
  const TextView trimmed = Trimmed(path);
  return !trimmed.empty() && trimmed.size() == RootLength(trimmed);
}

TextView LastComponent(TextView path) {
  const TextView trimmed = Trimmed(path);
  if (IsRoot(trimmed)) return TextView();
  return trimmed.substr(FolderOf(trimmed).size());
}

TextView FolderOf(TextView path) {
  size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

Text Join(TextView folder, TextView name) {
  Text joined(folder);
  if (!joined.empty() && !IsSeparator(joined.back())) joined += Platform::kSeparator;
  return joined.append(name);
}

Text AsFolder(TextView path) {
  Text folder(Trimmed(path));
  if (!folder.empty() && !IsSeparator(folder.back())) folder += Platform::kSeparator;
  return folder;
}

Text UsableFileName(TextView name) {
  if (!Platform::kWindowsPaths) return Text(name);
  // "C:" names no file but drive C's current folder: "C:.txt" would land
  // there as ".txt".
  if (name.size() == 2 && DriveLength(name) == 2) return Text(1, name[0]);
  Text usable(name);
  for (char16_t& unit : usable) {
    if (unit < 0x20 || TextView(u"<>:\"/\\|?*").find(unit) != TextView::npos) unit = u'_';
  }
  return usable;
}

Text ReportName(const Text& folder, FullPathOf fullPath) {
  TextView path = Trimmed(folder);
  TextView name = LastComponent(path);
  Text resolved;
  // "." and "..", and a root without its drive, are named after the folder
  // they stand for.
  const bool dots = name == u"." || name == u"..";
  if (dots || (IsRoot(path) && OnCurrentDrive(path))) {
    resolved = fullPath(folder);
    if (!resolved.empty()) {
      path = Trimmed(resolved);
      name = LastComponent(path);
    }
  }
  if (IsRoot(path)) {
    // The POSIX root has no name of its own; a drive is named by its letter.
    if (!Platform::kWindowsPaths) return u"root";
    const size_t drive = DriveLength(path);
    if (drive > 0) return Text(1, path[drive - 2]);
  }
  return UsableFileName(name);
}

}  // namespace Paths
