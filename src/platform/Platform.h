// The services the program needs of the operating system. This header is the
// only place that knows there is one: Win32.cpp supplies them on Windows,
// the Posix*.cpp files on Linux and other POSIX systems. Only Text, fixed-width integers
// and the plain structs below cross this boundary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Conventions.h"
#include "taken/TakenDate.h"
#include "base/Text.h"

namespace Platform {

// Attribute bits of the 32-bit attribute word (the Windows values; the POSIX
// layer synthesises them).
constexpr uint32_t kAttrReadOnly = 0x1;
constexpr uint32_t kAttrHidden = 0x2;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrNormal = 0x80;
constexpr uint32_t kAttrReparsePoint = 0x400;

// ---- Process ----------------------------------------------------------------

// Hands the POSIX layer the arguments of main(); does nothing on Windows.
void SetArguments(int argc, char** argv);

// The raw command line, program name first (POSIX: the arguments joined by
// single spaces, for showing only).
Text CommandLine();

// The parameters one by one as the system hands them over, the program's own
// name not included: true on POSIX (main's argv from the second element on).
// False on Windows, where the program splits the raw command line itself.
bool ArgumentList(std::vector<Text>& parameters);

// The full path of the program's own executable, or "" when it is unknown.
Text ModulePath();

// A snapshot of the environment as "name=value" entries in the platform's
// order. Returns false when no snapshot can be had (entries stay empty).
bool EnvironmentEntries(std::vector<Text>& entries);

// Calendar fields of a local wall-clock time (month 1-12, day 1-31).
struct CalendarTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The current local wall-clock time, fractions of a second dropped.
CalendarTime LocalNow();

// Ends the process with `status` (POSIX passes on only its low 8 bits).
[[noreturn]] void EndProcess(uint32_t status);

// The fatal-error box: modal, stop icon, one OK button, `caption` as title;
// returns when the user has closed it. On POSIX the text goes to standard
// error instead, behind the caption and ": ".
void ShowFatalMessage(const Text& text, const Text& caption);

// What the user asked for (the usage, the version): on Windows a box with the
// information icon, one OK button and `caption` as title; on POSIX the text
// on standard output (no caption). Returns when it has been shown.
void ShowInformation(const Text& text, const Text& caption);

// Writes `bytes` to standard output as they are; false when that fails.
bool WriteStandardOutput(std::string_view bytes);

// One diagnostic line for the user: standard error on POSIX, with the line
// end added; nothing on Windows, where the windowless program stays silent.
void ShowDiagnostic(const Text& line);

// The width in columns of the terminal a progress line goes to; 0 when
// there is none (POSIX: standard error is no terminal; Windows: always).
int ProgressColumns();

// Draws `line` (which fits ProgressColumns) as the progress line, in place
// of the one before; ClearProgress removes it. A diagnostic, a fatal
// message and the end of the process clear it first. Nothing on Windows.
void ShowProgress(const Text& line);
void ClearProgress();

// One line to the debugger output (POSIX: nothing).
void DebugOutput(const Text& line);

// The id of this process.
uint32_t ProcessId();

// The folders the log may go into, each ending in a separator, in the order
// they are tried. Windows: `programFolder`, then "%LOCALAPPDATA%\Datemill\".
// POSIX: "$XDG_STATE_HOME/datemill/" (only an absolute XDG_STATE_HOME counts),
// else "$HOME/.local/state/datemill/"; never the program's folder. A folder
// whose variable is not set is left out.
std::vector<Text> LogFolders(const Text& programFolder);

// Makes the folder `path` and those above it that are missing (POSIX: only
// the owner may enter them). True when it is a folder afterwards.
bool MakeFolders(const Text& path);

// Why a file operation failed, in the system's own words ("Permission
// denied", "File name too long"): the last failed call's reason, or the
// reason the system gives for writing over a folder or a read-only file.
enum class Failure { kLastCall, kIsFolder, kReadOnly };
Text FailureText(Failure failure);

// ---- File system ------------------------------------------------------------

// A file time stamp: UTC, 100-nanosecond units since 1601-01-01.
using FileTime = int64_t;
// A time stamp that could not be read (POSIX: the folder may be listed but
// not searched); it converts to no date.
constexpr FileTime kTimeUnread = INT64_MIN;

// One entry of a folder search.
struct DirEntry {
  Text name;
  uint32_t attributes = 0;
  uint64_t size = 0;
  FileTime created = 0, lastWrite = 0, lastAccess = 0;  // filled when asked for
  TakenDate::Moment taken;  // with kSearchTaken: when a picture or video file was taken

  bool IsDirectory() const { return (attributes & kAttrDirectory) != 0; }
};

enum class SearchStatus {
  kOpened,     // entries follow (Next)
  kNoMatch,    // the folder exists but no entry matches the pattern
  kFailed,     // the search could not be started (missing path, no access)
  kNoHandles,  // this process (or the system) has no descriptor or handle to spare
};

// What a search delivers and how it opens folders, as bits.
constexpr unsigned kSearchTimes = 1;    // each entry's three time stamps (else they may stay 0)
constexpr unsigned kSearchFollow = 2;   // a subfolder is opened through a link in its place
constexpr unsigned kSearchTargets = 4;  // a link to a file is dated by its file (a dangling one by itself)
constexpr unsigned kSearchTaken = 8;    // each file's taken date, read from its metadata (TakenDate)

// How many folders a walk may hold open for their subfolders to come,
// leaving room for what else the run opens (the listings, the look-ahead,
// the report, the log): POSIX sizes it from the descriptor limit
// (RLIMIT_NOFILE) and the descriptors open now; Windows holds paths, not
// handles, and has no limit to keep.
size_t FoldersToHold();

// Identity of a folder: volume and index (POSIX: device and inode; Windows:
// volume serial and file index). An index of 0 means unknown.
struct FolderId {
  uint64_t volume = 0, index = 0;
  bool operator==(const FolderId&) const = default;
};

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
  // (its identity; a link that has taken its place is refused). False, with
  // `problem` in the system's words, when it cannot.
  bool Open(const Text& path, Text& problem);
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

// A folder search by path and pattern ("C:\dir\*.*", "/dir/*.*", or a path
// naming one entry). Delivers "." and ".." like any entry, in the order the
// file system returns them. Closed by its destructor.
class DirSearch {
 public:
  DirSearch() = default;
  ~DirSearch();
  DirSearch(const DirSearch&) = delete;
  DirSearch& operator=(const DirSearch&) = delete;

  // Starts the search for `pathAndPattern` (kSearch* bits in `flags`).
  SearchStatus Open(const Text& pathAndPattern, unsigned flags);
  // Starts the search of every entry of the folder `name` inside `parent`.
  // A link in its place is followed only with kSearchFollow; without, the
  // search fails (on Windows also for any reparse point with the folder bit).
  SearchStatus OpenIn(const HeldFolder& parent, const Text& name, unsigned flags);
  // The next entry; false once there is none (or after kNoMatch/kFailed):
  // the end of the listing, or a failure to read it, which Problem tells.
  bool Next(DirEntry& entry);
  // Why the last Open or OpenIn failed, or why the listing ended before its
  // end, in the system's own words; "" when neither happened.
  const Text& Problem() const { return problem_; }
  // Keeps the folder of an opened listing in `folder` for OpenIn of its
  // subfolders; false when it cannot. `next` names the subfolders a walk
  // will ask for, in that order: the search may open them ahead of time
  // (any other name is opened when asked for).
  bool Hold(HeldFolder& folder, const std::vector<Text>& next) const;
  // The identity of the folder of an opened listing; false when unknown.
  bool Identity(FolderId& id) const;
  void Close();

  struct State;  // the platform's own, defined where the search is made

 private:
  State* state_ = nullptr;
  Text problem_;
};

// The attribute word of `path`; false when it cannot be read.
bool FileAttributes(const Text& path, uint32_t& attributes);

// Follows links to what `path` names: a folder, or a file with its size.
// False when nothing is there or it cannot be asked.
bool StatPath(const Text& path, bool& isDirectory, uint64_t& size);

// Why the folder `path` cannot be listed, in the system's own words ("No
// such file or directory", "Not a directory", "Permission denied"); "" when
// it can.
Text FolderProblem(const Text& path);

// The full path of `path` (POSIX: with links, "." and ".." resolved;
// Windows: made absolute, "." and ".." resolved), or "" when it cannot be
// had (POSIX: the path does not exist).
Text FullPath(const Text& path);

// The drive type of a root path: 0 unknown, 1 no root directory, above 1 a
// usable volume (POSIX: 3 for an existing folder, else 1).
uint32_t DriveType(const Text& root);

// The local wall-clock time of a file time stamp, with the time-zone rules in
// force at that time stamp (not those of today), as seconds since
// 1970-01-01 00:00:00 counted with every day 86,400 seconds long. False when
// the platform cannot convert it (a stamp before 1601); a stamp past the last
// date the system's calendar holds gives a time past it.
bool LocalSeconds(FileTime time, int64_t& local);

// ---- Text -------------------------------------------------------------------

// Upper- and lower-cased copies by the platform's Unicode case mapping, one
// code point at a time (lengths never change).
Text ToUpper(TextView text);
Text ToLower(TextView text);

// `text` in the system's narrow code page (Windows: the ANSI code page;
// POSIX: the locale's character set). A character the code page lacks
// becomes its default character (on POSIX exactly one "?", a lone surrogate
// too; a byte carried from a name that is not UTF-8 goes out as that byte).
std::string ToNarrow(TextView text);

// `text` in UTF-8, always valid: a lone surrogate (on POSIX also a byte
// carried from a name that is not UTF-8) becomes U+FFFD.
std::string ToUtf8(TextView text);

// ---- Files ------------------------------------------------------------------

// Prepares the process for writing files. On POSIX a write beyond the
// file-size limit (RLIMIT_FSIZE) then fails like any other write instead of
// ending the process. On both, the file DeleteOnInterrupt names is deleted
// when the run is interrupted (POSIX: SIGINT, SIGTERM, SIGHUP, unless the
// process was started with them ignored; Windows: Ctrl+C and Ctrl+Break
// of a console that started it), and the process then ends as the
// interruption would have ended it.
void PrepareFileWrites();

// Names the file (a temporary one) to delete if the run is interrupted
// before ForgetOnInterrupt; one at a time, a later one in its place.
void DeleteOnInterrupt(const Text& path);
void ForgetOnInterrupt();

// Follows symbolic links from `path` to the file they end at, which need not
// exist yet (`path` itself when it is no link). False when a link cannot be
// read or followed, or the links form a loop.
bool FinalPath(const Text& path, Text& final);

// What writing over the file at a path must respect.
struct FileFacts {
  bool exists = false;    // the other fields are only set when it exists
  bool folder = false;    // a folder stands there
  bool readOnly = false;  // marked read-only, or this process may not write it
                          // (Windows: its access list; a file that another
                          // process holds open is not read-only for that)
  uint32_t links = 1;     // number of hard links
};

// The facts of the file at `path`; false when something is there but cannot
// be asked about.
bool QueryFile(const Text& path, FileFacts& facts);

// A file opened for writing. Closed by its destructor.
class OutputFile {
 public:
  enum class Mode {
    kCreateNew,         // fails when the file exists
    kCreateAlways,      // creates, or truncates an existing file
    kTruncateExisting,  // opens an existing file and truncates it
    kOpenAlways,        // opens, creating it when missing; keeps the content
  };
  enum class Share { kNone, kRead };
  // Why the last Open failed.
  enum class Failure {
    kNone,
    kExists,   // something of that name is there already (kCreateNew)
    kRefused,  // this process may not make or write files there: permissions,
               // a read-only file system or medium
    kOther,    // anything else: no room or no free file entries, too many
               // open files, a name too long, a missing folder
  };

  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False when the file cannot be opened in that mode; LastFailure() then
  // says why.
  bool Open(const Text& path, Mode mode, Share share);
  Failure LastFailure() const { return failure_; }
  // Moves the write position to the end of the file; false on failure.
  bool SeekToEnd();
  // Writes all `size` bytes; false when the write fails or falls short.
  bool Write(const void* data, size_t size);
  // Cuts the file off at the write position; false on failure.
  bool EndHere();
  // Gives the file the settings of the file at `model`: its permission bits,
  // and its owner and group where the process may set them (POSIX), or its
  // hidden, system and not-indexed attributes, with the archive attribute
  // set as on any new content (Windows). False when they cannot be read or
  // set.
  bool CopySettingsFrom(const Text& model);
  // Makes the written bytes durable; false on failure.
  bool Flush();
  // Closes the file; false when closing reports an error.
  bool Close();
  bool IsOpen() const { return handle_ != kInvalid; }
  // Closes the file (when still open) and deletes it by the path it was
  // last opened with (nothing when that Open failed). Allocates nothing, so that it also clears up after
  // memory ran out; false when there is nothing to delete or it cannot be.
  bool Discard() noexcept;

 private:
  static constexpr intptr_t kInvalid = -1;
  intptr_t handle_ = kInvalid;
  Failure failure_ = Failure::kNone;
  // The path of the last Open in the form the system's calls take (POSIX:
  // its bytes; Windows: its UTF-16 units), ready for Discard.
  std::string name_;
};

// Moves `source` over `target`, replacing it; false on failure (`target` is
// then untouched).
bool MoveReplacing(const Text& source, const Text& target);

// Makes the folder `path`, one level: its parent must exist. False on failure
// (an existing folder included).
bool MakeFolder(const Text& path);

// ---- Opening files ----------------------------------------------------------

enum class OpenResult {
  kOpened,     // handed to the program that opens it
  kNoProgram,  // there is nothing to open it with (POSIX: no xdg-open on PATH)
  kFailed,     // the opening program failed or could not be started
};

// Opens the file `path` with the user's default program for its type and
// returns without waiting for that program to end. `problem` gets the reason
// of kNoProgram and kFailed. Windows: ShellExecuteExW with the default verb;
// when the environment variable DATEMILL_OPENER names a program, that program
// is started instead with `path` as its one argument (a stand-in that tests
// watch). POSIX: xdg-open found on PATH, started with `path` as its argument
// and the standard streams on /dev/null. Either program is waited for a few
// seconds at most, and an exit status other than 0 within them is kFailed.
OpenResult OpenWithDefaultProgram(const Text& path, Text& problem);

}  // namespace Platform
