// Questions about paths: attributes, what a path names, whether a folder
// can be listed, full paths and drive types.
#pragma once

#include <cstdint>

#include "base/Outcome.h"
#include "base/Text.h"
#include "platform/Entry.h"

namespace Platform {

// The attribute word of `path` (the kAttr* bits of platform/Search.h);
// false when it cannot be read.
bool FileAttributes(const Text& path, uint32_t& attributes);

// Follows links to what `path` names: a folder, or a file with its size.
// False when nothing is there or it cannot be asked.
bool StatPath(const Text& path, bool& isDirectory, uint64_t& size);

// Whether the folder `path` can be listed; when not, why, in the system's
// own words ("No such file or directory", "Not a directory", "Permission
// denied").
Done CanList(const Text& path);

// The full path of `path` (POSIX: with links, "." and ".." resolved;
// Windows: made absolute, "." and ".." resolved), or "" when it cannot be
// had (POSIX: the path does not exist).
Text FullPath(const Text& path);

// The identity of the folder `path` names, links followed; false when it
// cannot be had.
bool FolderIdentity(const Text& path, FolderId& id);

// The drive type of a root path: 0 unknown, 1 no root directory, above 1 a
// usable volume (POSIX: 3 for an existing folder, else 1).
uint32_t DriveType(const Text& root);

}  // namespace Platform
