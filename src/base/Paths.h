// Folder-path text: the one place that knows how paths are written on the
// platform the program is built for. Separators are "/" on POSIX and both
// "\" and "/" on Windows (Platform::kNameSeparators); new separators are
// written as Platform::kSeparator. A root keeps a separator of its own: the
// POSIX "/", a Windows drive root ("C:\", "\\?\C:\") and a lone "\" or
// "/", the root of the current drive. On Windows two separators in front,
// whichever they are ("\\", "//", "\/"), start a share name
// ("\\server\share"), also when nothing follows them: that is no root.
// Nothing here asks the file system; a path is never made absolute or
// resolved, except where ReportName is handed a way to do so.
#pragma once

#include "base/Text.h"

namespace Paths {

// Whether `unit` separates the components of a path.
bool IsSeparator(char16_t unit);

// `path` without its trailing separators, all of them; a root keeps its own
// ("p//" gives "p", "//" on POSIX "/", "C:\\" on Windows "C:\"), and the
// start of a Windows share name its two ("\\\" gives "\\").
TextView Trimmed(TextView path);

// Whether `path` (trailing separators aside) is a root: "/" on POSIX; on
// Windows a drive root with its separator ("C:\", "\\?\C:\") or one
// separator alone ("\", "/": the current drive's).
bool IsRoot(TextView path);

// Windows: whether `path` starts at the root of the current drive without
// naming the drive: one separator, not two ("\", "/.", "\photos"). Always
// false on POSIX.
bool OnCurrentDrive(TextView path);

// The last component of `path`, trailing separators aside: "c" of "a/b/c//";
// "" for a root and for "".
TextView LastComponent(TextView path);

// Everything of `path` up to and including its last separator; "" when it
// has none.
TextView FolderOf(TextView path);

// `name` inside `folder`: one separator between them, none added when
// `folder` is empty or already ends in one.
Text Join(TextView folder, TextView name);

// `path` as a folder ends: trimmed, then one separator (a root already has
// it). "" stays "".
Text AsFolder(TextView path);

// `name` as a file name the platform can hold. Windows: a drive ("C:") is
// named by its letter alone, and each character file names cannot hold
// (<>:"/\|?* and control characters) becomes "_". POSIX: `name` unchanged.
Text UsableFileName(TextView name);

// Finds the full path of a folder ("" when it cannot): Platform::FullPath.
using FullPathOf = Text (*)(const Text& path);

// The base name of a folder's report: the last component of `folder`, made
// a name the platform can hold. A folder ending in "." or ".." is named
// after the last component of its full path; the POSIX root is "root"; a
// Windows drive root is named by its drive letter ("C:\" gives "C"), also
// when it is written without its drive ("\", through its full path).
Text ReportName(const Text& folder, FullPathOf fullPath);

}  // namespace Paths
