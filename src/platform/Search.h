// The folder search: the entries of a folder with their names, attribute
// words, sizes, time stamps and (when asked) taken dates, and the folders a
// walk holds open for their subfolders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Outcome.h"
#include "base/Text.h"
#include "platform/Entry.h"

namespace Platform {

enum class SearchStatus {
  kOpened,     // entries follow (Next)
  kNoMatch,    // the folder exists but no entry matches the pattern
  kFailed,     // the search could not be started (missing path, no access)
  kNoHandles,  // this process (or the system) has no descriptor or handle to spare
};

// How many folders a walk may hold open for their subfolders to come,
// leaving room for what else the run opens (the listings, the look-ahead,
// the report, the log): POSIX sizes it from the descriptor limit
// (RLIMIT_NOFILE) and the descriptors open now; Windows holds paths, not
// handles, and has no limit to keep.
size_t FoldersToHold();

// A folder a search has listed, kept open so that searches of its subfolders
// can start from it rather than from the whole path (POSIX: a descriptor;
// Windows: the folder's path). Closed by its destructor.
class HeldFolder {
 public:
  HeldFolder() = default;
  ~HeldFolder() { Close(); }
  HeldFolder(HeldFolder&& other) noexcept;
  HeldFolder& operator=(HeldFolder&& other) noexcept;
  // Opens the folder `path` (with or without its separator) by its whole
  // path, again: it must still be the folder it was when a search held it
  // (its identity; a link that has taken its place is refused).
  Done Open(const Text& path);
  bool IsOpen() const { return handle_ != kNone || !path_.empty(); }
  void Close();

 private:
  friend class DirSearch;
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;
  Text path_;
  FolderId id_;            // what it was when held (an index of 0: unknown)
  bool followed_ = false;  // held by a search that follows links
};

// The state of a search: the platform's own, defined where the search is
// made.
struct SearchState;

// A folder search by path and pattern ("C:\dir\*.*", "/dir/*.*", or a path
// naming one entry). Delivers "." and ".." like any entry, in the order the
// file system returns them. Closed by its destructor.
class DirSearch {
 public:
  DirSearch() = default;
  ~DirSearch();
  DirSearch(const DirSearch&) = delete;
  DirSearch& operator=(const DirSearch&) = delete;

  // Starts the search for `pathAndPattern` (kSearch* bits in `flags`); the
  // reason says why for kFailed and kNoHandles. With kSearchTaken, the
  // taken dates of the files `takenOf` admits are read (it must outlive the
  // search, and the folders it holds).
  Outcome<SearchStatus> Open(const Text& pathAndPattern, unsigned flags, const TakenTest* takenOf = nullptr);
  // Starts the search of every entry of the folder `name` inside `parent`.
  // A link in its place is followed only with kSearchFollow; without, the
  // search fails (on Windows also for any reparse point with the folder bit).
  Outcome<SearchStatus> OpenIn(const HeldFolder& parent, const Text& name, unsigned flags,
                               const TakenTest* takenOf = nullptr);
  // The next entry; false once there is none (or after kNoMatch/kFailed):
  // the end of the listing, or a failure to read it, which Listed tells.
  bool Next(DirEntry& entry);
  // Reads the taken date of `entry`, a file this search has just delivered,
  // once more on the calling thread (after kNoHandles, when descriptors have
  // been let go); its `taken` and `takenRead` tell the outcome.
  void ReadTakenAgain(DirEntry& entry) const;
  // Whether the listing was read to its end; when it failed before, why.
  Done Listed() const { return Done{listingFailure_.empty(), listingFailure_}; }
  // Keeps the folder of an opened listing in `folder` for OpenIn of its
  // subfolders; false when it cannot. `next` names the subfolders a walk
  // will ask for, in that order: the search may open them ahead of time
  // (any other name is opened when asked for).
  bool Hold(HeldFolder& folder, const std::vector<Text>& next) const;
  // The identity of the folder of an opened listing; false when unknown.
  bool Identity(FolderId& id) const;
  void Close();

 private:
  SearchState* state_ = nullptr;
  Text listingFailure_;
};

}  // namespace Platform
