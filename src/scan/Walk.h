// The directory walk: one or more root folders walked to a given depth,
// folders and files admitted through the name filters, everything handed
// to a sink as it is listed.
//
// Depth and levels: a root is level 0, its entries level 1. Levels n > 0
// walks subfolders down to level n and lists their files; 0 lists the roots
// only; -1 (AllLevels) walks without limit; below -1 means 1.
//
// Links: a link to a folder (a symbolic link; on Windows any reparse point
// with the folder bit) is no file. With SkipFolderLinks a walk neither
// enters nor hands it on. Without, it is entered like a folder, and then
// each real folder (by its identity) is entered at most once in the walk
// of one root, whatever the levels: a second way to it is not entered.
//
// Left out: a subfolder whose name is one of the names to skip, and one on
// another file system than the root's when the walk stays on one, is not
// entered (links followed, by the name of the link); the sink hears of it.
//
// A walk is a loop over a stack, not a recursion: each subfolder is opened
// from its parent, which stays open while it has subfolders to come (at
// most MostHeldFolders of them at a time; a folder beyond that is opened
// again by its whole path when its next subfolder is due).
#pragma once

#include <cstdint>
#include <set>
#include <utility>

#include "base/Constants.h"
#include "base/Text.h"
#include "platform/Search.h"
#include "scan/Filters.h"

namespace ScanDir {

// What a walk hands on as it goes, depth first and pre-order: each root it
// starts, each folder it admits (the root, whose `entry` is null, or a
// subfolder, with its entry), each file of that folder that the extension
// lists admit (the entry valid for the call only), and the end of that
// folder's listing. A folder's files come between its Folder and its
// FolderDone; its subfolders after.
// A folder a walk could not read in full, and why in the system's words: a
// subfolder it could not list (its files are missing), a listing that
// failed before its end (the files after it are missing), a folder whose
// files' time stamps could not be read (they count with no date), a
// subfolder that another folder or a link took the place of (not entered).
struct UnreadFolder {
  Text path;  // with its separator
  Text reason;
};

// Why a walk leaves out a subfolder it would enter otherwise: its name is
// one of WalkRules::skipNames, or it lies on another file system than the
// root (WalkRules::oneFileSystem).
enum class LeftOut { kNamed, kOtherFileSystem };

// The subfolders a walk has left out, by why.
struct LeftOutFolders {
  int64_t named = 0, otherFileSystem = 0;
  void Count(LeftOut why) { ++(why == LeftOut::kNamed ? named : otherFileSystem); }
  LeftOutFolders& operator+=(const LeftOutFolders& more) {
    named += more.named;
    otherFileSystem += more.otherFileSystem;
    return *this;
  }
};

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void Root(const Text& root) { (void)root; }
  virtual void Folder(const Text& path, const Platform::DirEntry* entry) { (void)path, (void)entry; }
  virtual void File(const Text& folder, const Platform::DirEntry& entry) = 0;
  // A file of that folder that the extension lists leave out.
  virtual void Skipped(const Text& folder, const Platform::DirEntry& entry) { (void)folder, (void)entry; }
  virtual void FolderDone(const Text& folder, int64_t files) { (void)folder, (void)files; }
  // A folder it could not read in full, in walk order.
  virtual void Unread(const UnreadFolder& folder) { (void)folder; }
  // A subfolder of `folder` it leaves, the levels asked for being walked
  // (a greater depth would enter it).
  virtual void BeyondDepth(const Text& folder, const Platform::DirEntry& entry) { (void)folder, (void)entry; }
  // A subfolder (its path with its separator) that it leaves out, and why.
  virtual void FolderLeftOut(const Text& path, LeftOut why) { (void)path, (void)why; }
};

// How a walk goes: `levels` as for Scan; whether it hands on files at all,
// with their time stamps, whether it enters links to folders and dates
// links to files by their files; the
// extension lists (prepared, PrepareExtensions) and the folder words; the
// names of the subfolders it leaves out, and whether it stays on the
// root's file system. (The root itself is walked whatever its name.)
struct WalkRules {
  WalkRules(int64_t levels, int64_t flags);  // from Scan's levels and flags
  int64_t levels = 0;
  bool files = true;
  bool withTimes = false;
  unsigned onlyStamp = 0;  // Platform::kSearchOnly*: the one stamp the files are dated by, if one
  bool followLinks = false;
  bool linkTargets = false;  // links to files dated by their files
  bool taken = false;        // files' taken dates read (Platform::DirEntry::taken)
  Text extensions, skipExtensions, folderWords, skipFolderWords;
  FolderNames skipNames;       // subfolders of these names are not entered
  bool oneFileSystem = false;  // nor those on another file system than the root
};

// Walks the roots as Scan does (filling the filter sets, setting the
// current root), handing everything to `sink` instead of making records;
// the number of files handed on. `fields` receives the number of root
// fields.
int64_t Walk(const Text& roots, const WalkRules& rules, Sink& sink, int64_t* fields = nullptr);

// The walk below one folder (ending in a separator; levels counted from
// it), which the sink has heard of when it is `admitted`.
int64_t WalkBelow(const Text& folder, bool admitted, const WalkRules& rules, Sink& sink);

// The real folders a walk has entered, by volume and index.
using EnteredFolders = std::set<std::pair<uint64_t, uint64_t>>;

// Whether the folder of identity `id` may be entered: true, and `id` kept
// in `entered`, the first time; always true for the index 0, which
// identifies nothing.
bool FirstEntry(EnteredFolders& entered, const Platform::FolderId& id);

}  // namespace ScanDir
