// POSIX only: folders opened at any depth and the facts of one entry, which
// the search, the look-ahead and the path queries share.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/posix/Stat.h"

namespace Platform::posix {

// Opens the folder `path` (with `flags` besides O_DIRECTORY); -1 with errno
// on failure. A path the kernel finds too long is opened a component at a
// time, each relative to the folder before it.
int OpenFolder(const std::string& path, int flags);

// Opens the subfolder `name` of the open folder `parent` for listing; -1
// with errno on failure. A link in its place is followed only with
// `follow`: without, opening it fails (ELOOP), so a folder that a link has
// replaced since it was listed is not entered. The walk and its look-ahead
// open subfolders only through this, so that both meet the same answers.
int OpenSubfolder(int parent, const std::string& name, bool follow);

// The number of descriptors this process has open.
size_t OpenDescriptors();

// Whether what `name` (relative to `dirfd`) leads to, links followed, is a
// folder.
bool IsDirectoryBehind(int dirfd, const char* name);

// The facts of the entry `name` relative to `dirfd` (the link not followed;
// a link to a folder still counts as a folder), whose own name is
// `ownName`: 0, or the errno value of the failure.
int ReadEntry(int dirfd, const char* name, std::string_view ownName, bool withTimes, EntryInfo& info);

// ReadEntry of a path of any length.
int ReadPath(const std::string& path, std::string_view ownName, bool withTimes, EntryInfo& info);

// What `path` names, links followed, at any depth: 0, or the errno value
// of the failure.
int StatFollowing(const std::string& path, struct stat& st);

}  // namespace Platform::posix
