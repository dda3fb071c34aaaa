// Long paths: the extended-length forms of drive ("\\?\C:\...") and share
// ("\\?\UNC\server\share") paths, and the question what a path names, also
// for paths of 260 characters and more. Apart from the prefix a path is
// never changed (but for one without its drive, which takes the current
// one): nothing else is made absolute or resolved. Where the platform
// has no such prefixes (POSIX) the paths stay as they are and the query asks
// the file system directly.
#pragma once

#include <cstdint>

#include "base/Constants.h"
#include "base/Text.h"

namespace LPS {

// The path in extended-length form (drive and share paths), or unchanged;
// a path from the current drive's root without its drive ("\", "\photos")
// is made full first ("\\?\Y:\photos"). With FlagExpandEnv, %NAME%
// references are expanded first.
Text ToLongPath(const Text& path, int64_t flags);

// The path without its extended-length prefix, or unchanged.
Text FromLongPath(const Text& path);

// What the path names: the size of a file (0 or more), IsAFolder (-2) for a
// folder, drive root or share root, NotFound (-1) for nothing or a failure.
// FlagExpandEnv expands first, FlagLongForm then converts with ToLongPath.
int64_t ProbePath(const Text& path, int64_t flags);

// True exactly when ProbePath of the prepared path gives IsAFolder.
bool IsFolder(const Text& path, int64_t flags);

}  // namespace LPS
