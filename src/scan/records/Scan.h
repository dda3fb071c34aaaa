// The scanner's records made by a walk: one FolderRecord per admitted
// folder, holding the FileRecords of the files directly inside it, with
// depths, dates and attributes filled as asked, and sorted as asked.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Text.h"
#include "scan/Walk.h"
#include "scan/records/Records.h"

namespace ScanDir {

// The result list the driver hands to Scan.
extern FolderList Folders;
// Work list: the files of the folder being listed; empty between folders.
extern FileList FoundFiles;
// Work list: the folders gathered below the current root, in walk order.
extern FolderList PendingFolders;

// Empties the four filter sets, then FoundFiles, PendingFolders and
// Folders, and clears the current root. Always returns true.
bool Reset();

// Scans the roots (separated by "|" or CR LF where Platform::kRootLists;
// else `roots` is one path) into `results`, which it only
// appends to. Each folder is searched once, for its files and subfolders
// together, and gets its record (when admitted) before its subfolders:
// depth first, pre-order, siblings in delivery order. Returns with
// ReturnFileCount the number of file records made; else with FoldersOnly
// the number of records in `results` minus the number of root fields; else
// that plus the number of file records made.
// The folders that could not be read in full go to `unread` when given.
int64_t Scan(FolderList& results, const Text& roots, const Text& extensions, int64_t levels, int64_t flags,
             int64_t folderSort, int64_t fileSort, const Text& skipExtensions, const Text& folderWords,
             const Text& skipFolderWords, std::vector<UnreadFolder>* unread = nullptr);

// The walk of Scan without files: adds a record for each admitted subfolder
// of `folder` (ending in a separator; levels counted from it) to `pending`,
// and returns the number of records in `pending`.
int64_t WalkFolders(FolderList& pending, const Text& folder, int64_t levels, int64_t flags,
                    const Text& folderWords, const Text& skipFolderWords);

// The listing of Scan for one folder: adds a record for every admitted file
// directly inside `folder` (ending in a separator) to `found`; returns the
// number added.
int64_t ListFiles(FileList& found, const Text& folder, const Text& extensions, int64_t flags,
                  const Text& skipExtensions);

// The number of path separators in `path`.
int64_t DepthOf(TextView path);

}  // namespace ScanDir
