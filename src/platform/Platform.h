// The services the program needs of the operating system. This header is the
// only place that knows there is one: Win32.cpp supplies them on Windows,
// the Posix*.cpp files on Linux and other POSIX systems. Only Text, fixed-width integers
// and the plain structs below cross this boundary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Text.h"

namespace Platform {

// ---- Conventions of the platform -------------------------------------------

// Path separator: '\' on Windows, '/' on POSIX.
extern const char16_t kSeparator;
// Characters after which a file name starts: "\\/" on Windows, "/" on POSIX.
extern const char16_t* const kNameSeparators;
// Switch prefix the program documents: "/" on Windows, "--" on POSIX.
extern const char16_t* const kSwitchPrefix;
// Whether a parameter starting with a single "/" is a switch (Windows) or a
// path (POSIX, where only "--" marks a switch).
extern const bool kSlashSwitches;
// Whether extended-length path prefixes ("\\?\") exist.
extern const bool kLongPathPrefixes;

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

// The raw command line, program name first.
Text CommandLine();

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

// One line to the debugger output (POSIX: standard error when the variable
// DATEMILL_TRACE is set, else nothing).
void DebugOutput(const Text& line);

// The id of this process.
uint32_t ProcessId();

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

  bool IsDirectory() const { return (attributes & kAttrDirectory) != 0; }
};

enum class SearchStatus {
  kOpened,   // entries follow (Next)
  kNoMatch,  // the folder exists but no entry matches the pattern
  kFailed,   // the search could not be started (missing path, no access)
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

  // Starts the search for `pathAndPattern`. With `withTimes` false the three
  // time stamps of the entries may be left 0.
  SearchStatus Open(const Text& pathAndPattern, bool withTimes);
  // The next entry; false once there is none (or after kNoMatch/kFailed).
  bool Next(DirEntry& entry);
  void Close();

  struct State;  // the platform's own, defined where the search is made

 private:
  State* state_ = nullptr;
};

// Says once, for a folder whose entries could be listed but whose time
// stamps could not be read, that its files carry the date 0 (POSIX: a line
// on standard error behind `caption` and ": "; Windows: nothing).
void WarnUnreadTimes(const Text& folder, const Text& caption);

// The attribute word of `path`; false when it cannot be read.
bool FileAttributes(const Text& path, uint32_t& attributes);

// Follows links to what `path` names: a folder, or a file with its size.
// False when nothing is there or it cannot be asked.
bool StatPath(const Text& path, bool& isDirectory, uint64_t& size);

// The drive type of a root path: 0 unknown, 1 no root directory, above 1 a
// usable volume (POSIX: 3 for an existing folder, else 1).
uint32_t DriveType(const Text& root);

// Identity of the folder `path` names (following links), to tell when a walk
// comes back to a folder it is already inside. False when it cannot be had.
struct FolderId {
  uint64_t volume = 0, index = 0;
  bool operator==(const FolderId&) const = default;
};
bool FolderIdentity(const Text& path, FolderId& id);

// The local wall-clock time of a file time stamp, with the time-zone rules in
// force at that time stamp (not those of today), as seconds since
// 1970-01-01 00:00:00 counted with every day 86,400 seconds long. False when
// the platform cannot convert it.
bool LocalSeconds(FileTime time, int64_t& local);

// ---- Text -------------------------------------------------------------------

// Upper- and lower-cased copies by the platform's Unicode case mapping, one
// code point at a time (lengths never change).
Text ToUpper(TextView text);
Text ToLower(TextView text);

// `text` in the system's narrow code page (Windows: the ANSI code page;
// POSIX: the locale's character set). A character the code page lacks
// becomes its default character ("?" on POSIX).
std::string ToNarrow(TextView text);

// `text` in UTF-8.
std::string ToUtf8(TextView text);

// ---- Files ------------------------------------------------------------------

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

  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False when the file cannot be opened in that mode.
  bool Open(const Text& path, Mode mode, Share share);
  // Moves the write position to the end of the file; false on failure.
  bool SeekToEnd();
  // Writes all `size` bytes; false when the write fails or falls short.
  bool Write(const void* data, size_t size);
  // Makes the written bytes durable; false on failure.
  bool Flush();
  // Closes the file; false when closing reports an error.
  bool Close();
  bool IsOpen() const { return handle_ != kInvalid; }

 private:
  static constexpr intptr_t kInvalid = -1;
  intptr_t handle_ = kInvalid;
};

// Moves `source` over `target`, replacing it; false on failure (`target` is
// then untouched).
bool MoveReplacing(const Text& source, const Text& target);

// Deletes a file; false on failure.
bool RemoveFile(const Text& path);

}  // namespace Platform
