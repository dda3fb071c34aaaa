// POSIX only: a search's listing, the state the search and its look-ahead
// share: the folder's names read a batch at a time into a pipeline of
// batches that the stat pool works on, and delivered in listing order.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "platform/Entry.h"
#include "platform/posix/StatPool.h"

namespace Platform {

struct SearchState {
  DIR* dir = nullptr;
  std::string pattern;
  bool matchAll = false;
  bool withTimes = false;
  unsigned onlyStamp = 0;              // kSearchOnly* bits: the stamp dated by
  bool follow = false;                 // subfolders are opened through links
  bool targets = false;                // links to files are dated by their files
  bool taken = false;                  // files' taken dates are read
  const TakenTest* takenOf = nullptr;  // ... of the files it admits (null: all)
  Text takenName;                      // the name asked of it last, its storage reused
  int dotsLeft = 2;                    // "." and ".." come first, as on Windows
  bool single = false;                 // a search for one named entry
  bool pending = false;                // `held` is the next entry to deliver
  std::string heldName;
  posix::EntryInfo held;
  // A pipeline of batches: the program goes through `batches[current]`
  // while the helper threads stat the ones after it, oldest first.
  static constexpr int kInFlight = 4;
  posix::StatBatch batches[kInFlight];
  int current = 0;
  size_t next = 0;       // the next entry of the current batch
  bool started = false;  // every batch has been filled once
  bool primed = false;   // ... and the first one waited for
  bool listed = false;   // the listing has ended
  int error = 0;         // ... not at its end but failing so (errno)
  // Folders on another file system than this one are told (otherFileSystem):
  // its device (DeviceOf), once known.
  bool fileSystems = false;
  bool ownDevice = false;
  uint64_t device = 0;

  ~SearchState() {
    for (posix::StatBatch& batch : batches) batch.Cancel();  // before the folder closes
    if (dir != nullptr) ::closedir(dir);
  }

  // The statx fields its entries are asked for.
  unsigned StatFields() const { return posix::StatMask(withTimes, onlyStamp); }
  // Takes the kSearch* bits of a search's `flags`.
  void SetFlags(unsigned flags) {
    withTimes = (flags & kSearchTimes) != 0;
    onlyStamp = flags & kSearchOnlyStamp;
    follow = (flags & kSearchFollow) != 0;
    targets = (flags & kSearchTargets) != 0;
    taken = (flags & kSearchTaken) != 0;
    fileSystems = (flags & kSearchFileSystems) != 0;
  }
  // The kSearch* bits it was set to.
  unsigned Flags() const {
    return (withTimes ? kSearchTimes : 0) | (follow ? kSearchFollow : 0) | (targets ? kSearchTargets : 0) |
           (taken ? kSearchTaken : 0) | (fileSystems ? kSearchFileSystems : 0) | onlyStamp;
  }
};

namespace posix {

// Whether the search `s` reads the taken date of its file `name` (when it
// is a file): asked on the program thread.
bool WantsTaken(SearchState& s, const char* name);

// Fills every batch of the search's pipeline with the first names of its
// listing and starts their stat calls (and notes the folder's own device
// where other file systems are told).
void Prime(SearchState& s);

// The next entry of the listing `s` that matches its pattern, "." and ".."
// first, into `name` and `info`; false once the listing has ended (at its
// end, or failing: `s.error`).
bool NextMatch(SearchState& s, std::string& name, EntryInfo& info);

}  // namespace posix

}  // namespace Platform
