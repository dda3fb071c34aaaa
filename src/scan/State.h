// The scanner's module state: the filter sets of the current walk, the
// root being walked, how many folders a walk may hold open, and who is told
// of the files as they are listed and of the folders left out. The walk and the records' Scan both use
// it; Reset (records/Scan.h) empties it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/KeyedTable.h"
#include "base/Text.h"

namespace ScanDir {

// Filter sets, holding lower-cased words.
extern KeyedTable IncludeExtensions;
extern KeyedTable ExcludeExtensions;
extern KeyedTable IncludeFolderWords;
extern KeyedTable ExcludeFolderWords;
// The root being walked, ending in a separator.
extern Text CurrentRoot;
// How many folders a walk holds open at most for their subfolders to come;
// fewer when the platform has not the descriptors (Platform::FoldersToHold).
extern size_t MostHeldFolders;
// Told of the files a walk lists (for a progress line), with the number of
// files since the last call: every FilesPerTelling files while a folder is
// listed, and once when its result is made (`folderDone`); nobody when null.
extern void (*FilesListed)(const Text& folder, int64_t files, bool folderDone);
constexpr int64_t FilesPerTelling = 4096;
// Told of each subfolder a walk leaves out (WalkRules::skipNames and
// oneFileSystem), for a progress line; nobody when null.
extern void (*FoldersLeftOut)(const Text& path);

// Empties the four filter sets and clears the current root.
void ResetState();

}  // namespace ScanDir
