// The directory scanner: walks one or more root folders to a given depth,
// admits folders and files through name filters, and makes one FolderRecord
// per admitted folder holding the FileRecords of the files directly inside
// it. It can fill depths, dates and attributes and sort its results.
//
// Depth and levels: a root is level 0, its entries level 1. Levels n > 0
// records subfolders down to level n and lists their files; 0 lists the
// roots only; -1 (AllLevels) walks without limit; below -1 means 1.
//
// Links: a link to a folder (a symbolic link; on Windows any reparse point
// with the folder bit) is no file. With SkipFolderLinks a walk neither
// enters nor records it. Without, it is entered like a folder, and then
// each real folder (by its identity) is entered at most once in the walk
// of one root, whatever the levels: a second way to it gets no record.
//
// A walk is a loop over a stack, not a recursion: each subfolder is opened
// from its parent, which stays open while it has subfolders to come (at
// most MostHeldFolders of them at a time; a folder beyond that is opened
// again by its whole path when its next subfolder is due).
#pragma once

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "base/Constants.h"
#include "base/KeyedTable.h"
#include "scan/records/Records.h"
#include "base/Text.h"
#include "platform/Platform.h"

namespace ScanDir {

// The result list the driver hands to Scan.
extern FolderList Folders;
// Work list: the files of the folder being listed; empty between folders.
extern FileList FoundFiles;
// Work list: the folders gathered below the current root, in walk order.
extern FolderList PendingFolders;
// Filter sets, holding lower-cased words.
extern KeyedTable IncludeExtensions;
extern KeyedTable ExcludeExtensions;
extern KeyedTable IncludeFolderWords;
extern KeyedTable ExcludeFolderWords;
// The root being walked, ending in a separator.
extern Text CurrentRoot;
// A folder a walk could not read in full, and why in the system's words: a
// subfolder it could not list (its files are missing), a listing that
// failed before its end (the files after it are missing), a folder whose
// files' time stamps could not be read (they count with the date 0), a
// subfolder that another folder or a link took the place of (not entered).
struct UnreadFolder {
  Text path;  // with its separator
  Text reason;
};
// Every such folder of the walks since the last Reset, in walk order.
extern std::vector<UnreadFolder> UnreadFolders;
// How many folders a walk holds open at most for their subfolders to come;
// fewer when the platform has not the descriptors (Platform::FoldersToHold).
extern size_t MostHeldFolders;
// Told of the files a walk lists (for a progress line), with the number of
// files since the last call: every FilesPerTelling files while a folder is
// listed, and once when its result is made (`folderDone`); nobody when null.
extern void (*FilesListed)(const Text& folder, int64_t files, bool folderDone);
constexpr int64_t FilesPerTelling = 4096;

// Empties the four filter sets, then FoundFiles, PendingFolders, Folders and
// UnreadFolders, and clears the current root. Always returns true.
bool Reset();

// The date value of a file time stamp: its local wall-clock time with the
// zone rules in force at that time stamp; Dates::Unconverted (0) when the
// platform cannot convert it, Dates::OutOfRange (-1) outside 1970..2038.
int64_t DateOfStamp(Platform::FileTime stamp);

// The date value of when the file `entry` (read with its taken date) was
// taken: an Exif date as it stands, a movie's UTC time made local like a
// file stamp; where the file records none the program can show, the date of
// its last write, and `recorded` (when given) false.
int64_t DateOfTaken(const Platform::DirEntry& entry, bool* recorded = nullptr);

// Scans the roots (separated by "|" or CR LF where Platform::kRootLists;
// else `roots` is one path) into `results`, which it only
// appends to. Each folder is searched once, for its files and subfolders
// together, and gets its record (when admitted) before its subfolders:
// depth first, pre-order, siblings in delivery order. Returns with
// ReturnFileCount the number of file records made; else with FoldersOnly
// the number of records in `results` minus the number of root fields; else
// that plus the number of file records made.
int64_t Scan(FolderList& results, const Text& roots, const Text& extensions, int64_t levels, int64_t flags,
             int64_t folderSort, int64_t fileSort, const Text& skipExtensions, const Text& folderWords,
             const Text& skipFolderWords);

// What a walk hands on as it goes, depth first and pre-order: each root it
// starts, each folder it admits (the root, whose `entry` is null, or a
// subfolder, with its entry), each file of that folder that the extension
// lists admit (the entry valid for the call only), and the end of that
// folder's listing. A folder's files come between its Folder and its
// FolderDone; its subfolders after.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void Root(const Text& root) { (void)root; }
  virtual void Folder(const Text& path, const Platform::DirEntry* entry) { (void)path, (void)entry; }
  virtual void File(const Text& folder, const Platform::DirEntry& entry) = 0;
  // A file of that folder that the extension lists leave out.
  virtual void Skipped(const Text& folder, const Platform::DirEntry& entry) { (void)folder, (void)entry; }
  virtual void FolderDone(const Text& folder, int64_t files) { (void)folder, (void)files; }
};

// How a walk goes: `levels` as for Scan; whether it hands on files at all,
// with their time stamps, whether it enters links to folders and dates
// links to files by their files; the
// extension lists (prepared, PrepareExtensions) and the folder words.
struct WalkRules {
  WalkRules(int64_t levels, int64_t flags);  // from Scan's levels and flags
  int64_t levels = 0;
  bool files = true;
  bool withTimes = false;
  bool followLinks = false;
  bool linkTargets = false;  // links to files dated by their files
  bool taken = false;        // files' taken dates read (Platform::DirEntry::taken)
  Text extensions, skipExtensions, folderWords, skipFolderWords;
};

// Walks the roots as Scan does (filling the filter sets, setting the
// current root), handing everything to `sink` instead of making records;
// the number of files handed on. `fields` receives the number of root
// fields.
int64_t Walk(const Text& roots, const WalkRules& rules, Sink& sink, int64_t* fields = nullptr);

// The walk below one folder (ending in a separator; levels counted from
// it), which the sink has heard of when it is `admitted`.
int64_t WalkBelow(const Text& folder, bool admitted, const WalkRules& rules, Sink& sink);

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

// The real folders a walk has entered, by volume and index.
using EnteredFolders = std::set<std::pair<uint64_t, uint64_t>>;

// Whether the folder of identity `id` may be entered: true, and `id` kept
// in `entered`, the first time; always true for the index 0, which
// identifies nothing.
bool FirstEntry(EnteredFolders& entered, const Platform::FolderId& id);

// Fills `set` with the lower-cased words of `text` (separated by "|" when it
// holds one, else by ";"). False, and `set` untouched, when `text` is empty.
bool ParseFilterList(KeyedTable& set, const Text& text);

// True when the lower-cased, non-empty `extension` is a key of `set`.
bool ExtensionListed(const KeyedTable& set, TextView extension);

// An extension list as users write it, made a list of plain extensions
// separated by "|": entries are separated by ";", ",", "|" and spaces;
// "jpg", ".jpg" and "*.jpg" are the same entry; "*" and "*.*" become "*",
// every file; "tar.gz" stays as it is; empty entries are dropped.
Text PrepareExtensions(const Text& list);

// Whether the file `name` is listed in `set`, filled from a prepared list:
// every name with the key "*"; else when its extension, or for a key with
// a dot inside the text after any "." of the name but its first character
// ("tar.gz" for "a.tar.gz"), is a key. Letter case is ignored.
bool NameListed(const KeyedTable& set, TextView name);

// True when some key of `set` occurs in `path`, letter case ignored.
bool PathMatches(TextView path, const KeyedTable& set);

// The extension of a file name without its ".": the text after the last
// ".", or "" when that "." starts the name or a space or separator follows it.
Text Extension(TextView name);

// Sorts by a sort word (stable: equal keys keep their order either way).
void SortRecords(FileList& files, int64_t sortWord);
void SortRecords(FolderList& folders, int64_t sortWord);

// The number of path separators in `path`.
int64_t DepthOf(TextView path);

}  // namespace ScanDir
