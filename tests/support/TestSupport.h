// Shared helpers of the tests: temporary folders, files with chosen times,
// and running the built program.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "platform/Clock.h"
#include "scan/records/Records.h"

namespace TestSupport {

// A path below `folder`: folder + separator + name.
Text Join(const Text& folder, const Text& name);

// A fresh folder, removed with everything in it at the end of the test.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const Text& path() const { return path_; }
  Text operator/(const Text& name) const { return Join(path_, name); }

 private:
  Text path_;
};

// Makes the current folder `folder` until the end of the scope.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const Text& folder);
  ~ScopedCurrentDir();

 private:
  Text previous_;
};

// Where temporary folders go: the system's temporary folder, or on Windows
// the current folder (a Z:\ path under Wine, as real folders are).
Text TempRoot();
void MakeDirs(const Text& path);
// Makes `link` a symbolic link to the folder `target` ("/" between names,
// relative to the link's folder). Under Wine, which makes none itself, the
// system's ln makes it; the program then sees a folder with the
// reparse-point bit.
void MakeFolderLink(const Text& target, const Text& link);
void RemoveAll(const Text& path);
// Makes `top` (in the current folder) holding a chain of `levels` folders
// "d", the last holding the folder `bottom` with the file "f"; returns the
// path of `bottom`. Made and removed one level at a time from the one
// above (POSIX), so paths of any length do not matter.
Text MakeChain(const Text& top, int levels, const Text& bottom);
void RemoveChain(const Text& top, int levels, const Text& bottom);
// Makes a subfolder of `folder` that cannot be listed, with a file in it
// where that can be, and returns its path. POSIX: mode 000 (root lists it
// all the same); Windows: a folder named "q?x" on the system's side, which
// Windows names cannot reach.
Text MakeUnlistableFolder(const Text& folder);
// A small tmpfs mounted on the folder `folder` (which must exist) until the
// end of the scope, in a mount namespace of this process's own (made at
// the first mount, with the stat pool's helper threads started again in
// it; the system's mounts stay as they were, also where the test ends
// early). POSIX as root only: where it cannot be mounted (and on Windows),
// Refused() says why.
class ScopedTmpfs {
 public:
  explicit ScopedTmpfs(const Text& folder);
  ~ScopedTmpfs();
  ScopedTmpfs(const ScopedTmpfs&) = delete;
  ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;
  // Why nothing is mounted; "" when it is.
  const std::string& Refused() const { return refused_; }

 private:
  std::string folder_, refused_;
};
// Creates (or replaces) a file holding `bytes`.
void WriteBytes(const Text& path, const std::string& bytes = std::string());
// The bytes of a file, or "<missing>" when it cannot be read.
std::string ReadBytes(const Text& path);
bool Exists(const Text& path);
// Names in a folder, sorted.
std::vector<Text> Listing(const Text& folder);

// A UTC time stamp as the platform keeps them.
Platform::FileTime UtcStamp(int year, int month, int day, int hour, int minute, int second);
// Sets a file's last-write and last-access times.
void SetTimes(const Text& path, Platform::FileTime lastWrite, Platform::FileTime lastAccess);
// The local wall-clock fields of a stamp as the system itself converts it,
// one call per stamp (POSIX: localtime_r; Windows: the zone's rules for the
// stamp's year); false when it cannot.
bool SystemLocalTime(Platform::FileTime stamp, Platform::CalendarTime& local);
// A file holding `bytes` last written (and accessed) at the given UTC time.
void MakeFile(const Text& path, const std::string& bytes, Platform::FileTime written);

// The Path of every record, in list order: folders, and each folder's files
// right after it.
std::vector<Text> RecordPaths(const FolderList& folders);

// Text for messages.
std::string Show(const Text& text);

// Whether a message box shows `text` as it is, whole, on a 1366 x 768
// screen: at most 30 lines (each ended by "\n" or "\r\n"), none longer
// than 50 characters (a box under Wine wraps at 305 pixels, about 54
// characters of its font) and none holding a run of spaces (the box's font
// keeps no columns).
testing::AssertionResult FitsABox(const Text& text);

// The program's file beside the test programs.
Text ProgramPath();

// The bytes of the taken-date reader's seed file `name` (fuzz/corpus),
// copied beside the test programs.
std::string SeedFile(const Text& name);

struct RunResult {
  uint32_t status = 0;  // the whole 32 bits on Windows, the low 8 on POSIX
  std::string errors;   // standard error (POSIX)
  std::string output;   // standard output (POSIX)
};
// Runs `program` with `args` in `folder`, with the extra environment
// variables `env` (replacing those of the same name). Arguments that are empty or hold a space are quoted.
RunResult Run(const Text& program, const std::vector<Text>& args, const Text& folder,
              const std::vector<std::pair<Text, Text>>& env = {});

// An environment variable of this process, or "" (for choosing expectations).
std::string EnvironmentValue(const char* name);

// Sets an environment variable of this process.
void SetEnvironment(const char* name, const Text& value);

// Has this process log into `folder` (POSIX: as its state folder, Windows:
// as the program's folder) and returns the log file's path there.
Text LogInto(const Text& folder);

}  // namespace TestSupport
