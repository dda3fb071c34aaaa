// Writing files: output files opened, written, made durable and closed,
// moved over the files they replace, folders made, and the temporary file
// that an interruption must not leave behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Outcome.h"
#include "base/Text.h"
#include "platform/Clock.h"

namespace Platform {

// Prepares the process for writing files. On POSIX a write beyond the
// file-size limit (RLIMIT_FSIZE) then fails like any other write instead of
// ending the process. On both, the temporary file made last
// (OutputFile::Mode::kCreateTemporary) is deleted when the run is
// interrupted before ForgetOnInterrupt (POSIX: SIGINT, SIGTERM, SIGHUP,
// unless the process was started with them ignored, which also clear the
// progress line; Windows: Ctrl+C, Ctrl+Break and the closing of a console
// that started it, the end of the user's session or of the system), and
// the process then ends as the interruption would have ended it.
void PrepareFileWrites();

// The temporary file made last is no longer to be deleted on an
// interruption: it has been moved into place, or deleted.
void ForgetOnInterrupt();

// Follows symbolic links from `path` to the file they end at, which need not
// exist yet (`path` itself when it is no link). Fails when a link cannot be
// read or followed, or the links form a loop.
Done FinalPath(const Text& path, Text& final);

// What writing over the file at a path must respect.
struct FileFacts {
  bool exists = false;    // the other fields are only set when it exists
  bool folder = false;    // a folder stands there
  bool readOnly = false;  // marked read-only, or this process may not write it
                          // (Windows: its access list; a file that another
                          // process holds open is not read-only for that)
  uint32_t links = 1;     // number of hard links
};

// The facts of the file at `path`; fails when something is there but
// cannot be asked about.
Done QueryFile(const Text& path, FileFacts& facts);

// Why the program refuses to write over what stands at a path, in the
// system's words for it ("Is a directory", "Permission denied").
enum class Refusal { kIsFolder, kReadOnly };
Text RefusalReason(Refusal refusal);

// A file opened for writing. Closed by its destructor.
class OutputFile {
 public:
  enum class Mode {
    kCreateNew,         // fails when the file exists
    kCreateAlways,      // creates, or truncates an existing file
    kTruncateExisting,  // opens an existing file and truncates it
    kOpenAlways,        // opens, creating it when missing; keeps the content
    // As kCreateNew, for a file to be moved into place or deleted: until
    // ForgetOnInterrupt an interruption deletes it (POSIX: no signal comes
    // between its making and that), and on Windows any end of the process
    // while it is open (a kill too): it is marked for deletion until Close.
    kCreateTemporary,
  };
  enum class Share { kNone, kRead };
  enum class Opening {
    kOpened,
    kExists,   // something of that name is there already (kCreateNew)
    kRefused,  // this process may not make or write files there: permissions,
               // a read-only file system or medium
    kOther,    // anything else: no room or no free file entries, too many
               // open files, a name too long, a missing folder
  };

  OutputFile() = default;
  ~OutputFile() { CloseQuietly(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens the file in `mode`: kOpened, or why not.
  Outcome<Opening> Open(const Text& path, Mode mode, Share share);
  // Moves the write position to the end of the file.
  Done SeekToEnd();
  // Writes all `size` bytes; fails when the write fails or falls short.
  Done Write(const void* data, size_t size);
  // Cuts the file off at the write position.
  Done EndHere();
  // Gives the file the settings of the file at `model`: its permission bits,
  // and its owner and group where the process may set them (POSIX), or its
  // hidden, system and not-indexed attributes, with the archive attribute
  // set as on any new content (Windows). Fails when they cannot be read or
  // set.
  Done CopySettingsFrom(const Text& model);
  // Makes the written bytes durable.
  Done Flush();
  // Closes the file; fails when closing reports an error.
  Done Close();
  bool IsOpen() const { return handle_ != kInvalid; }
  // Closes the file (when still open) and deletes it by the path it was last
  // opened with (nothing when that Open failed). Allocates nothing, so that
  // it also clears up after memory ran out; false when there is nothing to
  // delete or it cannot be.
  bool Discard() noexcept;

 private:
  // Closes the file when open; true unless closing reported an error.
  bool CloseQuietly() noexcept;

  static constexpr intptr_t kInvalid = -1;
  intptr_t handle_ = kInvalid;
  bool marked_ = false;  // Windows: a temporary file marked for deletion until Close
  // The path of the last Open in the form the system's calls take (POSIX:
  // its bytes; Windows: its UTF-16 units), ready for Discard.
  std::string name_;
};

// Moves `source` over `target`, replacing it; on failure `target` is
// untouched.
Done MoveReplacing(const Text& source, const Text& target);

// Deletes the file `path`; the system's reason when it cannot.
Done RemoveFile(const Text& path);

// The time stamp a file written now gets (UTC), to tell files' ages by.
FileTime StampNow();

// Makes the folder `path`, one level: its parent must exist. False on failure
// (an existing folder included).
bool MakeFolder(const Text& path);

// Makes the folder `path` and those above it that are missing (POSIX: only
// the owner may enter them). True when it is a folder afterwards.
bool MakeFolders(const Text& path);

}  // namespace Platform
