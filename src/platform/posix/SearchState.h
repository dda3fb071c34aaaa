// POSIX only: what the directory search, its look-ahead and its path queries
// share: descriptors, folders opened at any depth, one entry's facts, and
// the state of a search.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <utility>

#include "platform/Search.h"
#include "platform/posix/Stat.h"

namespace Platform::posix {

// A file descriptor, closed at the end of its holder's life.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

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

}  // namespace Platform::posix

namespace Platform {

struct DirSearch::State {
  DIR* dir = nullptr;
  std::string pattern;
  bool matchAll = false;
  bool withTimes = false;
  bool follow = false;   // subfolders are opened through links
  bool targets = false;  // links to files are dated by their files
  bool taken = false;    // files' taken dates are read
  int dotsLeft = 2;      // "." and ".." come first, as on Windows
  bool single = false;   // a search for one named entry
  bool pending = false;  // `held` is the next entry to deliver
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

  ~State() {
    for (posix::StatBatch& batch : batches) batch.Cancel();  // before the folder closes
    if (dir != nullptr) ::closedir(dir);
  }

  // Takes the kSearch* bits of a search's `flags`.
  void SetFlags(unsigned flags) {
    withTimes = (flags & kSearchTimes) != 0;
    follow = (flags & kSearchFollow) != 0;
    targets = (flags & kSearchTargets) != 0;
    taken = (flags & kSearchTaken) != 0;
  }
  // The kSearch* bits it was set to.
  unsigned Flags() const {
    return (withTimes ? kSearchTimes : 0) | (follow ? kSearchFollow : 0) | (targets ? kSearchTargets : 0) |
           (taken ? kSearchTaken : 0);
  }
};

namespace posix {

// Fills every batch of the search's pipeline with the first names of its
// listing and starts their stat calls.
void Prime(DirSearch::State& s);

}  // namespace posix

}  // namespace Platform
